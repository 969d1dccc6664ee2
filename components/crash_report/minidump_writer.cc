#include "components/crash_report/minidump_writer.h"

#include <dbghelp.h>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/win/scoped_handle.h"
#include "components/crash_report/crash_reporter_exception_info.h"
#include "components/crash_report/remote_memory_reader.h"

namespace crash_report {

namespace {

using MiniDumpWriteDumpFunction =
    BOOL(WINAPI*)(HANDLE process,
                  DWORD pid,
                  HANDLE file,
                  MINIDUMP_TYPE type,
                  PMINIDUMP_EXCEPTION_INFORMATION exception,
                  PMINIDUMP_USER_STREAM_INFORMATION user_streams,
                  PMINIDUMP_CALLBACK_INFORMATION callback);

// Tried in this order: the memory that stacks point to helps most, but
// makes the largest dumps.
constexpr MINIDUMP_TYPE kDumpTypes[] = {MiniDumpWithIndirectlyReferencedMemory,
                                        MiniDumpNormal};

class ScopedLibrary {
 public:
  explicit ScopedLibrary(HMODULE module) : module_(module) {}
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;
  ~ScopedLibrary() {
    if (module_)
      ::FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

 private:
  const HMODULE module_;
};

bool TruncateFile(HANDLE file) {
  LARGE_INTEGER zero = {};
  return ::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) &&
         ::SetEndOfFile(file);
}

}  // namespace

bool WriteMinidumpWithFallback(HANDLE process,
                               uint32_t pid,
                               const CrashReporterExceptionInfo& record,
                               std::string_view version_text,
                               HANDLE file,
                               uint64_t max_size) {
  // Only from the system folder: the reporter works in the crash folder,
  // where anybody may have put a file of that name.
  ScopedLibrary dbghelp(
      ::LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  auto write_dump =
      dbghelp.get() ? reinterpret_cast<MiniDumpWriteDumpFunction>(
                          ::GetProcAddress(dbghelp.get(), "MiniDumpWriteDump"))
                    : nullptr;
  if (!write_dump) {
    PLOG(ERROR) << "No MiniDumpWriteDump in dbghelp.dll";
    return false;
  }
  MINIDUMP_EXCEPTION_INFORMATION exception = {};
  exception.ThreadId = record.thread_id;
  exception.ExceptionPointers =
      reinterpret_cast<EXCEPTION_POINTERS*>(record.exception_pointers);
  exception.ClientPointers = TRUE;

  MINIDUMP_USER_STREAM streams[2] = {};
  streams[0].Type = kVersionStreamType;
  streams[0].BufferSize = static_cast<ULONG>(version_text.size());
  streams[0].Buffer = const_cast<char*>(version_text.data());
  MINIDUMP_USER_STREAM_INFORMATION user_streams = {1, streams};
  if (record.assertion.type == crash_handler::kAssertionTypeInvalidParameter) {
    streams[1].Type = kAssertionStreamType;
    streams[1].BufferSize = sizeof(record.assertion);
    streams[1].Buffer =
        const_cast<crash_handler::MDRawAssertionInfo*>(&record.assertion);
    user_streams.UserStreamCount = 2;
  }

  for (MINIDUMP_TYPE type : kDumpTypes) {
    if (write_dump(process, pid, file, type, &exception, &user_streams,
                   nullptr)) {
      LARGE_INTEGER size = {};
      if (!::GetFileSizeEx(file, &size)) {
        PLOG(ERROR) << "Cannot measure the minidump of process " << pid;
        return false;
      }
      if (static_cast<uint64_t>(size.QuadPart) <= max_size)
        return true;
      LOG(INFO) << "The minidump of process " << pid << " of type 0x"
                << std::hex << type << std::dec << " has " << size.QuadPart
                << " bytes, more than " << max_size;
    } else if (::GetLastError() != static_cast<DWORD>(E_INVALIDARG)) {
      PLOG(ERROR) << "MiniDumpWriteDump failed for process " << pid;
      return false;
    }
    if (!TruncateFile(file)) {
      PLOG(ERROR) << "Cannot empty the minidump file again";
      return false;
    }
  }
  return false;
}

bool WriteMinidumpToFile(HANDLE process,
                         uint32_t pid,
                         const CrashReporterExceptionInfo& record,
                         std::string_view version_text,
                         const base::FilePath& path,
                         uint64_t max_size) {
  // Made new, in a folder that other programs may write (the temporary
  // folder): a link at the name goes, and is never written through.
  base::DeleteFileAtItsPlace(path);
  base::win::ScopedHandle file(
      ::CreateFileW(path.value().c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr));
  if (!file.IsValid()) {
    PLOG(ERROR) << "Cannot create the minidump " << path;
    return false;
  }
  bool written = WriteMinidumpWithFallback(process, pid, record, version_text,
                                           file.Get(), max_size);
  file.Close();
  if (!written)
    base::DeleteFileAtItsPlace(path);
  return written;
}

bool WriteMinidumpFromParts(uint32_t pid,
                            uint64_t thread_id_address,
                            uint64_t exception_pointers_address,
                            uint64_t assertion_address,
                            std::string_view version_text,
                            const base::FilePath& path,
                            uint64_t max_size) {
  base::win::ScopedHandle process = OpenProcessForReading(pid);
  if (!process.IsValid())
    return false;
  CrashReporterExceptionInfo record = {};
  if (!ReadRemoteMemory(process.Get(), exception_pointers_address,
                        &record.exception_pointers,
                        sizeof(record.exception_pointers)) ||
      !ReadRemoteMemory(process.Get(), thread_id_address, &record.thread_id,
                        sizeof(record.thread_id)) ||
      (assertion_address &&
       !ReadRemoteMemory(process.Get(), assertion_address, &record.assertion,
                         sizeof(record.assertion)))) {
    LOG(ERROR) << "Cannot read the crash of process " << pid;
    return false;
  }
  return WriteMinidumpToFile(process.Get(), pid, record, version_text, path,
                             max_size);
}

bool WriteMinidumpForProcess(uint32_t pid,
                             uint64_t record_address,
                             std::string_view version_text,
                             const base::FilePath& path,
                             uint64_t max_size) {
  base::win::ScopedHandle process = OpenProcessForReading(pid);
  CrashReporterExceptionInfo record = {};
  if (!process.IsValid() ||
      !ReadCrashReporterExceptionInfo(process.Get(), record_address, &record)) {
    return false;
  }
  return WriteMinidumpToFile(process.Get(), pid, record, version_text, path,
                             max_size);
}

bool ReadCrashReporterExceptionInfo(HANDLE process,
                                    uint64_t address,
                                    CrashReporterExceptionInfo* record) {
  if (ReadRemoteMemory(process, address, record, sizeof(*record)))
    return true;
  PLOG(ERROR) << "Cannot read the crash record at 0x" << std::hex << address;
  return false;
}

}  // namespace crash_report
