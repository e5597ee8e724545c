// TDBGridInplaceEdit: contents, keys, type-ahead, paste, value stepping,
// painting and the edit buttons of the grid's cell editor.
#include <algorithm>
#include <cmath>

#include "grid/datagrid/DBGridEh.h"
#include "grid/toolkit/CalculatorEh.h"
#include "platform/gui/Clipbrd.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

bool IsNumericKind(TFieldType T) {
  switch (T) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint:
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd: return true;
    default: return false;
  }
}

bool IsIntegerField(TFieldType T) {
  switch (T) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: return true;
    default: return false;
  }
}

// Byte offset of character Chars of S (the end when S is shorter).
int ByteOffsetOfChar(const String& S, size_t Chars) { return static_cast<int>(Utf8Prefix(S, Chars)); }

}  // namespace

TDBGridInplaceEdit::TDBGridInplaceEdit(TComponent* AOwner) : TInplaceEdit(AOwner) {
  data_source_ = new TDataSource(this);
  canvas_ = std::make_unique<TControlCanvas>();
  canvas_->SetControl(this);
}

TDBGridInplaceEdit::~TDBGridInplaceEdit() { canvas_.reset(); }

void TDBGridInplaceEdit::BeforeDestruction() {
  // The data list belongs to its column: it must not go with this window.
  if (data_list_ != nullptr) {
    data_list_->RemoveFreeNotification(this);
    if (data_list_->Parent() == this) data_list_->SetParent(nullptr);
    data_list_ = nullptr;
  }
  active_list_ = nullptr;
  TInplaceEdit::BeforeDestruction();
}

TCustomDBGridEh* TDBGridInplaceEdit::Grid() const { return dynamic_cast<TCustomDBGridEh*>(TInplaceEdit::Grid()); }

TColumnEh* TDBGridInplaceEdit::GetColumn() const {
  TCustomDBGridEh* g = Grid();
  if (g == nullptr) return nullptr;
  const int i = g->SelectedIndex();
  if (g->Columns()->Count() == 0 || i < 0 || i >= g->Columns()->Count()) return nullptr;
  return g->Columns()->Items(i);
}

TMRUListEh* TDBGridInplaceEdit::ColumnMRUList() const {
  TColumnEh* c = GetColumn();
  return c != nullptr ? c->MRUList() : nullptr;
}

bool TDBGridInplaceEdit::IsLookupColumn(TColumnEh* Column) const {
  return Column != nullptr && Column->Field() != nullptr && Column->Field()->FieldKind() == fkLookup;
}

bool TDBGridInplaceEdit::IsKeyListColumn(TColumnEh* Column) const {
  return Column != nullptr && Column->KeyList()->Count() > 0;
}

TInplaceEditKindEh ColumnEditKindEh(TCustomDBGridEh* g, TColumnEh* Column, bool Designing) {
  if (Column == nullptr) return ekPlain;
  switch (Column->ButtonStyle()) {
    case cbsEllipsis: return ekEllipsis;
    case cbsUpDown: return ekUpDown;
    case cbsDropDown: return ekCalculator;
    case cbsNone: return ekPlain;
    default: break;
  }
  TField* f = Column->Field();
  if (f == nullptr) return ekPlain;
  if (f->FieldKind() == fkLookup) {
    bool keys_ok = Designing;
    if (!keys_ok && f->DataSet() != nullptr && !f->KeyFields().empty()) {
      std::vector<TField*> keys;
      f->DataSet()->GetFieldList(keys, f->KeyFields());
      keys_ok = FieldsCanModify(keys);
    }
    const bool read_only_assigned = (Column->AssignedValues() & TColumnEh::cvReadOnly) != 0 && Column->ReadOnly();
    if (keys_ok && !f->KeyFields().empty() && !read_only_assigned && g != nullptr && !g->ReadOnly() &&
        g->DataLink()->Active() && !g->DataLink()->ReadOnly())
      return ekLookupList;
    return ekPlain;
  }
  if (Column->PickList()->Count() > 0 && !Column->ReadOnly()) return ekPickList;
  if ((f->DataType() == ftDate || f->DataType() == ftDateTime || f->DataType() == ftTimeStamp) && !Column->ReadOnly())
    return ekCalendar;
  return ekPlain;
}

TInplaceEditKindEh TDBGridInplaceEdit::GetColumnEditStyle(TColumnEh* Column) const {
  return ColumnEditKindEh(Grid(), Column, IsDesigning());
}

