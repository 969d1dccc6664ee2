#include "base/base64.h"

#include <stdint.h>

#include <algorithm>

namespace base {

namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DecodeChar(char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

}  // namespace

void Base64Encode(StringPiece input, std::string* output) {
  std::string result;
  result.reserve((input.size() + 2) / 3 * 4);
  for (size_t i = 0; i < input.size(); i += 3) {
    size_t count = std::min<size_t>(3, input.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group <<= 8;
      if (k < count)
        group |= static_cast<uint8_t>(input[i + k]);
    }
    for (size_t k = 0; k < 4; ++k) {
      if (k <= count)
        result.push_back(kAlphabet[(group >> (18 - 6 * k)) & 0x3F]);
      else
        result.push_back('=');
    }
  }
  *output = std::move(result);
}

bool Base64Decode(StringPiece input, std::string* output) {
  if (input.size() % 4 != 0)
    return false;
  size_t padding = 0;
  while (padding < 2 && padding < input.size() &&
         input[input.size() - 1 - padding] == '=') {
    ++padding;
  }
  std::string result;
  result.reserve(input.size() / 4 * 3);
  const size_t data_chars = input.size() - padding;
  uint32_t group = 0;
  for (size_t i = 0; i < data_chars; ++i) {
    int value = DecodeChar(input[i]);
    if (value < 0)
      return false;  // Also a third "=" or one before the end.
    group = (group << 6) | static_cast<uint32_t>(value);
    if (i % 4 == 3) {
      result.push_back(static_cast<char>(group >> 16));
      result.push_back(static_cast<char>(group >> 8));
      result.push_back(static_cast<char>(group));
      group = 0;
    }
  }
  // The last group holds 2 (one byte) or 3 (two bytes) characters.
  switch (data_chars % 4) {
    case 0:
      break;
    case 2:
      result.push_back(static_cast<char>(group >> 4));
      break;
    case 3:
      result.push_back(static_cast<char>(group >> 10));
      result.push_back(static_cast<char>(group >> 2));
      break;
    default:
      return false;
  }
  *output = std::move(result);
  return true;
}

}  // namespace base
