#include "desktop/windows/installer/registry_entry.h"

#include <string.h>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/product/version_info.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {

namespace {

// Indexed by the registry type code.
constexpr const char* kTypeNames[] = {
    "REG_NONE",
    "REG_SZ",
    "REG_EXPAND_SZ",
    "REG_BINARY",
    "REG_DWORD",
    "REG_DWORD_BIG_ENDIAN",
    "REG_LINK",
    "REG_MULTI_SZ",
    "REG_RESOURCE_LIST",
    "REG_FULL_RESOURCE_DESCRIPTOR",
    "REG_RESOURCE_REQUIREMENTS_LIST",
    "REG_QWORD",
};

std::string GetTypeName(DWORD type) {
  return type < std::size(kTypeNames) ? kTypeNames[type] : std::string();
}

// The data of a string value, up to its first NUL, in UTF-8.
std::string FormatString(const BYTE* data, DWORD size) {
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (!text.empty())
    memcpy(text.data(), data, text.size() * sizeof(wchar_t));
  text.resize(std::min(text.size(), text.find(L'\0')));
  return base::WideToUTF8(text);
}

// "01,ab" for the bytes 01 and AB.
std::string FormatBinary(const BYTE* data, DWORD size) {
  std::string text;
  for (DWORD i = 0; i < size; ++i)
    base::StringAppendF(&text, i == 0 ? "%.2x" : ",%.2x", data[i]);
  return text;
}

std::string FormatData(const BYTE* data, DWORD type, DWORD size) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return FormatString(data, size);
    case REG_BINARY:
      return FormatBinary(data, size);
    case REG_DWORD: {
      if (size < sizeof(DWORD))
        return std::string();
      DWORD number = 0;
      memcpy(&number, data, sizeof(number));
      return base::StringPrintf("%.8lx", static_cast<unsigned long>(number));
    }
    default:
      return std::string();
  }
}

}  // namespace

RegistryEntry::RegistryEntry(const RegistryRow& row, TemplateResolver* resolver)
    : row_(row), resolver_(resolver) {
  DCHECK(resolver_);
}

RegistryEntry::~RegistryEntry() = default;

bool RegistryEntry::CreateOperation(HKEY root,
                                    std::unique_ptr<Operation>* operation) {
  operation->reset();
  if (!Applies(root))
    return true;
  if (row_.type == kRegistryRowDeleteKey) {
    *operation = std::make_unique<DeleteRegKeyOperation>(
        root, ExpandTemplate(row_.key), row_.view_flags);
    return true;
  }
  std::vector<BYTE> data;
  if (!GetData(&data))
    return false;

  const std::wstring key = ExpandTemplate(row_.key);
  const std::wstring value_name = ExpandTemplate(row_.value_name);
  std::vector<InstallLog::RegistryKey>* record =
      resolver_->GetRegistryRecord(root);
  const DWORD size = static_cast<DWORD>(data.size());
  *operation = std::make_unique<ChangeRegValueOperation>(
      root, key, value_name, data.data(), row_.type, size, row_.view_flags);
  if (record && row_.type != kRegistryRowRemoveValue) {
    FormatRegValueForRecord(record, key, value_name, data.data(), row_.type,
                            size, static_cast<int32_t>(row_.clean_level));
  }
  return true;
}

std::wstring RegistryEntry::ExpandTemplate(const wchar_t* text) const {
  std::wstring result;
  if (!text)
    return result;
  // The search goes on after each inserted value: a value holding braces
  // (an install folder "D:\{Apps}") is taken as it is.
  std::wstring_view rest(text);
  for (;;) {
    size_t open = rest.find(L'{');
    if (open == std::wstring_view::npos)
      break;
    size_t close = rest.find(L'}', open + 1);
    if (close == std::wstring_view::npos)
      break;
    result.append(rest.substr(0, open));
    result += resolver_->Lookup(
        std::wstring(rest.substr(open + 1, close - open - 1)));
    rest.remove_prefix(close + 1);
  }
  result.append(rest);
  return result;
}

bool RegistryEntry::Applies(HKEY root) const {
  return base::win::GetVersion() >= row_.min_windows_version &&
         (!row_.root || row_.root == root) && row_.min_channel <= GetChannel();
}

bool RegistryEntry::GetData(std::vector<BYTE>* data) const {
  data->clear();
  switch (row_.type) {
    case REG_NONE:
    case kRegistryRowRemoveValue:
      return true;
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::wstring text = ExpandTemplate(row_.data.text);
      // An empty expansion is a value of no bytes at all.
      if (!text.empty()) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        data->assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
      }
      return true;
    }
    case REG_BINARY:
      if (row_.data.bytes) {
        data->assign(row_.data.bytes,
                     row_.data.bytes + strlen(row_.data.bytes));
      }
      return true;
    case REG_DWORD: {
      const uint32_t number = row_.data.number;
      for (int shift = 0; shift < 32; shift += 8)
        data->push_back(static_cast<BYTE>(number >> shift));
      return true;
    }
    default:
      LOG(ERROR) << "Registry rows cannot hold values of type " << row_.type;
      return false;
  }
}

void FormatRegValueForRecord(std::vector<InstallLog::RegistryKey>* key_list,
                             const std::wstring& key_path,
                             const std::wstring& value_name,
                             const void* data,
                             DWORD type,
                             DWORD data_size,
                             int32_t clean_level) {
  DCHECK(key_list);
  const std::string path = base::WideToUTF8(key_path);
  auto entry = std::find_if(key_list->rbegin(), key_list->rend(),
                            [&path](const InstallLog::RegistryKey& key) {
                              return base::EqualsCaseInsensitiveASCII(
                                  key.key_path, path);
                            });
  InstallLog::RegistryKey* key = nullptr;
  if (entry != key_list->rend()) {
    key = &*entry;
    key->clean_level = std::max(key->clean_level, clean_level);
  } else {
    key_list->push_back(InstallLog::RegistryKey{clean_level, path, {}});
    key = &key_list->back();
  }

  InstallLog::RegistryValue value;
  value.type = GetTypeName(type);
  value.name = base::WideToUTF8(value_name);
  value.data =
      FormatData(static_cast<const BYTE*>(data), type, data ? data_size : 0);
  key->values.push_back(std::move(value));
}

}  // namespace installer