void TDBGridInplaceEdit::SetWordWrap(bool Value) {
  if (word_wrap_ == Value) return;
  word_wrap_ = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TDBGridInplaceEdit::CreateParams(TCreateParams& Params) {
  TInplaceEdit::CreateParams(Params);
  if (word_wrap_) {
    Params.Style &= ~static_cast<uint32_t>(ES_AUTOHSCROLL);
    Params.Style |= ES_MULTILINE;
  }
  TCustomDBGridEh* g = Grid();
  button_width_ = g != nullptr && g->Flat() ? DefaultEditButtonWidth() + 1 : GetSystemMetrics(SM_CXVSCROLL);
}

void TDBGridInplaceEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TInplaceEdit::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == data_list_) {
    data_list_ = nullptr;
    if (active_list_ == AComponent) active_list_ = nullptr;
    list_visible_ = list_dropped_ = false;
    SetEditStyle(ekPlain);
  }
  if (AComponent == pick_list_box_) pick_list_box_ = nullptr;
  if (AComponent == calendar_) calendar_ = nullptr;
  if (AComponent == static_cast<TComponent*>(calculator_)) calculator_ = nullptr;
  if (AComponent == mru_list_box_) mru_list_box_ = nullptr;
  if (AComponent == active_list_) active_list_ = nullptr;
}

void TDBGridInplaceEdit::UpdateImageIndex() {
  TColumnEh* c = GetColumn();
  if (c == nullptr || c->ImageList() == nullptr) return;
  int index = -1;
  if (c->PickList()->Count() > 0) {
    index = c->PickList()->IndexOf(Text());
  } else if (c->Field() != nullptr && IsIntegerField(c->Field()->DataType())) {
    index = c->Field()->IsNull() ? -1 : c->Field()->AsInteger();
  }
  if (index == -1) index = c->NotInKeyListIndex();
  if (index != image_index_) {
    image_index_ = index;
    Invalidate();
  }
}

void TDBGridInplaceEdit::Change() {
  TInplaceEdit::Change();
  text_changed_ = true;
  UpdateImageIndex();
}

void TDBGridInplaceEdit::UpdateContents() {
  TCustomDBGridEh* g = Grid();
  if (g == nullptr) return;
  TColumnEh* c = GetColumn();
  SetEditStyle(GetColumnEditStyle(c));
  if (c != nullptr) TControl::SetFont(c->Font());
  TColCellParamsEh* p = g->CellParams();
  p->Background = c != nullptr ? c->Color() : g->Color();
  p->Font->Assign(Font());
  p->State = TGridDrawState{gdFocused};
  p->Text = g->GetEditText(g->Col(), g->Row());
  p->ReadOnly = c == nullptr || !c->CanModify(false);
  p->ImageIndex = -1;
  if (c != nullptr) {
    TColor bk = p->Background;
    g->GetCellParams(c, p->Font.get(), bk, p->State);
    p->Background = bk;
    c->GetColCellParams(true, p);
  }
  SetColor(p->Background);
  TControl::SetFont(p->Font.get());
  image_index_ = p->ImageIndex;
  const bool column_read_only = c == nullptr || !c->CanModify(false);
  if (p->ReadOnly != column_read_only) {
    cell_read_only_ = true;
    SetReadOnly(p->ReadOnly);
  } else {
    cell_read_only_ = false;
  }
  SetWordWrap(c != nullptr && c->WordWrap() && g->DefaultRowHeight() >= 2 * GetFontTextHeight(nullptr, Font()));
  SetText(String());
  SetEditMask(g->GetEditMask(g->Col(), g->Row()));
  SetText(p->Text);
  SetMaxLength(g->GetEditLimit());
  text_changed_ = false;
}

// ---------------------------------------------------------------------------
// Geometry and painting

void TDBGridInplaceEdit::GetEditRect(TRect& R) {
  TCustomDBGridEh* g = Grid();
  const bool flat = g != nullptr && g->Flat();
  R = flat ? TRect{2, 1, Width() - 2, Height() - 1} : TRect{2, 2, Width() - 2, Height()};
  if (GetFontTextHeight(nullptr, Font()) > R.Height() && R.Bottom < Height()) R.Bottom += 1;
  const bool rtl = BiDiMode() == bdRightToLeft;
  if (button_width_ > 0) {
    if (rtl) R.Left += button_width_;
    else R.Right -= button_width_;
  }
  TColumnEh* c = GetColumn();
  if (c != nullptr && c->ImageList() != nullptr && c->ShowImageAndText()) {
    const int w = c->ImageList()->Width() + 5;
    if (rtl) R.Right -= w;
    else R.Left += w;
  }
}

void TDBGridInplaceEdit::BoundsChanged() {
  UpdateButtonControls();
  TRect r;
  GetEditRect(r);
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
  Perform(EM_SCROLLCARET);
}

