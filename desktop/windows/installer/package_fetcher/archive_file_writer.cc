#include "desktop/windows/installer/package_fetcher/archive_file_writer.h"

#include <string.h>

#include <utility>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/location.h"
#include "base/logging.h"
#include "crypto/secure_hash.h"
#include "desktop/windows/installer/package_fetcher/checksum_checker.h"
#include "desktop/windows/installer/package_fetcher/held_files.h"

namespace installer {

namespace {

// 8 MiB in flight, in pieces small enough that a run of small files, each
// in a buffer of its own, does not make the decoder wait for the writer.
constexpr size_t kBufferSize = 256 << 10;
constexpr int kBufferCount = 32;

// Writes all of |data| in pieces a DWORD can count. A write that ends short
// is a failure.
bool WriteAll(HANDLE file, const uint8_t* data, size_t size, DWORD* error) {
  constexpr size_t kMaxPiece = 1u << 30;
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(size < kMaxPiece ? size : kMaxPiece);
    DWORD written = 0;
    if (!::WriteFile(file, data, piece, &written, nullptr)) {
      *error = LastErrorOrWriteFault();
      return false;
    }
    if (written != piece) {
      *error = ERROR_WRITE_FAULT;
      return false;
    }
    data += piece;
    size -= piece;
  }
  return true;
}

}  // namespace

DWORD LastErrorOrWriteFault() {
  const DWORD error = ::GetLastError();
  return error ? error : ERROR_WRITE_FAULT;
}

struct ArchiveFileWriter::Buffer {
  // Not zeroed: every use writes before it reads.
  std::unique_ptr<uint8_t[]> data{new uint8_t[kBufferSize]};
  size_t size = 0;
};

struct ArchiveFileWriter::Job {
  base::FilePath folder;     // To create.
  base::FilePath open_path;  // The file to create first.
  std::unique_ptr<Buffer> data;
  bool close = false;
  bool set_time = false;
  FILETIME mtime = {};
  bool discard = false;
};

ArchiveFileWriter::ArchiveFileWriter(
    base::RepeatingCallback<bool(const base::FilePath&)> ensure_directory,
    HeldFiles* held)
    : ensure_directory_(std::move(ensure_directory)),
      held_(held),
      thread_("7z file writer"),
      holder_("7z file holder"),
      buffer_returned_(&lock_) {}

ArchiveFileWriter::~ArchiveFileWriter() {
  thread_.Stop();
  holder_.Stop();
  // Jobs were left unfinished: no half-written file stays.
  DeleteOpenFile();
}

bool ArchiveFileWriter::Start() {
  return thread_.Start() && (!held_ || holder_.Start());
}

void ArchiveFileWriter::CreateFolder(const base::FilePath& folder) {
  auto job = std::make_unique<Job>();
  job->folder = folder;
  PostJob(std::move(job));
}

void ArchiveFileWriter::OpenFile(const base::FilePath& path) {
  DCHECK(open_path_.empty() && !filling_);
  open_path_ = path;
}

void ArchiveFileWriter::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (!filling_)
      filling_ = TakeBuffer();
    size_t count = kBufferSize - filling_->size;
    if (count > size)
      count = size;
    memcpy(filling_->data.get() + filling_->size, data, count);
    filling_->size += count;
    data += count;
    size -= count;
    if (filling_->size == kBufferSize)
      PostJob(std::make_unique<Job>());
  }
}

void ArchiveFileWriter::CloseFile(const FILETIME* mtime) {
  auto job = std::make_unique<Job>();
  job->close = true;
  job->set_time = mtime != nullptr;
  if (mtime)
    job->mtime = *mtime;
  PostJob(std::move(job));
}

void ArchiveFileWriter::DiscardFile() {
  if (filling_)
    ReturnBuffer(std::move(filling_));
  // Not created yet: nothing to undo.
  if (!open_path_.empty()) {
    open_path_.clear();
    return;
  }
  auto job = std::make_unique<Job>();
  job->discard = true;
  PostJob(std::move(job));
}

ArchiveFileWriter::Failure ArchiveFileWriter::Finish(DWORD* error) {
  thread_.Stop();
  holder_.Stop();
  if (failure_ == Failure::kNone && hold_failed_) {
    failure_ = Failure::kWrite;
    error_ = ERROR_WRITE_FAULT;
  }
  *error = error_;
  return failure_;
}

void ArchiveFileWriter::PostJob(std::unique_ptr<Job> job) {
  job->open_path = std::move(open_path_);
  open_path_.clear();
  job->data = std::move(filling_);
  thread_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&ArchiveFileWriter::RunJob,
                                base::Unretained(this), std::move(job)));
}

