#include "desktop/windows/installer/ui/layout_mirror.h"

#include "base/logging.h"

namespace installer {

namespace {

// Mirrored layout, and texts that read from the right.
constexpr LONG kMirrorStyles = WS_EX_LAYOUTRTL | WS_EX_RTLREADING;

void SetMirrored(HWND window, bool mirrored) {
  const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
  const LONG_PTR wanted =
      mirrored ? (style | kMirrorStyles) : (style & ~kMirrorStyles);
  if (wanted != style)
    ::SetWindowLongPtrW(window, GWL_EXSTYLE, wanted);
}

}  // namespace

LayoutMirror::LayoutMirror() = default;

LayoutMirror::~LayoutMirror() = default;

void LayoutMirror::Capture(HWND dialog) {
  DCHECK(!(::GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL));
  dialog_ = dialog;
  logical_rects_.clear();
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    logical_rects_[child] = rect;
  }
}

void LayoutMirror::Apply(bool right_to_left) {
  if (!dialog_ || right_to_left == right_to_left_)
    return;
  right_to_left_ = right_to_left;
  SetMirrored(dialog_, right_to_left);
  // Controls keep their screen position when the dialog's layout flips;
  // placing them again at their logical position mirrors them.
  for (const auto& [control, rect] : logical_rects_) {
    SetMirrored(control, right_to_left);
    ::SetWindowPos(control, nullptr, rect.left, rect.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(dialog_, nullptr, TRUE);
}

RECT LayoutMirror::GetLogicalRect(HWND control) const {
  auto it = logical_rects_.find(control);
  return it == logical_rects_.end() ? RECT{0, 0, 0, 0} : it->second;
}

void LayoutMirror::Move(HWND control, const RECT& rect) {
  logical_rects_[control] = rect;
  ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace installer