bool TDBGridInplaceEdit::DrawRequiredMark() {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  if (g == nullptr || c == nullptr) return false;
  TField* f = c->Field();
  bool draw = c->HighlightRequired() && g->DataLink()->Active() && g->DataLink()->DataSet()->State() == dsInsert &&
              f != nullptr && f->Required() && f->IsNull();
  if (c->OnCheckDrawRequiredState()) c->OnCheckDrawRequiredState()(this, Text(), draw);
  return draw;
}

void TDBGridInplaceEdit::PaintRequiredMark(TCanvas* ACanvas) {
  if (!DrawRequiredMark()) return;
  TRect r;
  GetEditRect(r);
  ACanvas->Pen()->SetColor(clRed);
  ACanvas->Pen()->SetStyle(psDot);
  const int y = ClientHeight() - 1;
  ACanvas->MoveTo(r.Left + 2, y);
  ACanvas->LineTo(r.Right - 3, y);
}

void TDBGridInplaceEdit::PaintWindow(HDC DC) {
  canvas_->SetHandle(DC);
  try {
    PaintRequiredMark(canvas_.get());
    TColumnEh* c = GetColumn();
    if (c != nullptr && c->ImageList() != nullptr && c->ShowImageAndText() && image_index_ >= 0)
      DrawImageCentered(DC, TRect{2, 0, c->ImageList()->Width() + 2, Height()}, c->ImageList(), image_index_, false);
  } catch (...) {
    canvas_->SetHandle(nullptr);
    throw;
  }
  canvas_->SetHandle(nullptr);
  TInplaceEdit::PaintWindow(DC);
}

// ---------------------------------------------------------------------------
// Edit buttons

TEditButtonControlEh* TDBGridInplaceEdit::CreateEditButtonControl() {
  auto* b = new TEditButtonControlEh(this);
  b->SetControlStyle(b->ControlStyle() + TControlStyle{csReplicatable});
  b->SetBounds(0, 0, 10, 17);
  b->SetVisible(true);
  b->SetTransparent(false);
  b->SetParent(this);
  return b;
}

void TDBGridInplaceEdit::UpdateButtonControls() {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  const bool flat = g != nullptr && g->Flat();
  const size_t count = static_cast<size_t>(c != nullptr ? c->EditButtons()->Count() + 1 : 1);
  while (button_controls_.size() > count) {
    button_controls_.back().Button->SetVisible(false);
    button_controls_.back().Divider->SetVisible(false);
    button_controls_.pop_back();
  }
  while (button_controls_.size() < count) {
    ButtonPair p;
    p.Divider = new TShape(this);
    p.Divider->SetVisible(false);
    p.Divider->SetParent(this);
    p.Button = CreateEditButtonControl();
    p.Button->SetOnDown({this, &TDBGridInplaceEdit::EditButtonDown});
    p.Button->SetOnClick({this, &TDBGridInplaceEdit::EditButtonClick});
    p.Button->SetOnMouseMove({this, &TDBGridInplaceEdit::EditButtonMouseMove});
    p.Button->SetOnMouseUp({this, &TDBGridInplaceEdit::EditButtonMouseUp});
    button_controls_.push_back(p);
  }
  const int default_width = flat ? DefaultEditButtonWidth() : GetSystemMetrics(SM_CXVSCROLL);
  std::vector<int> widths(count, 0);
  std::vector<bool> shown(count, false);
  for (size_t i = 0; i < count; ++i) {
    TEditButtonControlEh* b = button_controls_[i].Button;
    if (i == 0) {
      shown[i] = edit_kind_ != ekPlain;
      b->SetStyle(edit_kind_ == ekEllipsis ? ebsEllipsisEh : edit_kind_ == ekUpDown ? ebsUpDownEh : ebsDropDownEh);
      widths[i] = shown[i] ? default_width : 0;
    } else {
      TEditButtonEh* item = c->EditButtons()->Items(static_cast<int>(i) - 1);
      shown[i] = item->Visible();
      b->SetStyle(item->Style());
      b->SetHint(item->Hint());
      widths[i] = shown[i] ? (item->Width() > 0 ? item->Width() : default_width) : 0;
    }
    b->SetFlat(flat);
  }
  int height = ClientHeight();
  for (size_t i = 0; i < count; ++i) {
    if (!shown[i]) continue;
    const int h = ClientHeight() > std::lround(widths[i] * 3.0 / 2) ? ScaleWidthByHalf(widths[i], true) : ClientHeight();
    height = std::min(height, h);
  }
  const bool rtl = BiDiMode() == bdRightToLeft;
  int cursor = rtl ? 0 : ClientWidth();
  for (size_t k = count; k-- > 0;) {
    ButtonPair& p = button_controls_[k];
    p.Button->SetVisible(shown[k]);
    const int divider = flat && shown[k] ? 1 : 0;
    p.Divider->SetVisible(divider > 0);
    if (rtl) {
      p.Button->SetBounds(cursor, 0, widths[k], height);
      cursor += widths[k];
      p.Divider->SetBounds(cursor, 0, divider, ClientHeight());
      cursor += divider;
    } else {
      cursor -= widths[k];
      p.Button->SetBounds(cursor, 0, widths[k], height);
      cursor -= divider;
      p.Divider->SetBounds(cursor, 0, divider, ClientHeight());
    }
    p.Button->SetEnabled(true);
    p.Button->SetActive(true);
    p.Divider->Pen()->SetColor(clBtnFace);
  }
  button_width_ = rtl ? cursor : ClientWidth() - cursor;
}

