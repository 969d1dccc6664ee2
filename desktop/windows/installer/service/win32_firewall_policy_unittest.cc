// Win32FirewallPolicy against Wine's firewall, which takes rules and keeps
// none, refuses to list them and to read its profiles; and its calls on the
// firewall's objects through recording stand-ins for the rule collection
// and its rules: the properties of a new rule, which elements of the
// collection's enumeration are rules, and removal by name.

#include "desktop/windows/installer/service/win32_firewall_policy.h"

#include <windows.h>

#include <netfw.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/bind.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/scoped_log_capture.h"
#include "base/win/scoped_bstr.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/service/advanced_firewall_manager.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/product_naming.h"
#include "desktop/windows/installer/test/fake_com_object.h"
#include "gtest/gtest.h"

using Microsoft::WRL::ComPtr;

namespace installer {
namespace {

using base::win::BstrToString;
using test::FakeComObject;
using test::FakeDispatch;

// Windows' interface id of INetFwRule, written out independently of the
// product's.
constexpr IID kIidINetFwRule = {
    0xaf230d27,
    0xbaba,
    0x4e42,
    {0xac, 0xed, 0xf5, 0x24, 0xf2, 0x2c, 0xfc, 0xe2}};

constexpr wchar_t kBrowser[] = L"C:\\Kelvo Smoke\\kelvo.exe";

// A dispatch object that is no rule.
class OtherObject : public FakeDispatch<IDispatch> {};

#define UNUSED_RULE_PROPERTY(Name, Type)                 \
  HRESULT STDMETHODCALLTYPE get_##Name(Type*) override { \
    return E_NOTIMPL;                                    \
  }                                                      \
  HRESULT STDMETHODCALLTYPE put_##Name(Type) override {  \
    calls_.push_back(L"unexpected " #Name);              \
    return E_NOTIMPL;                                    \
  }
#define RECORDED_RULE_PROPERTY(Name, Type, Text)              \
  HRESULT STDMETHODCALLTYPE get_##Name(Type*) override {      \
    return E_NOTIMPL;                                         \
  }                                                           \
  HRESULT STDMETHODCALLTYPE put_##Name(Type value) override { \
    return Record(L"" #Name, Text);                           \
  }

// A rule that records every property set on it ("Name=value"), keeps its
// name and application, and refuses the property named by Refuse.
class FakeRule : public FakeDispatch<INetFwRule> {
 public:
  FakeRule(std::wstring name, std::wstring application)
      : name_(std::move(name)), application_(std::move(application)) {}

