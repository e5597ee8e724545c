// TCustomDBEditEh: the button row, the text area, the height and painting.
#include <climits>
#include <cmath>

#include "grid/toolkit/DBCtrlsEh.h"
#include "platform/gui/GDI.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/Locale.h"

namespace {

// Height of the font's text (the text metric's height).
int FontHeight(TFont* Font) {
  TBitmap bitmap;
  bitmap.SetSize(1, 1);
  TCanvas* measure = bitmap.Canvas();
  measure->Font()->Assign(Font);
  TEXTMETRIC tm{};
  if (GetTextMetrics(measure->Handle(), &tm)) return tm.tmHeight;
  return measure->TextHeight("Wg");
}

}  // namespace

// ---------------------------------------------------------------------------
// Window style and size

void TCustomDBEditEh::CreateParams(TCreateParams& Params) {
  TCustomMaskEdit::CreateParams(Params);
  if (PasswordChar() == 0) Params.Style |= ES_MULTILINE;
  if (word_wrap_) Params.Style &= ~ES_AUTOHSCROLL;
  Params.Style &= ~(ES_LEFT | ES_CENTER | ES_RIGHT);
  if (word_wrap_) {
    switch (Alignment()) {
      case taRightJustify: Params.Style |= ES_RIGHT; break;
      case taCenter: Params.Style |= ES_CENTER; break;
      default: Params.Style |= ES_LEFT; break;
    }
  }
}

void TCustomDBEditEh::InitWidget() {
  TCustomMaskEdit::InitWidget();
  if (edit_image_->Visible() && edit_image_->Images() != nullptr)
    image_width_ = (edit_image_->Width() >= 1 ? edit_image_->Width() : edit_image_->Images()->Width()) + 4;
  else image_width_ = 0;
  AdjustHeight();
  UpdateEditButtonControlList();
}

void TCustomDBEditEh::Resize() {
  TCustomMaskEdit::Resize();
  UpdateEditButtonControlList();
}

void TCustomDBEditEh::FontChanged() {
  TCustomMaskEdit::FontChanged();
  if (!(IsDesigning() && IsLoading())) AdjustHeight();
  UpdateFormatRect();
}

void TCustomDBEditEh::SetAutoSize(bool Value) {
  TCustomMaskEdit::SetAutoSize(Value);
  AdjustHeight();
}

void TCustomDBEditEh::AdjustHeight() { UpdateHeight(); }

void TCustomDBEditEh::UpdateHeight() {
  if (!AutoSize() || BorderStyle() != bsSingle || IsLoading()) {
    SetControlStyle(ControlStyle() - TControlStyle{csFixedHeight});
    return;
  }
  SetControlStyle(ControlStyle() + TControlStyle{csFixedHeight});
  const int f = FontHeight(Font());
  const int extra = ((Ctl3D() ? 8 : 6) - (flat_ ? 2 : 0)) * GetSystemMetrics(SM_CYBORDER);
  TCustomImageList* images = edit_image_->Images();
  if (images != nullptr && edit_image_->UseImageHeight() && images->Height() > f) SetHeight(images->Height() + extra);
  else SetHeight(f + extra);
}

void TCustomDBEditEh::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  RecreateWnd();
  AdjustHeight();
  UpdateEditButtonControlList();
  Invalidate();
}

void TCustomDBEditEh::SetWordWrap(bool Value) {
  if (word_wrap_ == Value) return;
  word_wrap_ = Value;
  RecreateWnd();
  UpdateEditButtonControlList();
}

void TCustomDBEditEh::SetAlwaysShowBorder(bool Value) {
  if (always_show_border_ == Value) return;
  always_show_border_ = Value;
  UpdateBorderActive();
}

void TCustomDBEditEh::UpdateBorderActive() {
  if (IsLoading()) return;
  const bool active = IsDesigning() || focused_ || mouse_over_ || always_show_border_;
  if (active == border_active_) return;
  border_active_ = active;
  Invalidate();
  UpdateEditButtonControlsState();
}

// ---------------------------------------------------------------------------
// The button row