void TDBGridInplaceEdit::EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
  if (CanFocus() && !Focused()) SetFocus();
  Handled = false;
  TMsg pending;
  if (HandleAllocated() && PeekMessage(pending, Handle(), CM_IGNOREEDITDOWNEH, CM_IGNOREEDITDOWNEH, PM_NOREMOVE) &&
      pending.lParam == reinterpret_cast<LPARAM>(Sender)) {
    PeekMessage(pending, Handle(), CM_IGNOREEDITDOWNEH, CM_IGNOREEDITDOWNEH, PM_REMOVE);
    return;
  }
  TColumnEh* c = GetColumn();
  if (!button_controls_.empty() && Sender == button_controls_[0].Button) {
    if (c != nullptr && c->OnEditButtonDown()) c->OnEditButtonDown()(Sender, TopButton, AutoRepeat, Handled);
    if (!Handled) ButtonDown(!TopButton);
    return;
  }
  for (size_t i = 1; i < button_controls_.size() && c != nullptr; ++i) {
    if (button_controls_[i].Button != Sender) continue;
    TEditButtonEh* item = c->EditButtons()->Items(static_cast<int>(i) - 1);
    if (item->OnDown()) item->OnDown()(Sender, TopButton, AutoRepeat, Handled);
    if (!Handled && item->DropdownMenu() != nullptr) {
      TEditButtonControlEh* b = button_controls_[i].Button;
      TPopupMenu* menu = item->DropdownMenu();
      const bool right = menu->Alignment() == paRight;
      const TPoint p = b->ClientToScreen(TPoint{right ? b->Width() : 0, b->Height()});
      menu->Popup(p.X, p.Y);
      PostMessage(Handle(), CM_IGNOREEDITDOWNEH, 0, reinterpret_cast<LPARAM>(Sender));
      b->Perform(WM_LBUTTONUP, 0, 0);
    }
    return;
  }
}

void TDBGridInplaceEdit::EditButtonClick(TObject* Sender) {
  bool handled = false;
  TColumnEh* c = GetColumn();
  TCustomDBGridEh* g = Grid();
  const bool main = !button_controls_.empty() && Sender == button_controls_[0].Button;
  if (main) {
    if ((edit_kind_ == ekEllipsis || edit_kind_ == ekCalculator) && g != nullptr) g->EditButtonClick();
    if (c != nullptr && c->OnEditButtonClick()) c->OnEditButtonClick()(Sender, handled);
  } else {
    for (size_t i = 1; i < button_controls_.size() && c != nullptr; ++i)
      if (button_controls_[i].Button == Sender) {
        TEditButtonEh* item = c->EditButtons()->Items(static_cast<int>(i) - 1);
        if (item->OnClick()) item->OnClick()(Sender, handled);
      }
  }
  if (!handled && main && list_dropped_ && !opened_by_press_) CloseUp(false);
  opened_by_press_ = false;
}

void TDBGridInplaceEdit::EditButtonMouseMove(TObject* Sender, TShiftState, int X, int Y) {
  if (button_controls_.empty() || Sender != button_controls_[0].Button || !list_visible_ || active_list_ == nullptr)
    return;
  TEditButtonControlEh* b = button_controls_[0].Button;
  if (!b->MouseCapture()) return;
  const TPoint p = active_list_->ScreenToClient(b->ClientToScreen(TPoint{X, Y}));
  if (active_list_->ClientRect().Contains(p)) {
    b->Perform(WM_CANCELMODE, 0, 0);
    active_list_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  }
}

void TDBGridInplaceEdit::EditButtonMouseUp(TObject* Sender, TMouseButton, TShiftState, int X, int Y) {
  auto* b = dynamic_cast<TControl*>(Sender);
  if (b != nullptr && !b->ClientRect().Contains(TPoint{X, Y})) opened_by_press_ = false;
}

