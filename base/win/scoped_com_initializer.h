// Initialises COM on the current thread for the life of the object and
// uninitialises it at the end, on the same thread.
//
//   base::win::ScopedCOMInitializer com;  // single-threaded apartment
//   if (!com.Succeeded()) return false;

#ifndef BASE_WIN_SCOPED_COM_INITIALIZER_H_
#define BASE_WIN_SCOPED_COM_INITIALIZER_H_

#include <objbase.h>

#include "base/logging.h"

namespace base {
namespace win {

class ScopedCOMInitializer {
 public:
  // Selects the multi-threaded apartment.
  enum SelectMTA { kMTA };

  ScopedCOMInitializer() { Initialize(COINIT_APARTMENTTHREADED); }
  explicit ScopedCOMInitializer(SelectMTA) { Initialize(COINIT_MULTITHREADED); }
  ScopedCOMInitializer(const ScopedCOMInitializer&) = delete;
  ScopedCOMInitializer& operator=(const ScopedCOMInitializer&) = delete;

  ~ScopedCOMInitializer() {
    DCHECK_EQ(thread_id_, ::GetCurrentThreadId());
    if (Succeeded())
      ::CoUninitialize();
  }

  // False when the thread already had the other apartment kind
  // (RPC_E_CHANGED_MODE) or COM could not start. S_FALSE (COM was already
  // initialised the same way) counts as success.
  bool Succeeded() const { return SUCCEEDED(hr_); }
  HRESULT hr() const { return hr_; }

 private:
  void Initialize(COINIT init) {
    thread_id_ = ::GetCurrentThreadId();
    hr_ = ::CoInitializeEx(nullptr, init);
    LOG_IF(ERROR, FAILED(hr_)) << "CoInitializeEx failed: 0x" << std::hex
                               << static_cast<unsigned long>(hr_);
  }

  HRESULT hr_ = E_FAIL;
  DWORD thread_id_ = 0;
};

}  // namespace win
}  // namespace base

#endif  // BASE_WIN_SCOPED_COM_INITIALIZER_H_
