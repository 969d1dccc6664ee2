// Sets a feature of the process's registry while it lives; the state before
// comes back afterwards. A feature nobody registered is registered first
// (off by default, overridable). Tests only, on the main thread.
//
//   ScopedFeatureState overrides(kInstallerPrefDefaultOverridesSupport, false);

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_FEATURE_STATE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_FEATURE_STATE_H_

#include <string>

namespace installer {
namespace test {

class ScopedFeatureState {
 public:
  ScopedFeatureState(const std::string& name, bool enabled);
  ScopedFeatureState(const ScopedFeatureState&) = delete;
  ScopedFeatureState& operator=(const ScopedFeatureState&) = delete;
  ~ScopedFeatureState();

 private:
  void Set(bool enabled);

  const std::string name_;
  bool previous_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SCOPED_FEATURE_STATE_H_
