#include "desktop/windows/installer/test/install_log_test_util.h"

#include <string>

#include "base/files/file_util.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/installation.h"

namespace installer {

namespace {

template <typename T>
void CompareField(const char* field,
                  const T& expected,
                  const T& actual,
                  ::testing::AssertionResult* result,
                  bool* equal) {
  if (expected == actual)
    return;
  *equal = false;
  *result << "\n  " << field << ": expected "
          << ::testing::PrintToString(expected) << ", actual "
          << ::testing::PrintToString(actual);
}

}  // namespace

::testing::AssertionResult InstallLogsEqual(const InstallLog& expected,
                                            const InstallLog& actual) {
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  result << "install logs differ:";
  bool equal = true;
#define KELVO_COMPARE_FIELD(field) \
  CompareField(#field, expected.field, actual.field, &result, &equal)
  KELVO_COMPARE_FIELD(copy_only);
  KELVO_COMPARE_FIELD(all_users);
  KELVO_COMPARE_FIELD(pinned);
  CompareField("last_band_check", expected.last_band_check.ToInternalValue(),
               actual.last_band_check.ToInternalValue(), &result, &equal);
  KELVO_COMPARE_FIELD(app_id);
  KELVO_COMPARE_FIELD(install_path);
  KELVO_COMPARE_FIELD(subfolder);
  KELVO_COMPARE_FIELD(version);
  KELVO_COMPARE_FIELD(desktop_shortcut);
  KELVO_COMPARE_FIELD(start_menu_shortcut);
  KELVO_COMPARE_FIELD(quick_launch_shortcut);
  KELVO_COMPARE_FIELD(files);
  KELVO_COMPARE_FIELD(root_files);
  KELVO_COMPARE_FIELD(components);
  KELVO_COMPARE_FIELD(hklm_keys);
  KELVO_COMPARE_FIELD(hkcu_keys);
#undef KELVO_COMPARE_FIELD
  return equal ? ::testing::AssertionSuccess() : result;
}

InstallLog MinimalInstallLog(const base::FilePath& folder) {
  InstallLog log;
  log.all_users = false;
  log.install_path = folder;
  log.version = "45.0.2531.0";
  log.subfolder = base::FilePath(L"45.0.2531.0");
  log.files = {base::FilePath(L"launcher.exe")};
  return log;
}

void WriteInstallLog(const InstallLog& log) {
  ASSERT_TRUE(base::CreateDirectory(log.install_path));
  ASSERT_TRUE(InstallLogWriter().WriteToFile(
      log, log.install_path.AppendASCII(kInstallLogFileName)));
}

void PrintTo(const InstallLog::Component& component, std::ostream* out) {
  *out << "{" << component.name << ", " << component.path << "}";
}

void PrintTo(const InstallLog::RegistryValue& value, std::ostream* out) {
  *out << "{" << value.type << " \"" << value.name << "\" = \"" << value.data
       << "\"}";
}

void PrintTo(const InstallLog::RegistryKey& key, std::ostream* out) {
  *out << "{" << key.key_path << " clean " << key.clean_level << " "
       << ::testing::PrintToString(key.values) << "}";
}

}  // namespace installer
