#include "base/guid.h"

#include <windows.h>

#include <bcrypt.h>
#include <ntsecapi.h>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/win/windows_version.h"

namespace base {

namespace {

template <typename Char>
bool IsValidGUIDInternal(std::basic_string_view<Char> guid, bool strict_lower) {
  constexpr size_t kGUIDLength = 36;
  if (guid.size() != kGUIDLength)
    return false;
  for (size_t i = 0; i < guid.size(); ++i) {
    Char c = guid[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-')
        return false;
    } else if (strict_lower ? !(IsAsciiDigit(c) || (c >= 'a' && c <= 'f'))
                            : !IsHexDigit(c)) {
      return false;
    }
  }
  return true;
}

// Cryptographically random bytes: from CNG (bcrypt.dll), which came with
// Vista, or before from RtlGenRandom of advapi32.
bool FillRandomBytes(void* output, ULONG size) {
  if (win::GetVersion() < win::VERSION_VISTA) {
    if (!RtlGenRandom(output, size)) {
      LOG(ERROR) << "RtlGenRandom failed";
      return false;
    }
    return true;
  }
  const NTSTATUS status =
      BCryptGenRandom(nullptr, static_cast<PUCHAR>(output), size,
                      BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) {
    LOG(ERROR) << "BCryptGenRandom failed: 0x" << std::hex << status;
    return false;
  }
  return true;
}

}  // namespace

std::string GenerateGUID() {
  uint64_t sixteen_bytes[2];
  if (!FillRandomBytes(sixteen_bytes, sizeof(sixteen_bytes)))
    return std::string();
  // Version 4 (random) in the high nibble of the third group and the
  // RFC 4122 variant (10xx) in the fourth group, as the text reads them.
  sixteen_bytes[0] &= 0xffffffffffff0fffULL;
  sixteen_bytes[0] |= 0x0000000000004000ULL;
  sixteen_bytes[1] &= 0x3fffffffffffffffULL;
  sixteen_bytes[1] |= 0x8000000000000000ULL;
  return RandomDataToGUIDString(sixteen_bytes);
}

bool IsValidGUID(StringPiece guid) {
  return IsValidGUIDInternal(guid, false);
}

bool IsValidGUID(StringPiece16 guid) {
  return IsValidGUIDInternal(guid, false);
}

bool IsValidGUIDOutputString(StringPiece guid) {
  return IsValidGUIDInternal(guid, true);
}

std::string RandomDataToGUIDString(const uint64_t bytes[2]) {
  return StringPrintf(
      "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(bytes[0] >> 32),
      static_cast<unsigned>((bytes[0] >> 16) & 0xffff),
      static_cast<unsigned>(bytes[0] & 0xffff),
      static_cast<unsigned>(bytes[1] >> 48),
      static_cast<unsigned long long>(bytes[1] & 0xffffffffffffULL));
}

}  // namespace base