void TDBGridInplaceEdit::ButtonDown(bool Down) {
  if (edit_kind_ == ekUpDown) {
    StepValue(Down);
    return;
  }
  if (!list_dropped_) {
    DropDown();
    opened_by_press_ = true;
  }
}

// ---------------------------------------------------------------------------
// Value stepping

void TDBGridInplaceEdit::StepValue(bool Down) {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  if (g == nullptr || c == nullptr || !c->CanModify(true)) return;
  if (g->EditText() != Text()) {
    g->SetEditText(g->Col(), g->Row(), Text());
    g->UpdateData();
  }
  double step = c->Increment();
  if (Down) step = -step;
  if (c->PickList()->Count() > 0 || c->KeyList()->Count() > 0 || IsLookupColumn(c) || c->ImageList() != nullptr ||
      c->Checkboxes())
    step = -step;
  c->SetNextFieldValue(step);
  SetText(g->GetEditText(g->Col(), g->Row()));
  SelectAll();
}

void TDBGridInplaceEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TInplaceEdit::MouseDown(Button, Shift, X, Y);
  TColumnEh* c = GetColumn();
  if (Button == mbLeft && Shift.Contains(ssDouble) && c != nullptr && c->DblClickNextVal())
    StepValue(Shift.Contains(ssShift));
}

bool TDBGridInplaceEdit::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  return list_visible_ ? true : TInplaceEdit::DoMouseWheelDown(Shift, MousePos);
}

bool TDBGridInplaceEdit::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  return list_visible_ ? true : TInplaceEdit::DoMouseWheelUp(Shift, MousePos);
}

// ---------------------------------------------------------------------------
// Type-ahead and paste

String TDBGridInplaceEdit::TextWithTyped(const String& S) const {
  return Text().substr(0, static_cast<size_t>(std::max(0, SelStart()))) + S;
}

void TDBGridInplaceEdit::SetTextSelecting(const String& Text, size_t TypedChars) {
  SetText(Text);
  const int start = ByteOffsetOfChar(Text, TypedChars);
  SetSelStart(start);
  SetSelLength(static_cast<int>(Text.size()) - start);
}

namespace {

// Whether the grid's allowed operations let the current record change.
bool RecordChangeAllowed(TCustomDBGridEh* G) {
  TDataSet* ds = G->DataLink()->DataSet();
  if (ds != nullptr && ds->State() == dsInsert)
    return G->AllowedOperations().Contains(alopInsertEh) || G->AllowedOperations().Contains(alopAppendEh);
  return G->AllowedOperations().Contains(alopUpdateEh);
}

}  // namespace

bool TDBGridInplaceEdit::ApplyLookupText(const String& NewText) {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  TField* f = c->Field();
  TDataSet* lds = c->GetLookupDataSet();
  String found_text;
  Variant key;
  const bool found = LookupQuietlyEh(lds, f->LookupResultField(), Variant(NewText),
                                     TLocateOptions{loCaseInsensitive, loPartialKey}, f->LookupKeyFields(), &key,
                                     &found_text);
  if (found) {
    g->DataLink()->Edit();
    if (!g->DataLink()->Editing()) return true;
    g->DataLink()->Modified();
    SetTextSelecting(found_text, Utf8Length(NewText));
    g->SetLookupKeyValue(key);
    g->edit_text_ = found_text;
    if (list_visible_ && active_list_ == data_list_) DataListTakeKey(key);
  } else if (c->OnNotInList()) {
    g->DataLink()->Edit();
    if (!g->DataLink()->Editing()) return true;
    g->DataLink()->Modified();
    SetText(NewText);
    SetSelStart(static_cast<int>(NewText.size()));
    g->SetLookupKeyValue(Null());
    g->edit_text_ = NewText;
  }
  return true;
}

bool TDBGridInplaceEdit::ApplyListText(const String& NewText) {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  const bool key_list = IsKeyListColumn(c);
  const int i = FindListItem(c->PickList(), NewText, TLocateOptions{loCaseInsensitive, loPartialKey});
  if (i >= 0) {
    g->DataLink()->Edit();
    if (g->DataLink()->Editing()) g->DataLink()->Modified();
    const String item = c->PickList()->Strings(i);
    SetTextSelecting(item, Utf8Length(NewText));
    g->edit_text_ = item;
    if (pick_list_box_ != nullptr) pick_list_box_->SetItemIndex(i);
    return true;
  }
  if (key_list && c->OnNotInList()) {
    g->DataLink()->Edit();
    if (g->DataLink()->Editing()) g->DataLink()->Modified();
    SetText(NewText);
    SetSelStart(static_cast<int>(NewText.size()));
    g->SetLookupKeyValue(Null());
    g->edit_text_ = NewText;
    if (pick_list_box_ != nullptr) pick_list_box_->SetItemIndex(-1);
  }
  return key_list;
}

