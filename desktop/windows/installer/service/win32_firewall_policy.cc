#include "desktop/windows/installer/service/win32_firewall_policy.h"

#include <oleauto.h>

#include <utility>

#include "base/bind.h"
#include "base/logging.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/service/com_util.h"

using Microsoft::WRL::ComPtr;

namespace installer {

namespace {

// mingw-w64's import libraries do not carry the firewall's class ids.
constexpr CLSID kClsidNetFwPolicy2 = {
    0xe2b3c97f,
    0x6ae1,
    0x41ac,
    {0x81, 0x7a, 0xf6, 0xf9, 0x21, 0x66, 0xd7, 0xdd}};
constexpr IID kIidINetFwPolicy2 = {
    0x98325047,
    0xc671,
    0x4174,
    {0x8d, 0x81, 0xde, 0xfc, 0xd3, 0xf0, 0x31, 0x86}};
constexpr CLSID kClsidNetFwRule = {
    0x2c5bc43e,
    0x3369,
    0x4c33,
    {0xab, 0x0c, 0xbe, 0x94, 0x69, 0x67, 0x7a, 0xf4}};
constexpr IID kIidINetFwRule = {
    0xaf230d27,
    0xbaba,
    0x4e42,
    {0xac, 0xed, 0xf5, 0x24, 0xf2, 0x2c, 0xfc, 0xe2}};

class Win32FirewallRule : public FirewallRule {
 public:
  explicit Win32FirewallRule(ComPtr<INetFwRule> rule)
      : rule_(std::move(rule)) {}
  Win32FirewallRule(const Win32FirewallRule&) = delete;
  Win32FirewallRule& operator=(const Win32FirewallRule&) = delete;
  ~Win32FirewallRule() override = default;

  HRESULT GetName(std::wstring* name) override {
    base::win::ScopedBstr bstr;
    HRESULT hr = rule_->get_Name(bstr.Receive());
    if (SUCCEEDED(hr))
      *name = base::win::BstrToString(bstr);
    return hr;
  }

  HRESULT SetName(const std::wstring& name) override {
    return rule_->put_Name(base::win::ScopedBstr(name));
  }

  HRESULT GetApplicationName(std::wstring* path) override {
    base::win::ScopedBstr bstr;
    HRESULT hr = rule_->get_ApplicationName(bstr.Receive());
    if (SUCCEEDED(hr))
      *path = base::win::BstrToString(bstr);
    return hr;
  }

 private:
  ComPtr<INetFwRule> rule_;
};

// A NetFwRule object.
HRESULT CreateRule(ComPtr<INetFwRule>* rule) {
  return ::CoCreateInstance(
      kClsidNetFwRule, nullptr, CLSCTX_ALL, kIidINetFwRule,
      reinterpret_cast<void**>(rule->ReleaseAndGetAddressOf()));
}

// The rule in |element|, when it is one.
ComPtr<INetFwRule> RuleOf(const VARIANT& element) {
  ComPtr<INetFwRule> rule;
  if (element.vt == VT_DISPATCH && element.pdispVal) {
    element.pdispVal->QueryInterface(
        kIidINetFwRule, reinterpret_cast<void**>(rule.GetAddressOf()));
  }
  return rule;
}

}  // namespace

// static
std::unique_ptr<Win32FirewallPolicy> Win32FirewallPolicy::Create() {
  ComPtr<INetFwPolicy2> policy;
  HRESULT hr = ::CoCreateInstance(
      kClsidNetFwPolicy2, nullptr, CLSCTX_ALL, kIidINetFwPolicy2,
      reinterpret_cast<void**>(policy.GetAddressOf()));
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not create the firewall policy: " << HResultText(hr);
    return nullptr;
  }
  ComPtr<INetFwRules> rules;
  hr = policy->get_Rules(&rules);
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not get the firewall rules: " << HResultText(hr);
    return nullptr;
  }
  return std::unique_ptr<Win32FirewallPolicy>(new Win32FirewallPolicy(
      std::move(policy), std::move(rules), base::BindRepeating(&CreateRule)));
}

