#include "base/strings/utf_string_conversions.h"

#include <cstdint>

#include "base/logging.h"

namespace base {

namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

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

}  // namespace

bool ReadUTF8CodePoint(StringPiece text, size_t* index, uint32_t* code_point) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t i = *index;
  const unsigned char lead = bytes[i];
  *index = i + 1;
  if (lead < 0x80) {
    *code_point = lead;
    return true;
  }
  size_t length = 0;
  // The range of the second byte; the bytes after it are 80..BF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;  // Overlong below U+0800.
    else if (lead == 0xED)
      high = 0x9F;  // Surrogates.
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;  // Overlong below U+10000.
    else if (lead == 0xF4)
      high = 0x8F;  // Above U+10FFFF.
  } else {
    return false;  // A continuation byte, C0/C1 or F5..FF.
  }
  uint32_t value = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if (i + k >= text.size() || bytes[i + k] < low || bytes[i + k] > high)
      return false;
    value = (value << 6) | (bytes[i + k] & 0x3F);
    *index = i + k + 1;
    low = 0x80;
    high = 0xBF;
  }
  *code_point = value;
  return true;
}

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
  const StringPiece text(src, src_len);
  bool valid = true;
  size_t i = 0;
  while (i < src_len) {
    uint32_t cp;
    if (!ReadUTF8CodePoint(text, &i, &cp)) {
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
