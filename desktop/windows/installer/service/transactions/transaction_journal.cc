#include "desktop/windows/installer/service/transactions/transaction_journal.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"

namespace installer {

namespace {

// This process's creation time, which tells it from a later process that
// reuses its id.
std::wstring OwnCreationTime() {
  FILETIME creation = {}, exit = {}, kernel = {}, user = {};
  ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
  const uint64_t value =
      (static_cast<uint64_t>(creation.dwHighDateTime) << 32) |
      creation.dwLowDateTime;
  return base::NumberToString16(value);
}

}  // namespace

TransactionJournal::TransactionJournal(const base::FilePath& folder,
                                       const base::FilePath& install_folder)
    : path_(folder.Append(journal::FileNamePrefix(install_folder) +
                          base::NumberToString16(::GetCurrentProcessId()) +
                          L".journal")),
      install_folder_(install_folder) {}

TransactionJournal::~TransactionJournal() {
  Clear();
}

void TransactionJournal::Record(const std::vector<std::wstring>& fields) {
  if (Open())
    Write(journal::EncodeLine(fields));
}

void TransactionJournal::MarkCommitting() {
  if (file_.IsValid())
    Write(journal::EncodeLine({base::ASCIIToWide(journal::kCommit)}));
}

void TransactionJournal::Clear() {
  if (!file_.IsValid())
    return;
  file_.Close();
  if (!base::DeleteFile(path_, false))
    PLOG(ERROR) << "Cannot remove the transaction journal " << path_;
}

bool TransactionJournal::Open() {
  if (file_.IsValid())
    return true;
  if (failed_)
    return false;
  if (!base::CreateDirectory(path_.DirName())) {
    PLOG(ERROR) << "Cannot create the folder of the transaction journal "
                << path_.DirName();
    failed_ = true;
    return false;
  }
  // Readable by the next run while this one still writes; never shared for
  // deletion, so that nobody removes the journal of a live run.
  file_.Set(::CreateFileW(path_.value().c_str(), FILE_APPEND_DATA,
                          FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_.IsValid()) {
    PLOG(ERROR) << "Cannot write the transaction journal " << path_
                << "; a kill of this run would not be repaired";
    failed_ = true;
    return false;
  }
  Write(journal::EncodeLine({base::ASCIIToWide(journal::kHeader), L"1",
                             base::NumberToString16(::GetCurrentProcessId()),
                             OwnCreationTime(), install_folder_.value()}));
  return true;
}

void TransactionJournal::Write(const std::string& line) {
  // One write per line: a process killed between two lines leaves whole
  // lines only, and the data is the system's once WriteFile returns.
  DWORD written = 0;
  if (!::WriteFile(file_.Get(), line.data(), static_cast<DWORD>(line.size()),
                   &written, nullptr) ||
      written != line.size()) {
    PLOG(ERROR) << "Cannot write the transaction journal " << path_;
  }
}

}  // namespace installer
