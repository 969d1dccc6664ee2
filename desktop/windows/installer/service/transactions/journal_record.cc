#include "desktop/windows/installer/service/transactions/journal_record.h"

#include <stdint.h>

#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {
namespace journal {

const char kHeader[] = "kelvo-transaction-journal";
const char kCommit[] = "commit";

namespace {

constexpr wchar_t kFormatVersion[] = L"1";
constexpr wchar_t kCopied[] = L"copied";
constexpr wchar_t kMoved[] = L"moved";
constexpr wchar_t kMovedAside[] = L"moved-aside";
constexpr wchar_t kFolder[] = L"folder";
constexpr wchar_t kValue[] = L"value";
constexpr wchar_t kKey[] = L"key";
constexpr wchar_t kDeletedKey[] = L"deleted-key";
constexpr wchar_t kAbsent[] = L"absent";

using Fields = std::vector<std::wstring>;

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9')
    return c - L'0';
  if (c >= L'a' && c <= L'f')
    return c - L'a' + 10;
  if (c >= L'A' && c <= L'F')
    return c - L'A' + 10;
  return -1;
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

std::wstring HexEncode(const std::vector<BYTE>& data) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (BYTE byte : data) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
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

void AppendKey(const RegistryKey& key, Fields* fields) {
  fields->push_back(RootName(key.root));
  fields->push_back(base::NumberToString16(key.view));
  fields->push_back(key.path);
}

// Root, view and path from |fields| at |index|.
bool ParseKey(const Fields& fields, size_t index, RegistryKey* key) {
  unsigned view = 0;
  if (fields.size() < index + 3 ||
      !base::StringToUint(fields[index + 1], &view) ||
      (view & ~static_cast<unsigned>(KEY_WOW64_32KEY | KEY_WOW64_64KEY)) ||
      view == (KEY_WOW64_32KEY | KEY_WOW64_64KEY)) {
    return false;
  }
  key->root = RootFromName(fields[index]);
  key->view = view;
  key->path = fields[index + 2];
  return key->root != nullptr && !key->path.empty();
}

// Name, type and hex data from |fields| at |index|.
bool ParseValue(const Fields& fields, size_t index, RegistryValue* value) {
  unsigned type = 0;
  if (fields.size() < index + 3 ||
      !base::StringToUint(fields[index + 1], &type))
    return false;
  value->name = fields[index];
  value->type = type;
  return HexDecode(fields[index + 2], &value->data);
}

// The fields of each kind of entry.
struct EntryFields {
  Fields operator()(const CopiedFile& entry) const {
    return {kCopied, entry.file.value()};
  }
  Fields operator()(const MovedFile& entry) const {
    return {kMoved, entry.from.value(), entry.to.value()};
  }
  Fields operator()(const MovedAside& entry) const {
    return {kMovedAside, entry.file.value(), entry.aside.value(),
            entry.stop.value()};
  }
  Fields operator()(const CreatedFolders& entry) const {
    return {kFolder, entry.folder.value(), entry.existing_ancestor.value()};
  }
  Fields operator()(const ChangedValue& entry) const {
    Fields fields = {kValue};
    AppendKey(entry.key, &fields);
    fields.push_back(entry.name);
    if (entry.old_value) {
      fields.push_back(base::NumberToString16(entry.old_value->type));
      fields.push_back(HexEncode(entry.old_value->data));
    } else {
      fields.push_back(kAbsent);
      fields.push_back(std::wstring());
    }
    return fields;
  }
  Fields operator()(const CreatedKeys& entry) const {
    Fields fields = {kKey};
    AppendKey(entry.key, &fields);
    // The top stands before the deepest key, as it always has.
    fields.insert(fields.end() - 1, entry.top);
    return fields;
  }
  Fields operator()(const DeletedKey& entry) const {
    Fields fields = {kDeletedKey};
    AppendKey(entry.key, &fields);
    for (const RegistryValue& value : entry.values) {
      fields.push_back(value.name);
      fields.push_back(base::NumberToString16(value.type));
      fields.push_back(HexEncode(value.data));
    }
    return fields;
  }
  Fields operator()(const CommitMarker&) const {
    return {base::ASCIIToWide(kCommit)};
  }
};

bool ParseFields(const Fields& fields, Entry* entry) {
  const std::wstring& kind = fields[0];
  const size_t size = fields.size();
  if (kind == kCopied && size == 2 && !fields[1].empty()) {
    *entry = CopiedFile{base::FilePath(fields[1])};
    return true;
  }
  if (kind == kMoved && size == 3 && !fields[1].empty() && !fields[2].empty()) {
    *entry = MovedFile{base::FilePath(fields[1]), base::FilePath(fields[2])};
    return true;
  }
  if (kind == kMovedAside && size == 4 && !fields[1].empty() &&
      !fields[2].empty()) {
    *entry = MovedAside{base::FilePath(fields[1]), base::FilePath(fields[2]),
                        base::FilePath(fields[3])};
    return true;
  }
  if (kind == kFolder && size == 3 && !fields[1].empty() &&
      !fields[2].empty()) {
    *entry =
        CreatedFolders{base::FilePath(fields[1]), base::FilePath(fields[2])};
    return true;
  }
  if (kind == kValue && size == 7) {
    ChangedValue value;
    // The key's fields, with the value's name where ParseValue wants it.
    if (!ParseKey(fields, 1, &value.key))
      return false;
    value.name = fields[4];
    if (fields[5] != kAbsent) {
      RegistryValue old_value;
      if (!ParseValue(fields, 4, &old_value))
        return false;
      value.old_value = std::move(old_value);
    }
    *entry = std::move(value);
    return true;
  }
  if (kind == kKey && size == 5) {
    // Root, view, top, key: the key's path comes last.
    Fields key_fields = {fields[1], fields[2], fields[4]};
    CreatedKeys keys;
    if (!ParseKey(key_fields, 0, &keys.key) || fields[3].empty())
      return false;
    keys.top = fields[3];
    *entry = std::move(keys);
    return true;
  }
  if (kind == kDeletedKey && size >= 4 && (size - 4) % 3 == 0) {
    DeletedKey deleted;
    if (!ParseKey(fields, 1, &deleted.key))
      return false;
    for (size_t i = 4; i < size; i += 3) {
      RegistryValue value;
      if (!ParseValue(fields, i, &value))
        return false;
      deleted.values.push_back(std::move(value));
    }
    *entry = std::move(deleted);
    return true;
  }
  if (kind == base::ASCIIToWide(kCommit) && size == 1) {
    *entry = CommitMarker();
    return true;
  }
  return false;
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

std::string EncodeHeader(const Header& header) {
  return EncodeLine({base::ASCIIToWide(kHeader), kFormatVersion,
                     base::NumberToString16(header.pid),
                     base::NumberToString16(header.creation_time),
                     header.install_folder.value()});
}

std::string EncodeEntry(const Entry& entry) {
  return EncodeLine(std::visit(EntryFields(), entry));
}

bool ParseHeader(std::string_view line, Header* header) {
  Fields fields;
  unsigned pid = 0;
  if (!DecodeLine(line, &fields) || fields.size() != 5 ||
      fields[0] != base::ASCIIToWide(kHeader) || fields[1] != kFormatVersion ||
      !base::StringToUint(fields[2], &pid) ||
      !base::StringToUint64(fields[3], &header->creation_time) ||
      fields[4].empty()) {
    return false;
  }
  header->pid = pid;
  header->install_folder = base::FilePath(fields[4]);
  return true;
}

bool ParseEntry(std::string_view line, Entry* entry) {
  Fields fields;
  return DecodeLine(line, &fields) && !fields.empty() &&
         ParseFields(fields, entry);
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
