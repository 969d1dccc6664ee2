// A FirewallPolicy that keeps its rules in memory, for tests of
// AdvancedFirewallManager. Like the real collection, removing a name
// removes every rule of that name.
//
//   auto policy = std::make_unique<FakeFirewallPolicy>();
//   FakeFirewallPolicy* fake = policy.get();
//   fake->AddExistingRule(L"Other (mDNS-In)", L"C:\\other.exe");

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_FIREWALL_POLICY_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_FIREWALL_POLICY_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/firewall_policy.h"

namespace installer {

class FakeFirewallPolicy : public FirewallPolicy {
 public:
  // The operations a test can make fail.
  enum Operation {
    kAddRule,
    kGetRules,
    kRemoveRule,
    kGetName,
    kSetName,
    kGetApplicationName,
  };

  FakeFirewallPolicy();
  FakeFirewallPolicy(const FakeFirewallPolicy&) = delete;
  FakeFirewallPolicy& operator=(const FakeFirewallPolicy&) = delete;
  ~FakeFirewallPolicy() override;

  // Makes |operation| answer |hr| from now on (S_OK: work again).
  void Fail(Operation operation, HRESULT hr);

  void AddExistingRule(const std::wstring& name,
                       const std::wstring& application_name);
  // The rules of the collection, in order.
  std::vector<FirewallRuleProperties> rules() const;

  // The profiles in effect (the firewall's profile types; unreadable, as
  // under Wine, until set) and the profiles whose firewall is on (every
  // one; a profile of |unreadable| cannot be asked).
  void SetProfiles(LONG current, LONG enabled, LONG unreadable = 0);

  // FirewallPolicy:
  HRESULT GetCurrentProfileTypes(LONG* profile_types) override;
  HRESULT GetFirewallEnabled(NET_FW_PROFILE_TYPE2 profile,
                             bool* enabled) override;
  HRESULT AddRule(const FirewallRuleProperties& properties) override;
  HRESULT GetRules(std::vector<std::unique_ptr<FirewallRule>>* rules) override;
  HRESULT RemoveRule(const std::wstring& name) override;

 private:
  class FakeRule;

  HRESULT ResultOf(Operation operation) const;

  // Shared with the FakeRule handles, so that a rename shows in the
  // collection.
  std::vector<std::shared_ptr<FirewallRuleProperties>> rules_;
  std::map<Operation, HRESULT> failures_;
  bool profiles_set_ = false;
  LONG current_profiles_ = 0;
  LONG enabled_profiles_ = NET_FW_PROFILE2_ALL;
  LONG unreadable_profiles_ = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_FIREWALL_POLICY_H_
