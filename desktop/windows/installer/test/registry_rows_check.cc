#include "desktop/windows/installer/test/registry_rows_check.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/transactions/operation.h"
#include "desktop/windows/installer/template_resolver.h"

namespace installer {
namespace test {

namespace {

struct StoredValue {
  bool key_exists = false;
  bool value_exists = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

StoredValue ReadValue(HKEY root,
                      const std::wstring& key_path,
                      const std::wstring& name,
                      REGSAM view) {
  StoredValue stored;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, key_path.c_str(), 0, KEY_QUERY_VALUE | view,
                      &key) != ERROR_SUCCESS) {
    return stored;
  }
  stored.key_exists = true;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &stored.type, nullptr,
                         &size) == ERROR_SUCCESS) {
    stored.data.resize(size);
    stored.value_exists =
        ::RegQueryValueExW(key, name.c_str(), nullptr, &stored.type,
                           stored.data.data(), &size) == ERROR_SUCCESS;
    stored.data.resize(size);
  }
  ::RegCloseKey(key);
  return stored;
}

// The bytes a row of |type| stores for |text| or |number|: a string with its
// terminating NUL (none for the empty string), a DWORD in memory order.
std::vector<BYTE> ExpectedBytes(const RegistryRow& row,
                                const RegistryEntry& entry) {
  std::vector<BYTE> bytes;
  if (row.type == REG_SZ || row.type == REG_EXPAND_SZ) {
    const std::wstring text = entry.ExpandTemplate(row.data.text);
    if (!text.empty()) {
      const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
      bytes.assign(begin, begin + (text.size() + 1) * sizeof(wchar_t));
    }
  } else if (row.type == REG_DWORD) {
    bytes.resize(sizeof(row.data.number));
    std::memcpy(bytes.data(), &row.data.number, sizeof(row.data.number));
  } else if (row.type == REG_BINARY) {
    bytes.assign(row.data.bytes, row.data.bytes + std::strlen(row.data.bytes));
  }
  return bytes;
}

std::string Describe(const std::wstring& key, const std::wstring& name) {
  return base::WideToUTF8(key) + " : " +
         (name.empty() ? std::string("(default)") : base::WideToUTF8(name));
}

}  // namespace

::testing::AssertionResult RowsWritten(std::span<const RegistryRow> rows,
                                       HKEY root,
                                       TemplateResolver* templates) {
  std::string faults;
  for (const RegistryRow& row : rows) {
    RegistryEntry entry(row, templates);
    std::unique_ptr<Operation> applies;
    if (!entry.CreateOperation(root, &applies) || !applies)
      continue;
    const std::wstring key = entry.ExpandTemplate(row.key);
    const std::wstring name = entry.ExpandTemplate(row.value_name);
    const REGSAM view = row.view_flags ? row.view_flags : KEY_WOW64_64KEY;
    const StoredValue stored = ReadValue(root, key, name, view);
    if (row.type == kRegistryRowDeleteKey) {
      if (stored.key_exists)
        faults += "\n  key not deleted: " + base::WideToUTF8(key);
      continue;
    }
    if (row.type == kRegistryRowRemoveValue) {
      if (stored.value_exists)
        faults += "\n  value not removed: " + Describe(key, name);
      continue;
    }
    if (!stored.value_exists) {
      faults += "\n  missing: " + Describe(key, name);
    } else if (stored.type != row.type ||
               stored.data != ExpectedBytes(row, entry)) {
      faults += "\n  differs: " + Describe(key, name) + " has type " +
                base::NumberToString(stored.type) + " and " +
                base::NumberToString(stored.data.size()) + " bytes";
    }
    // The user's software keys have one view for both.
    if (root == HKEY_LOCAL_MACHINE && row.view_flags == KEY_WOW64_32KEY &&
        ReadValue(root, key, name, KEY_WOW64_64KEY).value_exists) {
      faults += "\n  also in the 64-bit view: " + Describe(key, name);
    }
  }
  if (faults.empty())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "Rows not in place:" << faults;
}

}  // namespace test
}  // namespace installer
