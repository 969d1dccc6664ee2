#include "base/strings/stringprintf.h"

#include <wchar.h>

#include <iterator>
#include <vector>

#include "base/logging.h"

namespace base {

namespace {

// A formatting error (not a short buffer) makes the runtime keep failing;
// this bounds the retries with ever larger buffers.
constexpr size_t kMaxOutputSize = 1 << 20;

int FormatV(char* buffer, size_t size, const char* format, va_list ap) {
  return vsnprintf(buffer, size, format, ap);
}

int FormatV(wchar_t* buffer, size_t size, const wchar_t* format, va_list ap) {
  return vswprintf(buffer, size, format, ap);
}

// True when |format| holds a %s or %S without an h or l size, whose meaning
// differs between the mingw and Microsoft wide printf.
bool HasAmbiguousStringConversion(const wchar_t* format) {
  for (const wchar_t* p = format; *p; ++p) {
    if (*p != L'%')
      continue;
    ++p;
    if (*p == L'%')
      continue;
    while (*p && wcschr(L"-+ #0123456789.*", *p))
      ++p;
    bool sized = false;
    while (*p && wcschr(L"hlLjztqI", *p)) {
      sized = true;
      ++p;
    }
    if (!*p)
      break;
    if ((*p == L's' || *p == L'S') && !sized)
      return true;
  }
  return false;
}

template <typename Char>
void AppendV(std::basic_string<Char>* dst, const Char* format, va_list ap) {
  Char stack_buffer[1024];
  va_list ap_copy;
  va_copy(ap_copy, ap);
  int result = FormatV(stack_buffer, std::size(stack_buffer), format, ap_copy);
  va_end(ap_copy);
  if (result >= 0 && static_cast<size_t>(result) < std::size(stack_buffer)) {
    dst->append(stack_buffer, result);
    return;
  }
  // C99 reports the length needed; a runtime that returns -1 for a short
  // buffer instead gets doubling sizes.
  size_t size = std::size(stack_buffer);
  while (true) {
    size = result >= 0 ? static_cast<size_t>(result) + 1 : size * 2;
    if (size > kMaxOutputSize) {
      LOG(ERROR) << "Unable to format the string: error or output too large";
      return;
    }
    std::vector<Char> heap_buffer(size);
    va_copy(ap_copy, ap);
    result = FormatV(heap_buffer.data(), size, format, ap_copy);
    va_end(ap_copy);
    if (result >= 0 && static_cast<size_t>(result) < size) {
      dst->append(heap_buffer.data(), result);
      return;
    }
  }
}

}  // namespace

std::string StringPrintf(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string result;
  StringAppendV(&result, format, ap);
  va_end(ap);
  return result;
}

std::wstring StringPrintf(const wchar_t* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::wstring result;
  StringAppendV(&result, format, ap);
  va_end(ap);
  return result;
}

const std::string& SStringPrintf(std::string* dst, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  dst->clear();
  StringAppendV(dst, format, ap);
  va_end(ap);
  return *dst;
}

const std::wstring& SStringPrintf(std::wstring* dst,
                                  const wchar_t* format,
                                  ...) {
  va_list ap;
  va_start(ap, format);
  dst->clear();
  StringAppendV(dst, format, ap);
  va_end(ap);
  return *dst;
}

void StringAppendF(std::string* dst, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  StringAppendV(dst, format, ap);
  va_end(ap);
}

void StringAppendF(std::wstring* dst, const wchar_t* format, ...) {
  va_list ap;
  va_start(ap, format);
  StringAppendV(dst, format, ap);
  va_end(ap);
}

void StringAppendV(std::string* dst, const char* format, va_list ap) {
  AppendV(dst, format, ap);
}

void StringAppendV(std::wstring* dst, const wchar_t* format, va_list ap) {
  DCHECK(!HasAmbiguousStringConversion(format))
      << "Bare %s or %S in the wide format \"" << format
      << "\": use %ls for wide and %hs for narrow text";
  AppendV(dst, format, ap);
}

}  // namespace base
