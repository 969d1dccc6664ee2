#include "desktop/windows/installer/ui/resource_image.h"

#include <shlwapi.h>

#include <cstring>

#include "base/logging.h"
#include "desktop/windows/installer/ui/gdiplus_include.h"

namespace installer {

namespace {

namespace gp = Gdiplus::DllExports;

// Images larger than this are refused: the resources are small, and a
// bogus header must not make us allocate gigabytes.
constexpr UINT kMaxImageSide = 4096;

struct Gpbitmap {
  ~Gpbitmap() {
    if (bitmap)
      gp::GdipDisposeImage(bitmap);
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
};

}  // namespace

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
    LOG(ERROR) << "GDI+ could not be started; the window has no pictures";
    token_ = 0;
  }
}

GdiplusSession::~GdiplusSession() {
  if (token_)
    Gdiplus::GdiplusShutdown(token_);
}

// static
ResourceImage ResourceImage::Load(const wchar_t* type, int id) {
  ResourceImage image;
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) {
    LOG(ERROR) << "Image resource " << id << " is missing";
    return image;
  }
  IStream* stream = ::SHCreateMemStream(static_cast<const BYTE*>(data),
                                        ::SizeofResource(module, resource));
  if (!stream) {
    LOG(ERROR) << "No stream for image resource " << id;
    return image;
  }
  Gpbitmap decoded;
  const Gdiplus::GpStatus status =
      gp::GdipCreateBitmapFromStream(stream, &decoded.bitmap);
  stream->Release();
  UINT width = 0;
  UINT height = 0;
  if (status != Gdiplus::Ok ||
      gp::GdipGetImageWidth(decoded.bitmap, &width) != Gdiplus::Ok ||
      gp::GdipGetImageHeight(decoded.bitmap, &height) != Gdiplus::Ok ||
      width == 0 || height == 0 || width > kMaxImageSide ||
      height > kMaxImageSide) {
    LOG(ERROR) << "Image resource " << id << " cannot be decoded";
    return image;
  }
  Gdiplus::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData pixels = {};
  if (gp::GdipBitmapLockBits(decoded.bitmap, &rect, Gdiplus::ImageLockModeRead,
                             PixelFormat32bppPARGB, &pixels) != Gdiplus::Ok) {
    LOG(ERROR) << "Image resource " << id << " has no readable pixels";
    return image;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // Top-down.
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap =
      ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    for (UINT row = 0; row < height; ++row) {
      std::memcpy(static_cast<BYTE*>(bits) + row * width * 4,
                  static_cast<const BYTE*>(pixels.Scan0) + row * pixels.Stride,
                  width * 4);
    }
    image.bitmap_.reset(bitmap);
    image.size_ = {static_cast<LONG>(width), static_cast<LONG>(height)};
  } else {
    PLOG(ERROR) << "No bitmap for image resource " << id;
  }
  gp::GdipBitmapUnlockBits(decoded.bitmap, &pixels);
  return image;
}

void ResourceImage::Draw(HDC dc, int x, int y) const {
  DrawStretched(dc, x, y, size_.cx, size_.cy);
}

void ResourceImage::DrawStretched(HDC dc,
                                  int x,
                                  int y,
                                  int width,
                                  int height) const {
  if (!bitmap_)
    return;
  HDC source = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(source, bitmap_.get());
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::SetStretchBltMode(dc, HALFTONE);
  ::AlphaBlend(dc, x, y, width, height, source, 0, 0, size_.cx, size_.cy,
               blend);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}

}  // namespace installer
