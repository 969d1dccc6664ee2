// Lays a dialog out left to right or mirrored for right-to-left languages.
// The positions the dialog template gives are kept as the logical layout;
// mirroring sets the dialog's and its controls' right-to-left layout and
// places each control at its logical position counted from the right.
//
//   LayoutMirror layout;
//   layout.Capture(dialog);        // at WM_INITDIALOG, still left to right
//   layout.Apply(/*right_to_left=*/true);

#ifndef DESKTOP_WINDOWS_INSTALLER_UI_LAYOUT_MIRROR_H_
#define DESKTOP_WINDOWS_INSTALLER_UI_LAYOUT_MIRROR_H_

#include <windows.h>

#include <map>

namespace installer {

class LayoutMirror {
 public:
  LayoutMirror();
  LayoutMirror(const LayoutMirror&) = delete;
  LayoutMirror& operator=(const LayoutMirror&) = delete;
  ~LayoutMirror();

  // Records the current positions of |dialog|'s direct children.
  void Capture(HWND dialog);
  void Apply(bool right_to_left);
  bool right_to_left() const { return right_to_left_; }

  // A control's logical rectangle (client coordinates, left to right).
  RECT GetLogicalRect(HWND control) const;
  // Moves |control| to the logical rectangle |rect| in either layout.
  void Move(HWND control, const RECT& rect);

 private:
  HWND dialog_ = nullptr;
  std::map<HWND, RECT> logical_rects_;
  bool right_to_left_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_UI_LAYOUT_MIRROR_H_
