// The one test on the real firewall. Wine's firewall accepts rules and
// keeps none, so everything else is tested through FakeFirewallPolicy.

#include "desktop/windows/installer/service/win32_firewall_policy.h"

#include <memory>

#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/product_naming.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(Win32FirewallPolicyTest, AddsARule) {
  base::win::ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  std::unique_ptr<FirewallManager> manager =
      FirewallManager::Create(ProductNaming::GetInstance(),
                              base::FilePath(L"C:\\Kelvo Smoke\\kelvo.exe"));
  ASSERT_TRUE(manager);

  EXPECT_TRUE(manager->AddFirewallRules());
  manager->RemoveFirewallRules();
}

}  // namespace
}  // namespace installer
