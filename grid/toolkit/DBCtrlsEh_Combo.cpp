// TCustomDBComboBoxEh: the combo box and its drop-down list.
#include <algorithm>

#include "grid/toolkit/DBCtrlsEh.h"
#include "grid/toolkit/DBCtrlsEh_Internal.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Cursors.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr WideChar kBackspace = 8;

bool IsSurrogate(WideChar Ch) { return Ch >= 0xD800 && Ch <= 0xDFFF; }

// The byte length of the first Chars characters of S.
size_t Utf8PrefixBytes(const String& S, size_t Chars) {
  return Utf32ToUtf8(Utf8ToUtf32(S).substr(0, Chars)).size();
}

TShiftState KeyShiftState() {
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) & 0x8000) shift.Include(ssShift);
  if (GetKeyState(VK_CONTROL) & 0x8000) shift.Include(ssCtrl);
  if (GetKeyState(VK_MENU) & 0x8000) shift.Include(ssAlt);
  return shift;
}

}  // namespace

// ---------------------------------------------------------------------------
// TDropDownBoxEh

void TDropDownBoxEh::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TDropDownBoxEh*>(Source)) {
    align_ = src->align_;
    auto_drop_ = src->auto_drop_;
    rows_ = src->rows_;
    sizable_ = src->sizable_;
    width_ = src->width_;
    return;
  }
  TPersistent::Assign(Source);
}

// ---------------------------------------------------------------------------
// Construction and properties

TCustomDBComboBoxEh::TCustomDBComboBoxEh(TComponent* AOwner) : TCustomDBEditEh(AOwner) {
  items_ = std::make_unique<TStringList>();
  items_->SetOnChange({this, &TCustomDBComboBoxEh::ItemsChanged});
  key_items_ = std::make_unique<TStringList>();
  key_items_->SetOnChange({this, &TCustomDBComboBoxEh::KeyItemsChanged});
  drop_down_box_ = std::make_unique<TDropDownBoxEh>();
  drop_down_box_->SetRows(7);
}

TCustomDBComboBoxEh::~TCustomDBComboBoxEh() {
  // The list shows Items and calls back into the combo: it goes first.
  delete popup_listbox_;
  popup_listbox_ = nullptr;
  drop_down_box_.reset();
  key_items_.reset();
  items_.reset();
}

void TCustomDBComboBoxEh::SetImages(TCustomImageList* Value) {
  EditImage()->SetImages(Value);
  EditImage()->SetVisible(true);
}

void TCustomDBComboBoxEh::SetOnGetItemImageIndex(TListGetImageIndexEventEh Value) {
  on_get_item_image_index_ = std::move(Value);
  UpdateImageIndex();
}

void TCustomDBComboBoxEh::SetItemIndex(int Value) {
  SetByCode([&] { SetItemIndexInternal(Value); });
}

void TCustomDBComboBoxEh::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomDBEditEh::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popup_listbox_) {
    popup_listbox_ = nullptr;
    if (list_visible_) {
      list_visible_ = false;
      TCustomDBEditEh::CloseUp(false);
    }
  }
}

// ---------------------------------------------------------------------------
// Items, keys and the current item

void TCustomDBComboBoxEh::ItemsChanged(TObject*) {
  key_mode_ = key_items_->Count() > 0;
  item_count_ = key_mode_ ? std::min(items_->Count(), key_items_->Count()) : items_->Count();
  UpdateControlReadOnly();
  // In key mode the value stays and the text shows its item anew.
  if (key_mode_) InternalSetValue(key_value_);
  else SyncItemIndexFromText();
  ResetMaxLength();
}

void TCustomDBComboBoxEh::KeyItemsChanged(TObject* Sender) {
  const bool wasKeyMode = key_mode_;
  ItemsChanged(Sender);
  if (key_mode_ != wasKeyMode) {
    key_value_ = Null();
    if (key_mode_) SetItemText(String());
  }
  DataChanged();
}

