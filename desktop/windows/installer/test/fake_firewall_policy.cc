#include "desktop/windows/installer/test/fake_firewall_policy.h"

#include <algorithm>
#include <utility>

namespace installer {

class FakeFirewallPolicy::FakeRule : public FirewallRule {
 public:
  FakeRule(const FakeFirewallPolicy* policy,
           std::shared_ptr<FirewallRuleProperties> rule)
      : policy_(policy), rule_(std::move(rule)) {}
  FakeRule(const FakeRule&) = delete;
  FakeRule& operator=(const FakeRule&) = delete;
  ~FakeRule() override = default;

  HRESULT GetName(std::wstring* name) override {
    HRESULT hr = policy_->ResultOf(kGetName);
    if (SUCCEEDED(hr))
      *name = rule_->name;
    return hr;
  }

  HRESULT SetName(const std::wstring& name) override {
    HRESULT hr = policy_->ResultOf(kSetName);
    if (SUCCEEDED(hr))
      rule_->name = name;
    return hr;
  }

  HRESULT GetApplicationName(std::wstring* path) override {
    HRESULT hr = policy_->ResultOf(kGetApplicationName);
    if (SUCCEEDED(hr))
      *path = rule_->application_name;
    return hr;
  }

 private:
  const FakeFirewallPolicy* const policy_;
  const std::shared_ptr<FirewallRuleProperties> rule_;
};

FakeFirewallPolicy::FakeFirewallPolicy() = default;

FakeFirewallPolicy::~FakeFirewallPolicy() = default;

void FakeFirewallPolicy::Fail(Operation operation, HRESULT hr) {
  failures_[operation] = hr;
}

void FakeFirewallPolicy::SetProfiles(LONG current,
                                     LONG enabled,
                                     LONG unreadable) {
  profiles_set_ = true;
  current_profiles_ = current;
  enabled_profiles_ = enabled;
  unreadable_profiles_ = unreadable;
}

HRESULT FakeFirewallPolicy::GetCurrentProfileTypes(LONG* profile_types) {
  if (!profiles_set_)
    return E_NOTIMPL;
  *profile_types = current_profiles_;
  return S_OK;
}

HRESULT FakeFirewallPolicy::GetFirewallEnabled(NET_FW_PROFILE_TYPE2 profile,
                                               bool* enabled) {
  if (unreadable_profiles_ & profile)
    return E_ACCESSDENIED;
  *enabled = (enabled_profiles_ & profile) != 0;
  return S_OK;
}

void FakeFirewallPolicy::AddExistingRule(const std::wstring& name,
                                         const std::wstring& application_name) {
  auto rule = std::make_shared<FirewallRuleProperties>();
  rule->name = name;
  rule->application_name = application_name;
  rules_.push_back(std::move(rule));
}

std::vector<FirewallRuleProperties> FakeFirewallPolicy::rules() const {
  std::vector<FirewallRuleProperties> rules;
  for (const auto& rule : rules_)
    rules.push_back(*rule);
  return rules;
}

HRESULT FakeFirewallPolicy::AddRule(const FirewallRuleProperties& properties) {
  HRESULT hr = ResultOf(kAddRule);
  if (SUCCEEDED(hr))
    rules_.push_back(std::make_shared<FirewallRuleProperties>(properties));
  return hr;
}

HRESULT FakeFirewallPolicy::GetRules(
    std::vector<std::unique_ptr<FirewallRule>>* rules) {
  HRESULT hr = ResultOf(kGetRules);
  if (FAILED(hr))
    return hr;
  rules->clear();
  for (const auto& rule : rules_)
    rules->push_back(std::make_unique<FakeRule>(this, rule));
  return S_OK;
}

HRESULT FakeFirewallPolicy::RemoveRule(const std::wstring& name) {
  HRESULT hr = ResultOf(kRemoveRule);
  if (FAILED(hr))
    return hr;
  std::erase_if(rules_,
                [&name](const auto& rule) { return rule->name == name; });
  return S_OK;
}

HRESULT FakeFirewallPolicy::ResultOf(Operation operation) const {
  auto it = failures_.find(operation);
  return it == failures_.end() ? S_OK : it->second;
}

}  // namespace installer
