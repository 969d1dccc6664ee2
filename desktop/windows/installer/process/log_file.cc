#include "desktop/windows/installer/process/log_file.h"

#include <string>

#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/time.h"
#include "desktop/windows/installer/process/temp_folder.h"
#include "desktop/windows/installer/product/version_info.h"

namespace installer {

base::FilePath GetLogFilePath() {
  base::Time::Exploded now;
  base::Time::Now().LocalExplode(&now);
  std::string name = base::StringPrintf(
      "%s_installer_%04d%02d%02d%02d%02d%02d.log",
      base::ToLowerASCII(GetProductName()).c_str(), now.year, now.month,
      now.day_of_month, now.hour, now.minute, now.second);
  base::FilePath folder;
  if (base::PathService::Get(base::DIR_TEMP, &folder)) {
    folder = folder.Append(GetInstallerTempFolderName());
    // A link there would lead the log elsewhere.
    if (OpenInstallerFolder(folder).IsValid())
      return folder.AppendASCII(name);
  }
  return base::FilePath(base::UTF8ToWide(name));
}

}  // namespace installer
