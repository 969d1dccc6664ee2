// A FirewallManager that records what it is asked, for tests of the code
// that creates one through FirewallManager::Create (the engine). The record
// outlives the managers, which their user destroys.
//
//   FakeFirewallManager::Record record;
//   FirewallManager::ScopedFactoryForTesting factory(
//       FakeFirewallManager::Factory(&record));
//   ... run the uninstall ...
//   EXPECT_EQ(L"RemoveFirewallRules " + exe.value(), record.calls.back());

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_FIREWALL_MANAGER_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_FIREWALL_MANAGER_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/firewall_manager.h"

namespace installer {

class FakeFirewallManager : public FirewallManager {
 public:
  struct Record {
    Record();
    ~Record();

    // False: Create gives null, as when the firewall cannot be reached.
    bool create_result = true;
    // What AddFirewallRules and CanUseLocalPorts answer.
    bool add_result = true;
    bool can_use_local_ports = true;
    // Every call, in order, with the application path: "Create PATH",
    // "AddFirewallRules PATH", "RemoveFirewallRules PATH",
    // "CanUseLocalPorts PATH". "Create" is recorded also when it fails.
    std::vector<std::wstring> calls;
    // The display name of the naming each Create was given.
    std::vector<std::wstring> display_names;
  };

  // A factory for FirewallManager::ScopedFactoryForTesting whose managers
  // write to |record|, which must outlive them.
  static FirewallManager::Factory Factory(Record* record);

  FakeFirewallManager(Record* record, const base::FilePath& application_path);
  FakeFirewallManager(const FakeFirewallManager&) = delete;
  FakeFirewallManager& operator=(const FakeFirewallManager&) = delete;
  ~FakeFirewallManager() override;

  // FirewallManager:
  bool CanUseLocalPorts() override;
  bool AddFirewallRules() override;
  void RemoveFirewallRules() override;

 private:
  Record* const record_;
  const base::FilePath application_path_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_FIREWALL_MANAGER_H_