TEditButtonControlEh* TCustomDBEditEh::CreateEditButtonControl() {
  auto* control = new TEditButtonControlEh(this);
  control->SetControlStyle(control->ControlStyle() + TControlStyle{csReplicatable});
  control->SetWidth(10);
  control->SetHeight(17);
  control->SetVisible(true);
  control->SetTransparent(false);
  control->SetParent(this);
  return control;
}

bool TCustomDBEditEh::ButtonEnabled() { return Enabled() && data_link_->Active(); }

void TCustomDBEditEh::UpdateEditButtonControlList() {
  if (edit_button_ == nullptr || edit_buttons_ == nullptr || IsDestroying()) return;
  const size_t count = static_cast<size_t>(edit_buttons_->Count()) + 1;
  while (pairs_.size() > count) {
    ButtonPair p = pairs_.back();
    pairs_.pop_back();
    delete p.Button;
    delete p.Divider;
  }
  while (pairs_.size() < count) {
    ButtonPair p;
    p.Divider = new TShape(this);
    p.Divider->SetParent(this);
    p.Button = CreateEditButtonControl();
    pairs_.push_back(p);
  }
  const int clientHeight = ClientHeight();
  const int clientWidth = ClientWidth();
  buttons_height_ = INT_MAX;
  for (size_t i = 0; i < pairs_.size(); ++i) {
    TEditButtonEh* settings = i == 0 ? edit_button_.get() : edit_buttons_->Items(static_cast<int>(i) - 1);
    TEditButtonControlEh* b = pairs_[i].Button;
    b->SetTag(static_cast<NativeInt>(i));
    b->SetVisible(settings->Visible());
    b->SetStyle(settings->Style());
    b->SetGlyph(settings->Glyph());
    b->SetNumGlyphs(settings->NumGlyphs());
    b->SetHint(settings->Hint());
    b->SetFlat(flat_);
    int width = 0;
    if (settings->Visible()) {
      if (settings->Width() >= 1) width = settings->Width();
      else width = flat_ ? DefaultEditButtonWidth() : GetSystemMetrics(SM_CXVSCROLL);
      const int height = clientHeight > static_cast<int>(std::lround(width * 3.0 / 2.0))
                             ? ScaleWidthByHalf(width, flat_)
                             : clientHeight;
      buttons_height_ = std::min(buttons_height_, height);
    }
    b->SetWidth(width);
    pairs_[i].Divider->SetVisible(flat_ && settings->Visible());
    pairs_[i].Divider->SetWidth(flat_ && settings->Visible() ? 1 : 0);
    b->SetOnDown({this, &TCustomDBEditEh::EditButtonDown});
    b->SetOnClick({this, &TCustomDBEditEh::EditButtonClick});
    b->SetOnMouseMove({this, &TCustomDBEditEh::EditButtonMouseMove});
    b->SetOnMouseUp({this, &TCustomDBEditEh::EditButtonMouseUp});
  }
  if (buttons_height_ == INT_MAX) buttons_height_ = clientHeight;
  int cursor = clientWidth;
  for (size_t i = pairs_.size(); i-- > 0;) {
    TEditButtonControlEh* b = pairs_[i].Button;
    const int w = b->Visible() ? b->Width() : 0;
    b->SetBounds(cursor - w, 0, w, buttons_height_);
    cursor -= w;
    TShape* d = pairs_[i].Divider;
    d->SetBounds(cursor - d->Width(), 0, d->Width(), buttons_height_);
    cursor -= d->Width();
  }
  buttons_width_ = clientWidth - cursor;
  UpdateEditButtonControlsState();
  UpdateFormatRect();
  Invalidate();
}

void TCustomDBEditEh::UpdateEditButtonControlsState() {
  if (data_link_ == nullptr) return;
  const bool enabled = ButtonEnabled();
  for (const ButtonPair& p : pairs_) {
    p.Button->SetEnabled(enabled);
    p.Button->SetActive(border_active_);
    p.Divider->Pen()->SetColor(border_active_ ? clBtnFace : Color());
  }
}

