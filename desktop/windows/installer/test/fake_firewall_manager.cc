#include "desktop/windows/installer/test/fake_firewall_manager.h"

#include <memory>

#include "base/bind.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/product_naming.h"

namespace installer {

namespace {

std::unique_ptr<FirewallManager> MakeManager(
    FakeFirewallManager::Record* record,
    const ProductNaming* naming,
    const base::FilePath& application_path) {
  record->calls.push_back(L"Create " + application_path.value());
  std::wstring display_name;
  if (naming)
    naming->GetDisplayName(&display_name);
  record->display_names.push_back(display_name);
  if (!record->create_result)
    return nullptr;
  return std::make_unique<FakeFirewallManager>(record, application_path);
}

}  // namespace

FakeFirewallManager::Record::Record() = default;
FakeFirewallManager::Record::~Record() = default;

// static
FirewallManager::Factory FakeFirewallManager::Factory(Record* record) {
  return base::BindRepeating(&MakeManager, base::Unretained(record));
}

FakeFirewallManager::FakeFirewallManager(Record* record,
                                         const base::FilePath& application_path)
    : record_(record), application_path_(application_path) {
  DCHECK(record_);
}

FakeFirewallManager::~FakeFirewallManager() = default;

bool FakeFirewallManager::CanUseLocalPorts() {
  record_->calls.push_back(L"CanUseLocalPorts " + application_path_.value());
  return record_->can_use_local_ports;
}

bool FakeFirewallManager::AddFirewallRules() {
  record_->calls.push_back(L"AddFirewallRules " + application_path_.value());
  return record_->add_result;
}

void FakeFirewallManager::RemoveFirewallRules() {
  record_->calls.push_back(L"RemoveFirewallRules " + application_path_.value());
}

}  // namespace installer
