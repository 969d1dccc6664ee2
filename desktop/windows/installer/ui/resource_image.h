// Pictures that the host executable carries as "PNG" and "JPG" resources,
// decoded with GDI+ into 32-bit bitmaps with premultiplied alpha, ready for
// AlphaBlend.
//
//   GdiplusSession gdiplus;
//   ResourceImage logo = ResourceImage::Load(L"PNG", IDR_LOGO_IMAGE);
//   if (logo.bitmap()) logo.Draw(dc, x, y);

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_RESOURCE_IMAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_RESOURCE_IMAGE_H_

#include <windows.h>

#include "desktop/windows/installer/ui/scoped_gdi_object.h"

namespace installer {

// GDI+ is usable while one lives.
class GdiplusSession {
 public:
  GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  ~GdiplusSession();

  bool started() const { return token_ != 0; }

 private:
  ULONG_PTR token_ = 0;
};

class ResourceImage {
 public:
  ResourceImage() = default;
  ResourceImage(ResourceImage&&) = default;
  ResourceImage& operator=(ResourceImage&&) = default;

  // Resource |id| of |type| in the process's main module; an empty image
  // (logged) when it is missing or cannot be decoded.
  static ResourceImage Load(const wchar_t* type, int id);

  HBITMAP bitmap() const { return bitmap_.get(); }
  SIZE size() const { return size_; }

  // Blends the image with its alpha channel at its own size, or stretched
  // to |width| x |height|.
  void Draw(HDC dc, int x, int y) const;
  void DrawStretched(HDC dc, int x, int y, int width, int height) const;

 private:
  ScopedBitmap bitmap_;
  SIZE size_ = {0, 0};
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_RESOURCE_IMAGE_H_
