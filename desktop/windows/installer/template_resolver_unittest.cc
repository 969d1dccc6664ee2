#include "desktop/windows/installer/template_resolver.h"

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/utils.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// What the install's rows and the shell integration's rows both rely on.
TEST(RowTemplatesTest, NamesOfTheInstallationAndOfOneTable) {
  RowTemplates templates(base::FilePath(L"C:\\Apps\\Kelvo\\"));
  EXPECT_EQ(L"C:\\Apps\\Kelvo", templates.Lookup(L"InstallFolder"));
  EXPECT_EQ(L"Kelvo", templates.Lookup(L"Product"));
  EXPECT_EQ(L"developer", templates.Lookup(L"Stream"));
  EXPECT_EQ(L"45.0.2531.0", templates.Lookup(L"Version"));
  EXPECT_EQ(GetProductRegistryKey(), templates.Lookup(L"CompanyRegistryKey"));
  // Unknown names, and a table's names before they are set, stand for
  // themselves: a row that uses them is visibly wrong, not empty.
  EXPECT_EQ(L"Nothing", templates.Lookup(L"Nothing"));
  EXPECT_EQ(L"Protocol", templates.Lookup(L"Protocol"));
  EXPECT_EQ(L"", templates.Lookup(L"Uninstall"));

  templates.set_association(L"irc");
  templates.set_uninstall_key_name(L"Software\\Uninstall\\Kelvo");
  EXPECT_EQ(L"irc", templates.Lookup(L"Protocol"));
  EXPECT_EQ(L"irc", templates.Lookup(L"Extension"));
  EXPECT_EQ(L"Software\\Uninstall\\Kelvo", templates.Lookup(L"Uninstall"));
}

}  // namespace
}  // namespace installer
