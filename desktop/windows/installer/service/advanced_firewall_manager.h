// FirewallManager over Windows Firewall with Advanced Security. The rule it
// adds:
//
//   Name            display name + " (mDNS-In)"
//   Description     "Inbound rule to allow mDNS traffic."
//   ApplicationName the application path
//   Protocol        UDP, inbound, local port 5353, allow, enabled
//   Grouping        the display name
//   Profiles        all
//
// The application's rules are those whose application name is its path,
// letter case aside.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_ADVANCED_FIREWALL_MANAGER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_ADVANCED_FIREWALL_MANAGER_H_

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/firewall_policy.h"

namespace installer {

class ProductNaming;

class AdvancedFirewallManager : public FirewallManager {
 public:
  static constexpr uint16_t kMdnsPort = 5353;

  // Null when |policy| is: the firewall could not be reached.
  static std::unique_ptr<AdvancedFirewallManager> Create(
      const ProductNaming& naming,
      const base::FilePath& application_path,
      std::unique_ptr<FirewallPolicy> policy);

  AdvancedFirewallManager(const AdvancedFirewallManager&) = delete;
  AdvancedFirewallManager& operator=(const AdvancedFirewallManager&) = delete;
  ~AdvancedFirewallManager() override;

  // FirewallManager:
  bool CanUseLocalPorts() override;
  bool AddFirewallRules() override;
  void RemoveFirewallRules() override;

 private:
  AdvancedFirewallManager(std::wstring application_name,
                          base::FilePath application_path,
                          std::unique_ptr<FirewallPolicy> policy);

  // Whether the firewall filters any profile in effect. A profile that
  // cannot be asked counts as filtering; when the profiles in effect cannot
  // be read, the firewall counts as off.
  bool IsFirewallOn();
  // The rules of the application, in the collection's order.
  std::vector<std::unique_ptr<FirewallRule>> GetAllRules();
  // Deletes the application's rules named exactly |name|.
  void DeleteRuleByName(const std::wstring& name);
  // Removes |rule| and no other rule of the same name: it is renamed to a
  // fresh GUID and removed by that name. A rule that cannot be removed gets
  // its name back. False (logged) when it is still there.
  bool DeleteRule(FirewallRule* rule);

  const std::wstring application_name_;
  const base::FilePath application_path_;
  const std::unique_ptr<FirewallPolicy> policy_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_ADVANCED_FIREWALL_MANAGER_H_
