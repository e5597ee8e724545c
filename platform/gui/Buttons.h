// TSpeedButton: a graphic button that can stay down.
//
// Glyph holds NumGlyphs (1..4, clamped) images side by side, each
// Glyph width / NumGlyphs wide: up, disabled, pressed, down (exclusive). A
// missing disabled image is the up image embossed in the highlight and
// shadow colours; missing pressed and down images are the up image. The
// glyph's transparent colour (its bottom-left pixel unless set) shows the
// button face. Glyph and Caption are laid out by Layout, Margin (-1:
// centred) and Spacing; pressed or down they move by one pixel.
//
// State: bsUp, bsDisabled (while not Enabled), bsDown (the left button is
// held over it), bsExclusive (Down). A press captures the mouse; moving off
// the button shows it up, moving back down again; the release over it
// clicks. With GroupIndex 0 the button springs back. With a GroupIndex the
// release sets Down; a down button is released by a click only with
// AllowAllUp, and a button going down releases the other down buttons of its
// group among its parent's controls (CM_BUTTONPRESSED, which also shares
// AllowAllUp across the group).
//
// Not Flat: a raised 3-D face, sunken while pressed or down. Flat: no face
// or frame over the parent except while the mouse is over it (a raised
// inner edge) or it is pressed or down (a sunken outer edge). A flat button
// that is not Transparent fills its face with its Color first.
#pragma once

#include <memory>

#include "platform/gui/Controls.h"

RTL_ENUM(TButtonState, bsUp, bsDisabled, bsDown, bsExclusive);
RTL_ENUM(TButtonLayout, blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom);
// WParam: the group index, LParam: the button that went down.
inline constexpr Cardinal CM_BUTTONPRESSED = CM_BASE + 10;

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;

  bool AllowAllUp() const { return allow_all_up_; }
  void SetAllowAllUp(bool Value);
  bool Down() const { return down_; }
  void SetDown(bool Value);
  bool Flat() const { return flat_; }
  void SetFlat(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  int GroupIndex() const { return group_index_; }
  void SetGroupIndex(int Value);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* Value);
  int NumGlyphs() const { return num_glyphs_; }
  void SetNumGlyphs(int Value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout Value);
  int Margin() const { return margin_; }
  void SetMargin(int Value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int Value);
  TButtonState State() const { return state_; }
  bool MouseInControl() const { return mouse_in_control_; }

  void SetEnabled(bool Value) override;
  void Click() override;
  void Dispatch(TMessage& Message) override;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Paint() override;
  // Draws image Index of the glyph (see above) at (X, Y).
  void DrawGlyph(int X, int Y, TButtonState State);
  void GlyphChanged(TObject* Sender);

  TButtonState state_ = bsUp;

 private:
  void UpdateExclusive();
  TRect GlyphSize() const;

  bool allow_all_up_ = false, down_ = false, flat_ = false, dragging_ = false, mouse_in_control_ = false;
  bool transparent_ = true;
  int group_index_ = 0, num_glyphs_ = 1, margin_ = -1, spacing_ = 4;
  TButtonLayout layout_ = blGlyphLeft;
  std::unique_ptr<TBitmap> glyph_;
};

class TUnit;
extern const TUnit unit_Buttons;
