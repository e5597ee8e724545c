// Bstdctrl: the edit box with input history and the memo.
#include "framework/Bstdctrl.h"
#include "framework/B_PF.h"
#include "platform/gui/NonClient.h"
#include "platform/gui/Popup.h"

// ---------------------------------------------------------------------------
// Borders

bool B_BorderMessage(TWinControl* Control, TMessage& Message, TB_DrawStyles Styles, bool& MouseOver) {
  switch (Message.Msg) {
    case WM_NCCALCSIZE:
      if (Message.LParam != 0) {
        auto* r = reinterpret_cast<TRect*>(Message.LParam);
        *r = B_BorderClientRect(Styles, *r);
      }
      Message.Result = 0;
      return true;
    case WM_NCPAINT:
      B_PaintBorder(GetWindowDC(Control->Handle()), Rect(0, 0, Control->Width(), Control->Height()), Styles,
                    Control->Focused(), MouseOver);
      Message.Result = 0;
      return true;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      MouseOver = Message.Msg == CM_MOUSEENTER;
      RedrawNonClient(Control);
      return false;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case CM_ENABLEDCHANGED:
      RedrawNonClient(Control);
      return false;
    default:
      return false;
  }
}

namespace {

TB_DrawStyles LoadedStyles(TB_DrawStyles Styles) {
  return Styles.Contains(b_dsDefault) ? b_DefaultDrawStyles : Styles;
}

}  // namespace

// ---------------------------------------------------------------------------
// TB_CustomMaskEdit

TB_CustomMaskEdit::TB_CustomMaskEdit(TComponent* AOwner)
    : TCustomMaskEdit(AOwner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
  SetBorderStyle(bsNone);
  TControl::SetColor(color_);
}

TB_CustomMaskEdit::~TB_CustomMaskEdit() {
  if (history_popup_ != nullptr) history_popup_->RemoveFreeNotification(this);
}

void TB_CustomMaskEdit::AfterConstruction() {
  TCustomMaskEdit::AfterConstruction();
  options_ = GetOptions();
  UpdateHistoryButton();
}

void TB_CustomMaskEdit::Loaded() {
  TCustomMaskEdit::Loaded();
  SetDrawStyles(LoadedStyles(draw_styles_));
  UpdateColor();
}

void TB_CustomMaskEdit::InitWidget() {
  TCustomMaskEdit::InitWidget();
  RecalcNonClient(this);
  SetEditAlignment(this, alignment_);
  UpdateMargins();
}

void TB_CustomMaskEdit::AdjustClientRect(TRect& Rect) const {
  TCustomMaskEdit::AdjustClientRect(Rect);
  Rect = B_BorderClientRect(draw_styles_, Rect);
}

void TB_CustomMaskEdit::SetAlignment(TAlignment Value) {
  if (Value == alignment_) return;
  alignment_ = Value;
  SetEditAlignment(this, Value);
}

void TB_CustomMaskEdit::SetColor(TColor Value) {
  color_ = Value;
  UpdateColor();
}

void TB_CustomMaskEdit::UpdateColor() { TControl::SetColor(!Enabled() || GetReadOnly() ? clBtnFace : color_); }

void TB_CustomMaskEdit::SetDrawStyles(TB_DrawStyles Value) {
  if (Value == draw_styles_) return;
  draw_styles_ = Value;
  RecalcNonClient(this);
  Realign();
}

void TB_CustomMaskEdit::SetReadOnly(bool Value) {
  TCustomEdit::SetReadOnly(Value);
  if (!IsDesigning()) SetTabStop(!Value);
  UpdateColor();
}

void TB_CustomMaskEdit::SetEnabled(bool Value) {
  TCustomMaskEdit::SetEnabled(Value);
  UpdateColor();
}

int TB_CustomMaskEdit::RightMargin() const {
  int m = 3;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Visible() && c->Align() == alRight) m += c->Width();
  }
  return m;
}

void TB_CustomMaskEdit::UpdateMargins() {
  if (!WidgetAllocated()) return;
  int left = LeftMargin(), right = RightMargin();
  Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(left, right));
}

void TB_CustomMaskEdit::UpdateHistoryButton() {
  if (options_.Contains(b_eoHistory)) {
    if (history_button_ != nullptr) return;
    auto* b = new TB_BitBtn(this);
    history_button_ = b;
    b->FreeNotification(this);
    b->SetParent(this);
    b->SetAlign(alRight);
    b->TControl::SetColor(clBtnFace);
    b->TextGroup()->SetText("");
    b->Frame()->SetLineWidth(2);
    b->Frame()->SetStyleIn(b_fsNone);
    b->Frame()->SetStyleOu(b_fsNone);
    b->Bitmaps()->SetBorder(0);
    b->Bitmaps()->SetInternal(b_ibMem);
    b->SetAutoSize(true);
    b->SetVisible(true);
    b->SetTabStop(false);
    b->SetHint("Несколько последних выбранных значений. (Ctrl+M)");
    b->SetShowHint(true);
    b->SetOnClick({this, [this](TObject*) { ShowHistory(); }});
    AlignHistoryButton();
  } else if (history_button_ != nullptr) {
    TB_BitBtn* b = history_button_;
    history_button_ = nullptr;
    b->RemoveFreeNotification(this);
    delete b;
    UpdateMargins();
  }
}

void TB_CustomMaskEdit::AlignHistoryButton() {
  if (history_button_ == nullptr) return;
  history_button_->SetAlign(alRight);
  Realign();
  UpdateMargins();
}

void TB_CustomMaskEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomMaskEdit::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == history_button_) history_button_ = nullptr;
  if (AComponent == history_popup_) history_popup_ = nullptr;
}

