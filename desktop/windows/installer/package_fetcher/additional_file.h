// One additional file that the update server lists with the package
// ("components" of its reply): partner content saved into the package, or a
// component's self-extracting archive that is run to unpack the
// component's installer.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ADDITIONAL_FILE_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ADDITIONAL_FILE_H_

#include <string>

namespace base {
class DictionaryValue;
}

namespace installer {

// The types fetched: partner content always, the suite when it is wanted.
extern const char kPartnerContentType[];
extern const char kSuiteType[];

struct AdditionalFile {
  AdditionalFile();
  AdditionalFile(const AdditionalFile& other);
  AdditionalFile& operator=(const AdditionalFile& other);
  ~AdditionalFile();

  // False when the entry missed a field, had one of the wrong type, or
  // named its file unsafely: it is skipped when its turn comes.
  bool well_formed = false;
  std::string type;
  std::string location;  // The address, UTF-8.
  bool archive = false;
  std::string checksum;
  // The name in the target folder, for files that are no archive.
  std::string filename;
};

// Reads an entry of "components" whose "type" is a string: "location" (a
// string), "archive" (an integer), "checksum" (an ASCII string) and, unless
// it is an archive, "filename", which must be one plain file name. The
// result is not well formed when any of them fails.
AdditionalFile ParseAdditionalFile(const base::DictionaryValue& entry);

// Whether |name| (UTF-8) names a file directly in a folder and nothing else:
// not empty, no "/", "\" or ":", not "." or "..", no device name such as
// "CON" or "nul.txt", nothing Windows would change or read otherwise.
bool IsPlainFileName(const std::string& name);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_ADDITIONAL_FILE_H_
