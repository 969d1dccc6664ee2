// FirewallPolicy over the real firewall: the NetFwPolicy2 object and its
// rule collection, with NetFwRule objects for new rules.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_FIREWALL_POLICY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_FIREWALL_POLICY_H_

#include <windows.h>

#include <netfw.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "base/callback.h"
#include "desktop/windows/installer/service/firewall_policy.h"

namespace installer {

class Win32FirewallPolicy : public FirewallPolicy {
 public:
  // Makes the object of a new rule.
  using RuleFactory = base::RepeatingCallback<HRESULT(
      Microsoft::WRL::ComPtr<INetFwRule>* rule)>;

  // Null (logged) when the policy object or its rule collection cannot be
  // had.
  static std::unique_ptr<Win32FirewallPolicy> Create();
  // Over |rules|, the rule collection of |policy|, with new rules from
  // |rule_factory|: for tests that stand in for the firewall's objects
  // where Wine's keep nothing.
  static std::unique_ptr<Win32FirewallPolicy> CreateForTesting(
      Microsoft::WRL::ComPtr<INetFwPolicy2> policy,
      Microsoft::WRL::ComPtr<INetFwRules> rules,
      RuleFactory rule_factory);

  Win32FirewallPolicy(const Win32FirewallPolicy&) = delete;
  Win32FirewallPolicy& operator=(const Win32FirewallPolicy&) = delete;
  ~Win32FirewallPolicy() override;

  // FirewallPolicy:
  HRESULT GetCurrentProfileTypes(LONG* profile_types) override;
  HRESULT GetFirewallEnabled(NET_FW_PROFILE_TYPE2 profile,
                             bool* enabled) override;
  HRESULT AddRule(const FirewallRuleProperties& properties) override;
  HRESULT GetRules(std::vector<std::unique_ptr<FirewallRule>>* rules) override;
  HRESULT RemoveRule(const std::wstring& name) override;

 private:
  Win32FirewallPolicy(Microsoft::WRL::ComPtr<INetFwPolicy2> policy,
                      Microsoft::WRL::ComPtr<INetFwRules> rules,
                      RuleFactory rule_factory);

  // Declared in this order so that the collection is released first.
  Microsoft::WRL::ComPtr<INetFwPolicy2> policy_;
  Microsoft::WRL::ComPtr<INetFwRules> rules_;
  const RuleFactory rule_factory_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_WIN32_FIREWALL_POLICY_H_
