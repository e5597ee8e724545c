// TCustomDBCheckBoxEh: the self-drawn data-aware check box.
#include "grid/toolkit/DBCtrlsEh.h"
#include "grid/toolkit/DBCtrlsEh_Internal.h"
#include "platform/gui/GDI.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/StringList.h"

namespace {

// The ";"-separated entries of a value list.
std::vector<String> Entries(const String& List) {
  std::vector<String> entries;
  size_t start = 0;
  while (true) {
    const size_t end = List.find(';', start);
    entries.push_back(List.substr(start, end == String::npos ? String::npos : end - start));
    if (end == String::npos) break;
    start = end + 1;
  }
  return entries;
}

bool InList(const String& Text, const String& List) {
  for (const String& e : Entries(List))
    if (AnsiCompareText(Text, e) == 0) return true;
  return false;
}

WPARAM CheckOf(TCheckBoxState State) {
  switch (State) {
    case cbChecked: return BST_CHECKED;
    case cbGrayed: return BST_INDETERMINATE;
    default: return BST_UNCHECKED;
  }
}

}  // namespace

TCustomDBCheckBoxEh::TCustomDBCheckBoxEh(TComponent* AOwner) : TButtonControl(AOwner) {
  SetBounds(Left(), Top(), 97, 17);
  SetTabStop(true);
  SetControlStyle((ControlStyle() + TControlStyle{csReplicatable, csClickEvents}) - TControlStyle{csDoubleClicks});
  data_link_ = std::make_unique<TFieldDataLinkEh>();
  data_link_->SetControl(this);
  data_link_->SetOnDataChange({this, &TCustomDBCheckBoxEh::DataChange});
  data_link_->SetOnUpdateData({this, &TCustomDBCheckBoxEh::UpdateData});
  data_link_->SetValue(Variant(false));
}

TCustomDBCheckBoxEh::~TCustomDBCheckBoxEh() {
  data_link_.reset();
  canvas_.reset();
}

QWidget* TCustomDBCheckBoxEh::CreateWidget(QWidget* ParentWidget) {
  return CreatePaintWidget(ParentWidget, [this](HDC dc) { PaintHandler(dc); });
}

void TCustomDBCheckBoxEh::InitWidget() {
  TButtonControl::InitWidget();
  Perform(BM_SETCHECK, CheckOf(state_));
}

// ---------------------------------------------------------------------------
// The state and the field

TCheckBoxState TCustomDBCheckBoxEh::GetFieldState() {
  if (DataIndependent()) {
    const Variant& v = data_link_->Value();
    if (VarEqualsEh(v, Variant(true))) return cbChecked;
    if (VarEqualsEh(v, Variant(false))) return cbUnchecked;
    return cbGrayed;
  }
  TField* f = Field();
  if (f == nullptr) return cbUnchecked;
  if (f->IsNull()) return cbGrayed;
  if (f->DataType() == ftBoolean) return f->AsBoolean() ? cbChecked : cbUnchecked;
  const String text = f->Text();
  if (InList(text, value_checked_)) return cbChecked;
  if (InList(text, value_unchecked_)) return cbUnchecked;
  return cbGrayed;
}

void TCustomDBCheckBoxEh::DataChange(TObject*) {
  InternalSetState(GetFieldState());
  modified_ = false;
}

void TCustomDBCheckBoxEh::SetValueChecked(const String& Value) {
  value_checked_ = Value;
  DataChange(this);
}

void TCustomDBCheckBoxEh::SetValueUnchecked(const String& Value) {
  value_unchecked_ = Value;
  DataChange(this);
}

void TCustomDBCheckBoxEh::InternalSetState(TCheckBoxState Value) {
  if (state_ == Value) return;
  state_ = Value;
  if (HandleAllocated()) Perform(BM_SETCHECK, CheckOf(state_));
  if (!clicks_disabled_) OnClick()(this);
  Invalidate();
  modified_ = true;
}

void TCustomDBCheckBoxEh::SetState(TCheckBoxState Value) {
  if (IsDesigning() && !DataIndependent()) return;
  data_link_->EditDataSet();
  InternalSetState(Value);
  if (!in_update_data_) UpdateData(this);
}

