#include "desktop/windows/installer/service/firewall_manager.h"

#include <utility>

#include "base/logging.h"
#include "desktop/windows/installer/service/advanced_firewall_manager.h"
#include "desktop/windows/installer/service/win32_firewall_policy.h"

namespace installer {

namespace {

FirewallManager::Factory* g_factory_for_testing = nullptr;

}  // namespace

FirewallManager::~FirewallManager() = default;

// static
std::unique_ptr<FirewallManager> FirewallManager::Create(
    const ProductNaming* naming,
    const base::FilePath& application_path) {
  DCHECK(naming);
  if (g_factory_for_testing)
    return g_factory_for_testing->Run(naming, application_path);
  return AdvancedFirewallManager::Create(*naming, application_path,
                                         Win32FirewallPolicy::Create());
}

FirewallManager::ScopedFactoryForTesting::ScopedFactoryForTesting(
    Factory factory)
    : factory_(std::move(factory)) {
  DCHECK(!g_factory_for_testing) << "not nestable";
  DCHECK(factory_);
  g_factory_for_testing = &factory_;
}

FirewallManager::ScopedFactoryForTesting::~ScopedFactoryForTesting() {
  DCHECK_EQ(g_factory_for_testing, &factory_);
  g_factory_for_testing = nullptr;
}

}  // namespace installer
