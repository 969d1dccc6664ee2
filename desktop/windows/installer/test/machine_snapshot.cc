#include "desktop/windows/installer/test/machine_snapshot.h"

#include <sddl.h>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "crypto/sha2.h"

namespace installer {
namespace test {

namespace {

std::string ToHex(const std::string& bytes) {
  std::string hex;
  for (unsigned char c : bytes)
    base::StringAppendF(&hex, "%02x", c);
  return hex;
}

std::string DescribeFile(const base::FilePath& path,
                         const WIN32_FIND_DATAW& data) {
  std::string text = base::StringPrintf(
      "attributes 0x%lx", static_cast<unsigned long>(data.dwFileAttributes));
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return text;
  std::string content;
  const std::string hash = base::ReadFileToString(path, &content)
                               ? ToHex(crypto::SHA256HashString(content))
                               : std::string("unreadable");
  base::StringAppendF(
      &text, " size %lu written %lu:%lu sha256 %s",
      static_cast<unsigned long>(data.nFileSizeLow),
      static_cast<unsigned long>(data.ftLastWriteTime.dwHighDateTime),
      static_cast<unsigned long>(data.ftLastWriteTime.dwLowDateTime),
      hash.c_str());
  return text;
}

void AddEntry(MachineSnapshot* snapshot,
              const base::FilePath& path,
              const WIN32_FIND_DATAW& data) {
  const bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  (*snapshot)[(folder ? L"folder " : L"file ") + path.value()] =
      DescribeFile(path, data);
}

void AddFolder(const base::FilePath& folder, MachineSnapshot* snapshot) {
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!::GetFileAttributesExW(folder.value().c_str(), GetFileExInfoStandard,
                              &attributes)) {
    (*snapshot)[L"folder " + folder.value()] = "absent";
    return;
  }
  WIN32_FIND_DATAW root = {};
  root.dwFileAttributes = attributes.dwFileAttributes;
  AddEntry(snapshot, folder, root);
  base::FileEnumerator entries(
      folder, /*recursive=*/true,
      base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = entries.Next(); !path.empty();
       path = entries.Next()) {
    AddEntry(snapshot, path, entries.GetInfo().find_data());
  }
}

std::string DescribeDacl(HKEY key) {
  DWORD size = 0;
  ::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  std::vector<BYTE> descriptor(size + 1);
  if (::RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(),
                          &size) != ERROR_SUCCESS) {
    return "dacl unreadable";
  }
  wchar_t* sddl = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl,
          nullptr)) {
    return "dacl unconvertible";
  }
  std::string text = "dacl " + base::WideToUTF8(sddl);
  ::LocalFree(sddl);
  return text;
}

void AddValues(HKEY key, const std::wstring& name, MachineSnapshot* snapshot) {
  for (DWORD index = 0;; ++index) {
    wchar_t value_name[16384];
    DWORD name_length = static_cast<DWORD>(std::size(value_name));
    DWORD type = 0;
    DWORD size = 0;
    if (::RegEnumValueW(key, index, value_name, &name_length, nullptr, &type,
                        nullptr, &size) != ERROR_SUCCESS) {
      return;
    }
    std::vector<BYTE> data(size + 1);
    name_length = static_cast<DWORD>(std::size(value_name));
    ::RegEnumValueW(key, index, value_name, &name_length, nullptr, &type,
                    data.data(), &size);
    (*snapshot)[L"value " + name + L" : " +
                std::wstring(value_name, name_length)] =
        base::StringPrintf("type %lu data ", static_cast<unsigned long>(type)) +
        ToHex(std::string(data.begin(), data.begin() + size));
  }
}

void AddKey(HKEY root,
            const std::wstring& path,
            REGSAM view,
            const std::wstring& name,
            MachineSnapshot* snapshot) {
  HKEY key = nullptr;
  LONG result = ::RegOpenKeyExW(
      root, path.c_str(), 0,
      view | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | READ_CONTROL, &key);
  if (result != ERROR_SUCCESS) {
    (*snapshot)[L"key " + name] =
        result == ERROR_FILE_NOT_FOUND ? "absent" : "unreadable";
    return;
  }
  (*snapshot)[L"key " + name] = DescribeDacl(key);
  AddValues(key, name, snapshot);
  for (DWORD index = 0;; ++index) {
    wchar_t subkey[256];
    DWORD length = static_cast<DWORD>(std::size(subkey));
    if (::RegEnumKeyExW(key, index, subkey, &length, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
      break;
    }
    const std::wstring child(subkey, length);
    AddKey(root, path + L"\\" + child, view, name + L"\\" + child, snapshot);
  }
  ::RegCloseKey(key);
}

}  // namespace

SnapshotScope::SnapshotScope() = default;
SnapshotScope::SnapshotScope(const SnapshotScope&) = default;
SnapshotScope::~SnapshotScope() = default;

MachineSnapshot TakeSnapshot(const SnapshotScope& scope) {
  MachineSnapshot snapshot;
  for (const base::FilePath& folder : scope.folders)
    AddFolder(folder, &snapshot);
  for (const SnapshotScope::Key& key : scope.keys) {
    const std::wstring root =
        key.root == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU";
    AddKey(key.root, key.path, KEY_WOW64_64KEY, root + L"64\\" + key.path,
           &snapshot);
    AddKey(key.root, key.path, KEY_WOW64_32KEY, root + L"32\\" + key.path,
           &snapshot);
  }
  return snapshot;
}

::testing::AssertionResult SnapshotsEqual(const MachineSnapshot& before,
                                          const MachineSnapshot& after) {
  std::string differences;
  for (const auto& [name, state] : before) {
    auto it = after.find(name);
    if (it == after.end()) {
      differences += "\n  gone: " + base::WideToUTF8(name) + " (" + state + ")";
    } else if (it->second != state) {
      differences += "\n  changed: " + base::WideToUTF8(name) + "\n    from " +
                     state + "\n    to   " + it->second;
    }
  }
  for (const auto& [name, state] : after) {
    if (!before.count(name)) {
      differences +=
          "\n  added: " + base::WideToUTF8(name) + " (" + state + ")";
    }
  }
  if (differences.empty())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "The machine is not as it was:" << differences;
}

}  // namespace test
}  // namespace installer