// static
std::unique_ptr<Win32FirewallPolicy> Win32FirewallPolicy::CreateForTesting(
    ComPtr<INetFwPolicy2> policy,
    ComPtr<INetFwRules> rules,
    RuleFactory rule_factory) {
  return std::unique_ptr<Win32FirewallPolicy>(new Win32FirewallPolicy(
      std::move(policy), std::move(rules), std::move(rule_factory)));
}

Win32FirewallPolicy::Win32FirewallPolicy(ComPtr<INetFwPolicy2> policy,
                                         ComPtr<INetFwRules> rules,
                                         RuleFactory rule_factory)
    : policy_(std::move(policy)),
      rules_(std::move(rules)),
      rule_factory_(std::move(rule_factory)) {
  DCHECK(rules_);
  DCHECK(rule_factory_);
}

Win32FirewallPolicy::~Win32FirewallPolicy() = default;

HRESULT Win32FirewallPolicy::GetCurrentProfileTypes(LONG* profile_types) {
  return policy_->get_CurrentProfileTypes(profile_types);
}

HRESULT Win32FirewallPolicy::GetFirewallEnabled(NET_FW_PROFILE_TYPE2 profile,
                                                bool* enabled) {
  VARIANT_BOOL value = VARIANT_FALSE;
  HRESULT hr = policy_->get_FirewallEnabled(profile, &value);
  if (SUCCEEDED(hr))
    *enabled = value != VARIANT_FALSE;
  return hr;
}

HRESULT Win32FirewallPolicy::AddRule(const FirewallRuleProperties& properties) {
  ComPtr<INetFwRule> rule;
  HRESULT hr = rule_factory_.Run(&rule);
  if (SUCCEEDED(hr) && !rule)
    hr = E_POINTER;
  if (FAILED(hr)) {
    LOG(ERROR) << "Could not create a firewall rule: " << HResultText(hr);
    return hr;
  }
  // A property the firewall refuses shows in the rule it keeps; the rule
  // is added all the same.
  rule->put_Name(base::win::ScopedBstr(properties.name));
  rule->put_Description(base::win::ScopedBstr(properties.description));
  rule->put_ApplicationName(base::win::ScopedBstr(properties.application_name));
  rule->put_Protocol(properties.protocol);
  rule->put_Direction(properties.direction);
  rule->put_Enabled(properties.enabled ? VARIANT_TRUE : VARIANT_FALSE);
  rule->put_LocalPorts(base::win::ScopedBstr(properties.local_ports));
  rule->put_Grouping(base::win::ScopedBstr(properties.grouping));
  rule->put_Profiles(properties.profiles);
  rule->put_Action(properties.action);
  return rules_->Add(rule.Get());
}

HRESULT Win32FirewallPolicy::GetRules(
    std::vector<std::unique_ptr<FirewallRule>>* rules) {
  ComPtr<IUnknown> unknown;
  ComPtr<IEnumVARIANT> enumerator;
  HRESULT hr = rules_->get__NewEnum(&unknown);
  if (SUCCEEDED(hr)) {
    hr = unknown->QueryInterface(
        IID_IEnumVARIANT, reinterpret_cast<void**>(enumerator.GetAddressOf()));
  }
  if (FAILED(hr))
    return hr;
  rules->clear();
  for (;;) {
    base::win::ScopedVariant element;
    ULONG fetched = 0;
    if (enumerator->Next(1, element.Receive(), &fetched) != S_OK ||
        fetched != 1) {
      break;
    }
    ComPtr<INetFwRule> rule = RuleOf(*element.ptr());
    if (rule)
      rules->push_back(std::make_unique<Win32FirewallRule>(std::move(rule)));
  }
  return S_OK;
}

HRESULT Win32FirewallPolicy::RemoveRule(const std::wstring& name) {
  return rules_->Remove(base::win::ScopedBstr(name));
}

}  // namespace installer
