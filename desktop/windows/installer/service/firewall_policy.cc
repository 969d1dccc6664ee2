#include "desktop/windows/installer/service/firewall_policy.h"

namespace installer {

FirewallRuleProperties::FirewallRuleProperties() = default;
FirewallRuleProperties::FirewallRuleProperties(const FirewallRuleProperties&) =
    default;
FirewallRuleProperties& FirewallRuleProperties::operator=(
    const FirewallRuleProperties&) = default;
FirewallRuleProperties::~FirewallRuleProperties() = default;

FirewallRule::~FirewallRule() = default;

FirewallPolicy::~FirewallPolicy() = default;

}  // namespace installer
