#include "base/test/scoped_environment_variable_override.h"

#include <memory>

#include "base/environment.h"

namespace base {

ScopedEnvironmentVariableOverride::ScopedEnvironmentVariableOverride(
    const std::string& name,
    const std::string& value)
    : name_(name) {
  std::unique_ptr<Environment> environment = Environment::Create();
  was_set_ = environment->GetVar(name_, &old_value_);
  environment->SetVar(name_, value);
}

ScopedEnvironmentVariableOverride::ScopedEnvironmentVariableOverride(
    const std::string& name)
    : name_(name) {
  std::unique_ptr<Environment> environment = Environment::Create();
  was_set_ = environment->GetVar(name_, &old_value_);
  environment->UnSetVar(name_);
}

ScopedEnvironmentVariableOverride::~ScopedEnvironmentVariableOverride() {
  std::unique_ptr<Environment> environment = Environment::Create();
  if (was_set_)
    environment->SetVar(name_, old_value_);
  else
    environment->UnSetVar(name_);
}

}  // namespace base
