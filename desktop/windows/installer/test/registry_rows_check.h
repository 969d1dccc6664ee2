// Reads back what a table of registry rows wrote, value by value: each row
// that applies under a root holds exactly the type and the bytes the row
// gives, in the row's registry view.
//
//   RowTemplates templates(install_folder);
//   templates.set_uninstall_key_name(log.uninstall_key);
//   EXPECT_TRUE(RowsWritten(GetMainRegistryTable(), HKEY_LOCAL_MACHINE,
//                           &templates));

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_REGISTRY_ROWS_CHECK_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_REGISTRY_ROWS_CHECK_H_

#include <windows.h>

#include <span>

#include "desktop/windows/installer/registry_entry.h"
#include "gtest/gtest.h"

namespace installer {

class TemplateResolver;

namespace test {

// Succeeds when every row of |rows| that applies under |root| is in place:
// a value of the row's type and bytes in the row's view (the process's own
// view for rows without one), and, for a machine row of the 32-bit view,
// no such value in the 64-bit view; a removed value or key is absent. The
// failure names every row that is not.
::testing::AssertionResult RowsWritten(std::span<const RegistryRow> rows,
                                       HKEY root,
                                       TemplateResolver* templates);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_REGISTRY_ROWS_CHECK_H_