void TB_CustomMaskEdit::SaveHistory() {
  // A masked (password) text never goes to the settings file.
  if (HistoryNode() != nullptr && PasswordChar() == 0) AddHistoryItem(HistoryNode(), Name(), 0, Text());
}

void TB_CustomMaskEdit::Clear() { SetText(""); }

void TB_CustomMaskEdit::ShowHistory() {
  if (history_button_ == nullptr) return;
  if (history_popup_ != nullptr) {
    TPopupMenu* old = history_popup_;
    history_popup_ = nullptr;
    old->RemoveFreeNotification(this);
    delete old;
  }
  if (HistoryNode() != nullptr) {
    history_popup_ = BuildHistoryPopup(HistoryNode(), this, Name(), 0, {this, &TB_CustomMaskEdit::OnHistoryClick});
    if (history_popup_ != nullptr) history_popup_->FreeNotification(this);
  }
  if (history_popup_ == nullptr) return;
  Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(this));
  history_popup_->SetPopupComponent(this);
  TPoint p = history_button_->ClientToScreen({0, history_button_->Height()});
  history_popup_->Popup(p.X, p.Y);
}

void TB_CustomMaskEdit::OnHistoryClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (item == nullptr) return;
  String entry;
  ReadHistoryItem(HistoryNode(), Name(), item->Tag(), entry);
  if (!entry.empty()) SetValue(GetListItem(entry, 0), true);
}

void TB_CustomMaskEdit::SetValue(const String& Value, bool Notify) {
  SetText(Value);
  if (Notify) SetModified(true);
}

void TB_CustomMaskEdit::KeyDown(Word& Key, TShiftState Shift) {
  TCustomMaskEdit::KeyDown(Key, Shift);
  if (Key == 0 || !Shift.Contains(ssCtrl) || GetReadOnly()) return;
  // Letter keys arrive by position: the Cyrillic letters on D and M too.
  if (Key == 'D' && options_.Contains(b_eoClear)) {
    Clear();
    Key = 0;
    swallow_char_ = true;
  } else if (Key == 'M' && options_.Contains(b_eoHistory)) {
    Key = 0;
    swallow_char_ = true;
    if (history_button_ != nullptr) history_button_->Click();
  }
}

void TB_CustomMaskEdit::KeyPress(WideChar& Key) {
  // The character of a key taken by KeyDown is not typed.
  if (swallow_char_) {
    swallow_char_ = false;
    Key = 0;
    return;
  }
  TCustomMaskEdit::KeyPress(Key);
}

void TB_CustomMaskEdit::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_KEYDOWN) swallow_char_ = false;
  if (B_BorderMessage(this, Message, draw_styles_, mouse_over_)) return;
  TCustomMaskEdit::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// TB_CustomMemo

TB_CustomMemo::TB_CustomMemo(TComponent* AOwner) : TMemo(AOwner) { TControl::SetColor(color_); }

void TB_CustomMemo::Loaded() {
  TMemo::Loaded();
  SetDrawStyles(LoadedStyles(draw_styles_));
}

void TB_CustomMemo::InitWidget() {
  TMemo::InitWidget();
  RecalcNonClient(this);
  SetMemoFormatMargins(this, 2, 1);
  SetEditAlignment(this, alignment_);
}

void TB_CustomMemo::SetAlignment(TAlignment Value) {
  alignment_ = Value;
  SetEditAlignment(this, Value);
}

void TB_CustomMemo::SetColor(TColor Value) {
  color_ = Value;
  TControl::SetColor(Value);
  Invalidate();
  RedrawNonClient(this);
}

void TB_CustomMemo::SetDrawStyles(TB_DrawStyles Value) {
  if (Value == draw_styles_) return;
  draw_styles_ = Value;
  RecalcNonClient(this);
}

void TB_CustomMemo::SetReadOnly(bool Value) {
  TCustomEdit::SetReadOnly(Value);
  if (!IsDesigning()) SetTabStop(!Value);
}

void TB_CustomMemo::Dispatch(TMessage& Message) {
  if (B_BorderMessage(this, Message, draw_styles_, mouse_over_)) return;
  TMemo::Dispatch(Message);
}

// ---------------------------------------------------------------------------
// Registration (from the unit's initialization in Bstdctrl.cpp)

void RegisterBstdctrlEdits() {
  using E = TB_CustomMaskEdit;
  RegisterClass<E, TCustomMaskEdit>("TB_CustomMaskEdit")
      .Prop("Alignment", &E::Alignment, &E::SetAlignment, taLeftJustify)
      .Prop("Color", &E::Color, &E::SetColor, clWindow)
      .Prop("DrawStyles", &E::DrawStyles, &E::SetDrawStyles, b_DefaultDrawStyles)
      .Prop("ReadOnly", &E::GetReadOnly, &E::SetReadOnly, false);
  using M = TB_CustomMemo;
  RegisterClass<M, TMemo>("TB_CustomMemo");
  RegisterClass<TB_Memo, M>("TB_Memo")
      .Prop("Alignment", &M::Alignment, &M::SetAlignment, taLeftJustify)
      .Prop("Color", &M::Color, &M::SetColor, clWindow)
      .Prop("DrawStyles", &M::DrawStyles, &M::SetDrawStyles, b_DefaultDrawStyles)
      .Prop("HideSelection", &M::HideSelection, &M::SetHideSelection, true)
      .Prop("OEMConvert", &M::OEMConvert, &M::SetOEMConvert, false)
      .Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
      .Prop("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
      .Prop("ReadOnly", &TCustomEdit::ReadOnly, &M::SetReadOnly, false);
}
