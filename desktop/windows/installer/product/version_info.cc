#include "desktop/windows/installer/product/version_info.h"

#include <windows.h>

#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "desktop/windows/installer/product/branding_config.h"
#include "desktop/windows/installer/product/build_constants.h"

namespace installer {

int GetEngineMajorVersion() {
  std::string engine = KELVO_ENGINE_VERSION;
  std::string major = engine.substr(0, engine.find('.'));
  int value = 0;
  base::StringToInt(major, &value);
  return value;
}

int GetProductMajorVersion() {
  return KELVO_BASE_MAJOR_VERSION + GetMajorDelta();
}

std::string GetProductVersion() {
  int minor = UseEngineMajorForMinor() ? GetEngineMajorVersion() : 0;
  return base::StringPrintf("%d.%d.%d.%d", GetProductMajorVersion(), minor,
                            KELVO_INTERNAL_BUILD, 0);
}

std::string GetProductVersionString() {
  return GetProductVersion();
}

std::string GetInternalVersion() {
  return base::StringPrintf("%d.%d", KELVO_INTERNAL_BUILD, 0);
}

std::string GetStream() {
  return KELVO_STREAM;
}

int GetChannel() {
  return KELVO_CHANNEL;
}

std::string GetChannelName(int channel) {
  switch (channel) {
    case CHANNEL_NIGHTLY:
      return "Nightly";
    case CHANNEL_DEVELOPER:
      return "Developer";
    case CHANNEL_NEXT:
      return "Next";
    case CHANNEL_STABLE:
      return "Stable";
    default:
      return std::string();
  }
}

std::string GetEditionSuffix() {
  return " (Edition " + GetStream() + ")";
}

std::string GetDefaultFolderName() {
  return GetVisibleProductName() + " " + GetStream();
}

std::string GetProductName() {
  return GetBrandingProductName();
}

std::string GetUserAgentName() {
  return GetBrandingUserAgentName();
}

int32_t GetBuildNumber() {
  return KELVO_BUILD_NUMBER;
}

uint32_t GetBuildRevision() {
  return KELVO_BUILD_REVISION;
}

std::string GetBuildTimestamp() {
  return KELVO_BUILD_TIMESTAMP;
}

}  // namespace installer
