// The firewall rules of an application, through FakeFirewallPolicy: which
// rules are the application's, what the mDNS rule holds, that adding
// replaces, and that removing spares other applications' rules of the same
// name.

#include "desktop/windows/installer/service/advanced_firewall_manager.h"

#include <memory>
#include <string>
#include <vector>

#include "base/test/scoped_log_capture.h"
#include "desktop/windows/installer/service/product_naming.h"
#include "desktop/windows/installer/test/fake_firewall_policy.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr wchar_t kBrowser[] = L"C:\\Program Files\\Kelvo\\58.0\\kelvo.exe";
constexpr wchar_t kOtherBrowser[] =
    L"C:\\Program Files\\Kelvo\\57.0\\kelvo.exe";
constexpr wchar_t kRuleName[] = L"Kelvo developer Internet Browser (mDNS-In)";

class AdvancedFirewallManagerTest : public testing::Test {
 protected:
  void SetUp() override { manager_ = MakeManager(kBrowser); }

  std::unique_ptr<AdvancedFirewallManager> MakeManager(const wchar_t* path) {
    auto policy = std::make_unique<FakeFirewallPolicy>();
    policy_ = policy.get();
    return AdvancedFirewallManager::Create(
        *ProductNaming::GetInstance(), base::FilePath(path), std::move(policy));
  }

  // "name | application" of every rule, in order.
  std::vector<std::wstring> Rules() const {
    std::vector<std::wstring> rules;
    for (const FirewallRuleProperties& rule : policy_->rules())
      rules.push_back(rule.name + L" | " + rule.application_name);
    return rules;
  }

  FakeFirewallPolicy* policy_ = nullptr;
  std::unique_ptr<AdvancedFirewallManager> manager_;
};

TEST_F(AdvancedFirewallManagerTest, AddsTheMdnsRule) {
  policy_->Fail(FakeFirewallPolicy::kAddRule, E_ACCESSDENIED);
  base::ScopedLogCapture log;
  EXPECT_FALSE(manager_->AddFirewallRules());
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                           "Could not add the firewall rule Kelvo"));
  policy_->Fail(FakeFirewallPolicy::kAddRule, S_OK);
  ASSERT_TRUE(manager_->AddFirewallRules());

  const std::vector<FirewallRuleProperties> rules = policy_->rules();
  ASSERT_EQ(1u, rules.size());
  const FirewallRuleProperties& rule = rules[0];
  EXPECT_EQ(kRuleName, rule.name);
  EXPECT_EQ(kBrowser, rule.application_name);
  EXPECT_EQ(17, rule.protocol);
  EXPECT_EQ(NET_FW_RULE_DIR_IN, rule.direction);
  EXPECT_EQ(L"5353", rule.local_ports);
  EXPECT_EQ(NET_FW_ACTION_ALLOW, rule.action);
}

TEST_F(AdvancedFirewallManagerTest, AddingAgainReplacesOnlyTheOwnRule) {
  policy_->AddExistingRule(kRuleName, kOtherBrowser);
  policy_->AddExistingRule(L"Kelvo (other)", kBrowser);
  // The path matches in any letter case.
  policy_->AddExistingRule(kRuleName,
                           L"c:\\PROGRAM FILES\\kelvo\\58.0\\KELVO.EXE");
  ASSERT_TRUE(manager_->AddFirewallRules());
  ASSERT_TRUE(manager_->AddFirewallRules());

  EXPECT_EQ((std::vector<std::wstring>{
                std::wstring(kRuleName) + L" | " + kOtherBrowser,
                std::wstring(L"Kelvo (other) | ") + kBrowser,
                std::wstring(kRuleName) + L" | " + kBrowser}),
            Rules());
}

TEST_F(AdvancedFirewallManagerTest, RemovesEveryOwnRuleAndNoOther) {
  policy_->AddExistingRule(kRuleName, kBrowser);
  policy_->AddExistingRule(kRuleName, kOtherBrowser);
  policy_->AddExistingRule(kRuleName, kBrowser);
  policy_->AddExistingRule(L"Another", kBrowser);
  policy_->AddExistingRule(L"No application", L"");

  manager_->RemoveFirewallRules();

  EXPECT_EQ((std::vector<std::wstring>{
                std::wstring(kRuleName) + L" | " + kOtherBrowser,
                L"No application | "}),
            Rules());
}

TEST_F(AdvancedFirewallManagerTest, UnreadableRulesAreNotTheApplications) {
  policy_->AddExistingRule(kRuleName, kBrowser);
  for (FakeFirewallPolicy::Operation operation :
       {FakeFirewallPolicy::kGetRules, FakeFirewallPolicy::kGetApplicationName,
        // A rule that cannot be renamed is not removed: its removal by
        // name could hit others of the name.
        FakeFirewallPolicy::kSetName, FakeFirewallPolicy::kRemoveRule}) {
    policy_->Fail(operation, E_NOTIMPL);
    manager_->RemoveFirewallRules();
    EXPECT_EQ((std::vector<std::wstring>{std::wstring(kRuleName) + L" | " +
                                         kBrowser}),
              Rules())
        << operation;
    policy_->Fail(operation, S_OK);
  }
}

// Local ports are reachable when no profile in effect filters, or when the
// application has a rule; profiles that cannot be read count as off, a
// profile that cannot be asked as filtering.
TEST_F(AdvancedFirewallManagerTest, LocalPortsWithTheFirewallOffOrARule) {
  constexpr LONG kPrivate = NET_FW_PROFILE2_PRIVATE;
  constexpr LONG kPublic = NET_FW_PROFILE2_PUBLIC;
  const struct {
    bool profiles_readable;
    LONG current;
    LONG enabled;
    LONG unreadable;
    bool usable_without_rule;
  } kCases[] = {
      {false, 0, 0, 0, true},
      {true, kPrivate, kPublic, 0, true},
      {true, kPrivate | kPublic, kPublic, 0, false},
      {true, kPrivate, 0, kPrivate, false},
      {true, 0, NET_FW_PROFILE2_ALL, 0, true},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(testing::Message() << test.current << " " << test.enabled);
    manager_ = MakeManager(kBrowser);
    if (test.profiles_readable)
      policy_->SetProfiles(test.current, test.enabled, test.unreadable);
    EXPECT_EQ(test.usable_without_rule, manager_->CanUseLocalPorts());
    policy_->AddExistingRule(kRuleName, kOtherBrowser);
    EXPECT_EQ(test.usable_without_rule, manager_->CanUseLocalPorts());
    policy_->AddExistingRule(L"Any", kBrowser);
    EXPECT_TRUE(manager_->CanUseLocalPorts());
  }
}

}  // namespace
}  // namespace installer