void TCustomDBComboBoxEh::SyncItemIndexFromText() {
  const int index = items_->IndexOf(Text());
  item_index_ = index < item_count_ ? index : -1;
  if (list_visible_ && popup_listbox_ != nullptr) popup_listbox_->SetItemIndex(item_index_);
  UpdateImageIndex();
}

void TCustomDBComboBoxEh::SetItemText(const String& Text) {
  WithFlagSet(setting_item_, [&] { TCustomDBEditEh::InternalSetText(Text); });
}

void TCustomDBComboBoxEh::SetItemIndexInternal(int Index) {
  if (Index == item_index_) return;
  FillItemsIfEmpty();
  if (Index < 0 || Index >= item_count_) {
    item_index_ = -1;
    key_value_ = Null();
  } else {
    item_index_ = Index;
    if (key_mode_) key_value_ = Variant(key_items_->Strings(Index));
  }
  data_link_->SetModified();
  UpdateImageIndex();
  if (list_visible_ && popup_listbox_ != nullptr) popup_listbox_->SetItemIndex(item_index_);
  if (item_index_ >= 0) ShowItem(item_index_);
  else SetItemText(String());
}

void TCustomDBComboBoxEh::ShowItem(int Index) {
  WithFlagSet(setting_item_, [&] { SetEditText(items_->Strings(Index)); });
}

void TCustomDBComboBoxEh::FillItemsIfEmpty() {
  if (items_->Count() == 0) on_fill_items_(this);
}

void TCustomDBComboBoxEh::Clear() {
  if (key_mode_) SetValue(Null());
  else TCustomDBEditEh::Clear();
}

// ---------------------------------------------------------------------------
// Value and text

void TCustomDBComboBoxEh::InternalSetText(const String& AText) {
  if (!key_mode_) {
    TCustomDBEditEh::InternalSetText(AText);
    SyncItemIndexFromText();
    return;
  }
  const int index = items_->IndexOf(AText);
  if (index < 0 || index >= item_count_) return;
  item_index_ = index;
  UpdateImageIndex();
  if (list_visible_ && popup_listbox_ != nullptr) popup_listbox_->SetItemIndex(item_index_);
  key_value_ = Variant(key_items_->Strings(index));
  SetItemText(AText);
}

void TCustomDBComboBoxEh::InternalSetValue(const Variant& AValue) {
  if (!key_mode_) {
    TCustomDBEditEh::InternalSetValue(AValue);
    return;
  }
  key_value_ = AValue;
  String text;
  item_index_ = -1;
  if (!VarIsNull(AValue)) {
    const int index = key_items_->IndexOf(ValueToText(AValue));
    if (index >= 0 && index < item_count_) {
      item_index_ = index;
      text = items_->Strings(index);
    }
  }
  SetItemText(text);
  UpdateImageIndex();
  if (list_visible_ && popup_listbox_ != nullptr) popup_listbox_->SetItemIndex(item_index_);
}

Variant TCustomDBComboBoxEh::GetVariantValue() {
  return key_mode_ ? key_value_ : TCustomDBEditEh::GetVariantValue();
}

void TCustomDBComboBoxEh::UpdateDataLinkValue() {
  if (DataIndependent() && !key_mode_) data_link_->SetText(EditText());
  // No key is a null field, not an empty text.
  else if (key_mode_ && VarIsNull(key_value_)) data_link_->SetValue(Null());
  else data_link_->SetText(ValueToText(Value()));
}

