// Registry links that another program of the user plants in the user's
// hive, leading into a machine key, against every registry operation and
// its rollback in each view: the machine key never changes, and the
// operation meeting a link fails rather than writing elsewhere.

#include "desktop/windows/installer/service/transactions/link_free_registry.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/strings/string_number_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/create_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "desktop/windows/installer/service/transactions/operation_util.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "desktop/windows/installer/test/scoped_registry_link.h"
#include "desktop/windows/installer/test/scoped_test_registry_key.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using test::ScopedRegistryLink;

class LinkFreeRegistryTest : public testing::TestWithParam<REGSAM> {
 protected:
  void SetUp() override {
    // The machine key the links lead to, with something of its own.
    base::win::RegKey target(HKEY_LOCAL_MACHINE, Target(L"Own").c_str(),
                             KEY_ALL_ACCESS);
    ASSERT_EQ(ERROR_SUCCESS, target.WriteValue(L"Kept", 1));
  }

  REGSAM view() const { return GetParam(); }
  std::wstring Target(const std::wstring& below = std::wstring()) const {
    return machine_.Append(L"Target") + (below.empty() ? L"" : L"\\" + below);
  }
  std::wstring User(const std::wstring& below) const {
    return user_.Append(below);
  }
  std::unique_ptr<ScopedRegistryLink> Link(const std::wstring& below) {
    return std::make_unique<ScopedRegistryLink>(
        HKEY_CURRENT_USER, User(below), L"\\Registry\\Machine\\" + Target());
  }

  // The machine key holds exactly what SetUp gave it.
  void ExpectTargetUntouched() {
    base::win::RegKey target(HKEY_LOCAL_MACHINE, Target().c_str(), KEY_READ);
    DWORD subkeys = 0, values = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegQueryInfoKeyW(target.Handle(), nullptr, nullptr, nullptr,
                                 &subkeys, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr));
    EXPECT_EQ(1u, subkeys);
    EXPECT_EQ(0u, values);
    DWORD kept = 0;
    EXPECT_EQ(ERROR_SUCCESS, base::win::RegKey(HKEY_LOCAL_MACHINE,
                                               Target(L"Own").c_str(), KEY_READ)
                                 .ReadValueDW(L"Kept", &kept));
  }

  bool SetValue(const std::wstring& path, const std::wstring& name) {
    const DWORD data = 7;
    return transaction_.Execute(std::make_unique<ChangeRegValueOperation>(
        HKEY_CURRENT_USER, path, name, &data, REG_DWORD, sizeof(data), view()));
  }

  test::ScopedTestRegistryKey machine_{HKEY_LOCAL_MACHINE};
  test::ScopedTestRegistryKey user_{HKEY_CURRENT_USER};
  Transaction transaction_;
};

TEST_P(LinkFreeRegistryTest, NoChangeIsMadeThroughALink) {
  auto link = Link(L"Link");
  // A link on the way, a link as the key itself, and a link to be created
  // below.
  EXPECT_FALSE(SetValue(User(L"Link\\Own"), L"Planted"));
  EXPECT_FALSE(SetValue(User(L"Link\\New"), L"Planted"));
  EXPECT_FALSE(SetValue(User(L"Link"), L"Planted"));
  EXPECT_FALSE(transaction_.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, User(L"Link\\New\\Deeper"), view())));
  const DWORD unused = 0;
  EXPECT_FALSE(transaction_.Execute(std::make_unique<ChangeRegValueOperation>(
      HKEY_CURRENT_USER, User(L"Link\\Own"), L"Kept", &unused, kRemoveValueType,
      0, view())));
  EXPECT_FALSE(transaction_.Execute(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, User(L"Link"), view())));
  EXPECT_FALSE(transaction_.Execute(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, User(L"Link\\Own"), view())));
  ExpectTargetUntouched();

  // A tree to delete that holds a link is refused whole, and kept.
  ASSERT_TRUE(SetValue(User(L"Tree\\Plain"), L"V"));
  auto inner = Link(L"Tree\\Inner");
  EXPECT_FALSE(transaction_.Execute(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, User(L"Tree"), view())));
  ExpectTargetUntouched();
  EXPECT_TRUE(base::win::RegKey(HKEY_CURRENT_USER, User(L"Tree\\Plain").c_str(),
                                KEY_READ)
                  .HasValue(L"V"));
  inner.reset();
  transaction_.Rollback();
}

// Links planted while the transaction holds its changes: the rollback
// deletes and restores only what the run itself made.
TEST_P(LinkFreeRegistryTest, RollbacksDoNotFollowLinksPlantedMeanwhile) {
  ASSERT_TRUE(transaction_.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, User(L"Made\\Deep"), view())));
  ASSERT_TRUE(SetValue(User(L"Gone\\Sub"), L"V"));
  transaction_.Commit();
  ASSERT_TRUE(transaction_.Execute(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, User(L"Gone"), view())));
  ASSERT_TRUE(transaction_.Execute(std::make_unique<CreateRegKeyOperation>(
      HKEY_CURRENT_USER, User(L"Fresh\\Deep"), view())));
  // Into the created tree, and where the deleted tree was.
  auto in_created = Link(L"Fresh\\Deep\\Link");
  auto in_place = Link(L"Gone");
  transaction_.Rollback();
  ExpectTargetUntouched();
  // The created tree went, the link in it with it; the deleted tree could
  // not come back through the link.
  EXPECT_FALSE(
      base::win::RegKey(HKEY_CURRENT_USER, User(L"Fresh").c_str(), KEY_READ)
          .Valid());
  in_place.reset();
  EXPECT_TRUE(base::win::RegKey(HKEY_CURRENT_USER, User(L"Made\\Deep").c_str(),
                                KEY_READ)
                  .Valid());
}

INSTANTIATE_TEST_SUITE_P(Views,
                         LinkFreeRegistryTest,
                         testing::Values(0, KEY_WOW64_64KEY, KEY_WOW64_32KEY),
                         [](const testing::TestParamInfo<REGSAM>& info) {
                           return "View" + base::NumberToString(info.param);
                         });

}  // namespace
}  // namespace installer
