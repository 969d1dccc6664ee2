#include "base/win/handle_verifier.h"

namespace base {
namespace win {

namespace {

class DisabledHandleVerifier : public HandleVerifier {
 public:
  bool IsEnabled() const override { return false; }
  void StartTracking(HANDLE, const void*) override {}
  void StopTracking(HANDLE, const void*) override {}
  void Disable() override {}
};

using GetHandleVerifierFunction = void* (*)();

HandleVerifier* CreateOrTakeVerifier() {
  auto host_function = reinterpret_cast<GetHandleVerifierFunction>(
      ::GetProcAddress(::GetModuleHandleW(nullptr), "GetHandleVerifier"));
  // In the host itself the export is this very function: make our own.
  if (host_function && host_function != &GetHandleVerifier) {
    if (void* host_verifier = host_function())
      return static_cast<HandleVerifier*>(host_verifier);
  }
  return new DisabledHandleVerifier();
}

}  // namespace

HandleVerifier* GetHandleVerifierInstance() {
  // Lives until the process ends: other modules may hold it.
  static HandleVerifier* const verifier = CreateOrTakeVerifier();
  return verifier;
}

}  // namespace win
}  // namespace base

void* GetHandleVerifier() {
  return base::win::GetHandleVerifierInstance();
}