void TCustomDBComboBoxEh::DataChanged() {
  TField* f = Field();
  if (f != nullptr) {
    if (f->Alignment() != alignment_ && !assigned_.Contains(aveAlignment)) Invalidate();
    if (!assigned_.Contains(aveEditMask) && TCustomMaskEdit::EditMask() != f->EditMask())
      TCustomMaskEdit::SetEditMask(f->EditMask());
    if (!key_mode_ && !IsDesigning() && (f->DataType() == ftString || f->DataType() == ftWideString) &&
        MaxLength() == 0)
      SetMaxLength(f->Size());
    if (!(focused_ && data_link_->CanModify()) && !key_mode_) SetEditText(f->DisplayText());
    else InternalSetValue(Variant(f->Text()));
  } else if (key_mode_) {
    InternalSetValue(DataIndependent() ? data_link_->Value() : Null());
  } else {
    SetEditText(DataIndependent() ? ValueToText(data_link_->Value()) : String());
    if (!assigned_.Contains(aveEditMask) && !TCustomMaskEdit::EditMask().empty()) TCustomMaskEdit::SetEditMask("");
  }
  UpdateControlReadOnly();
  SetModified(false);
}

void TCustomDBComboBoxEh::ResetMaxLength() {
  if (key_mode_) SetMaxLength(0);
  else TCustomDBEditEh::ResetMaxLength();
}

void TCustomDBComboBoxEh::UpdateControlReadOnly() {
  TCustomDBEditEh::UpdateControlReadOnly();
  if (key_mode_) TCustomEdit::SetReadOnly(true);
}

TAlignment TCustomDBComboBoxEh::DefaultAlignment() {
  return key_mode_ ? taLeftJustify : TCustomDBEditEh::DefaultAlignment();
}

bool TCustomDBComboBoxEh::IsValidChar(WideChar InputChar) {
  return key_mode_ || TCustomDBEditEh::IsValidChar(InputChar);
}

String TCustomDBComboBoxEh::GetDisplayTextForPaint() {
  if (!key_mode_ || !ControlState().Contains(csPaintCopy) || Field() == nullptr)
    return TCustomDBEditEh::GetDisplayTextForPaint();
  const int index = key_items_->IndexOf(Field()->Text());
  String text = index >= 0 && index < items_->Count() ? items_->Strings(index) : String();
  if (CharCase() == ecUpperCase) text = AnsiUpperCase(text);
  else if (CharCase() == ecLowerCase) text = AnsiLowerCase(text);
  return text;
}

void TCustomDBComboBoxEh::UpdateImageIndex() {
  item_image_index_ = item_index_;
  on_get_item_image_index_(this, item_index_, item_image_index_);
  TCustomDBEditEh::UpdateImageIndex();
}

void TCustomDBComboBoxEh::UpdateData(TObject* Sender) {
  if (on_not_in_list_ && item_index_ == -1) {
    bool recheck = false;
    on_not_in_list_(this, Text(), recheck);
    if (recheck && !key_mode_) SyncItemIndexFromText();
  }
  TCustomDBEditEh::UpdateData(Sender);
}

void TCustomDBComboBoxEh::Change() {
  TCustomDBEditEh::Change();
  if (!setting_item_ && !key_mode_) SyncItemIndexFromText();
}

// ---------------------------------------------------------------------------
// Incremental search

// Selects back from the end of the text to the end of the typed characters.
void TCustomDBComboBoxEh::SelectCompletion(size_t TypedChars) {
  const String text = Text();
  SetSelStart(static_cast<int>(text.size()));
  SetSelLength(static_cast<int>(Utf8PrefixBytes(text, TypedChars)) - static_cast<int>(text.size()));
}

bool TCustomDBComboBoxEh::LocateItem(const String& Str, bool Partial) {
  const std::u32string typed = Utf8ToUtf32(Str);
  for (int i = 0; i < item_count_; ++i) {
    const String& item = items_->Strings(i);
    const bool hit = Partial ? AnsiSameText(Utf32ToUtf8(Utf8ToUtf32(item).substr(0, typed.size())), Str)
                             : AnsiSameText(item, Str);
    if (!hit) continue;
    const bool changed = i != item_index_;
    SetItemIndexInternal(i);
    // Typed in another case: the item shows as it is written.
    if (Text() != item) ShowItem(i);
    SelectCompletion(typed.size());
    return changed;
  }
  if (key_mode_ || item_index_ == -1) return false;
  SetItemIndexInternal(-1);
  return true;
}

