// The base of the framework's self-drawn controls, and the painting of
// transparent backgrounds through the top-level window.
//
// A transparent control (TB_CustomControl with Transparent set and a
// parent) erases its background by sending WM_PAINTBACKGROUND to the
// top-level window above it (following parents until one has none): the
// message carries the device context being painted and the control's client
// rectangle shifted by the offset of the control's client origin from the
// top-level window's (so that it names the top-level window's origin in the
// control's coordinates). When that window paints (answers non-zero) the
// erase is done; otherwise the control fills itself with its colour.
#pragma once

#include "framework/B_PF.h"
#include "platform/gui/Controls.h"

// WParam: the HDC to paint into; LParam: a TRect* in that DC's
// coordinates, shifted as above; result non-zero when painted.
inline constexpr Cardinal WM_PAINTBACKGROUND = WM_USER + 139;

// Sends WM_PAINTBACKGROUND for Control's background in DC to its top-level
// window; true when that window painted it.
bool PaintBackgroundFromTop(TWinControl* Control, HDC DC);

class TB_CustomControl : public TCustomControl {
 public:
  explicit TB_CustomControl(TComponent* AOwner);

  bool Transparent() const { return transparent_; }
  // Repaints the control.
  void SetTransparent(bool Value);

  void Dispatch(TMessage& Message) override;

 protected:
  // The window class loses CS_HREDRAW and CS_VREDRAW; the window clips
  // its children.
  void CreateParams(TCreateParams& Params) override;

 private:
  bool transparent_ = true;
};

extern const TUnit unit_B_Ctrls;