bool TDBGridInplaceEdit::CompleteTypedText(String& S) {
  if (S.size() == 1 && static_cast<unsigned char>(S[0]) < 32 && S[0] != 8) return false;
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  if (g == nullptr || c == nullptr) return false;
  const bool backspace = S == "\b";
  if (edit_kind_ == ekLookupList && IsLookupColumn(c) && c->GetLookupDataSet() != nullptr && g->CanEditModify() &&
      RecordChangeAllowed(g)) {
    if (!backspace) ApplyLookupText(TextWithTyped(S));
    S.clear();
    return true;
  }
  if ((IsKeyListColumn(c) || edit_kind_ == ekPickList) && !IsLookupColumn(c) && g->CanEditModify()) {
    if (backspace) {
      if (!IsKeyListColumn(c)) return false;
      S.clear();
      return true;
    }
    if (ApplyListText(TextWithTyped(S))) {
      S.clear();
      return true;
    }
  }
  return false;
}

void TDBGridInplaceEdit::PasteText() {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  if (!Clipboard()->HasFormat(CF_TEXT)) return;
  const String clip = Clipboard()->AsText();
  const String text = Text();
  const size_t start = static_cast<size_t>(std::max(0, SelStart()));
  const size_t end = std::min(text.size(), start + static_cast<size_t>(std::max(0, SelLength())));
  const String new_text = text.substr(0, start) + clip + text.substr(end);
  if (!g->CanEditModify()) return;
  if (IsLookupColumn(c)) {
    if (c->GetLookupDataSet() != nullptr) ApplyLookupText(new_text);
  } else {
    ApplyListText(new_text);
  }
}

void TDBGridInplaceEdit::SyncEditValue() {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  g->edit_text_ = Text();
  if (!IsLookupColumn(c)) return;
  TField* f = c->Field();
  Variant key;
  if (LookupQuietlyEh(c->GetLookupDataSet(), f->LookupResultField(), Variant(Text()), TLocateOptions{},
                      f->LookupKeyFields(), &key, nullptr))
    g->SetLookupKeyValue(key);
  else
    g->SetLookupKeyValue(Null());
}

// ---------------------------------------------------------------------------
// Keys