bool TCustomDBComboBoxEh::SearchTyped(const String& Str) {
  if (!DataIndependent() && Field() == nullptr) return false;
  if (!EditCanModify()) return false;
  const String text = Text();
  if (Str.size() == 1 && Str[0] == '\b') {
    // The backward selection from the end grows by one character.
    const size_t total = Utf8Length(text);
    const size_t selected = Utf8Length(SelText());
    const size_t chars = selected < total ? std::min(selected + 1, total) : std::min<size_t>(1, total);
    SelectCompletion(total - chars);
    return false;
  }
  const String search = text.substr(0, static_cast<size_t>(std::clamp<int>(SelStart(), 0, int(text.size())))) + Str;
  FillItemsIfEmpty();
  return LocateItem(search, true);
}

void TCustomDBComboBoxEh::KeyPress(WideChar& Key) {
  if (list_visible_ && (Key == VK_RETURN || Key == VK_ESCAPE)) {
    CloseUp(Key == VK_RETURN);
    Key = 0;
    return;
  }
  if (!key_mode_) {
    TCustomDBEditEh::KeyPress(Key);
    search_after_char_ = Key != 0 && Key != '.' && (Key >= 32 || Key == kBackspace) &&
                         (GetKeyState(VK_CONTROL) & 0x8000) == 0;
    return;
  }
  if (hosted_ && holder_intf_ != nullptr) holder_intf_->InplaceEditKeyPress(this, Key);
  if (Key == 0) return;
  if (Key == kBackspace) {
    if (!read_only_) SearchTyped("\b");
    Key = 0;
    return;
  }
  if (IsSurrogate(Key) || (Key >= 32 && IsTextChar(Key))) {
    if (drop_down_box_->AutoDrop() && !list_visible_) DropDown();
    String typed;
    Utf8AppendWideChar(typed, Key, pending_char_);
    if (!typed.empty()) SearchTyped(typed);
    Key = 0;
    return;
  }
  TCustomDBEditEh::KeyPress(Key);
}

// ---------------------------------------------------------------------------
// Stepping through the items

void TCustomDBComboBoxEh::Step(bool Up) {
  if (!EditCanModify()) return;
  int index = item_index_;
  if (Up) {
    if (index >= 1) --index;
    else if (index == -1) index = item_count_ - 1;
    else return;
  } else {
    if (index + 1 >= item_count_) return;
    ++index;
  }
  if (index == item_index_) return;
  SetItemIndexInternal(index);
  SelectAll();
}

void TCustomDBComboBoxEh::KeyDown(Word& Key, TShiftState Shift) {
  TCustomDBEditEh::KeyDown(Key, Shift);
  if (Key == 0) return;
  if ((Key == VK_UP || Key == VK_DOWN) && !list_visible_ && !read_only_ && !Shift.Contains(ssAlt)) {
    if (word_wrap_ && SelLength() != static_cast<int>(Text().size())) return;
    Step(Key == VK_UP);
    Key = 0;
  } else if (Key == VK_DELETE && key_mode_) {
    TField* f = Field();
    if (((f != nullptr && !f->Required()) || DataIndependent()) && EditCanModify() && !read_only_) {
      InternalSetValue(Null());
      data_link_->SetModified();
    }
    Key = 0;
  }
}

bool TCustomDBComboBoxEh::WheelStep(bool Up, TShiftState Shift) {
  if (Shift.Contains(ssShift) || Shift.Contains(ssCtrl) || Shift.Contains(ssAlt) || read_only_) return false;
  if (!data_link_->Edit()) return false;
  Step(Up);
  return true;
}

bool TCustomDBComboBoxEh::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  return TCustomDBEditEh::DoMouseWheelDown(Shift, MousePos) || WheelStep(false, Shift);
}

bool TCustomDBComboBoxEh::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  return TCustomDBEditEh::DoMouseWheelUp(Shift, MousePos) || WheelStep(true, Shift);
}

