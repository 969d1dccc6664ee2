#include "desktop/windows/installer/process/launch_lock.h"

#include "base/lazy_instance_helpers.h"
#include "base/synchronization/lock.h"

namespace installer {

namespace {

base::LazySingleton<base::Lock> g_launch_lock;

}  // namespace

base::Lock& GetProcessLaunchLock() {
  return *g_launch_lock.Get();
}

}  // namespace installer
