#include "components/crash_report/crash_file_v1.h"

#include <windows.h>

#include <inttypes.h>
#include <psapi.h>

#include <string>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_handle.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/crash_reporter_exception_info.h"
#include "components/crash_report/minidump_writer.h"
#include "components/crash_report/remote_memory_reader.h"

namespace crash_report {

namespace {

constexpr char kMetadataMarker[] = "\r\nmetadata:\r\n";
constexpr char kMinidumpMarker[] = "\r\nminidump:\r\n";
static_assert(sizeof(kMetadataMarker) - 1 == 13);
static_assert(sizeof(kMinidumpMarker) - 1 == 13);

bool WriteAll(FILE* file, const void* data, size_t size) {
  return fwrite(data, 1, size, file) == size;
}

// The executable's file name: the last part of its image path.
bool GetExecutableName(HANDLE process, std::wstring* name) {
  wchar_t path[MAX_PATH];
  DWORD length = ::GetProcessImageFileNameW(process, path, MAX_PATH);
  if (!length) {
    PLOG(ERROR) << "GetProcessImageFileName failed";
    return false;
  }
  std::wstring_view image(path, length);
  size_t slash = image.rfind(L'\\');
  *name = std::wstring(
      slash == std::wstring_view::npos ? image : image.substr(slash + 1));
  return true;
}

// The exception code and address of the crash, read through the pointers
// that the record holds; both 0 when they cannot be read.
void ReadException(HANDLE process,
                   const CrashReporterExceptionInfo& record,
                   uint32_t* code,
                   uint64_t* address) {
  EXCEPTION_POINTERS pointers = {};
  EXCEPTION_RECORD exception = {};
  static_assert(sizeof(exception) == 152);
  if (!ReadRemoteMemory(process, record.exception_pointers, &pointers,
                        sizeof(pointers)) ||
      !ReadRemoteMemory(process,
                        reinterpret_cast<uintptr_t>(pointers.ExceptionRecord),
                        &exception, sizeof(exception))) {
    LOG(WARNING) << "Cannot read the exception of the crashed process";
    *code = 0;
    *address = 0;
    return;
  }
  *code = exception.ExceptionCode;
  *address = reinterpret_cast<uintptr_t>(exception.ExceptionAddress);
}

// The minidump, made in a temporary file that is always deleted.
bool MakeMinidump(HANDLE process,
                  uint32_t pid,
                  const CrashReporterExceptionInfo& record,
                  std::string_view version_text,
                  uint64_t max_size,
                  std::string* dump) {
  base::FilePath temporary;
  if (!base::CreateTemporaryFile(&temporary)) {
    PLOG(ERROR) << "No temporary file for the minidump";
    return false;
  }
  bool made = WriteMinidumpToFile(process, pid, record, version_text, temporary,
                                  max_size) &&
              base::ReadFileToString(temporary, dump) && !dump->empty();
  base::DeleteFileAtItsPlace(temporary);
  return made;
}

}  // namespace

bool WriteCrashFileForProcess(uint32_t pid,
                              uint64_t record_address,
                              const CrashInfo& info,
                              std::string_view version_text,
                              const base::FilePath& path,
                              uint64_t max_dump_size) {
  base::win::ScopedHandle process = OpenProcessForReading(pid);
  if (!process.IsValid())
    return false;
  std::wstring executable;
  CrashReporterExceptionInfo record = {};
  if (!GetExecutableName(process.Get(), &executable) ||
      !ReadCrashReporterExceptionInfo(process.Get(), record_address, &record)) {
    return false;
  }
  // Read before the minidump, which may take longer than the crashed
  // process waits for this reporter: what is left of it afterwards is not
  // the crash.
  uint32_t code = 0;
  uint64_t address = 0;
  ReadException(process.Get(), record, &code, &address);
  std::string dump;
  if (!MakeMinidump(process.Get(), pid, record, version_text, max_dump_size,
                    &dump)) {
    return false;
  }

  FILE* file = base::OpenNewFileStream(path, "wb");
  if (!file) {
    LOG(ERROR) << "Cannot create the crash file " << path;
    return false;
  }
  bool written = WriteCrashFileV1(file, info, executable, code, address,
                                  reinterpret_cast<const uint8_t*>(dump.data()),
                                  dump.size());
  if (fclose(file))
    written = false;
  if (!written) {
    LOG(ERROR) << "Cannot write the crash file " << path;
    base::DeleteFileAtItsPlace(path);
  }
  return written;
}

bool WriteCrashFileV1(FILE* file,
                      const CrashInfo& info,
                      std::wstring_view executable,
                      uint32_t exception_code,
                      uint64_t exception_address,
                      const uint8_t* dump,
                      size_t dump_size) {
  // A name of any language stays readable as UTF-8.
  std::string name = base::WideToUTF8(executable);
  if (fprintf(file,
              "KELVO-CRASHLOG V1 desktop%s %s %s windows x64 release\r\n"
              "%s caused exception %X at address %012" PRIX64
              " (BASE: 00000000)\r\n",
              info.product_suffix.c_str(), info.version.c_str(),
              info.build_number.c_str(), name.c_str(), exception_code,
              exception_address) < 0) {
    return false;
  }
  if (!info.metadata.empty()) {
    if (!WriteAll(file, kMetadataMarker, sizeof(kMetadataMarker) - 1))
      return false;
    for (const auto& [key, value] : info.metadata) {
      if (fprintf(file, "%s=\"%s\"\r\n", key.c_str(), value.c_str()) < 0)
        return false;
    }
  }
  return WriteAll(file, kMinidumpMarker, sizeof(kMinidumpMarker) - 1) &&
         WriteAll(file, dump, dump_size);
}

}  // namespace crash_report
