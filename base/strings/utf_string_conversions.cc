#include "base/strings/utf_string_conversions.h"

#include <cstdint>

#include "base/logging.h"

namespace base {

namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

bool IsValidCodepoint(uint32_t cp) {
  return cp < 0xD800u || (cp >= 0xE000u && cp <= 0x10FFFFu);
}

void AppendUTF8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUTF16(uint32_t cp, std::wstring* out) {
  if (cp < 0x10000) {
    out->push_back(static_cast<wchar_t>(cp));
  } else {
    cp -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  }
}

// Decodes one code point at |*i|, advancing it; false for an invalid
// sequence, after which |*i| points past the offending bytes.
bool ReadUTF8(const unsigned char* s, size_t len, size_t* i, uint32_t* cp) {
  unsigned char lead = s[*i];
  size_t extra;
  uint32_t min;
  if (lead < 0x80) {
    *cp = lead;
    ++*i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    min = 0x80;
    *cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    min = 0x800;
    *cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    min = 0x10000;
    *cp = lead & 0x07;
  } else {
    ++*i;
    return false;
  }
  ++*i;
  for (size_t k = 0; k < extra; ++k) {
    if (*i >= len || (s[*i] & 0xC0) != 0x80)
      return false;
    *cp = (*cp << 6) | (s[*i] & 0x3F);
    ++*i;
  }
  return *cp >= min && IsValidCodepoint(*cp);
}

}  // namespace

bool WideToUTF8(const wchar_t* src, size_t src_len, std::string* output) {
  output->clear();
  output->reserve(src_len);
  bool valid = true;
  for (size_t i = 0; i < src_len; ++i) {
    uint32_t cp = static_cast<uint16_t>(src[i]);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < src_len &&
        src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) +
           (static_cast<uint16_t>(src[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacementCharacter;
      valid = false;
    }
    AppendUTF8(cp, output);
  }
  return valid;
}

std::string WideToUTF8(std::wstring_view wide) {
  std::string out;
  WideToUTF8(wide.data(), wide.size(), &out);
  return out;
}

bool UTF8ToWide(const char* src, size_t src_len, std::wstring* output) {
  output->clear();
  output->reserve(src_len);
  const auto* s = reinterpret_cast<const unsigned char*>(src);
  bool valid = true;
  size_t i = 0;
  while (i < src_len) {
    uint32_t cp;
    if (!ReadUTF8(s, src_len, &i, &cp)) {
      cp = kReplacementCharacter;
      valid = false;
    }
    AppendUTF16(cp, output);
  }
  return valid;
}

std::wstring UTF8ToWide(std::string_view utf8) {
  std::wstring out;
  UTF8ToWide(utf8.data(), utf8.size(), &out);
  return out;
}

std::wstring ASCIIToWide(std::string_view ascii) {
  std::wstring out;
  out.reserve(ascii.size());
  for (char c : ascii) {
    DCHECK(static_cast<unsigned char>(c) < 0x80) << "not ASCII";
    out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  }
  return out;
}

std::string WideToASCII(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (wchar_t c : wide) {
    DCHECK(c < 0x80) << "not ASCII";
    out.push_back(static_cast<char>(c));
  }
  return out;
}

}  // namespace base
