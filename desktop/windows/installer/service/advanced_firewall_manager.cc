#include "desktop/windows/installer/service/advanced_firewall_manager.h"

#include <utility>

#include "base/guid.h"
#include "base/logging.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/com_util.h"
#include "desktop/windows/installer/service/product_naming.h"

namespace installer {

namespace {

constexpr wchar_t kMdnsRuleSuffix[] = L" (mDNS-In)";
constexpr wchar_t kMdnsRuleDescription[] =
    L"Inbound rule to allow mDNS traffic.";

// The profiles whose firewall is asked about, in this order.
constexpr NET_FW_PROFILE_TYPE2 kProfiles[] = {
    NET_FW_PROFILE2_PUBLIC, NET_FW_PROFILE2_PRIVATE, NET_FW_PROFILE2_DOMAIN};

}  // namespace

// static
std::unique_ptr<AdvancedFirewallManager> AdvancedFirewallManager::Create(
    const ProductNaming& naming,
    const base::FilePath& application_path,
    std::unique_ptr<FirewallPolicy> policy) {
  if (!policy)
    return nullptr;
  std::wstring name;
  naming.GetDisplayName(&name);
  return std::unique_ptr<AdvancedFirewallManager>(new AdvancedFirewallManager(
      std::move(name), application_path, std::move(policy)));
}

AdvancedFirewallManager::AdvancedFirewallManager(
    std::wstring application_name,
    base::FilePath application_path,
    std::unique_ptr<FirewallPolicy> policy)
    : application_name_(std::move(application_name)),
      application_path_(std::move(application_path)),
      policy_(std::move(policy)) {}

AdvancedFirewallManager::~AdvancedFirewallManager() = default;

bool AdvancedFirewallManager::CanUseLocalPorts() {
  return !IsFirewallOn() || !GetAllRules().empty();
}

bool AdvancedFirewallManager::AddFirewallRules() {
  FirewallRuleProperties rule;
  rule.name = application_name_ + kMdnsRuleSuffix;
  rule.description = kMdnsRuleDescription;
  rule.application_name = application_path_.value();
  rule.protocol = NET_FW_IP_PROTOCOL_UDP;
  rule.direction = NET_FW_RULE_DIR_IN;
  rule.enabled = true;
  rule.local_ports = base::StringPrintf(L"%u", unsigned{kMdnsPort});
  rule.grouping = application_name_;
  rule.profiles = NET_FW_PROFILE2_ALL;
  rule.action = NET_FW_ACTION_ALLOW;

  DeleteRuleByName(rule.name);
  HRESULT hr = policy_->AddRule(rule);
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not add the firewall rule " << rule.name << ": "
               << HResultText(hr);
    return false;
  }
  return true;
}

void AdvancedFirewallManager::RemoveFirewallRules() {
  for (const std::unique_ptr<FirewallRule>& rule : GetAllRules())
    DeleteRule(rule.get());
}

bool AdvancedFirewallManager::IsFirewallOn() {
  LONG current = 0;
  HRESULT hr = policy_->GetCurrentProfileTypes(&current);
  if (FAILED(hr)) {
    LOG(WARNING) << "Could not read the firewall's current profiles: "
                 << HResultText(hr);
    return false;
  }
  for (NET_FW_PROFILE_TYPE2 profile : kProfiles) {
    if (!(current & profile))
      continue;
    bool enabled = true;
    hr = policy_->GetFirewallEnabled(profile, &enabled);
    LOG_IF(WARNING, FAILED(hr)) << "Could not ask whether the firewall of "
                                   "profile "
                                << profile << " is on: " << HResultText(hr);
    if (FAILED(hr) || enabled)
      return true;
  }
  return false;
}

std::vector<std::unique_ptr<FirewallRule>>
AdvancedFirewallManager::GetAllRules() {
  std::vector<std::unique_ptr<FirewallRule>> rules;
  HRESULT hr = policy_->GetRules(&rules);
  if (FAILED(hr)) {
    LOG(WARNING) << "Could not list the firewall rules: " << HResultText(hr);
    return {};
  }
  std::vector<std::unique_ptr<FirewallRule>> ours;
  for (std::unique_ptr<FirewallRule>& rule : rules) {
    std::wstring path;
    if (SUCCEEDED(rule->GetApplicationName(&path)) && !path.empty() &&
        base::FilePath::CompareEqualIgnoreCase(path,
                                               application_path_.value())) {
      ours.push_back(std::move(rule));
    }
  }
  return ours;
}

void AdvancedFirewallManager::DeleteRuleByName(const std::wstring& name) {
  for (const std::unique_ptr<FirewallRule>& rule : GetAllRules()) {
    std::wstring rule_name;
    if (SUCCEEDED(rule->GetName(&rule_name)) && rule_name == name)
      DeleteRule(rule.get());
  }
}

bool AdvancedFirewallManager::DeleteRule(FirewallRule* rule) {
  std::wstring name;
  HRESULT hr = rule->GetName(&name);
  const std::wstring unique_name = base::UTF8ToWide(base::GenerateGUID());
  if (FAILED(hr) || unique_name.empty()) {
    LOG(ERROR) << "Could not give the firewall rule of "
               << application_path_.value() << " a name of its own";
    return false;
  }
  hr = rule->SetName(unique_name);
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not rename the firewall rule " << name << ": "
               << HResultText(hr);
    return false;
  }
  hr = policy_->RemoveRule(unique_name);
  if (FAILED(hr)) {
    // Under a random name it could never be found and replaced again.
    LOG(ERROR) << "Could not remove the firewall rule " << name << ": "
               << HResultText(hr);
    rule->SetName(name);
    return false;
  }
  return true;
}

}  // namespace installer
