#include "desktop/windows/installer/service/transactions/journal_record.h"

#include <stdint.h>

#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {
namespace journal {

const char kHeader[] = "kelvo-transaction-journal";
const char kCopied[] = "copied";
const char kMoved[] = "moved";
const char kMovedAside[] = "moved-aside";
const char kFolder[] = "folder";
const char kValue[] = "value";
const char kKey[] = "key";
const char kDeletedKey[] = "deleted-key";
const char kCommit[] = "commit";
const char kAbsent[] = "absent";

namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9')
    return c - L'0';
  if (c >= L'a' && c <= L'f')
    return c - L'a' + 10;
  if (c >= L'A' && c <= L'F')
    return c - L'A' + 10;
  return -1;
}

}  // namespace

std::string EncodeLine(const std::vector<std::wstring>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0)
      line += '\t';
    for (char c : base::WideToUTF8(fields[i])) {
      if (c == '%' || c == '\t' || c == '\r' || c == '\n')
        base::StringAppendF(&line, "%%%02X", static_cast<unsigned char>(c));
      else
        line += c;
    }
  }
  line += '\n';
  return line;
}

bool DecodeLine(std::string_view line, std::vector<std::wstring>* fields) {
  fields->clear();
  std::string field;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == '\t') {
      fields->push_back(base::UTF8ToWide(field));
      field.clear();
      continue;
    }
    if (line[i] != '%') {
      field += line[i];
      continue;
    }
    const int high = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
    const int low = i + 2 < line.size() ? HexDigit(line[i + 2]) : -1;
    if (high < 0 || low < 0)
      return false;
    field += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::wstring RootName(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE)
    return L"HKLM";
  if (root == HKEY_CURRENT_USER)
    return L"HKCU";
  return std::wstring();
}

HKEY RootFromName(const std::wstring& name) {
  if (name == L"HKLM")
    return HKEY_LOCAL_MACHINE;
  if (name == L"HKCU")
    return HKEY_CURRENT_USER;
  return nullptr;
}

std::wstring HexEncode(const void* data, size_t size) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  const BYTE* bytes = static_cast<const BYTE*>(data);
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

bool HexDecode(const std::wstring& text, std::vector<BYTE>* data) {
  data->clear();
  if (text.size() % 2)
    return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0)
      return false;
    data->push_back(static_cast<BYTE>(high * 16 + low));
  }
  return true;
}

std::wstring FileNamePrefix(const base::FilePath& install_folder) {
  // FNV-1a over the folder as its case-insensitive file system compares it.
  const std::wstring text =
      base::ToLowerASCII(install_folder.StripTrailingSeparators().value());
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : text) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 1099511628211ull;
  }
  return base::ASCIIToWide(base::StringPrintf(
             "%016llx", static_cast<unsigned long long>(hash))) +
         L".";
}

}  // namespace journal
}  // namespace installer
