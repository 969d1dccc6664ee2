#include "desktop/windows/installer/test/window_capture.h"

#include "base/logging.h"
#include "base/run_loop.h"
#include "desktop/windows/installer/ui/gdiplus_include.h"

namespace installer {
namespace test {

namespace {

// The PNG encoder of GDI+.
constexpr CLSID kPngEncoder = {
    0x557cf406,
    0x1a04,
    0x11d3,
    {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

}  // namespace

void PumpUntilIdle(HWND window) {
  for (int round = 0; round < 3; ++round) {
    base::RunLoop().RunUntilIdle();
    if (window)
      ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

bool SaveWindowAsPng(HWND window, const base::FilePath& path) {
  // The client area only: without a window manager nobody draws frames.
  RECT rect;
  if (!::GetClientRect(window, &rect))
    return false;
  ::MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::BitBlt(dc, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  Gdiplus::GpBitmap* image = nullptr;
  bool saved = false;
  if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr,
                                                       &image) == Gdiplus::Ok) {
    saved =
        Gdiplus::DllExports::GdipSaveImageToFile(
            image, path.value().c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
    Gdiplus::DllExports::GdipDisposeImage(image);
  }
  ::DeleteObject(bitmap);
  if (!saved)
    LOG(ERROR) << "Could not save " << path;
  return saved;
}

}  // namespace test
}  // namespace installer
