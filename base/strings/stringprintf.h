// printf-style formatting into std::string and std::wstring.
//
// Both forms use the C99 printf of the mingw-w64 runtime, not Microsoft's:
//   - Narrow formats: %s takes a char* (pass UTF-8). Do not pass wide text
//     with %ls or %S: the runtime converts it through the C locale, so
//     non-ASCII characters come out as Latin-1 bytes or vanish. Convert with
//     WideToUTF8 and use %s. Sizes: %zu, %lld, %llu, %p (%I64d works too but
//     the compiler's format check warns about it).
//   - Wide formats: %ls takes a wchar_t* and %lc a wchar_t. %hs takes a char*
//     and widens it byte by byte, so it is only right for ASCII. A bare %s or
//     %S is rejected by a DCHECK: %s means char* here but wchar_t* in
//     Microsoft's runtime, and code ported from one to the other would read
//     the wrong width without a warning.

#ifndef BASE_STRINGS_STRINGPRINTF_H_
#define BASE_STRINGS_STRINGPRINTF_H_

#include <stdarg.h>
#include <stdio.h>

#include <string>

#define BASE_PRINTF_FORMAT(format_param, dots_param) \
  __attribute__((format(__MINGW_PRINTF_FORMAT, format_param, dots_param)))

namespace base {

std::string StringPrintf(const char* format, ...) BASE_PRINTF_FORMAT(1, 2);
std::wstring StringPrintf(const wchar_t* format, ...);

// Overwrites |*dst| with the formatted text and returns it.
const std::string& SStringPrintf(std::string* dst, const char* format, ...)
    BASE_PRINTF_FORMAT(2, 3);
const std::wstring& SStringPrintf(std::wstring* dst,
                                  const wchar_t* format,
                                  ...);

// Appends the formatted text to |*dst|.
void StringAppendF(std::string* dst, const char* format, ...)
    BASE_PRINTF_FORMAT(2, 3);
void StringAppendF(std::wstring* dst, const wchar_t* format, ...);
void StringAppendV(std::string* dst, const char* format, va_list ap)
    BASE_PRINTF_FORMAT(2, 0);
void StringAppendV(std::wstring* dst, const wchar_t* format, va_list ap);

}  // namespace base

#endif  // BASE_STRINGS_STRINGPRINTF_H_
