#include "desktop/windows/installer/test/sample_package.h"

#include <windows.h>

#include "base/files/file_util.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/registry_tables.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/test_util.h"
#include "gtest/gtest.h"

namespace installer {
namespace test {

std::vector<std::string> MakeSamplePackage(const base::FilePath& package) {
  EXPECT_FALSE(CopyInstallerTo(package).empty());
  const base::FilePath stand_in = GetBuildBinDir().Append(L"stand_in.exe");
  std::vector<std::string> files = {"kelvo.exe", "installer.exe",
                                    "installer.dll"};
  for (const wchar_t* name : {L"kelvo.exe", L"launcher.exe"})
    EXPECT_TRUE(base::CopyFile(stand_in, package.Append(name)));
  EXPECT_TRUE(base::CreateDirectory(package.Append(L"resources")));
  for (int i = 0; i < 20; ++i) {
    files.push_back("resources\\data_" + base::IntToString(i) + ".pak");
    WriteTextFile(package.AppendASCII(files.back()), std::string(i * 97, 'k'));
  }
  WriteTextFile(package.Append(L"files_list"),
                base::JoinString(files, "\r\n") + "\r\n");
  return files;
}

namespace {

// The keys of the browser's own file type go once empty.
void RemoveOwnKeysLeftEmpty(std::wstring path) {
  const std::wstring top = kOwnFileTypeKey;
  if (!base::StartsWith(path, top, base::CompareCase::INSENSITIVE_ASCII))
    return;
  while (path.size() >= top.size()) {
    const size_t end = path.rfind(L'\\');
    if (base::win::RegKey(HKEY_CURRENT_USER, path.substr(0, end).c_str(),
                          KEY_READ)
            .DeleteEmptyKey(path.substr(end + 1).c_str()) != ERROR_SUCCESS) {
      return;
    }
    path.erase(end);
  }
}

}  // namespace

void RemoveRegisteredKeys(const base::FilePath& install_log_path) {
  InstallLog log;
  if (!base::PathExists(install_log_path) ||
      !InstallLogReader().Read(&log, install_log_path)) {
    return;
  }
  for (const InstallLog::RegistryKey& key : log.hkcu_keys) {
    std::wstring path = base::UTF8ToWide(key.key_path);
    if (key.clean_level == 0) {
      base::win::RegKey reg_key(HKEY_CURRENT_USER, path.c_str(), KEY_SET_VALUE);
      for (const InstallLog::RegistryValue& value : key.values)
        reg_key.DeleteValue(base::UTF8ToWide(value.name).c_str());
      reg_key.Close();
      RemoveOwnKeysLeftEmpty(path);
      continue;
    }
    // The current user's software keys have one view.
    for (int level = 1; level < key.clean_level; ++level)
      path.erase(path.rfind(L'\\'));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  }
}

}  // namespace test
}  // namespace installer