void TCustomDBCheckBoxEh::UpdateDataValue() {
  if (DataIndependent()) {
    data_link_->SetValue(state_ == cbGrayed ? Null() : Variant(Checked()));
    return;
  }
  TField* f = Field();
  if (f == nullptr) return;
  if (state_ == cbGrayed) f->Clear();
  else if (f->DataType() == ftBoolean) f->SetAsBoolean(Checked());
  else f->SetText(Entries(Checked() ? value_checked_ : value_unchecked_).front());
}

void TCustomDBCheckBoxEh::UpdateData(TObject*) {
  bool handled = false;
  WithFlagSet(in_update_data_, [&] { on_update_data_(this, handled); });
  if (!handled) UpdateDataValue();
}

void TCustomDBCheckBoxEh::Toggle() {
  if (!data_link_->Edit()) return;
  switch (state_) {
    case cbUnchecked: InternalSetState(allow_grayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: InternalSetState(cbUnchecked); break;
    case cbGrayed: InternalSetState(cbChecked); break;
  }
  data_link_->SetModified();
  Invalidate();
}

// ---------------------------------------------------------------------------
// Properties and binding

void TCustomDBCheckBoxEh::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  RecreateWnd();
  Invalidate();
}

void TCustomDBCheckBoxEh::SetAlwaysShowBorder(bool Value) {
  if (always_show_border_ == Value) return;
  always_show_border_ = Value;
  Invalidate();
}

void TCustomDBCheckBoxEh::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  RecreateWnd();
  Invalidate();
}

void TCustomDBCheckBoxEh::SetDataSource(TDataSource* Value) {
  if (!(data_link_->DataSourceFixed() && IsLoading())) data_link_->SetDataSource(Value);
  if (Value != nullptr) Value->FreeNotification(this);
}

void TCustomDBCheckBoxEh::Notification(TComponent* AComponent, TOperation Operation) {
  TButtonControl::Notification(AComponent, Operation);
  if (Operation == opRemove && data_link_ != nullptr && AComponent == data_link_->DataSource()) SetDataSource(nullptr);
}

bool TCustomDBCheckBoxEh::ExecuteAction(TBasicAction* Action) {
  return TButtonControl::ExecuteAction(Action) || data_link_->ExecuteAction(Action);
}

bool TCustomDBCheckBoxEh::UpdateAction(TBasicAction* Action) {
  return TButtonControl::UpdateAction(Action) || data_link_->UpdateAction(Action);
}

// ---------------------------------------------------------------------------
// Input

// The one toggle path: a mouse click, Space, the accelerator and a button
// notification all come here once.
void TCustomDBCheckBoxEh::Click() {
  Toggle();
  Perform(CM_CHANGED);
}

void TCustomDBCheckBoxEh::KeyDown(Word& Key, TShiftState Shift) {
  TButtonControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE && !space_pressed_) {
    space_pressed_ = true;
    Invalidate();
  }
}

void TCustomDBCheckBoxEh::KeyUp(Word& Key, TShiftState Shift) {
  TButtonControl::KeyUp(Key, Shift);
  if (Key == VK_SPACE && space_pressed_) {
    space_pressed_ = false;
    Click();
  }
}

void TCustomDBCheckBoxEh::KeyPress(WideChar& Key) {
  TButtonControl::KeyPress(Key);
  constexpr WideChar kBack = 8, kEscape = 27;
  if (Key == kBack || Key == ' ') {
    data_link_->Edit();
  } else if (Key == kEscape) {
    data_link_->Reset();
    Key = 0;
  }
}

void TCustomDBCheckBoxEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) mouse_down_ = true;
  TButtonControl::MouseDown(Button, Shift, X, Y);
  Invalidate();
}

void TCustomDBCheckBoxEh::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) mouse_down_ = false;
  TButtonControl::MouseUp(Button, Shift, X, Y);
  Invalidate();
}

void TCustomDBCheckBoxEh::DoExit() {
  try {
    data_link_->UpdateRecord();
  } catch (...) {
    if (CanFocus()) SetFocus();
    throw;
  }
  TButtonControl::DoExit();
}