void TCustomDBComboBoxEh::ButtonDown(bool LowerHalf) {
  if (edit_button_->Style() != ebsUpDownEh) {
    TCustomDBEditEh::ButtonDown(LowerHalf);
    return;
  }
  if (EditCanModify()) Step(!LowerHalf);
}

// ---------------------------------------------------------------------------
// The drop-down list

TPopupListboxEh* TCustomDBComboBoxEh::CreatePopupListbox() {
  TPopupListboxEh* list = nullptr;
  if (popup_listbox_class_ != nullptr) {
    TComponent* made = popup_listbox_class_->CreateInstance(this);
    list = dynamic_cast<TPopupListboxEh*>(made);
    if (list == nullptr) {
      delete made;
      throw EInvalidCast(popup_listbox_class_->ClassName() + " is not a popup list box");
    }
  } else {
    list = new TPopupListboxEh(this);
  }
  list->SetVisible(false);
  list->SetCtl3D(true);
  list->SetParent(this);
  list->HandleNeeded();
  ShowWindow(list->Handle(), SW_HIDE);
  list->SetOnMouseUp({this, &TCustomDBComboBoxEh::ListMouseUp});
  list->SetOnGetImageIndex({this, &TCustomDBComboBoxEh::ListGetImageIndex});
  return list;
}

void TCustomDBComboBoxEh::ListGetImageIndex(TObject* Sender, int Index, int& ImageIndex) {
  on_get_item_image_index_(Sender, Index, ImageIndex);
}

void TCustomDBComboBoxEh::ListMouseUp(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  if (Button == mbLeft && popup_listbox_ != nullptr && popup_listbox_->ClientRect().Contains(TPoint{X, Y}))
    CloseUp(true);
}

void TCustomDBComboBoxEh::DropDown() {
  if (list_visible_) return;
  // Made first: a list class that fails leaves the combo as it was.
  if (popup_listbox_ == nullptr) popup_listbox_ = CreatePopupListbox();
  TCustomDBEditEh::DropDown();
  on_drop_down_(this);
  TPopupListboxEh* list = popup_listbox_;
  FillItemsIfEmpty();
  TCustomImageList* images = Images();
  list->SetColor(Color());
  list->TControl::SetFont(Font());
  list->SetImages(images);
  int rowHeight = list->GetTextHeight();
  if (images != nullptr && EditImage()->UseImageHeight()) rowHeight = std::max(rowHeight, images->Height());
  list->SetItemHeight(rowHeight);
  list->SetItemsList(items_.get());
  list->SetCount(item_count_);
  list->SetItemIndex(item_index_);

  int width = drop_down_box_->Width();
  if (width == -1) {
    TCanvas measure;
    measure.Font()->Assign(Font());
    int widest = 0;
    for (int i = 0; i < item_count_; ++i) widest = std::max(widest, measure.TextWidth(items_->Strings(i)));
    width = widest + 5;
    if (images != nullptr) width += images->Width() + 4;
    width += list->Width() - list->ClientWidth();
  } else if (width <= 0) {
    width = Width();
  }
  list->SetWidth(std::max(width, Width()));
  list->SetRowCount(std::min(drop_down_box_->Rows(), item_count_));

  const TPoint p = AlignDropDownWindow(this, list, drop_down_box_->Align());
  SetWindowPos(list->Handle(), HWND_TOP, p.X, p.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  list->SetVisible(true);
  if (list->SizeGrip() != nullptr) list->SizeGrip()->SetVisible(drop_down_box_->Sizable());
  list_visible_ = true;
  dropped_down_ = true;
  list->SetSizeGripResized(false);
}

void TCustomDBComboBoxEh::CloseUp(bool Accept) {
  if (!list_visible_) return;
  TPopupListboxEh* list = popup_listbox_;
  if (MouseCapture()) SetMouseCapture(false);
  if (list->MouseCapture()) list->SetMouseCapture(false);
  const bool listFocused = list->HandleAllocated() && GetFocus() == list->Handle();
  SetWindowPos(list->Handle(), nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  list->SetVisible(false);
  if (list->SizeGripResized()) {
    drop_down_box_->SetRows(list->RowCount());
    drop_down_box_->SetWidth(list->Width());
  }
  if (listFocused && CanFocus()) SetFocus();
  list_visible_ = false;
  TCustomDBEditEh::CloseUp(Accept);
  on_before_close_up_(this, Accept);
  if (Accept && !read_only_ && data_link_->Edit()) {
    SetItemIndexInternal(list->ItemIndex());
    if (Focused()) SelectAll();
  }
  on_close_up_(this, Accept);
}

// While the list is open the combo keeps the focus and passes the list's
// keys on; characters always reach the text.
bool TCustomDBComboBoxEh::ListMessage(TMessage& Message) {
  TPopupListboxEh* list = popup_listbox_;
  if (list == nullptr) return false;
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const auto key = static_cast<Word>(Message.WParam);
      TShiftState shift = KeyShiftState();
      if (Message.Msg == WM_SYSKEYDOWN) shift.Include(ssAlt);
      const TShortCut sc = ShortCut(key, shift);
      if (edit_button_->Visible() && edit_button_->ShortCut() == sc) return false;
      for (int i = 0; i < edit_buttons_->Count(); ++i)
        if (edit_buttons_->Items(i)->Visible() && edit_buttons_->Items(i)->ShortCut() == sc) return false;
      if (key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN ||
          ((key == VK_HOME || key == VK_END) && shift.Contains(ssCtrl))) {
        list->Perform(Message.Msg, Message.WParam, Message.LParam);
        return true;
      }
      return false;
    }
    case CM_WANTSPECIALKEY:
      if (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE) {
        Message.Result = 1;
        return true;
      }
      return false;
    case CM_MOUSEWHEEL:
      list->Perform(Message);
      return Message.Result != 0;
    case WM_KILLFOCUS:
      if (!list->HandleAllocated() || reinterpret_cast<HWND>(Message.WParam) != list->Handle()) CloseUp(false);
      return false;
    case CM_CANCELMODE: {
      if (!IsOwnControl(reinterpret_cast<TControl*>(Message.LParam), list)) CloseUp(false);
      return false;
    }
    default:
      return false;
  }
}

