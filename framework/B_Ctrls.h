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
#include "platform/gui/GDI.h"

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

// Publishes the drag properties and events of a class of controls (form
// data may name them); with Dock also DragKind and the dock events of a
// control that can be docked.
template <class C>
void PublishDrag(TClassBuilder<C>& Builder, bool Dock) {
  Builder.Prop("DragCursor", &TControl::DragCursor, &TControl::SetDragCursor, crDrag)
      .Prop("DragMode", &TControl::DragMode, &TControl::SetDragMode, dmManual)
      .Event("OnDragDrop", &TControl::OnDragDrop, &TControl::SetOnDragDrop)
      .Event("OnDragOver", &TControl::OnDragOver, &TControl::SetOnDragOver)
      .Event("OnEndDrag", &TControl::OnEndDrag, &TControl::SetOnEndDrag)
      .Event("OnStartDrag", &TControl::OnStartDrag, &TControl::SetOnStartDrag);
  if (!Dock) return;
  Builder.Prop("DragKind", &TControl::DragKind, &TControl::SetDragKind, dkDrag)
      .Event("OnEndDock", &TControl::OnEndDock, &TControl::SetOnEndDock)
      .Event("OnStartDock", &TControl::OnStartDock, &TControl::SetOnStartDock);
}

// Publishes DockSite and the events of a dock site.
template <class C>
void PublishDockSite(TClassBuilder<C>& Builder) {
  Builder.Prop("DockSite", &TWinControl::DockSite, &TWinControl::SetDockSite, false)
      .Event("OnDockDrop", &TWinControl::OnDockDrop, &TWinControl::SetOnDockDrop)
      .Event("OnDockOver", &TWinControl::OnDockOver, &TWinControl::SetOnDockOver)
      .Event("OnGetSiteInfo", &TWinControl::OnGetSiteInfo, &TWinControl::SetOnGetSiteInfo)
      .Event("OnUnDock", &TWinControl::OnUnDock, &TWinControl::SetOnUnDock);
}

// Border styles of the framework's text boxes. A control whose styles hold
// b_dsDefault after loading takes the framework's default styles.
RTL_ENUM(TB_DrawStyle, b_dsDefault, b_dsSingle, b_dsSingleFocus, b_ds3D, b_ds3DFocus);
using TB_DrawStyles = Set<TB_DrawStyle>;
inline constexpr TB_DrawStyles b_DefaultDrawStyles{b_dsDefault, b_ds3D, b_ds3DFocus};

// The border painter of the edit box and the memo (their non-client area).
// The client area inside Window: a 3-D style takes 2 pixels each side, a
// single style 1 more; a 3-D style without b_dsSingleFocus gives 1 back.
TRect B_BorderClientRect(TB_DrawStyles Styles, const TRect& Window);
// Paints the border over Window on DC. Active: focused or under the mouse.
// 3-D part: a sunken outer edge (soft when active, flat when not) when
// Focused, with b_ds3D, or under the mouse with b_ds3DFocus; otherwise two
// nested button-face frames. Single part (the ring just outside the client
// area, so that it shows whatever the 3-D part took): a window-frame line
// when inactive with b_dsSingle or active with b_dsSingleFocus, else a
// button-face line.
void B_PaintBorder(HDC DC, const TRect& Window, TB_DrawStyles Styles, bool Focused, bool MouseOver);

extern const TUnit unit_B_Ctrls;