  const std::vector<std::wstring>& calls() const { return calls_; }
  const std::wstring& name() const { return name_; }
  void Refuse(const std::wstring& property) { refused_ = property; }

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    *name = ::SysAllocString(name_.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override {
    HRESULT hr = Record(L"Name", BstrToString(name));
    if (SUCCEEDED(hr))
      name_ = BstrToString(name);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_ApplicationName(BSTR* path) override {
    if (application_.empty())
      return E_FAIL;
    *path = ::SysAllocString(application_.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_ApplicationName(BSTR path) override {
    return Record(L"ApplicationName", BstrToString(path));
  }
  RECORDED_RULE_PROPERTY(Description, BSTR, BstrToString(value))
  RECORDED_RULE_PROPERTY(Protocol, LONG, base::NumberToString16(value))
  RECORDED_RULE_PROPERTY(LocalPorts, BSTR, BstrToString(value))
  RECORDED_RULE_PROPERTY(Direction,
                         NET_FW_RULE_DIRECTION,
                         base::NumberToString16(static_cast<int>(value)))
  RECORDED_RULE_PROPERTY(Enabled,
                         VARIANT_BOOL,
                         base::NumberToString16(static_cast<int>(value)))
  RECORDED_RULE_PROPERTY(Grouping, BSTR, BstrToString(value))
  RECORDED_RULE_PROPERTY(Profiles, LONG, base::NumberToString16(value))
  RECORDED_RULE_PROPERTY(Action,
                         NET_FW_ACTION,
                         base::NumberToString16(static_cast<int>(value)))
  UNUSED_RULE_PROPERTY(ServiceName, BSTR)
  UNUSED_RULE_PROPERTY(RemotePorts, BSTR)
  UNUSED_RULE_PROPERTY(LocalAddresses, BSTR)
  UNUSED_RULE_PROPERTY(RemoteAddresses, BSTR)
  UNUSED_RULE_PROPERTY(IcmpTypesAndCodes, BSTR)
  UNUSED_RULE_PROPERTY(Interfaces, VARIANT)
  UNUSED_RULE_PROPERTY(InterfaceTypes, BSTR)
  UNUSED_RULE_PROPERTY(EdgeTraversal, VARIANT_BOOL)

 protected:
  bool Answers(REFIID iid) override {
    return iid == kIidINetFwRule || FakeDispatch::Answers(iid);
  }

 private:
  HRESULT Record(const std::wstring& property, const std::wstring& value) {
    calls_.push_back(property + L"=" + value);
    return property == refused_ ? E_INVALIDARG : S_OK;
  }

  std::wstring name_;
  std::wstring application_;
  std::wstring refused_;
  std::vector<std::wstring> calls_;
};

#undef UNUSED_RULE_PROPERTY
#undef RECORDED_RULE_PROPERTY

// Hands out copies of its elements one at a time.
class FakeEnumerator : public FakeComObject<IEnumVARIANT> {
 public:
  explicit FakeEnumerator(const std::vector<VARIANT>& elements)
      : elements_(elements.size()) {
    for (size_t i = 0; i < elements.size(); ++i) {
      ::VariantInit(&elements_[i]);
      ::VariantCopy(&elements_[i], const_cast<VARIANT*>(&elements[i]));
    }
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count,
                                 VARIANT* elements,
                                 ULONG* fetched) override {
    ULONG done = 0;
    for (; done < count && next_ < elements_.size(); ++done, ++next_) {
      ::VariantInit(&elements[done]);
      ::VariantCopy(&elements[done], &elements_[next_]);
    }
    if (fetched)
      *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

 protected:
  ~FakeEnumerator() override {
    for (VARIANT& element : elements_)
      ::VariantClear(&element);
  }
  bool Answers(REFIID iid) override { return iid == IID_IEnumVARIANT; }

 private:
  std::vector<VARIANT> elements_;
  size_t next_ = 0;
};

// A rule collection that records Add ("Add NAME") and Remove ("Remove
// NAME") and enumerates the elements the test gives it.
class FakeRules : public FakeDispatch<INetFwRules> {
 public:
  std::vector<std::wstring>& calls() { return calls_; }
  void AddElement(const VARIANT& element) { elements_.push_back(element); }
  // Makes Add, Remove or get__NewEnum answer |hr|.
  void Fail(const std::wstring& method, HRESULT hr) {
    failing_method_ = method;
    failure_ = hr;
  }
  // The enumerator answers no IEnumVARIANT.
  void set_enumerator_answers(bool answers) { enumerator_answers_ = answers; }

  HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) override {
    base::win::ScopedBstr name;
    rule->get_Name(name.Receive());
    calls_.push_back(L"Add " + BstrToString(name.Get()));
    return ResultOf(L"Add");
  }
  HRESULT STDMETHODCALLTYPE Remove(BSTR name) override {
    calls_.push_back(L"Remove " + BstrToString(name));
    return ResultOf(L"Remove");
  }
  HRESULT STDMETHODCALLTYPE Item(BSTR, INetFwRule**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) override {
    HRESULT hr = ResultOf(L"get__NewEnum");
    if (FAILED(hr))
      return hr;
    if (!enumerator_answers_) {
      ComPtr<IUnknown> other(static_cast<IDispatch*>(new OtherObject()));
      *enumerator = other.Detach();
      return S_OK;
    }
    ComPtr<IEnumVARIANT> fake(new FakeEnumerator(elements_));
    *enumerator = fake.Detach();
    return S_OK;
  }

 protected:
  ~FakeRules() override {
    for (VARIANT& element : elements_)
      ::VariantClear(&element);
  }
  bool Answers(REFIID iid) override { return FakeDispatch::Answers(iid); }

 private:
  HRESULT ResultOf(const std::wstring& method) const {
    return method == failing_method_ ? failure_ : S_OK;
  }

  std::vector<std::wstring> calls_;
  std::vector<VARIANT> elements_;
  std::wstring failing_method_;
  HRESULT failure_ = S_OK;
  bool enumerator_answers_ = true;
};

#define UNUSED_POLICY_METHOD(Name, ...)                          \
  HRESULT STDMETHODCALLTYPE Name(__VA_ARGS__) override {         \
    calls_.push_back(L"unexpected " #Name);                      \
    return E_NOTIMPL;                                            \
  }

// A policy whose profiles in effect and firewall states the test sets; it
// records the profiles it is asked about ("FirewallEnabled N"). Answers
// |failure| to the query named by Fail.
class FakePolicy : public FakeDispatch<INetFwPolicy2> {
 public:
  const std::vector<std::wstring>& calls() const { return calls_; }
  void set_current(LONG current) { current_ = current; }
  // The value get_FirewallEnabled hands out for |profile|.
  void SetEnabled(NET_FW_PROFILE_TYPE2 profile, VARIANT_BOOL value) {
    enabled_[profile] = value;
  }
  void Fail(const std::wstring& query, HRESULT failure) {
    failing_query_ = query;
    failure_ = failure;
  }

  HRESULT STDMETHODCALLTYPE get_CurrentProfileTypes(LONG* profiles) override {
    calls_.push_back(L"CurrentProfileTypes");
    if (failing_query_ == L"CurrentProfileTypes")
      return failure_;
    *profiles = current_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_FirewallEnabled(NET_FW_PROFILE_TYPE2 profile,
                                                VARIANT_BOOL* enabled) override {
    calls_.push_back(L"FirewallEnabled " +
                     base::NumberToString16(static_cast<int>(profile)));
    if (failing_query_ == L"FirewallEnabled")
      return failure_;
    const auto value = enabled_.find(profile);
    if (value == enabled_.end())
      return E_INVALIDARG;
    *enabled = value->second;
    return S_OK;
  }
  UNUSED_POLICY_METHOD(put_FirewallEnabled, NET_FW_PROFILE_TYPE2, VARIANT_BOOL)
  UNUSED_POLICY_METHOD(get_ExcludedInterfaces, NET_FW_PROFILE_TYPE2, VARIANT*)
  UNUSED_POLICY_METHOD(put_ExcludedInterfaces, NET_FW_PROFILE_TYPE2, VARIANT)
  UNUSED_POLICY_METHOD(get_BlockAllInboundTraffic,
                       NET_FW_PROFILE_TYPE2,
                       VARIANT_BOOL*)
  UNUSED_POLICY_METHOD(put_BlockAllInboundTraffic,
                       NET_FW_PROFILE_TYPE2,
                       VARIANT_BOOL)
  UNUSED_POLICY_METHOD(get_NotificationsDisabled,
                       NET_FW_PROFILE_TYPE2,
                       VARIANT_BOOL*)
  UNUSED_POLICY_METHOD(put_NotificationsDisabled,
                       NET_FW_PROFILE_TYPE2,
                       VARIANT_BOOL)
  UNUSED_POLICY_METHOD(get_UnicastResponsesToMulticastBroadcastDisabled,
                       NET_FW_PROFILE_TYPE2,
                       VARIANT_BOOL*)
  UNUSED_POLICY_METHOD(put_UnicastResponsesToMulticastBroadcastDisabled,
                       NET_FW_PROFILE_TYPE2,
                       VARIANT_BOOL)
  UNUSED_POLICY_METHOD(get_Rules, INetFwRules**)
  UNUSED_POLICY_METHOD(get_ServiceRestriction, INetFwServiceRestriction**)
  UNUSED_POLICY_METHOD(EnableRuleGroup, LONG, BSTR, VARIANT_BOOL)
  UNUSED_POLICY_METHOD(IsRuleGroupEnabled, LONG, BSTR, VARIANT_BOOL*)
  UNUSED_POLICY_METHOD(RestoreLocalFirewallDefaults)
  UNUSED_POLICY_METHOD(get_DefaultInboundAction,
                       NET_FW_PROFILE_TYPE2,
                       NET_FW_ACTION*)
  UNUSED_POLICY_METHOD(put_DefaultInboundAction,
                       NET_FW_PROFILE_TYPE2,
                       NET_FW_ACTION)
  UNUSED_POLICY_METHOD(get_DefaultOutboundAction,
                       NET_FW_PROFILE_TYPE2,
                       NET_FW_ACTION*)
  UNUSED_POLICY_METHOD(put_DefaultOutboundAction,
                       NET_FW_PROFILE_TYPE2,
                       NET_FW_ACTION)
  UNUSED_POLICY_METHOD(get_IsRuleGroupCurrentlyEnabled, BSTR, VARIANT_BOOL*)
  UNUSED_POLICY_METHOD(get_LocalPolicyModifyState, NET_FW_MODIFY_STATE*)

 protected:
  bool Answers(REFIID iid) override { return FakeDispatch::Answers(iid); }

 private:
  std::vector<std::wstring> calls_;
  LONG current_ = 0;
  std::map<NET_FW_PROFILE_TYPE2, VARIANT_BOOL> enabled_;
  std::wstring failing_query_;
  HRESULT failure_ = S_OK;
};

#undef UNUSED_POLICY_METHOD

VARIANT DispatchElement(IDispatch* object) {
  VARIANT element;
  ::VariantInit(&element);
  element.vt = VT_DISPATCH;
  element.pdispVal = object;
  if (object)
    object->AddRef();
  return element;
}

class Win32FirewallPolicyFakeTest : public testing::Test {
 protected:
  void SetUp() override { MakePolicy(); }

  // A policy over new stand-ins of the firewall's objects.
  void MakePolicy() {
    rules_ = new FakeRules();
    fake_policy_ = new FakePolicy();
    policy_ = Win32FirewallPolicy::CreateForTesting(
        ComPtr<INetFwPolicy2>(fake_policy_.Get()), ComPtr<INetFwRules>(rules_),
        base::BindRepeating(&Win32FirewallPolicyFakeTest::MakeRule,
                            base::Unretained(this)));
  }

  HRESULT MakeRule(ComPtr<INetFwRule>* rule) {
    if (FAILED(make_rule_result_))
      return make_rule_result_;
    new_rule_ = new FakeRule(L"", L"");
    if (!refused_property_.empty())
      new_rule_->Refuse(refused_property_);
    *rule = static_cast<INetFwRule*>(new_rule_.Get());
    return S_OK;
  }

  FirewallRuleProperties MdnsRule() {
    FirewallRuleProperties rule;
    rule.name = L"Kelvo (mDNS-In)";
    rule.description = L"mDNS";
    rule.application_name = kBrowser;
    rule.protocol = NET_FW_IP_PROTOCOL_UDP;
    rule.direction = NET_FW_RULE_DIR_IN;
    rule.enabled = true;
    rule.local_ports = L"5353";
    rule.grouping = L"Kelvo";
    rule.profiles = NET_FW_PROFILE2_ALL;
    rule.action = NET_FW_ACTION_ALLOW;
    return rule;
  }

  // Owned by |policy_|.
  FakeRules* rules_ = nullptr;
  ComPtr<FakePolicy> fake_policy_;
  std::unique_ptr<Win32FirewallPolicy> policy_;
  ComPtr<FakeRule> new_rule_;
  HRESULT make_rule_result_ = S_OK;
  std::wstring refused_property_;
};

// A new rule gets every property in order and is then added; a property
// the rule refuses does not stop it; a rule that cannot be made or added
// is a failure.
TEST_F(Win32FirewallPolicyFakeTest, AddRuleSetsThePropertiesAndAddsTheRule) {
  ASSERT_HRESULT_SUCCEEDED(policy_->AddRule(MdnsRule()));
  ASSERT_TRUE(new_rule_);
  EXPECT_EQ((std::vector<std::wstring>{
                L"Name=Kelvo (mDNS-In)", L"Description=mDNS",
                std::wstring(L"ApplicationName=") + kBrowser, L"Protocol=17",
                L"Direction=1", L"Enabled=-1", L"LocalPorts=5353",
                L"Grouping=Kelvo", L"Profiles=2147483647", L"Action=1"}),
            new_rule_->calls());
  EXPECT_EQ((std::vector<std::wstring>{L"Add Kelvo (mDNS-In)"}),
            rules_->calls());

  refused_property_ = L"LocalPorts";
  ASSERT_HRESULT_SUCCEEDED(policy_->AddRule(MdnsRule()));
  EXPECT_EQ(10u, new_rule_->calls().size());
  EXPECT_EQ(2u, rules_->calls().size());

  rules_->Fail(L"Add", E_ACCESSDENIED);
  EXPECT_EQ(E_ACCESSDENIED, policy_->AddRule(MdnsRule()));

  rules_->calls().clear();
  make_rule_result_ = REGDB_E_CLASSNOTREG;
  base::ScopedLogCapture log;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, policy_->AddRule(MdnsRule()));
  EXPECT_TRUE(log.Contains(logging::LOG_ERROR,
                           "Could not create a firewall "
                           "rule"));
  EXPECT_TRUE(rules_->calls().empty());
}

// The listing holds the collection's rules in order, as handles on the
// rules themselves; elements that are no rules are left out.
TEST_F(Win32FirewallPolicyFakeTest, ListsTheRulesOfTheCollection) {
  ComPtr<FakeRule> first(new FakeRule(L"First", kBrowser));
  ComPtr<FakeRule> second(new FakeRule(L"Second", L""));
  ComPtr<IDispatch> other(new OtherObject());
  rules_->AddElement(DispatchElement(first.Get()));
  base::win::ScopedVariant text(L"not a rule");
  rules_->AddElement(text.Release());
  rules_->AddElement(DispatchElement(other.Get()));
  rules_->AddElement(DispatchElement(nullptr));
  rules_->AddElement(DispatchElement(second.Get()));

  std::vector<std::unique_ptr<FirewallRule>> rules;
  ASSERT_HRESULT_SUCCEEDED(policy_->GetRules(&rules));

  ASSERT_EQ(2u, rules.size());
  std::wstring name;
  std::wstring application;
  EXPECT_HRESULT_SUCCEEDED(rules[0]->GetName(&name));
  EXPECT_EQ(L"First", name);
  EXPECT_HRESULT_SUCCEEDED(rules[0]->GetApplicationName(&application));
  EXPECT_EQ(kBrowser, application);
  EXPECT_HRESULT_SUCCEEDED(rules[1]->GetName(&name));
  EXPECT_EQ(L"Second", name);
  EXPECT_EQ(E_FAIL, rules[1]->GetApplicationName(&application));
  EXPECT_HRESULT_SUCCEEDED(rules[1]->SetName(L"Renamed"));
  EXPECT_EQ(L"Renamed", second->name());

  // A collection that cannot be enumerated fails the listing.
  rules_->set_enumerator_answers(false);
  EXPECT_EQ(E_NOINTERFACE, policy_->GetRules(&rules));
  rules_->set_enumerator_answers(true);
  rules_->Fail(L"get__NewEnum", E_NOTIMPL);
  EXPECT_EQ(E_NOTIMPL, policy_->GetRules(&rules));
}

// Removal goes to the collection by name, and its failure comes back.
// Through the manager, the application's rule is removed under a name of
// its own; another application's rule of the same name stays.
TEST_F(Win32FirewallPolicyFakeTest, RemovesByName) {
  EXPECT_HRESULT_SUCCEEDED(policy_->RemoveRule(L"Kelvo (mDNS-In)"));
  rules_->Fail(L"Remove", E_ACCESSDENIED);
  EXPECT_EQ(E_ACCESSDENIED, policy_->RemoveRule(L"Other"));
  EXPECT_EQ(
      (std::vector<std::wstring>{L"Remove Kelvo (mDNS-In)", L"Remove Other"}),
      rules_->calls());
  rules_->Fail(L"Remove", S_OK);
  rules_->calls().clear();

  const std::wstring rule_name = L"Kelvo developer Internet Browser (mDNS-In)";
  ComPtr<FakeRule> own(new FakeRule(rule_name, kBrowser));
  ComPtr<FakeRule> foreign(new FakeRule(rule_name, L"C:\\Other\\other.exe"));
  rules_->AddElement(DispatchElement(foreign.Get()));
  rules_->AddElement(DispatchElement(own.Get()));
  FakeRules* rules = rules_;
  rules->AddRef();
  std::unique_ptr<AdvancedFirewallManager> manager =
      AdvancedFirewallManager::Create(*ProductNaming::GetInstance(),
                                      base::FilePath(kBrowser),
                                      std::move(policy_));
  ASSERT_TRUE(manager);

  manager->RemoveFirewallRules();

  EXPECT_NE(rule_name, own->name());
  EXPECT_EQ((std::vector<std::wstring>{L"Remove " + own->name()}),
            rules->calls());
  EXPECT_EQ(rule_name, foreign->name());
  EXPECT_TRUE(foreign->calls().empty());
  manager.reset();
  rules->Release();
}

// The firewall's answers come through as they are: the profiles in effect,
// and for each profile asked, whether its firewall is on (any true value of
// a VARIANT_BOOL), or the query's failure.
TEST_F(Win32FirewallPolicyFakeTest, ReadsTheProfilesAndTheirFirewallStates) {
  fake_policy_->set_current(NET_FW_PROFILE2_PRIVATE | NET_FW_PROFILE2_PUBLIC);
  fake_policy_->SetEnabled(NET_FW_PROFILE2_PUBLIC, VARIANT_TRUE);
  fake_policy_->SetEnabled(NET_FW_PROFILE2_PRIVATE, VARIANT_FALSE);
  fake_policy_->SetEnabled(NET_FW_PROFILE2_DOMAIN, 1);
  LONG profiles = 0;
  ASSERT_HRESULT_SUCCEEDED(policy_->GetCurrentProfileTypes(&profiles));
  EXPECT_EQ(NET_FW_PROFILE2_PRIVATE | NET_FW_PROFILE2_PUBLIC, profiles);
  bool enabled = false;
  ASSERT_HRESULT_SUCCEEDED(
      policy_->GetFirewallEnabled(NET_FW_PROFILE2_PUBLIC, &enabled));
  EXPECT_TRUE(enabled);
  ASSERT_HRESULT_SUCCEEDED(
      policy_->GetFirewallEnabled(NET_FW_PROFILE2_PRIVATE, &enabled));
  EXPECT_FALSE(enabled);
  ASSERT_HRESULT_SUCCEEDED(
      policy_->GetFirewallEnabled(NET_FW_PROFILE2_DOMAIN, &enabled));
  EXPECT_TRUE(enabled);
  EXPECT_EQ((std::vector<std::wstring>{L"CurrentProfileTypes",
                                       L"FirewallEnabled 4",
                                       L"FirewallEnabled 2",
                                       L"FirewallEnabled 1"}),
            fake_policy_->calls());

  fake_policy_->Fail(L"FirewallEnabled", E_ACCESSDENIED);
  EXPECT_EQ(E_ACCESSDENIED,
            policy_->GetFirewallEnabled(NET_FW_PROFILE2_PUBLIC, &enabled));
  fake_policy_->Fail(L"CurrentProfileTypes", E_NOTIMPL);
  EXPECT_EQ(E_NOTIMPL, policy_->GetCurrentProfileTypes(&profiles));
}

// Through the manager, the firewall's own objects decide whether local
// ports are reachable without a rule of the application: only a firewall
// that is on for a profile in effect filters them.
TEST_F(Win32FirewallPolicyFakeTest, FirewallStatesDecideTheLocalPorts) {
  const struct {
    LONG current;
    VARIANT_BOOL public_on;
    VARIANT_BOOL private_on;
    bool reachable;
  } kCases[] = {
      {NET_FW_PROFILE2_PUBLIC, VARIANT_FALSE, VARIANT_TRUE, true},
      {NET_FW_PROFILE2_PUBLIC, VARIANT_TRUE, VARIANT_FALSE, false},
      {NET_FW_PROFILE2_PRIVATE, VARIANT_TRUE, VARIANT_FALSE, true},
      {NET_FW_PROFILE2_PRIVATE | NET_FW_PROFILE2_PUBLIC, VARIANT_FALSE,
       VARIANT_TRUE, false},
      {NET_FW_PROFILE2_PRIVATE | NET_FW_PROFILE2_PUBLIC, VARIANT_FALSE,
       VARIANT_FALSE, true},
  };
  for (const auto& test_case : kCases) {
    SCOPED_TRACE(testing::Message()
                 << test_case.current << " " << test_case.public_on << " "
                 << test_case.private_on);
    MakePolicy();
    fake_policy_->set_current(test_case.current);
    fake_policy_->SetEnabled(NET_FW_PROFILE2_PUBLIC, test_case.public_on);
    fake_policy_->SetEnabled(NET_FW_PROFILE2_PRIVATE, test_case.private_on);
    // The application has no rule yet.
    rules_->AddElement(DispatchElement(
        ComPtr<FakeRule>(new FakeRule(L"Other", L"C:\\Other\\other.exe"))
            .Get()));
    std::unique_ptr<AdvancedFirewallManager> manager =
        AdvancedFirewallManager::Create(*ProductNaming::GetInstance(),
                                        base::FilePath(kBrowser),
                                        std::move(policy_));
    ASSERT_TRUE(manager);
    EXPECT_EQ(test_case.reachable, manager->CanUseLocalPorts());
  }
}

// Wine's firewall: rules are taken and removals accepted, while listing
// the rules and reading the profiles are refused. The manager copes with
// each refusal: the rule is added, and the firewall counts as off.
TEST(Win32FirewallPolicyTest, WineFirewallTakesRulesAndRefusesQueries) {
  base::win::ScopedCOMInitializer com;
  ASSERT_TRUE(com.Succeeded());
  std::unique_ptr<Win32FirewallPolicy> policy = Win32FirewallPolicy::Create();
  ASSERT_TRUE(policy);
  FirewallRuleProperties rule;
  rule.name = L"Kelvo smoke (mDNS-In)";
  rule.application_name = kBrowser;
  EXPECT_HRESULT_SUCCEEDED(policy->AddRule(rule));
  std::vector<std::unique_ptr<FirewallRule>> rules;
  EXPECT_EQ(E_NOTIMPL, policy->GetRules(&rules));
  EXPECT_TRUE(rules.empty());
  EXPECT_HRESULT_SUCCEEDED(policy->RemoveRule(rule.name));
  LONG profiles = 0;
  EXPECT_EQ(E_NOTIMPL, policy->GetCurrentProfileTypes(&profiles));
  bool enabled = false;
  EXPECT_EQ(E_NOTIMPL,
            policy->GetFirewallEnabled(NET_FW_PROFILE2_PUBLIC, &enabled));

  std::unique_ptr<FirewallManager> manager = FirewallManager::Create(
      ProductNaming::GetInstance(), base::FilePath(kBrowser));
  ASSERT_TRUE(manager);
  {
    base::ScopedLogCapture log;
    EXPECT_TRUE(manager->AddFirewallRules());
    EXPECT_TRUE(log.Contains(logging::LOG_WARNING,
                             "Could not list the firewall rules"));
  }
  {
    base::ScopedLogCapture log;
    manager->RemoveFirewallRules();
    EXPECT_TRUE(log.Contains(logging::LOG_WARNING,
                             "Could not list the firewall rules"));
  }
  {
    base::ScopedLogCapture log;
    EXPECT_TRUE(manager->CanUseLocalPorts());
    EXPECT_TRUE(log.Contains(logging::LOG_WARNING,
                             "Could not read the firewall's current "
                             "profiles"));
  }
}

}  // namespace
}  // namespace installer
