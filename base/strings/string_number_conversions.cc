#include "base/strings/string_number_conversions.h"

#include <math.h>

#include <charconv>
#include <limits>
#include <type_traits>

#include "base/logging.h"
#include "base/strings/string_util.h"

namespace base {

namespace {

template <typename T>
std::string ToChars(T value) {
  char buffer[32];
  std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof(buffer), value);
  DCHECK(result.ec == std::errc());
  return std::string(buffer, result.ptr);
}

template <typename T>
string16 ToChars16(T value) {
  std::string narrow = ToChars(value);
  return string16(narrow.begin(), narrow.end());
}

template <typename Char>
int DigitValue(Char c, int base) {
  int value;
  if (IsAsciiDigit(c))
    value = c - '0';
  else if (c >= 'a' && c <= 'z')
    value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'Z')
    value = c - 'A' + 10;
  else
    return -1;
  return value < base ? value : -1;
}

// The strict parser behind every String*To* integer function; see the header
// for what it writes on failure.
template <typename T, typename Char>
bool ParseInteger(std::basic_string_view<Char> input, int base, T* output) {
  constexpr T kMax = std::numeric_limits<T>::max();
  constexpr T kMin = std::numeric_limits<T>::min();
  *output = 0;
  bool valid = true;
  size_t i = 0;
  for (; i < input.size() && IsAsciiWhitespace(input[i]); ++i)
    valid = false;
  bool negative = false;
  if (i < input.size() && (input[i] == '-' || input[i] == '+')) {
    if (!std::is_signed_v<T>)
      return false;
    negative = input[i] == '-';
    ++i;
  }
  if (base == 16 && input.size() - i >= 2 && input[i] == '0' &&
      (input[i + 1] == 'x' || input[i + 1] == 'X')) {
    i += 2;
  }
  if (i == input.size())
    return false;
  const T t_base = static_cast<T>(base);
  for (; i < input.size(); ++i) {
    int digit_value = DigitValue(input[i], base);
    if (digit_value < 0)
      return false;
    const T digit = static_cast<T>(digit_value);
    if (!negative) {
      if (*output > (kMax - digit) / t_base) {
        *output = kMax;
        return false;
      }
      *output = *output * t_base + digit;
    } else {
      // Division truncates towards zero, which rounds up here as needed.
      if (*output < (kMin + digit) / t_base) {
        *output = kMin;
        return false;
      }
      *output = *output * t_base - digit;
    }
  }
  return valid;
}