void TDBGridInplaceEdit::KeyDown(Word& Key, TShiftState Shift) {
  TCustomDBGridEh* g = Grid();
  TColumnEh* c = GetColumn();
  if (g == nullptr) return TInplaceEdit::KeyDown(Key, Shift);
  const bool ctrl_only = Shift == TShiftState{ssCtrl};
  // 1. Ctrl+Enter: the grid's edit button click.
  if (Key == VK_RETURN && ctrl_only && (edit_kind_ == ekEllipsis || edit_kind_ == ekCalculator)) {
    if (HandleAllocated()) KillMessage(Handle(), WM_CHAR);
    g->EditButtonClick();
    Key = 0;
    return;
  }
  const bool listed = c != nullptr && (IsLookupColumn(c) || IsKeyListColumn(c));
  // 2. Delete in a lookup or key-list column.
  if (Key == VK_DELETE && Shift.Empty() && listed && c->CanModify(false)) {
    const bool whole = SelStart() == 0 && SelLength() == static_cast<int>(Text().size());
    if (whole) {
      if (c->CanModify(true)) {
        if (edit_kind_ == ekLookupList) {
          std::vector<TField*> keys;
          c->Field()->DataSet()->GetFieldList(keys, c->Field()->KeyFields());
          if (FieldsCanModify(keys)) {
            g->DataLink()->Edit();
            g->DataLink()->Modified();
            g->SetLookupKeyValue(Null());
            SetText(String());
            g->edit_text_.clear();
            if (list_visible_ && active_list_ == data_list_) DataListTakeKey(Null());
          }
        } else if (IsKeyListColumn(c)) {
          SetText(String());
          g->edit_text_.clear();
        }
      }
      Key = 0;
      return;
    }
    if (c->OnNotInList()) {
      TInplaceEdit::KeyDown(Key, Shift);
      if (c->CanModify(true)) SyncEditValue();
    }
    Key = 0;
    return;
  }
  // 3. Backspace in a lookup or key-list column.
  if (Key == VK_BACK && listed) {
    if (!c->OnNotInList()) {
      // The caret moves back one character instead of deleting.
      const int start = std::max(0, SelStart());
      const String before = Text().substr(0, static_cast<size_t>(start));
      SetSelStart(SelLength() != 0 ? start : static_cast<int>(Utf8DeleteLastChar(before).size()));
      Key = 0;
      return;
    }
    if (c->CanModify(true)) {
      g->DataLink()->Edit();
      String text = Text();
      size_t start = static_cast<size_t>(std::max(0, SelStart()));
      const size_t end = std::min(text.size(), start + static_cast<size_t>(std::max(0, SelLength())));
      const String before = Utf8DeleteLastChar(text.substr(0, start));
      text = before + text.substr(end);
      SetText(text);
      SetSelStart(static_cast<int>(before.size()));
      SyncEditValue();
    }
    Key = 0;
    return;
  }
  // 4. Up and Down in a multi-line text.
  if (word_wrap_ && (Key == VK_UP || Key == VK_DOWN) && !Shift.Contains(ssAlt)) {
    if (!g->Options().Contains(dgAlwaysShowEditor)) {
      TCustomMaskEdit::KeyDown(Key, Shift);
      return;
    }
    const int line = static_cast<int>(Perform(EM_LINEFROMCHAR, static_cast<WPARAM>(SelStart()), 0));
    const int lines = static_cast<int>(Perform(EM_GETLINECOUNT, 0, 0));
    const bool whole = SelStart() == 0 && SelLength() == static_cast<int>(Text().size());
    if (whole || (Key == VK_UP && line == 0) || (Key == VK_DOWN && line >= lines - 1)) {
      TInplaceEdit::KeyDown(Key, Shift);
    } else {
      TCustomMaskEdit::KeyDown(Key, Shift);
    }
    return;
  }
  // 5. Enter as Tab and the copy-from-above shortcut go to the grid.
  const TShortCut sc = ShortCut(Key, Shift);
  if ((Key == VK_RETURN && Shift.Empty() && g->OptionsEh().Contains(dghEnterAsTab)) ||
      (sc != 0 && sc == DBGridEhShortCuts().CtrlQuote)) {
    g->KeyDown(Key, Shift);
    Key = 0;
    return;
  }
  // 7. The special row's shortcut.
  if (c != nullptr && edit_kind_ == ekLookupList && sc == c->DropDownSpecRow()->ShortCut() && c->CanModify(false)) {
    if (c->CanModify(true)) {
      const String text = c->DropDownSpecRow()->GetCellText(0);
      SetText(text);
      g->edit_text_ = text;
      g->SetLookupKeyValue(c->DropDownSpecRow()->Value());
      g->DataLink()->Modified();
      if (list_visible_ && active_list_ == data_list_) DataListTakeKey(c->DropDownSpecRow()->Value());
      SelectAll();
    }
    Key = 0;
    return;
  }
  // 8. The shortcut of an edit button.
  for (int i = 0; c != nullptr && sc != 0 && i < c->EditButtons()->Count(); ++i) {
    if (c->EditButtons()->Items(i)->ShortCut() != sc || static_cast<size_t>(i + 1) >= button_controls_.size()) continue;
    TEditButtonControlEh* b = button_controls_[static_cast<size_t>(i) + 1].Button;
    bool repeat = false, handled = false;
    EditButtonDown(b, true, repeat, handled);
    EditButtonClick(b);
    Key = 0;
    return;
  }
  TInplaceEdit::KeyDown(Key, Shift);
}

void TDBGridInplaceEdit::KeyUp(Word& Key, TShiftState Shift) {
  TInplaceEdit::KeyUp(Key, Shift);
  if (Key == VK_CONTROL && edit_kind_ == ekLookupList && list_visible_ && data_list_ != nullptr)
    data_list_->Perform(WM_KEYUP, Key, 0);
}

void TDBGridInplaceEdit::KeyPress(WideChar& Key) {
  String s;
  if (Key < 32) s = String(1, static_cast<char>(Key));
  else Utf8AppendWideChar(s, Key, pending_surrogate_);
  if (s.empty() && pending_surrogate_ != 0) return;  // the character's second half follows
  if (!s.empty() && CompleteTypedText(s)) {
    Key = 0;
    return;
  }
  if (Key == 10 && !word_wrap_) {
    Key = 0;
    return;
  }
  TInplaceEdit::KeyPress(Key);
}

// ---------------------------------------------------------------------------
// Messages

