// The plumbing of COM objects that tests make to stand in for a service's
// own where Wine's keep or answer nothing: reference counting (an object
// deletes itself with its last reference) and QueryInterface for IUnknown
// and the interfaces that Answers accepts; FakeDispatch adds IDispatch's
// methods, which refuse everything.
//
//   class FakeRule : public FakeDispatch<INetFwRule> {
//    protected:
//     bool Answers(REFIID iid) override {
//       return iid == kIidINetFwRule || FakeDispatch::Answers(iid);
//     }
//     ...
//   };

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_COM_OBJECT_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_COM_OBJECT_H_

#include <windows.h>

#include <oaidl.h>

namespace installer {
namespace test {

template <typename Interface>
class FakeComObject : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || Answers(iid)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

 protected:
  virtual ~FakeComObject() = default;
  // Whether the object answers |iid| besides IUnknown.
  virtual bool Answers(REFIID iid) = 0;

 private:
  ULONG references_ = 0;
};

template <typename Interface>
class FakeDispatch : public FakeComObject<Interface> {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID,
                                   REFIID,
                                   LCID,
                                   WORD,
                                   DISPPARAMS*,
                                   VARIANT*,
                                   EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  bool Answers(REFIID iid) override { return iid == IID_IDispatch; }
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_FAKE_COM_OBJECT_H_