// Checks the decimal grammar [+-]digits[.digits][(e|E)[+-]digits] (digits
// on at least one side of the point) and returns the power of ten of the
// leading significant digit, which tells overflow from underflow.
template <typename Char>
bool CheckDecimalGrammar(std::basic_string_view<Char> input,
                         int64_t* magnitude) {
  size_t i = 0;
  if (i < input.size() && (input[i] == '-' || input[i] == '+'))
    ++i;
  int64_t integer_digits = 0;
  int64_t first_significant = -1;  // Index among all mantissa digits.
  int64_t mantissa_digits = 0;
  bool seen_point = false;
  for (; i < input.size(); ++i) {
    if (input[i] == '.' && !seen_point) {
      seen_point = true;
      continue;
    }
    if (!IsAsciiDigit(input[i]))
      break;
    if (first_significant < 0 && input[i] != '0')
      first_significant = mantissa_digits;
    ++mantissa_digits;
    if (!seen_point)
      ++integer_digits;
  }
  if (mantissa_digits == 0)
    return false;
  int64_t exponent = 0;
  if (i < input.size() && (input[i] == 'e' || input[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < input.size() && (input[i] == '-' || input[i] == '+'))
      negative = input[i++] == '-';
    if (i == input.size())
      return false;
    for (; i < input.size(); ++i) {
      if (!IsAsciiDigit(input[i]))
        return false;
      if (exponent < 100000000)
        exponent = exponent * 10 + (input[i] - '0');
    }
    if (negative)
      exponent = -exponent;
  }
  if (i != input.size())
    return false;
  *magnitude = first_significant < 0
                   ? 0
                   : integer_digits - first_significant - 1 + exponent;
  return true;
}

template <typename Char>
bool StringToDoubleImpl(std::basic_string_view<Char> input, double* output) {
  *output = 0;
  int64_t magnitude;
  if (input.empty() || IsAsciiWhitespace(input[0]) ||
      !CheckDecimalGrammar(input, &magnitude)) {
    return false;
  }
  // The grammar check guarantees ASCII; from_chars takes no '+'.
  std::string narrow(input.begin(), input.end());
  const char* begin = narrow.data();
  const char* end = begin + narrow.size();
  bool negative = *begin == '-';
  if (*begin == '+')
    ++begin;
  std::from_chars_result result = std::from_chars(begin, end, *output);
  if (result.ec == std::errc::result_out_of_range) {
    double clamped = magnitude > 0 ? HUGE_VAL : 0.0;
    *output = negative ? -clamped : clamped;
    return false;
  }
  return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

std::string NumberToString(int value) {
  return ToChars(value);
}
std::string NumberToString(unsigned value) {
  return ToChars(value);
}
std::string NumberToString(long value) {
  return ToChars(value);
}
std::string NumberToString(unsigned long value) {
  return ToChars(value);
}
std::string NumberToString(long long value) {
  return ToChars(value);
}
std::string NumberToString(unsigned long long value) {
  return ToChars(value);
}
std::string NumberToString(double value) {
  return ToChars(value);
}
string16 NumberToString16(int value) {
  return ToChars16(value);
}
string16 NumberToString16(unsigned value) {
  return ToChars16(value);
}
string16 NumberToString16(long value) {
  return ToChars16(value);
}
string16 NumberToString16(unsigned long value) {
  return ToChars16(value);
}
string16 NumberToString16(long long value) {
  return ToChars16(value);
}
string16 NumberToString16(unsigned long long value) {
  return ToChars16(value);
}
string16 NumberToString16(double value) {
  return ToChars16(value);
}

bool StringToInt(StringPiece input, int* output) {
  return ParseInteger(input, 10, output);
}
bool StringToInt(StringPiece16 input, int* output) {
  return ParseInteger(input, 10, output);
}
bool StringToUint(StringPiece input, unsigned* output) {
  return ParseInteger(input, 10, output);
}
bool StringToUint(StringPiece16 input, unsigned* output) {
  return ParseInteger(input, 10, output);
}
bool StringToInt64(StringPiece input, int64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToInt64(StringPiece16 input, int64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToUint64(StringPiece input, uint64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToUint64(StringPiece16 input, uint64_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToSizeT(StringPiece input, size_t* output) {
  return ParseInteger(input, 10, output);
}
bool StringToSizeT(StringPiece16 input, size_t* output) {
  return ParseInteger(input, 10, output);
}

bool StringToDouble(StringPiece input, double* output) {
  return StringToDoubleImpl(input, output);
}
bool StringToDouble(StringPiece16 input, double* output) {
  return StringToDoubleImpl(input, output);
}

std::string HexEncode(const void* bytes, size_t size) {
  static const char kHexChars[] = "0123456789ABCDEF";
  const auto* data = static_cast<const uint8_t*>(bytes);
  std::string result;
  result.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    result.push_back(kHexChars[data[i] >> 4]);
    result.push_back(kHexChars[data[i] & 0xF]);
  }
  return result;
}

bool HexStringToInt(StringPiece input, int* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToUInt(StringPiece input, uint32_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToInt64(StringPiece input, int64_t* output) {
  return ParseInteger(input, 16, output);
}
bool HexStringToUInt64(StringPiece input, uint64_t* output) {
  return ParseInteger(input, 16, output);
}

bool HexStringToBytes(StringPiece input, std::vector<uint8_t>* output) {
  if (input.size() % 2 != 0)
    return false;
  for (size_t i = 0; i < input.size(); i += 2) {
    if (!IsHexDigit(input[i]) || !IsHexDigit(input[i + 1]))
      return false;
    output->push_back(static_cast<uint8_t>(HexDigitToInt(input[i]) * 16 +
                                           HexDigitToInt(input[i + 1])));
  }
  return true;
}

}  // namespace base
