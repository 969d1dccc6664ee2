#include "desktop/windows/installer/service/transactions/transaction_journal.h"

#include <windows.h>

#include <algorithm>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/journal_record.h"

namespace installer {

namespace {

// Names tried for the journal before the run goes on without one.
constexpr int kMaxNameAttempts = 100;

// This process's creation time, which tells it from a later process that
// reuses its id.
uint64_t OwnCreationTime() {
  FILETIME creation = {}, exit = {}, kernel = {}, user = {};
  ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
  return (static_cast<uint64_t>(creation.dwHighDateTime) << 32) |
         creation.dwLowDateTime;
}

}  // namespace

TransactionJournal::TransactionJournal(const base::FilePath& folder,
                                       const base::FilePath& install_folder,
                                       const std::wstring& name)
    : path_(folder.Append(journal::FileNamePrefix(install_folder) +
                          base::NumberToString16(::GetCurrentProcessId()) +
                          (name.empty() ? L"" : L"." + name) + L".journal")),
      install_folder_(install_folder) {}

bool TransactionJournal::CreateNewFile() {
  // The name is predictable: whatever holds it already (a link another
  // program planted, a journal of an ended process with the same id) is
  // never opened, only passed by for the next name.
  const base::FilePath first = path_;
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    const base::FilePath path =
        attempt == 0 ? first
                     : first.RemoveExtension().AddExtension(
                           base::NumberToString16(attempt) + L".journal");
    // Readable by the next run while this one still writes; never shared
    // for deletion, so that nobody removes the journal of a live run.
    // Written at its end only, and cut back by a rollback.
    file_.Set(::CreateFileW(
        path.value().c_str(), FILE_WRITE_DATA | FILE_APPEND_DATA,
        FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_.IsValid()) {
      path_ = path;
      return true;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  return false;
}

TransactionJournal::~TransactionJournal() {
  Clear();
}

void TransactionJournal::Record(const journal::Entry& entry) {
  if (Open())
    Write(journal::EncodeEntry(entry));
}

void TransactionJournal::MarkCommitting() {
  if (file_.IsValid())
    Write(journal::EncodeEntry(journal::CommitMarker()));
}

void TransactionJournal::CutBackTo(int64_t size) {
  size = std::max(size, header_size_);
  if (!file_.IsValid() || size >= size_)
    return;
  LARGE_INTEGER position = {};
  position.QuadPart = size;
  if (!::SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file_.Get())) {
    // The lines stay: a replay undoes them once more, which for the
    // newest operation alone finds nothing left to undo.
    PLOG(ERROR) << "Cannot cut back the transaction journal " << path_;
    return;
  }
  size_ = size;
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
  if (!CreateNewFile()) {
    PLOG(ERROR) << "Cannot write the transaction journal " << path_
                << "; a kill of this run would not be repaired";
    failed_ = true;
    return false;
  }
  size_ = 0;
  Write(journal::EncodeHeader(
      {::GetCurrentProcessId(), OwnCreationTime(), install_folder_}));
  header_size_ = size_;
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
  size_ += written;
}

}  // namespace installer
