#include "base/win/file_information.h"

#include <winternl.h>

namespace base {
namespace win {

namespace {

using SetInformationFunction = NTSTATUS(NTAPI*)(HANDLE,
                                                PIO_STATUS_BLOCK,
                                                PVOID,
                                                ULONG,
                                                FILE_INFORMATION_CLASS);

// Looked up, not imported: installer.dll imports nothing at load time but
// kernel32 and the C runtime.
NTSTATUS SetInformation(HANDLE file,
                        void* information,
                        ULONG size,
                        FILE_INFORMATION_CLASS kind) {
  static const auto set_information = reinterpret_cast<SetInformationFunction>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"),
                       "NtSetInformationFile"));
  if (!set_information)
    return static_cast<NTSTATUS>(0xC0000002L);  // STATUS_NOT_IMPLEMENTED
  IO_STATUS_BLOCK status = {};
  return set_information(file, &status, information, size, kind);
}

using QueryInformationFunction = NTSTATUS(
    NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

NTSTATUS QueryInformation(HANDLE file,
                          void* information,
                          ULONG size,
                          FILE_INFORMATION_CLASS kind) {
  static const auto query_information =
      reinterpret_cast<QueryInformationFunction>(::GetProcAddress(
          ::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile"));
  if (!query_information)
    return static_cast<NTSTATUS>(0xC0000002L);  // STATUS_NOT_IMPLEMENTED
  IO_STATUS_BLOCK status = {};
  return query_information(file, &status, information, size, kind);
}

}  // namespace

bool QueryFileIndex(HANDLE file, uint64_t* index, DWORD* attributes) {
  LARGE_INTEGER number = {};
  if (QueryInformation(file, &number, sizeof(number), FileInternalInformation) <
      0) {
    return false;
  }
  *index = static_cast<uint64_t>(number.QuadPart);
  if (!attributes)
    return true;
  FILE_BASIC_INFORMATION basic = {};
  if (QueryInformation(file, &basic, sizeof(basic), FileBasicInformation) < 0)
    return false;
  *attributes = basic.FileAttributes;
  return true;
}

bool MarkFileForDeletion(HANDLE file) {
  FILE_DISPOSITION_INFORMATION disposition = {TRUE};
  return SetInformation(file, &disposition, sizeof(disposition),
                        FileDispositionInformation) >= 0;
}

}  // namespace win
}  // namespace base
