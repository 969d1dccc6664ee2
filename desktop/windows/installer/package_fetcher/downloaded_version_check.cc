#include "desktop/windows/installer/package_fetcher/downloaded_version_check.h"

#include <string>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/version.h"
#include "desktop/windows/installer/package_fetcher/package_program.h"
#include "desktop/windows/installer/product/installer_switches.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

namespace {

// Versions and stream names are short; a longer answer is no answer, and
// is not worth recording.
constexpr size_t kMaxAnswerLength = 64;

// The program's answer to |switch_name| without surrounding whitespace; a
// host may end it with a line break.
bool Ask(const base::FilePath& program,
         const char* switch_name,
         std::string* answer) {
  std::string output;
  if (!QueryPackageProgram(program, switch_name, &output))
    return false;
  *answer = std::string(base::TrimWhitespaceASCII(output, base::TRIM_ALL));
  if (answer->size() > kMaxAnswerLength) {
    LOG(ERROR) << program << " answered --" << switch_name << " with "
               << answer->size() << " characters";
    return false;
  }
  return true;
}

}  // namespace

bool CheckDownloadedVersion(const base::FilePath& program,
                            bool check_stream,
                            InstallerStatsNode stats) {
  const base::Version expected(GetInternalVersion());
  std::string version_text;
  if (!Ask(program, switches::kInternalVersion, &version_text))
    return false;
  VLOG(1) << "Downloaded item version: " << version_text;
  stats.SetString("internal_version", version_text);
  const base::Version version(version_text);
  if (!version.IsValid() || version.CompareTo(expected) < 0) {
    LOG(ERROR) << "Downloaded item is older than the installer";
    return false;
  }
  if (!check_stream)
    return true;
  std::string stream;
  if (!Ask(program, switches::kStream, &stream))
    return false;
  VLOG(1) << "Downloaded item stream: " << stream;
  stats.SetString("stream", stream);
  if (stream != GetStream()) {
    LOG(ERROR) << "Downloaded item is of a different stream than the "
                  "installer";
    return false;
  }
  return true;
}

}  // namespace installer
