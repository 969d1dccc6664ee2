// The build's identity as compiled in: product and internal versions, the
// release stream and channel, build numbers, and the texts made from them.

#ifndef DESKTOP_WINDOWS_INSTALLER_PRODUCT_VERSION_INFO_H_
#define DESKTOP_WINDOWS_INSTALLER_PRODUCT_VERSION_INFO_H_

#include <cstdint>
#include <string>

namespace installer {

// Release channel numbers, as registry rows, feature masks, profile folders
// and server paths use them.
enum Channel {
  CHANNEL_NIGHTLY = 1,
  CHANNEL_DEVELOPER = 2,
  CHANNEL_NEXT = 3,
  CHANNEL_STABLE = 4,
};

// The major version of the browser engine the product is built on.
int GetEngineMajorVersion();
// The compiled-in base major number plus the branding "major_delta".
int GetProductMajorVersion();
// "major.minor.build.0".
std::string GetProductVersion();
std::string GetProductVersionString();
// "build.0": what a downloaded installer must report.
std::string GetInternalVersion();
// The release stream of this build, e.g. "developer".
std::string GetStream();
int GetChannel();
// "Nightly", "Developer", "Next" or "Stable"; empty for other numbers.
std::string GetChannelName(int channel);
// " (Edition <stream>)".
std::string GetEditionSuffix();
// The visible product name, a blank and the stream.
std::string GetDefaultFolderName();
std::string GetProductName();
std::string GetUserAgentName();
int32_t GetBuildNumber();
uint32_t GetBuildRevision();
std::string GetBuildTimestamp();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PRODUCT_VERSION_INFO_H_
