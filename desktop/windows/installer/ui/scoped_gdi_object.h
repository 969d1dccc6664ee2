// Owns a GDI object (bitmap, brush, font) and deletes it when replaced or
// destroyed.

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_SCOPED_GDI_OBJECT_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_SCOPED_GDI_OBJECT_H_

#include <windows.h>

namespace installer {

template <typename T>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(T object) : object_(object) {}
  ScopedGdiObject(ScopedGdiObject&& other) : object_(other.release()) {}
  ScopedGdiObject& operator=(ScopedGdiObject&& other) {
    reset(other.release());
    return *this;
  }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
  ~ScopedGdiObject() { reset(); }

  void reset(T object = nullptr) {
    if (object_)
      ::DeleteObject(object_);
    object_ = object;
  }
  T release() {
    T object = object_;
    object_ = nullptr;
    return object;
  }
  T get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T object_ = nullptr;
};

using ScopedBitmap = ScopedGdiObject<HBITMAP>;
using ScopedBrush = ScopedGdiObject<HBRUSH>;
using ScopedFont = ScopedGdiObject<HFONT>;

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_SCOPED_GDI_OBJECT_H_
