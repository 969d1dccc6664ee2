#include "base/environment.h"

#include <windows.h>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

class EnvironmentImpl : public Environment {
 public:
  bool GetVar(StringPiece variable_name, std::string* result) override {
    const std::wstring name = UTF8ToWide(variable_name);
    std::wstring value(64, L'\0');
    while (true) {
      // An empty variable and a missing one both return 0; only the error
      // code tells them apart.
      ::SetLastError(ERROR_SUCCESS);
      DWORD length = ::GetEnvironmentVariableW(
          name.c_str(), value.data(), static_cast<DWORD>(value.size()));
      if (length == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND)
          return false;
        value.clear();
        break;
      }
      if (length < value.size()) {
        value.resize(length);
        break;
      }
      // Too small: |length| is the size needed including the terminator.
      // The variable may grow again before the next call, hence the loop.
      value.resize(length);
    }
    if (result)
      *result = WideToUTF8(value);
    return true;
  }

  bool SetVar(StringPiece variable_name,
              const std::string& new_value) override {
    if (!::SetEnvironmentVariableW(UTF8ToWide(variable_name).c_str(),
                                   UTF8ToWide(new_value).c_str())) {
      PLOG(ERROR) << "SetEnvironmentVariable failed for " << variable_name;
      return false;
    }
    return true;
  }

  bool UnSetVar(StringPiece variable_name) override {
    if (!::SetEnvironmentVariableW(UTF8ToWide(variable_name).c_str(),
                                   nullptr)) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return true;
      PLOG(ERROR) << "Removing environment variable " << variable_name
                  << " failed";
      return false;
    }
    return true;
  }
};

}  // namespace

Environment::~Environment() = default;

// static
std::unique_ptr<Environment> Environment::Create() {
  return std::make_unique<EnvironmentImpl>();
}

bool Environment::HasVar(StringPiece variable_name) {
  return GetVar(variable_name, nullptr);
}

}  // namespace base
