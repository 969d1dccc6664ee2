// The records that a crashing client and the crash reporter share. The
// reporter reads them straight out of the client's memory, and both sides
// are the same 64-bit build, so their layouts are fixed here once.

#ifndef COMPONENTS_CRASH_HANDLER_CRASH_HANDLER_TYPES_H_
#define COMPONENTS_CRASH_HANDLER_CRASH_HANDLER_TYPES_H_

#include <stddef.h>
#include <stdint.h>

namespace crash_handler {

static_assert(sizeof(wchar_t) == 2, "the records hold UTF-16 text");

// One named text value that describes the client (a crash key).
struct CustomInfoEntry {
  static constexpr size_t kNameMaxLength = 64;
  static constexpr size_t kValueMaxLength = 64;

  // Both NUL-terminated when shorter than the array.
  wchar_t name[kNameMaxLength];
  wchar_t value[kValueMaxLength];
};
static_assert(sizeof(CustomInfoEntry) == 256, "read by another process");

// A client's table of crash keys: |count| entries at |entries|.
struct CustomClientInfo {
  const CustomInfoEntry* entries;
  size_t count;
};

// What the runtime said about a crash that raised no exception of its own.
enum AssertionType : uint32_t {
  kAssertionTypeUnknown = 0,
  kAssertionTypeInvalidParameter = 1,
  kAssertionTypePureVirtualCall = 2,
};

// Minidump readers know this layout as the assertion stream; every text is
// NUL-terminated within its array.
struct MDRawAssertionInfo {
  wchar_t expression[128];
  wchar_t function[128];
  wchar_t file[128];
  uint32_t line;
  uint32_t type;  // AssertionType.
};
static_assert(sizeof(MDRawAssertionInfo) == 776, "read by another process");

// Exception codes of the crashes that raise no exception: the process ends
// with the code after the report, so that a parent never reads success.
constexpr uint32_t kInvalidParameterExceptionCode = 0xC000000D;
constexpr uint32_t kPureVirtualCallExceptionCode = 0xC0000025;
// std::terminate (an uncaught C++ exception among others) and abort().
constexpr uint32_t kTerminateExceptionCode = 0xE0000001;
constexpr uint32_t kAbortExceptionCode = 0xE0000002;
// What the C++ runtime raises for a throw; one that nobody catches on a
// thread of its own reaches the unhandled-exception filter with it.
constexpr uint32_t kCppExceptionCode = 0x20474343;

}  // namespace crash_handler

#endif  // COMPONENTS_CRASH_HANDLER_CRASH_HANDLER_TYPES_H_