void TCustomDBComboBoxEh::HandPressToList(TControl* From, TShiftState Shift, int X, int Y) {
  if (!list_visible_ || popup_listbox_ == nullptr || !Shift.Contains(ssLeft)) return;
  const TPoint at = popup_listbox_->ScreenToClient(From->ClientToScreen(TPoint{X, Y}));
  if (!popup_listbox_->ClientRect().Contains(at)) return;
  From->Perform(WM_CANCELMODE, 0, 0);
  popup_listbox_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.X, at.Y));
}

void TCustomDBComboBoxEh::EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  TCustomDBEditEh::EditButtonMouseMove(Sender, Shift, X, Y);
  if (auto* control = dynamic_cast<TControl*>(Sender); control != nullptr && control->Tag() == 0)
    HandPressToList(control, Shift, X, Y);
}

void TCustomDBComboBoxEh::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomDBEditEh::MouseMove(Shift, X, Y);
  HandPressToList(this, Shift, X, Y);
}

void TCustomDBComboBoxEh::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (key_mode_ && Button == mbLeft && Enabled() && !dropped_down_ && !Shift.Contains(ssDouble) &&
      !InButtonOrImageArea(TPoint{X, Y})) {
    if (CanFocus()) SetFocus();
    opened_by_press_ = true;
    DropDown();
  } else {
    opened_by_press_ = false;
  }
  TCustomDBEditEh::MouseDown(Button, Shift, X, Y);
}

void TCustomDBComboBoxEh::Click() {
  TCustomDBEditEh::Click();
  if (key_mode_ && dropped_down_ && !opened_by_press_) CloseUp(false);
  opened_by_press_ = false;
}

// ---------------------------------------------------------------------------
// Messages