TRect TCustomDBEditEh::GetEditRect() {
  TRect r = Rect(0, 0, ClientWidth() - buttons_width_, ClientHeight());
  if (edit_image_->Visible() && edit_image_->Images() != nullptr) r.Left += image_width_;
  return r;
}

void TCustomDBEditEh::UpdateFormatRect() {
  if (!HandleAllocated()) return;
  TRect r = GetEditRect();
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
  Perform(EM_SCROLLCARET);
}

bool TCustomDBEditEh::InButtonOrImageArea(TPoint P) {
  const TRect buttons = Rect(ClientWidth() - buttons_width_, 0, ClientWidth(), ClientHeight());
  const TRect image = Rect(0, 0, image_width_, ClientHeight());
  return (buttons_width_ > 0 && buttons.Contains(P)) || (image_width_ > 0 && image.Contains(P));
}

// ---------------------------------------------------------------------------
// Button presses and clicks

void TCustomDBEditEh::EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
  if (CanFocus() && !Focused()) SetFocus();
  Handled = false;
  auto* control = dynamic_cast<TEditButtonControlEh*>(Sender);
  if (control == nullptr) return;
  // The press that closed a button's menu is not a new press.
  TMsg msg{};
  if (HandleAllocated() && PeekMessage(msg, Handle(), CM_IGNOREEDITDOWNEH, CM_IGNOREEDITDOWNEH, PM_NOREMOVE) &&
      msg.wParam == static_cast<WPARAM>(control->Tag())) {
    PeekMessage(msg, Handle(), CM_IGNOREEDITDOWNEH, CM_IGNOREEDITDOWNEH, PM_REMOVE);
    return;
  }
  const int index = static_cast<int>(control->Tag());
  TEditButtonEh* settings = index == 0 ? edit_button_.get() : edit_buttons_->Items(index - 1);
  if (index == 0) {
    on_button_down_(Sender, TopButton, AutoRepeat, Handled);
  } else {
    settings->OnDown()(Sender, TopButton, AutoRepeat, Handled);
  }
  if (Handled) return;
  if (TPopupMenu* menu = settings->DropdownMenu()) {
    const bool right = menu->Alignment() == paRight;
    const TPoint p = control->ClientToScreen(TPoint{right ? control->Width() : 0, control->Height()});
    menu->Popup(p.X, p.Y);
    PostMessage(Handle(), CM_IGNOREEDITDOWNEH, static_cast<WPARAM>(control->Tag()), 0);
    control->Perform(WM_LBUTTONUP, 0, 0);
    return;
  }
  if (index == 0) ButtonDown(!TopButton);
}

void TCustomDBEditEh::ButtonDown(bool) {
  if (edit_button_->Style() == ebsUpDownEh || dropped_down_) return;
  DropDown();
  dropped_by_this_press_ = true;
}

void TCustomDBEditEh::EditButtonClick(TObject* Sender) {
  bool handled = false;
  auto* control = dynamic_cast<TEditButtonControlEh*>(Sender);
  const int index = control != nullptr ? static_cast<int>(control->Tag()) : 0;
  if (index == 0) on_button_click_(Sender, handled);
  else edit_buttons_->Items(index - 1)->OnClick()(Sender, handled);
  if (!handled && index == 0 && dropped_down_ && !dropped_by_this_press_) CloseUp(false);
  dropped_by_this_press_ = false;
}

void TCustomDBEditEh::EditButtonMouseMove(TObject*, TShiftState, int, int) {}

void TCustomDBEditEh::EditButtonMouseUp(TObject* Sender, TMouseButton, TShiftState, int X, int Y) {
  auto* control = dynamic_cast<TControl*>(Sender);
  if (control != nullptr && !control->ClientRect().Contains(TPoint{X, Y})) dropped_by_this_press_ = false;
}

void TCustomDBEditEh::DropDown() {
  dropped_down_ = true;
  if (!pairs_.empty()) pairs_[0].Button->SetAlwaysDown(true);
  if (mru_list_->DroppedDown()) mru_list_->CloseUp(false);
}