void TDBGridInplaceEdit::WndProc(TMessage& Message) {
  const Cardinal msg = Message.Msg;
  if (msg == WM_PASTE) {
    TCustomDBGridEh* g = Grid();
    TColumnEh* c = GetColumn();
    if (g == nullptr || c == nullptr || !RecordChangeAllowed(g) || !c->CanModify(false)) return;
    if (!IsLookupColumn(c) && !IsKeyListColumn(c)) return TInplaceEdit::WndProc(Message);
    PasteText();
    return;
  }
  if (msg == WM_KILLFOCUS) {
    auto* to = FindControl(reinterpret_cast<HWND>(Message.WParam));
    if (list_visible_ && active_list_ != nullptr && to != active_list_ &&
        (to == nullptr || !active_list_->ContainsControl(to)))
      CloseUp(false);
    if (ColumnMRUList() != nullptr && ColumnMRUList()->DroppedDown() && to != mru_list_box_) CloseMRUList(false);
    return TInplaceEdit::WndProc(Message);
  }
  if (msg == CM_CANCELMODE) {
    // A press elsewhere closes the open lists without taking them.
    auto* sender = reinterpret_cast<TControl*>(Message.LParam);
    auto own = [&](TWinControl* Popup) {
      return sender == this || (sender != nullptr && ContainsControl(sender)) ||
             (Popup != nullptr && (sender == Popup || Popup->ContainsControl(sender)));
    };
    if (list_visible_ && !own(active_list_)) CloseUp(false);
    if (ColumnMRUList() != nullptr && ColumnMRUList()->DroppedDown() && !own(mru_list_box_)) CloseMRUList(false);
    return TInplaceEdit::WndProc(Message);
  }
  if (msg != WM_KEYDOWN && msg != WM_SYSKEYDOWN && msg != WM_CHAR) return TInplaceEdit::WndProc(Message);
  TColumnEh* c = GetColumn();
  Word key = static_cast<Word>(Message.WParam);
  const TShiftState shift = KeyDataToShiftState(Message.LParam);
  const bool calculator_applies =
      edit_kind_ == ekCalculator && c != nullptr && c->Field() != nullptr && IsNumericKind(c->Field()->DataType());
  // 1. The drop-down keys.
  if ((edit_kind_ == ekPickList || edit_kind_ == ekLookupList || edit_kind_ == ekCalendar || calculator_applies) &&
      msg != WM_CHAR) {
    if (DoDropDownKeys(key, shift)) return;
  }
  // 2. A printable character with AutoDropDown opens the list.
  if (msg == WM_CHAR && key >= 32 && !list_visible_ && c != nullptr && c->AutoDropDown()) DropDown();
  // 3. An open list takes its keys.
  if (list_visible_ && active_list_ != nullptr) {
    if (calculator_ != nullptr && active_list_ == static_cast<TWinControl*>(calculator_)) {
      if ((msg == WM_CHAR && ((key >= 32 && key <= 126) || key == VK_RETURN || key == VK_ESCAPE)) ||
          (msg == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE))) {
        if (msg == WM_CHAR || key == VK_RETURN || key == VK_ESCAPE) calculator_->Perform(msg, Message.WParam, Message.LParam);
        return;
      }
    } else if (msg == WM_KEYDOWN) {
      const bool no_shift = !shift.Contains(ssShift);
      const bool ctrl = shift.Contains(ssCtrl);
      const bool to_list = ((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && no_shift) ||
                           ((key == VK_HOME || key == VK_END) && ctrl) ||
                           (edit_kind_ == ekCalendar && (key == VK_LEFT || key == VK_RIGHT));
      if (to_list) {
        active_list_->Perform(WM_KEYDOWN, Message.WParam, Message.LParam);
        if (edit_kind_ == ekLookupList && active_list_ == data_list_) {
          SetListText(DataListText());
          SelectAll();
        } else if (edit_kind_ == ekPickList && pick_list_box_ != nullptr) {
          const int i = pick_list_box_->ItemIndex();
          if (i >= 0 && i < pick_list_box_->Items()->Count() && pick_list_box_->Items()->Strings(i) != Text()) {
            SetListText(pick_list_box_->Items()->Strings(i));
            SelectAll();
          }
        }
        return;
      }
    }
  }
  // 4. The MRU drop-down.
  if (ColumnMRUList() != nullptr && ColumnMRUList()->DroppedDown() && mru_list_box_ != nullptr) {
    if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
      const bool nav = ((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && !shift.Contains(ssAlt)) ||
                       ((key == VK_HOME || key == VK_END) && shift.Contains(ssCtrl));
      if (nav) {
        mru_list_box_->Perform(WM_KEYDOWN, Message.WParam, Message.LParam);
        return;
      }
    } else if (msg == WM_CHAR && (key == VK_RETURN || key == VK_ESCAPE)) {
      CloseMRUList(key == VK_RETURN);
      return;
    }
  }
  TInplaceEdit::WndProc(Message);
}

void TDBGridInplaceEdit::DefaultHandler(TMessage& Message) {
  const Cardinal msg = Message.Msg;
  if (msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK && !MouseCapture()) {
    TRect r{};
    Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    const TPoint p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    if (p.X < r.Left || p.X >= r.Right) return;
  }
  TInplaceEdit::DefaultHandler(Message);
  if (text_changed_) {
    text_changed_ = false;
    DropDownMRUList();
  }
}
