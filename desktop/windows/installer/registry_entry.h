// Compiled-in registry rows and their conversion into registry operations.
// A RegistryEntry binds one row to a TemplateResolver: placeholders such as
// "{InstallFolder}" in the row's key, value name and string data are
// replaced through it, rows not meant for this Windows version, root or
// release channel are skipped, and every value a row sets is recorded in the
// resolver's install-log key list.
//
//   for (const RegistryRow& row : kRows) {
//     std::unique_ptr<Operation> operation;
//     if (!RegistryEntry(row, resolver).CreateOperation(root, &operation))
//       return false;  // A type that rows cannot hold.
//     if (operation && !transaction->Execute(std::move(operation)))
//       return false;
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_REGISTRY_ENTRY_H_
#define DESKTOP_WINDOWS_INSTALLER_REGISTRY_ENTRY_H_

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/install_log.h"

namespace installer {

class Operation;
class TemplateResolver;

// Row types beyond the Windows registry types.
// Removes the value.
constexpr uint32_t kRegistryRowRemoveValue = 0xFFFFFFFF;
// Deletes the key with its whole subtree.
constexpr uint32_t kRegistryRowDeleteKey = 0xFFFFFFFE;

// The data of a row, by its type.
union RegistryRowData {
  // REG_SZ, REG_EXPAND_SZ: a template.
  const wchar_t* text;
  // REG_BINARY: the bytes before the terminating NUL are the data.
  const char* bytes;
  // REG_DWORD.
  uint32_t number;
};

// One row of a compiled-in table:
//   {L"Software\\Classes\\{Product}", L"FriendlyTypeName", REG_SZ,
//    {.text = L"{Product} Web Document"}, base::win::VERSION_XP, nullptr,
//    0, 1, 0}
struct RegistryRow {
  // Key path below the root; a template.
  const wchar_t* key;
  // Value name template; null or empty names the key's default value.
  const wchar_t* value_name;
  // REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD or one of the
  // kRegistryRow markers.
  uint32_t type;
  RegistryRowData data;
  // The row applies from this base::win::Version on.
  int32_t min_windows_version;
  // The row applies only under this root; null under any.
  HKEY root;
  // The row applies only when the build's release channel is at least
  // this; 0 everywhere.
  int32_t min_channel;
  // Recorded with the key: how much of it the clean-up may remove.
  uint32_t clean_level;
  // 0, KEY_WOW64_64KEY or KEY_WOW64_32KEY.
  uint32_t view_flags;
};

class RegistryEntry {
 public:
  // |resolver| must outlive the entry.
  RegistryEntry(const RegistryRow& row, TemplateResolver* resolver);
  RegistryEntry(const RegistryEntry&) = delete;
  RegistryEntry& operator=(const RegistryEntry&) = delete;
  ~RegistryEntry();

  // Clears |*operation|, then fills it with the row's operation under
  // |root|: a ChangeRegValueOperation, or a DeleteRegKeyOperation for
  // kRegistryRowDeleteKey. True with no operation when the row does not
  // apply here; false when the row's type is not supported. A value the
  // operation will write is recorded now, before it runs.
  bool CreateOperation(HKEY root, std::unique_ptr<Operation>* operation);

  // |text| (null: empty) with every "{name}" replaced by the resolver's
  // value for it. Inserted values are never searched for placeholders
  // themselves.
  std::wstring ExpandTemplate(const wchar_t* text) const;

  const RegistryRow& row() const { return row_; }

 private:
  // Whether the row applies under |root| on this system and build.
  bool Applies(HKEY root) const;
  // The data and its size in bytes; false for a type rows cannot hold.
  bool GetData(std::vector<BYTE>* data) const;

  const RegistryRow row_;
  TemplateResolver* const resolver_;
};

// Adds the value |value_name| of |type| with |data_size| bytes of |data| to
// the record of the key |key_path| in |key_list| (its last entry that names
// the key, ignoring ASCII case, or a new one), raising that record's clean
// level to |clean_level|.
void FormatRegValueForRecord(std::vector<InstallLog::RegistryKey>* key_list,
                             const std::wstring& key_path,
                             const std::wstring& value_name,
                             const void* data,
                             DWORD type,
                             DWORD data_size,
                             int32_t clean_level);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_REGISTRY_ENTRY_H_
