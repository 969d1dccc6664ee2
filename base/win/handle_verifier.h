// The process's handle verifier, shared between the executable and the DLLs
// of one process through the exported "GetHandleVerifier": on first use a
// module takes the verifier of the host executable when the host exports
// one, and otherwise makes its own, which is disabled. This build never
// tracks handles; the export exists so that modules of one process agree on
// one verifier.

#ifndef BASE_WIN_HANDLE_VERIFIER_H_
#define BASE_WIN_HANDLE_VERIFIER_H_

#include <windows.h>

namespace base {
namespace win {

class HandleVerifier {
 public:
  virtual ~HandleVerifier() = default;
  virtual bool IsEnabled() const = 0;
  virtual void StartTracking(HANDLE handle, const void* owner) = 0;
  virtual void StopTracking(HANDLE handle, const void* owner) = 0;
  virtual void Disable() = 0;
};

// The verifier this module uses: the host's, or a disabled one of its own.
HandleVerifier* GetHandleVerifierInstance();

}  // namespace win
}  // namespace base

// The export through which modules of one process share the verifier.
extern "C" void* GetHandleVerifier();

#endif  // BASE_WIN_HANDLE_VERIFIER_H_