void TCustomDBComboBoxEh::WndProc(TMessage& Message) {
  if (list_visible_ && ListMessage(Message)) return;
  if (Message.Msg == WM_PASTE && key_mode_) {
    if (Clipboard()->HasFormat(CF_TEXT)) {
      SearchTyped(Clipboard()->AsText());
      return;
    }
  }
  if (Message.Msg == WM_SETCURSOR && key_mode_ && reinterpret_cast<HWND>(Message.WParam) == Handle()) {
    ::SetCursor(Screen->Cursors(crArrow));
    Message.Result = 1;
    return;
  }
  if (Message.Msg != WM_CHAR || key_mode_) {
    TCustomDBEditEh::WndProc(Message);
    return;
  }
  search_after_char_ = false;
  TCustomDBEditEh::WndProc(Message);
  if (!search_after_char_) return;
  search_after_char_ = false;
  const String text = Text();
  if (Message.WParam != kBackspace && SelLength() == 0 && SelStart() == static_cast<int>(text.size())) {
    SearchTyped(String());
    return;
  }
  const int start = SelStart();
  FillItemsIfEmpty();
  if (LocateItem(text, false)) {
    SetSelStart(static_cast<int>(Text().size()));
    SetSelLength(start - static_cast<int>(Text().size()));
  }
}

// In key mode the mouse neither places the caret nor selects; a released
// right button asks for the context menu.
void TCustomDBComboBoxEh::DefaultHandler(TMessage& Message) {
  if (key_mode_) {
    switch (Message.Msg) {
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONDBLCLK:
      case WM_MBUTTONDOWN:
      case WM_MBUTTONUP:
      case WM_MBUTTONDBLCLK:
        return;
      case WM_RBUTTONUP: {
        const TPoint p = GetCursorPos();
        Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()), MAKELPARAM(p.X, p.Y));
        return;
      }
      default:
        break;
    }
  }
  TCustomDBEditEh::DefaultHandler(Message);
}

// ---------------------------------------------------------------------------
// Published properties

void RegisterDBComboBoxEhClasses() {
  RegisterClass<TDropDownBoxEh, TPersistent>("TDropDownBoxEh")
      .Prop("Align", &TDropDownBoxEh::Align, &TDropDownBoxEh::SetAlign, daLeft)
      .Prop("AutoDrop", &TDropDownBoxEh::AutoDrop, &TDropDownBoxEh::SetAutoDrop, false)
      .Prop("Rows", &TDropDownBoxEh::Rows, &TDropDownBoxEh::SetRows, 7)
      .Prop("Sizable", &TDropDownBoxEh::Sizable, &TDropDownBoxEh::SetSizable, false)
      .Prop("Width", &TDropDownBoxEh::Width, &TDropDownBoxEh::SetWidth, 0);
  RegisterClass<TCustomDBComboBoxEh, TCustomDBEditEh>("TCustomDBComboBoxEh");
  auto combo = RegisterClass<TDBComboBoxEh, TCustomDBComboBoxEh>("TDBComboBoxEh");
  PublishDBEditEhProps(combo)
      .Object("DropDownBox", &TCustomDBComboBoxEh::DropDownBox)
      .Prop("Images", &TCustomDBComboBoxEh::Images, &TCustomDBComboBoxEh::SetImages)
      .Object("Items", &TCustomDBComboBoxEh::Items)
      .Object("KeyItems", &TCustomDBComboBoxEh::KeyItems)
      .Event("OnCloseUp", &TCustomDBComboBoxEh::OnCloseUp, &TCustomDBComboBoxEh::SetOnCloseUp)
      .Event("OnDropDown", &TCustomDBComboBoxEh::OnDropDown, &TCustomDBComboBoxEh::SetOnDropDown)
      .Event("OnGetItemImageIndex", &TCustomDBComboBoxEh::OnGetItemImageIndex,
             &TCustomDBComboBoxEh::SetOnGetItemImageIndex)
      .Event("OnNotInList", &TCustomDBComboBoxEh::OnNotInList, &TCustomDBComboBoxEh::SetOnNotInList);
}
