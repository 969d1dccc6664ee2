// The Windows Firewall rules of one application: the browser answers
// multicast DNS on the local network, so an install adds an inbound rule
// for it and an uninstall removes the rules of the version it removes.
// COM must be initialised on the calling thread.
//
//   std::unique_ptr<FirewallManager> manager = FirewallManager::Create(
//       ProductNaming::GetInstance(), browser_exe);
//   if (!manager)
//     LOG(ERROR) << "Failed creating a FirewallManager.";
//   else if (!manager->AddFirewallRules())
//     LOG(ERROR) << "Failed creating a firewall rules.";

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_MANAGER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_MANAGER_H_

#include <memory>

#include "base/callback.h"
#include "base/files/file_path.h"

namespace installer {

class ProductNaming;

class FirewallManager {
 public:
  using Factory = base::RepeatingCallback<std::unique_ptr<FirewallManager>(
      const ProductNaming* naming,
      const base::FilePath& application_path)>;

  FirewallManager(const FirewallManager&) = delete;
  FirewallManager& operator=(const FirewallManager&) = delete;
  virtual ~FirewallManager();

  // The manager of the rules of the program |application_path|, named
  // after |naming|'s display name; null (logged) when the firewall cannot
  // be reached. Tests replace the result with ScopedFactoryForTesting.
  static std::unique_ptr<FirewallManager> Create(
      const ProductNaming* naming,
      const base::FilePath& application_path);

  // Whether other machines can reach the application's local ports: the
  // firewall is off for every current profile, or a rule of the
  // application exists.
  virtual bool CanUseLocalPorts() = 0;
  // Adds the inbound rule for the multicast DNS port, replacing the
  // application's rule of the same name. False (logged) when it could not
  // be added.
  virtual bool AddFirewallRules() = 0;
  // Deletes every rule of the application; failures are logged only.
  virtual void RemoveFirewallRules() = 0;

  // Makes Create return what |factory| makes while the object lives. Not
  // nestable; set before the code under test runs.
  class ScopedFactoryForTesting {
   public:
    explicit ScopedFactoryForTesting(Factory factory);
    ScopedFactoryForTesting(const ScopedFactoryForTesting&) = delete;
    ScopedFactoryForTesting& operator=(const ScopedFactoryForTesting&) = delete;
    ~ScopedFactoryForTesting();

   private:
    Factory factory_;
  };

 protected:
  FirewallManager() = default;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_MANAGER_H_