void TCustomDBEditEh::CloseUp(bool) {
  dropped_down_ = false;
  if (!pairs_.empty()) pairs_[0].Button->SetAlwaysDown(false);
}

// ---------------------------------------------------------------------------
// Painting

// The edit box paints its own text when the text is left-aligned, while it
// is focused for editing and with word wrap; otherwise the editor draws it.
bool TCustomDBEditEh::EditPaints() {
  if (ControlState().Contains(csPaintCopy)) return false;
  if (IsDesigning() && !data_link_->Active()) return false;
  return Alignment() == taLeftJustify || focused_ || word_wrap_;
}

TCanvas* TCustomDBEditEh::PaintCanvas() {
  if (canvas_ == nullptr) {
    canvas_ = std::make_unique<TControlCanvas>();
    canvas_->SetControl(this);
  }
  return canvas_.get();
}

String TCustomDBEditEh::GetDisplayTextForPaint() {
  if (IsDesigning() && !data_link_->Active()) return Name();
  if (ControlState().Contains(csPaintCopy) && Field() != nullptr) {
    String text = Field()->DisplayText();
    if (CharCase() == ecUpperCase) text = AnsiUpperCase(text);
    else if (CharCase() == ecLowerCase) text = AnsiLowerCase(text);
    return text;
  }
  return EditText();
}

int TCustomDBEditEh::TextMargin(bool Left) {
  const int border = BorderStyle() == bsNone ? 0 : (Ctl3D() ? 1 : 2);
  if (!Left) return border;
  return static_cast<int>(Perform(EM_GETMARGINS) & 0xFFFF) + border;
}

void TCustomDBEditEh::PaintWindow(HDC DC) {
  TCanvas* canvas = PaintCanvas();
  canvas->SetHandle(DC);
  canvas->Font()->Assign(Font());
  if (flat_ && BorderStyle() == bsSingle) {
    TRect outer = ClientRect();
    if (border_active_) {
      DrawEdge(DC, outer, BDR_SUNKENOUTER, BF_RECT);
    } else {
      canvas->Brush()->SetColor(clBtnFace);
      canvas->FrameRect(outer);
    }
    TRect inner = ClientRect();
    InflateRect(inner, -1, -1);
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FrameRect(inner);
  }
  TCustomImageList* images = edit_image_->Images();
  if (edit_image_->Visible() && images != nullptr && edit_image_->ImageIndex() >= 0) {
    TRect r = Rect(0, 0, image_width_, ClientHeight());
    InflateRect(r, -2, -1);
    DrawImageCentered(DC, r, images, edit_image_->ImageIndex(), false);
  }
  if (!EditPaints()) {
    TRect r = GetEditRect();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
    canvas->Font()->SetColor(Enabled() ? Font()->Color() : clGrayText);
    String text = GetDisplayTextForPaint();
    if (PasswordChar() != 0) text = String(Utf8ToUtf32(text).size(), PasswordChar());
    const int margin = TextMargin(true);
    const int width = canvas->TextWidth(text);
    int x = r.Left + margin;
    if (Alignment() == taRightJustify) x = r.Right - width - margin;
    else if (Alignment() == taCenter) x = r.Left + (r.Width() - width) / 2;
    canvas->Brush()->SetStyle(bsClear);
    canvas->TextRect(r, x, TextMargin(false), text);
    canvas->Brush()->SetStyle(bsSolid);
  }
  PaintRequiredState(canvas);
  canvas->SetHandle(nullptr);
}

void TCustomDBEditEh::PaintRequiredState(TCanvas* ACanvas) {
  if (!DrawRequiredState()) return;
  const TRect r = GetEditRect();
  ACanvas->Pen()->SetStyle(psDot);
  ACanvas->Pen()->SetColor(static_cast<TColor>(255));
  ACanvas->Pen()->SetWidth(1);
  ACanvas->MoveTo(r.Left + 2, ClientHeight() - 1);
  ACanvas->LineTo(r.Right - 3, ClientHeight() - 1);
  ACanvas->Pen()->SetStyle(psSolid);
}
