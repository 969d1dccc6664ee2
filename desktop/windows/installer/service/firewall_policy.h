// Windows Firewall with Advanced Security (INetFwPolicy2 and its rule
// collection) as AdvancedFirewallManager uses it. The manager decides which
// rules to add, find, rename and remove; implementations only carry that
// to the firewall, so that tests can replace it where the platform under
// test (Wine) stores no rules.
//
// Results are the firewall's HRESULTs.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_POLICY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_POLICY_H_

#include <windows.h>

#include <netfw.h>

#include <memory>
#include <string>
#include <vector>

namespace installer {

// The properties of a new rule, set in this order.
struct FirewallRuleProperties {
  FirewallRuleProperties();
  FirewallRuleProperties(const FirewallRuleProperties&);
  FirewallRuleProperties& operator=(const FirewallRuleProperties&);
  ~FirewallRuleProperties();

  std::wstring name;
  std::wstring description;
  std::wstring application_name;
  // Any protocol (NET_FW_IP_PROTOCOL_ANY, which mingw-w64 leaves out).
  LONG protocol = 256;
  NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
  bool enabled = false;
  std::wstring local_ports;
  std::wstring grouping;
  LONG profiles = NET_FW_PROFILE2_ALL;
  NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
};

// A rule of the policy's collection.
class FirewallRule {
 public:
  FirewallRule(const FirewallRule&) = delete;
  FirewallRule& operator=(const FirewallRule&) = delete;
  virtual ~FirewallRule();

  virtual HRESULT GetName(std::wstring* name) = 0;
  virtual HRESULT SetName(const std::wstring& name) = 0;
  // Empty for a rule that names no application.
  virtual HRESULT GetApplicationName(std::wstring* path) = 0;

 protected:
  FirewallRule() = default;
};

class FirewallPolicy {
 public:
  FirewallPolicy(const FirewallPolicy&) = delete;
  FirewallPolicy& operator=(const FirewallPolicy&) = delete;
  virtual ~FirewallPolicy();

  // The NET_FW_PROFILE_TYPE2 bits of the profiles in effect.
  virtual HRESULT GetCurrentProfileTypes(LONG* profile_types) = 0;
  virtual HRESULT GetFirewallEnabled(NET_FW_PROFILE_TYPE2 profile,
                                     bool* enabled) = 0;
  // Creates a rule object, sets |properties| on it (a property the
  // firewall refuses is left as it is) and adds it to the collection.
  virtual HRESULT AddRule(const FirewallRuleProperties& properties) = 0;
  // The rules of the collection, in its order.
  virtual HRESULT GetRules(
      std::vector<std::unique_ptr<FirewallRule>>* rules) = 0;
  // Removes a rule of the name |name| from the collection.
  virtual HRESULT RemoveRule(const std::wstring& name) = 0;

 protected:
  FirewallPolicy() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_POLICY_H_
