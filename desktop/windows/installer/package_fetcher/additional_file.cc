#include "desktop/windows/installer/package_fetcher/additional_file.h"

#include "base/files/file_path.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/values.h"
#include "desktop/windows/installer/package_fetcher/archive_entry_path.h"

namespace installer {

const char kPartnerContentType[] = "partner_content";
const char kSuiteType[] = "suite";

AdditionalFile::AdditionalFile() = default;
AdditionalFile::AdditionalFile(const AdditionalFile& other) = default;
AdditionalFile& AdditionalFile::operator=(const AdditionalFile& other) =
    default;
AdditionalFile::~AdditionalFile() = default;

AdditionalFile ParseAdditionalFile(const base::DictionaryValue& entry) {
  AdditionalFile file;
  int archive = 0;
  if (!entry.GetString("type", &file.type) ||
      !entry.GetString("location", &file.location) ||
      !entry.GetInteger("archive", &archive) ||
      !entry.GetString("checksum", &file.checksum) ||
      !base::IsStringASCII(file.checksum)) {
    return file;
  }
  file.archive = archive != 0;
  if (!file.archive) {
    if (!entry.GetString("filename", &file.filename))
      return file;
    if (!IsPlainFileName(file.filename)) {
      LOG(ERROR) << "Refusing the additional file name \"" << file.filename
                 << "\": it is no plain file name";
      return file;
    }
  }
  file.well_formed = true;
  return file;
}

bool IsPlainFileName(const std::string& name) {
  std::wstring wide;
  if (!base::UTF8ToWide(name.data(), name.size(), &wide) ||
      wide.find_first_of(L"/\\") != std::wstring::npos) {
    return false;
  }
  // One component that an archive could name safely.
  base::FilePath unused;
  return ArchiveEntryNameToRelativePath(wide, &unused);
}

}  // namespace installer