void ArchiveFileWriter::RunJob(std::unique_ptr<Job> job) {
  if (!job->folder.empty())
    CreateFolderOnThread(job->folder);
  if (!job->open_path.empty())
    OpenFileOnThread(job->open_path);
  if (job->data) {
    WriteOnThread(*job->data);
    ReturnBuffer(std::move(job->data));
  }
  if (job->close)
    CloseFileOnThread(job->set_time, job->mtime);
  if (job->discard)
    DeleteOpenFile();
}

void ArchiveFileWriter::CreateFolderOnThread(const base::FilePath& folder) {
  if (!failed_ && !ensure_directory_.Run(folder))
    Fail(Failure::kCreate, "CreateDirectory", LastErrorOrWriteFault());
}

void ArchiveFileWriter::OpenFileOnThread(const base::FilePath& path) {
  if (failed_)
    return;
  if (!ensure_directory_.Run(path.DirName())) {
    Fail(Failure::kCreate, "CreateDirectory", LastErrorOrWriteFault());
    return;
  }
  // New, never through a link: a name that exists is another program's.
  const HANDLE file = ::CreateFileW(
      path.value().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Fail(Failure::kCreate, "CreateFile", LastErrorOrWriteFault());
    return;
  }
  file_.Set(file);
  file_path_ = path;
  if (held_) {
    // Who it is tells it from a link put at its name once it is closed.
    if (!base::GetFileIdentity(file, &file_identity_)) {
      Fail(Failure::kCreate, "GetFileIdentity", LastErrorOrWriteFault());
      return;
    }
    hash_ = crypto::SecureHash::Create(crypto::SecureHash::SHA256);
    if (!hash_)
      Fail(Failure::kWrite, "SecureHash::Create", ERROR_WRITE_FAULT);
  }
}

void ArchiveFileWriter::WriteOnThread(const Buffer& buffer) {
  DWORD error;
  if (failed_ || !file_.IsValid())
    return;
  if (!WriteAll(file_.Get(), buffer.data.get(), buffer.size, &error)) {
    Fail(Failure::kWrite, "WriteFile", error);
    return;
  }
  if (hash_)
    hash_->Update(buffer.data.get(), buffer.size);
}

void ArchiveFileWriter::CloseFileOnThread(bool set_time, FILETIME mtime) {
  if (failed_ || !file_.IsValid())
    return;
  if (set_time && !::SetFileTime(file_.Get(), nullptr, nullptr, &mtime)) {
    Fail(Failure::kSetTime, "SetFileTime", LastErrorOrWriteFault());
    return;
  }
  if (!::CloseHandle(file_.Take())) {
    Fail(Failure::kClose, "CloseHandle", LastErrorOrWriteFault());
    return;
  }
  if (hash_) {
    // Beside the writing: reopening a file costs as much as writing it.
    holder_.task_runner()->PostTask(
        FROM_HERE,
        base::BindOnce(&ArchiveFileWriter::HoldOnHolder, base::Unretained(this),
                       file_path_, file_identity_,
                       FinishSha256Hex(hash_.get())));
    hash_.reset();
  }
  file_path_.clear();
}

void ArchiveFileWriter::HoldOnHolder(const base::FilePath& path,
                                     const base::FileIdentity& made,
                                     const std::string& sha256) {
  if (hold_failed_ || held_->HoldWritten(path, sha256, &made))
    return;
  hold_failed_ = true;
  // The decoder stops at the next job.
  failed_ = true;
}

void ArchiveFileWriter::Fail(Failure failure, const char* call, DWORD error) {
  LOG(ERROR) << "Error returned by " << call << ": "
             << logging::SystemErrorCodeToString(error);
  if (failure_ == Failure::kNone) {
    failure_ = failure;
    error_ = error;
  }
  failed_ = true;
  DeleteOpenFile();
}

void ArchiveFileWriter::DeleteOpenFile() {
  if (file_path_.empty())
    return;
  file_.Close();
  // Once closed, another program may have put a link at the name.
  if (!base::DeleteFileAtItsPlace(file_path_))
    PLOG(WARNING) << "Cannot delete the partial file " << file_path_;
  file_path_.clear();
}

std::unique_ptr<ArchiveFileWriter::Buffer> ArchiveFileWriter::TakeBuffer() {
  base::AutoLock lock(lock_);
  while (free_buffers_.empty() && buffers_made_ == kBufferCount)
    buffer_returned_.Wait();
  if (free_buffers_.empty()) {
    ++buffers_made_;
    return std::make_unique<Buffer>();
  }
  std::unique_ptr<Buffer> buffer = std::move(free_buffers_.back());
  free_buffers_.pop_back();
  buffer->size = 0;
  return buffer;
}

void ArchiveFileWriter::ReturnBuffer(std::unique_ptr<Buffer> buffer) {
  base::AutoLock lock(lock_);
  free_buffers_.push_back(std::move(buffer));
  buffer_returned_.Signal();
}

}  // namespace installer