void TCustomDBCheckBoxEh::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // The press that focuses the box clicks only once it has the focus.
      if (!IsDesigning() && !Focused()) {
        WithFlagSet(clicks_disabled_, [&] {
          if (CanFocus()) SetFocus();
        });
        if (!Focused()) return;
      }
      TButtonControl::Dispatch(Message);
      return;
    case CN_COMMAND:
      if (!clicks_disabled_ && static_cast<Word>(Message.WParam >> 16) == BN_CLICKED) Click();
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(Message.WParam, Caption()) && CanFocus()) {
        SetFocus();
        if (Focused()) Click();
        Message.Result = 1;
        return;
      }
      TButtonControl::Dispatch(Message);
      return;
    case CM_WANTSPECIALKEY:
      TButtonControl::Dispatch(Message);
      if (Message.WParam == VK_ESCAPE && modified_) Message.Result = 1;
      return;
    case CM_GETDATALINK:
      Message.Result = reinterpret_cast<LRESULT>(data_link_.get());
      return;
    case CM_MOUSEENTER:
      mouse_in_control_ = true;
      Invalidate();
      TButtonControl::Dispatch(Message);
      return;
    case CM_MOUSELEAVE:
      mouse_in_control_ = false;
      Invalidate();
      TButtonControl::Dispatch(Message);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
      TButtonControl::Dispatch(Message);
      Invalidate();
      return;
    default:
      TButtonControl::Dispatch(Message);
  }
}

// ---------------------------------------------------------------------------
// Painting

void TCustomDBCheckBoxEh::PaintWindow(HDC DC) {
  if (canvas_ == nullptr) {
    canvas_ = std::make_unique<TControlCanvas>();
    canvas_->SetControl(this);
  }
  canvas_->SetHandle(DC);
  SetControlState(ControlState() + TControlState{csCustomPaint});
  try {
    Paint();
  } catch (...) {
    SetControlState(ControlState() - TControlState{csCustomPaint});
    canvas_->SetHandle(nullptr);
    throw;
  }
  SetControlState(ControlState() - TControlState{csCustomPaint});
  canvas_->SetHandle(nullptr);
}

void TCustomDBCheckBoxEh::Paint() {
  if (ControlState().Contains(csPaintCopy)) {
    PaintBoxAndCaption(GetFieldState(), false, false, false);
    return;
  }
  PaintBoxAndCaption(state_, Focused(), (mouse_in_control_ && mouse_down_) || space_pressed_, mouse_in_control_);
}

void TCustomDBCheckBoxEh::PaintBoxAndCaption(TCheckBoxState AState, bool AFocused, bool APressed, bool AHot) {
  canvas_->Brush()->SetColor(Color());
  const TRect client = ClientRect();
  TRect box, caption;
  if (alignment_ == taLeftJustify) {
    box = AdjustCheckBoxRect(client, taRightJustify, tlCenter);
    caption = Rect(0, 0, box.Left - 5, client.Bottom);
  } else {
    box = AdjustCheckBoxRect(client, taLeftJustify, tlCenter);
    caption = Rect(box.Right + 5, 0, client.Right, client.Bottom);
  }
  DrawCaption(caption, AFocused);
  DrawCheck(box, AState, APressed, AHot);
}

void TCustomDBCheckBoxEh::DrawCheck(TRect Rect, TCheckBoxState AState, bool APressed, bool AHot) {
  PaintButtonControlEh(canvas_->Handle(), Rect, Color(), bpkCheckBoxEh, APressed ? 1 : 0, flat_,
                       APressed || AHot || always_show_border_, Enabled() || IsDesigning(), AState);
}

void TCustomDBCheckBoxEh::DrawCaption(TRect ARect, bool AFocused) {
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetStyle(bsClear);
  const String text = Caption();
  TRect r = ARect;
  DrawText(canvas_->Handle(), text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
  const int height = r.Height();
  r = Rect(ARect.Left, Height() / 2 - height / 2, ARect.Left + r.Width(), Height() / 2 - height / 2 + height);
  if (Enabled() || IsDesigning()) {
    DrawText(canvas_->Handle(), text, -1, &r, DT_SINGLELINE);
  } else {
    TRect shadow = r;
    OffsetRect(shadow, 1, 1);
    canvas_->Font()->SetColor(clHighlightText);
    DrawText(canvas_->Handle(), text, -1, &shadow, DT_SINGLELINE);
    canvas_->Font()->SetColor(clGrayText);
    DrawText(canvas_->Handle(), text, -1, &r, DT_SINGLELINE);
  }
  canvas_->Brush()->SetStyle(bsSolid);
  if (!AFocused) return;
  InflateRect(r, 1, 1);
  r.Bottom += 1;
  IntersectRect(r, r, ClientRect());
  canvas_->DrawFocusRect(r);
}
