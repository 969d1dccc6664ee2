// Sets an environment variable of this process (and so of the children it
// starts) for the lifetime of the object, then restores it (tests only).

#ifndef BASE_TEST_SCOPED_ENVIRONMENT_VARIABLE_OVERRIDE_H_
#define BASE_TEST_SCOPED_ENVIRONMENT_VARIABLE_OVERRIDE_H_

#include <string>

namespace base {

class ScopedEnvironmentVariableOverride {
 public:
  // Sets |name| to |value|.
  ScopedEnvironmentVariableOverride(const std::string& name,
                                    const std::string& value);
  // Removes |name|.
  explicit ScopedEnvironmentVariableOverride(const std::string& name);
  ScopedEnvironmentVariableOverride(const ScopedEnvironmentVariableOverride&) =
      delete;
  ScopedEnvironmentVariableOverride& operator=(
      const ScopedEnvironmentVariableOverride&) = delete;
  ~ScopedEnvironmentVariableOverride();

 private:
  const std::string name_;
  bool was_set_ = false;
  std::string old_value_;
};

}  // namespace base

#endif  // BASE_TEST_SCOPED_ENVIRONMENT_VARIABLE_OVERRIDE_H_
