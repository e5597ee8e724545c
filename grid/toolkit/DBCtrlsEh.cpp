#include "grid/toolkit/DBCtrlsEh.h"
#include "grid/toolkit/DBCtrlsEh_Internal.h"

#include <cmath>

#include "grid/toolkit/DBCtrlsEh_Internal.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Popup.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/UnitInit.h"

// ---------------------------------------------------------------------------
// TEditImageEh

TEditImageEh::TEditImageEh(TWinControl* EditControl) : edit_control_(EditControl) {}

void TEditImageEh::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TEditImageEh*>(Source);
  if (src == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  SetImages(src->images_);
  SetImageIndex(src->image_index_);
  SetVisible(src->visible_);
  SetWidth(src->width_);
}

// The editor computes its image width, margins and height when its window
// is made.
void TEditImageEh::Changed() {
  if (edit_control_ != nullptr) edit_control_->Perform(CM_EDITIMAGECHANGEDEH);
}

void TEditImageEh::SetImageIndex(int Value) {
  if (image_index_ == Value) return;
  image_index_ = Value;
  if (edit_control_ != nullptr) edit_control_->Invalidate();
}

void TEditImageEh::SetImages(TCustomImageList* Value) {
  if (images_ == Value) return;
  images_ = Value;
  if (images_ != nullptr && edit_control_ != nullptr) images_->FreeNotification(edit_control_);
  Changed();
}

void TEditImageEh::SetUseImageHeight(bool Value) {
  if (use_image_height_ == Value) return;
  use_image_height_ = Value;
  Changed();
}

void TEditImageEh::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  Changed();
}

void TEditImageEh::SetWidth(int Value) {
  if (width_ == Value) return;
  width_ = Value;
  Changed();
}

// ---------------------------------------------------------------------------
// TFieldDataLinkEh

TFieldDataLinkEh::TFieldDataLinkEh() { SetVisualControl(true); }

void TFieldDataLinkEh::SetFieldName(const String& Value) {
  if (field_name_ == Value) return;
  field_name_ = Value;
  UpdateField();
  UpdateDataIndependent();
}

void TFieldDataLinkEh::SetDataSource(TDataSource* Value) {
  if (DataSource() == Value) return;
  TDataLink::SetDataSource(Value);
  UpdateDataIndependent();
}

void TFieldDataLinkEh::SetMultipleFields(bool Value) {
  if (multiple_fields_ == Value) return;
  multiple_fields_ = Value;
  UpdateField();
}

void TFieldDataLinkEh::UpdateDataIndependent() {
  const bool independent = DataSource() == nullptr && field_name_.empty();
  if (independent == data_independent_) return;
  data_independent_ = independent;
  value_ = Null();
  UpdateField();
  if (data_independent_) RecordChanged(nullptr);
}

void TFieldDataLinkEh::UpdateField() {
  std::vector<TField*> found;
  if (TDataLink::Active() && !field_name_.empty()) {
    TDataSet* ds = DataSet();
    if (!multiple_fields_) {
      found.push_back(control_ != nullptr ? GetFieldProperty(ds, control_, field_name_) : ds->FieldByName(field_name_));
    } else if (control_ != nullptr) {
      CollectFieldsByNames(&found, ds, control_, field_name_);
    } else {
      ds->GetFieldList(found, field_name_);
    }
  }
  if (found == fields_) return;
  fields_ = std::move(found);
  EditingChanged();
  RecordChanged(nullptr);
}

bool TFieldDataLinkEh::Active() const { return data_independent_ || (TDataLink::Active() && Field() != nullptr); }

bool TFieldDataLinkEh::CanModify() const {
  if (data_independent_) return true;
  TField* f = Field();
  return f != nullptr && f->CanModify();
}

bool TFieldDataLinkEh::Edit() {
  if (!data_independent_) {
    if (CanModify()) TDataLink::Edit();
    return editing_;
  }
  if (!editing_ && !ReadOnly()) {
    editing_ = true;
    modified_ = false;
    on_editing_change_(this);
  }
  return editing_;
}

void TFieldDataLinkEh::EditDataSet() {
  if (data_independent_ || DataSet() == nullptr) return;
  DataSet()->Edit();
}

void TFieldDataLinkEh::SetEditing(bool Value) {
  if (editing_ == Value) return;
  editing_ = Value;
  modified_ = false;
  on_editing_change_(this);
}

void TFieldDataLinkEh::EditingChanged() {
  if (data_independent_) return;
  SetEditing(TDataLink::Editing() && CanModify());
}

void TFieldDataLinkEh::ActiveChanged() {
  UpdateField();
  on_active_change_(this);
}

void TFieldDataLinkEh::LayoutChanged() { UpdateField(); }

void TFieldDataLinkEh::DataEvent(TDataEvent Event, NativeInt Info) {
  TDataLink::DataEvent(Event, Info);
  if (Event == deDisabledStateChange) {
    if (Info != 0) UpdateField();
    else fields_.clear();
  }
}

void TFieldDataLinkEh::RecordChanged(TField* Field) {
  if (Field != nullptr && std::find(fields_.begin(), fields_.end(), Field) == fields_.end()) return;
  on_data_change_(this);
  modified_ = false;
}

void TFieldDataLinkEh::UpdateData() {
  if (data_independent_) {
    if (modified_) on_update_data_(this);
    editing_ = false;
    modified_ = false;
    return;
  }
  if (modified_ && Field() != nullptr) on_update_data_(this);
  modified_ = false;
}

void TFieldDataLinkEh::FocusControl(TFieldRef Field) {
  if (Field == nullptr || *Field == nullptr) return;
  if (std::find(fields_.begin(), fields_.end(), *Field) == fields_.end()) return;
  auto* control = dynamic_cast<TWinControl*>(control_);
  if (control == nullptr || !control->CanFocus()) return;
  *Field = nullptr;
  control->SetFocus();
}

bool TFieldDataLinkEh::ExecuteAction(TBasicAction* Action) {
  TDataSource* ds = DataSource();
  if (Action == nullptr || ds == nullptr || !Action->HandlesTarget(ds)) return false;
  Action->ExecuteTarget(ds);
  return true;
}

bool TFieldDataLinkEh::UpdateAction(TBasicAction* Action) {
  TDataSource* ds = DataSource();
  if (Action == nullptr || ds == nullptr || !Action->HandlesTarget(ds)) return false;
  Action->UpdateTarget(ds);
  return true;
}

void TFieldDataLinkEh::SetText(const String& Text) {
  if (data_independent_) {
    value_ = Variant(Text);
    RecordChanged(nullptr);
    return;
  }
  TField* f = Field();
  if (f == nullptr) return;
  if (dynamic_cast<TMemoField*>(f) != nullptr) f->SetAsString(Text);
  else f->SetText(Text);
}

void TFieldDataLinkEh::SetValue(const Variant& Value) {
  if (data_independent_) {
    value_ = Value;
    RecordChanged(nullptr);
    return;
  }
  if (fields_.size() >= 2) {
    if (VarEqualsEh(Value, Null())) {
      for (TField* f : fields_) f->SetValue(Null());
    } else {
      const Integer low = VarArrayLowBound(Value, 1);
      for (size_t i = 0; i < fields_.size(); ++i)
        fields_[i]->SetValue(VarArrayGet(Value, {low + static_cast<Integer>(i)}));
    }
  } else if (TField* f = Field()) {
    f->SetValue(Value);
  }
}

// ---------------------------------------------------------------------------
// TCustomDBEditEh: construction and properties

TCustomDBEditEh::TCustomDBEditEh(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csCaptureMouse, csReplicatable});
  SetColor(clWindow);
  data_link_ = CreateDataLink();
  data_link_->SetControl(this);
  data_link_->SetOnDataChange([this](TObject*) {
    DataChanged();
    UpdateEditButtonControlsState();
  });
  data_link_->SetOnEditingChange({this, &TCustomDBEditEh::EditingChange});
  data_link_->SetOnUpdateData({this, &TCustomDBEditEh::UpdateData});
  data_link_->SetOnActiveChange({this, &TCustomDBEditEh::ActiveChange});
  edit_button_ = CreateEditButton();
  edit_button_->SetOnChanged([this](TObject*) { UpdateEditButtonControlList(); });
  edit_buttons_ = CreateEditButtons();
  edit_buttons_->SetOnChanged([this](TObject*) { UpdateEditButtonControlList(); });
  edit_image_ = CreateEditImage();
  mru_list_ = std::make_unique<TMRUListEh>(this);
  mru_list_->SetOnSetDropDown({this, &TCustomDBEditEh::MRUListDropDown});
  mru_list_->SetOnSetCloseUp({this, &TCustomDBEditEh::MRUListCloseUp});
  UpdateControlReadOnly();
  UpdateImageIndex();
}

TCustomDBEditEh::~TCustomDBEditEh() {
  edit_image_.reset();
  edit_button_.reset();
  edit_buttons_.reset();
  data_link_.reset();
  canvas_.reset();
  mru_list_.reset();
}

std::unique_ptr<TFieldDataLinkEh> TCustomDBEditEh::CreateDataLink() { return std::make_unique<TFieldDataLinkEh>(); }

std::unique_ptr<TEditButtonEh> TCustomDBEditEh::CreateEditButton() {
  return std::make_unique<TVisibleEditButtonEh>(this);
}

std::unique_ptr<TEditButtonsEh> TCustomDBEditEh::CreateEditButtons() {
  return std::make_unique<TEditButtonsEh>(this, CollectionItemFactory<TVisibleEditButtonEh>);
}

std::unique_ptr<TEditImageEh> TCustomDBEditEh::CreateEditImage() { return std::make_unique<TEditImageEh>(this); }

void TCustomDBEditEh::SetReadOnly(bool Value) {
  if (read_only_ == Value) return;
  read_only_ = Value;
  UpdateControlReadOnly();
}

void TCustomDBEditEh::SetHighlightRequired(bool Value) {
  if (highlight_required_ == Value) return;
  highlight_required_ = Value;
  Invalidate();
}

void TCustomDBEditEh::SetOnUpdateData(TUpdateDataEventEh Value) {
  on_update_data_ = std::move(Value);
  UpdateControlReadOnly();
}

void TCustomDBEditEh::SetOnGetImageIndex(TGetImageIndexEventEh Value) {
  on_get_image_index_ = std::move(Value);
  UpdateImageIndex();
}

TAlignment TCustomDBEditEh::DefaultAlignment() {
  TField* f = Field();
  return f != nullptr ? f->Alignment() : taLeftJustify;
}

String TCustomDBEditEh::DefaultEditMask() {
  TField* f = Field();
  return f != nullptr ? f->EditMask() : String();
}

void TCustomDBEditEh::SetAlignment(TAlignment Value) {
  const bool changed = !assigned_.Contains(aveAlignment) || alignment_ != Value;
  assigned_.Include(aveAlignment);
  alignment_ = Value;
  if (!changed) return;
  if (word_wrap_) RecreateWnd();
  else Invalidate();
}

void TCustomDBEditEh::SetEditMask(const String& Value) {
  assigned_.Include(aveEditMask);
  const String text = EditText();
  TCustomMaskEdit::SetEditMask(Value);
  if (IsLoading() && DataIndependent()) InternalSetText(text);
  if (DataIndependent()) UpdateData(this);
  else DataChanged();
}

void TCustomDBEditEh::RestoreDefaults() {
  assigned_ = {};
  if (!DataIndependent()) DataChanged();
  Invalidate();
}

bool TCustomDBEditEh::IsValidChar(WideChar InputChar) {
  TField* f = Field();
  return f == nullptr || f->IsValidChar(InputChar);
}

// ---------------------------------------------------------------------------
// Binding

void TCustomDBEditEh::SetDataSource(TDataSource* Value) {
  if (!(data_link_->DataSourceFixed() && IsLoading())) data_link_->SetDataSource(Value);
  if (Value != nullptr) Value->FreeNotification(this);
  DataChanged();
  UpdateEditButtonControlsState();
  Invalidate();
}

void TCustomDBEditEh::SetDataField(const String& Value) {
  if (!IsDesigning()) ResetMaxLength();
  data_link_->SetFieldName(Value);
  UpdateEditButtonControlsState();
  Invalidate();
}

void TCustomDBEditEh::ResetMaxLength() {
  if (MaxLength() <= 0) return;
  TDataSource* ds = data_link_->DataSource();
  if (ds == nullptr || ds->DataSet() == nullptr) return;
  TField* f = ds->DataSet()->FindField(data_link_->FieldName());
  if (f != nullptr && (f->DataType() == ftString || f->DataType() == ftWideString) && f->Size() == MaxLength())
    SetMaxLength(0);
}

void TCustomDBEditEh::ActiveChange(TObject*) {
  ResetMaxLength();
  UpdateEditButtonControlsState();
}

void TCustomDBEditEh::Loaded() {
  TCustomMaskEdit::Loaded();
  ResetMaxLength();
  if (IsDesigning()) DataChanged();
  UpdateBorderActive();
  AdjustHeight();
}

void TCustomDBEditEh::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomMaskEdit::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (data_link_ != nullptr && AComponent == data_link_->DataSource()) SetDataSource(nullptr);
  if (edit_image_ != nullptr && AComponent == edit_image_->Images()) edit_image_->SetImages(nullptr);
  if (auto* menu = dynamic_cast<TPopupMenu*>(AComponent)) {
    if (edit_button_ != nullptr && edit_button_->DropdownMenu() == menu) edit_button_->SetDropdownMenu(nullptr);
    if (edit_buttons_ != nullptr)
      for (int i = 0; i < edit_buttons_->Count(); ++i)
        if (edit_buttons_->Items(i)->DropdownMenu() == menu) edit_buttons_->Items(i)->SetDropdownMenu(nullptr);
  }
  if (AComponent == mru_list_box_) mru_list_box_ = nullptr;
  // The pair controls go with the editor's children, before the editor.
  std::erase_if(pairs_, [&](const ButtonPair& P) { return P.Button == AComponent || P.Divider == AComponent; });
  if (holder_ == AComponent) {
    holder_ = nullptr;
    holder_intf_ = nullptr;
    hosted_ = false;
  }
}

// ---------------------------------------------------------------------------
// Showing and writing the value

String TCustomDBEditEh::ValueToText(const Variant& V) {
  if (VarIsArray(V)) return String();
  try {
    return VarToStr(V);
  } catch (const Exception&) {
    return String();
  }
}

void TCustomDBEditEh::DataChanged() {
  TField* f = Field();
  if (f != nullptr) {
    if (f->Alignment() != alignment_ && !assigned_.Contains(aveAlignment)) Invalidate();
    if (!assigned_.Contains(aveEditMask) && TCustomMaskEdit::EditMask() != f->EditMask())
      TCustomMaskEdit::SetEditMask(f->EditMask());
    // A wide-string field's Size counts characters, as MaxLength does.
    if (!IsDesigning() && (f->DataType() == ftString || f->DataType() == ftWideString) && MaxLength() == 0)
      SetMaxLength(f->Size());
    if (focused_ && data_link_->CanModify()) {
      InternalSetText(dynamic_cast<TMemoField*>(f) != nullptr ? f->AsString() : f->Text());
      UpdateControlReadOnly();
      SetModified(false);
      return;
    }
  }
  String text;
  if (f != nullptr) {
    text = dynamic_cast<TMemoField*>(f) != nullptr ? f->AsString() : f->DisplayText();
  } else {
    if (DataIndependent()) text = ValueToText(data_link_->Value());
    if (!assigned_.Contains(aveEditMask) && !TCustomMaskEdit::EditMask().empty()) TCustomMaskEdit::SetEditMask("");
  }
  SetEditText(text);
  UpdateControlReadOnly();
  SetModified(false);
}

void TCustomDBEditEh::InternalSetText(const String& AText) { TCustomMaskEdit::SetText(AText); }

void TCustomDBEditEh::InternalSetValue(const Variant& AValue) { InternalSetText(ValueToText(AValue)); }

// A linked editor edits its dataset first; one that names a field but has
// no data source has no dataset to edit and only takes the value.
void TCustomDBEditEh::SetByCode(const std::function<void()>& Apply) {
  if (IsDesigning() && !DataIndependent()) return;
  data_link_->EditDataSet();
  Apply();
  if (!in_update_data_) UpdateData(this);
}

void TCustomDBEditEh::SetText(const String& Value) {
  SetByCode([&] { InternalSetText(Value); });
}

void TCustomDBEditEh::SetVarValue(const Variant& Value) {
  SetByCode([&] { InternalSetValue(Value); });
}

void TCustomDBEditEh::UpdateData(TObject*) {
  if (focused_) ValidateEdit();
  bool handled = false;
  WithFlagSet(in_update_data_, [&] { on_update_data_(this, handled); });
  if (!handled) UpdateDataLinkValue();
  SetModified(false);
  if (mru_list_->AutoAdd() && mru_list_->Active() && Showing()) mru_list_->Add(Text());
}

void TCustomDBEditEh::UpdateDataLinkValue() {
  if (DataIndependent()) data_link_->SetText(EditText());
  else data_link_->SetText(Text());
}

void TCustomDBEditEh::Change() {
  data_link_->SetModified();
  text_changed_ = true;
  TCustomMaskEdit::Change();
  UpdateImageIndex();
}

bool TCustomDBEditEh::EditCanModify() { return data_link_->Edit(); }

void TCustomDBEditEh::Reset() {
  data_link_->Reset();
  SelectAll();
}

void TCustomDBEditEh::EditingChange(TObject*) { UpdateControlReadOnly(); }

void TCustomDBEditEh::UpdateControlReadOnly() {
  bool ro = read_only_ || (!data_link_->Editing() && !on_update_data_);
  if (!ro && hosted_ && holder_intf_ != nullptr && !holder_intf_->InplaceEditCanModify(this)) ro = true;
  TCustomEdit::SetReadOnly(ro);
}

void TCustomDBEditEh::UpdateImageIndex() {
  if (edit_image_ == nullptr || !edit_image_->Visible() || edit_image_->Images() == nullptr) return;
  int index = DefaultImageIndex();
  const Variant v = GetVariantValue();
  switch (VarType(v)) {
    case varSmallint:
    case varInteger:
    case varSingle:
    case varDouble:
    case varCurrency:
      index = static_cast<int>(std::lround(v.AsDouble()));
      break;
    default:
      break;
  }
  on_get_image_index_(this, index);
  edit_image_->SetImageIndex(index);
}

bool TCustomDBEditEh::DrawRequiredState() {
  bool draw = false;
  if (highlight_required_ && data_link_->Active() && data_link_->DataSet() != nullptr &&
      data_link_->DataSet()->State() == dsInsert) {
    TField* f = Field();
    draw = f != nullptr && f->Required() && f->IsNull();
  }
  on_check_draw_required_(this, draw);
  return draw;
}

// ---------------------------------------------------------------------------
// Focus

void TCustomDBEditEh::SetFocused(bool Value) {
  if (focused_ == Value) return;
  focused_ = Value;
  if (Alignment() != taLeftJustify && !IsMasked()) Invalidate();
  data_link_->Reset();
}

void TCustomDBEditEh::DoEnter() {
  SetFocused(true);
  TCustomMaskEdit::DoEnter();
  UpdateBorderActive();
}

// Leaving writes the value back; when the record refuses it the editor keeps
// the focus and shows what was typed selected.
void TCustomDBEditEh::DoExit() {
  TCustomMaskEdit::DoExit();
  if (IsDestroying()) return;
  try {
    data_link_->UpdateRecord();
  } catch (...) {
    SelectAll();
    if (CanFocus()) SetFocus();
    throw;
  }
  SetFocused(false);
  CheckCursor();
  UpdateBorderActive();
}

void TCustomDBEditEh::SetFocus() {
  if (hosted_) {
    if (Showing()) TCustomMaskEdit::SetFocus();
    return;
  }
  TCustomMaskEdit::SetFocus();
}

// ---------------------------------------------------------------------------
// Keys

void TCustomDBEditEh::KeyDown(Word& Key, TShiftState Shift) {
  if (hosted_ && holder_intf_ != nullptr) holder_intf_->InplaceEditKeyDown(this, Key, Shift);
  if (Key == 0) return;
  TCustomMaskEdit::KeyDown(Key, Shift);
  if (Key == 0) return;
  const TShortCut sc = ShortCut(Key, Shift);
  auto operate = [&](int Pair) {
    TEditButtonControlEh* control = pairs_.at(static_cast<size_t>(Pair)).Button;
    bool autoRepeat = false;
    control->EditButtonDown(false, autoRepeat);
    control->Click();
    Key = 0;
  };
  if (sc != 0 && !pairs_.empty()) {
    if (edit_button_->ShortCut() == sc && edit_button_->Visible()) {
      operate(0);
      return;
    }
    for (int i = 0; i < edit_buttons_->Count() && i + 1 < static_cast<int>(pairs_.size()); ++i) {
      if (edit_buttons_->Items(i)->ShortCut() == sc && edit_buttons_->Items(i)->Visible()) {
        operate(i + 1);
        return;
      }
    }
  }
  if (Key == 'A' && Shift == TShiftState{ssCtrl}) {
    SelectAll();
  } else if ((Key == VK_DELETE || (Key == VK_INSERT && Shift.Contains(ssShift))) && !read_only_) {
    data_link_->Edit();
  }
}

void TCustomDBEditEh::KeyPress(WideChar& Key) {
  if (hosted_ && holder_intf_ != nullptr) holder_intf_->InplaceEditKeyPress(this, Key);
  if (Key == 0) return;
  TCustomMaskEdit::KeyPress(Key);
  if (Key == 0) return;
  if (!DataIndependent() && Field() != nullptr && Key >= 32 && !Field()->IsValidChar(Key)) {
    MessageBeep(0);
    Key = 0;
    return;
  }
  constexpr WideChar kBack = 8, kCtrlV = 22, kCtrlX = 24, kEscape = 27;
  if (Key == kEscape) {
    data_link_->Reset();
    SelectAll();
    Key = 0;
    return;
  }
  if ((Key == kBack || Key == kCtrlV || Key == kCtrlX || Key >= 32) && !read_only_) data_link_->Edit();
}

void TCustomDBEditEh::KeyUp(Word& Key, TShiftState Shift) {
  if (hosted_ && holder_intf_ != nullptr) holder_intf_->InplaceEditKeyUp(this, Key, Shift);
  if (Key == 0) return;
  TCustomMaskEdit::KeyUp(Key, Shift);
}

bool TCustomDBEditEh::ExecuteAction(TBasicAction* Action) {
  return TCustomMaskEdit::ExecuteAction(Action) || data_link_->ExecuteAction(Action);
}

bool TCustomDBEditEh::UpdateAction(TBasicAction* Action) {
  return TCustomMaskEdit::UpdateAction(Action) || data_link_->UpdateAction(Action);
}

// ---------------------------------------------------------------------------
// Hosting in a grid

void TCustomDBEditEh::SetInplaceEditHolder(TWinControl* Holder) {
  if (Holder == nullptr) {
    holder_ = nullptr;
    holder_intf_ = nullptr;
    hosted_ = false;
    UpdateControlReadOnly();
    return;
  }
  auto* intf = dynamic_cast<IInplaceEditHolderEh*>(Holder);
  if (intf == nullptr) throw Exception("InplaceEditHolder have to support IInplaceEditHolderEh interface");
  holder_ = Holder;
  holder_intf_ = intf;
  hosted_ = true;
  Holder->FreeNotification(this);
  UpdateControlReadOnly();
}

void TCustomDBEditEh::SetEditorBounds(const TRect& R) {
  if (R.Width() <= 0 || R.Height() <= 0) {
    if (!HandleAllocated()) return;
    const bool hadFocus = Focused();
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE);
    TControl::SetVisible(false);
    if (hadFocus && holder_ != nullptr && holder_->CanFocus()) holder_->SetFocus();
    return;
  }
  HandleNeeded();
  Invalidate();
  const bool wasHidden = !TControl::Visible();
  if (holder_ != nullptr) Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(holder_));
  SetBounds(R.Left, R.Top, R.Width(), R.Height());
  TControl::SetVisible(true);
  if (wasHidden) Repaint();
  if (holder_ != nullptr && holder_->Focused()) SetFocus();
}

// ---------------------------------------------------------------------------
// Messages

void TCustomDBEditEh::WndProc(TMessage& Message) {
  if (hosted_ && holder_intf_ != nullptr) {
    holder_intf_->InplaceEditWndProc(this, Message);
    if (Message.Result != 0) return;
    if (Message.Msg == WM_SETFOCUS) {
      TCustomForm* form = GetParentForm(this);
      if (form != nullptr && !form->SetFocusedControl(holder_)) return;
    } else if (Message.Msg == WM_LBUTTONDOWN) {
      TPoint pos{};
      int32_t time = 0;
      holder_intf_->GetMouseDownInfo(pos, time);
      const TPoint here = ClientToScreen(TPoint{static_cast<int16_t>(Message.LParam & 0xFFFF),
                                               static_cast<int16_t>((Message.LParam >> 16) & 0xFFFF)});
      if (time != 0 && IsDoubleClickCandidate(pos, here, GetMessageTime() - time)) Message.Msg = WM_LBUTTONDBLCLK;
    }
  }
  if (mru_list_->DroppedDown() && MRUListMessage(Message)) return;
  text_changed_ = false;
  TCustomMaskEdit::WndProc(Message);
  if (text_changed_) {
    text_changed_ = false;
    MRUTextChanged();
  }
}

void TCustomDBEditEh::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_GETDATALINK:
      Message.Result = reinterpret_cast<LRESULT>(data_link_.get());
      return;
    case CM_EDITIMAGECHANGEDEH:
      RecreateWnd();
      AdjustHeight();
      UpdateEditButtonControlList();
      return;
    case CM_WANTSPECIALKEY:
      TCustomMaskEdit::Dispatch(Message);
      if (Message.WParam == VK_ESCAPE && Modified()) Message.Result = 1;
      return;
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_HASSETSEL | DLGC_WANTCHARS;
      if (want_tabs_) code |= DLGC_WANTTAB;
      if (want_returns_) code |= DLGC_WANTALLKEYS;
      if (hosted_ && holder_ != nullptr && (holder_->Perform(WM_GETDLGCODE) & DLGC_WANTTAB)) code |= DLGC_WANTTAB;
      Message.Result = code;
      return;
    }
    case WM_LBUTTONDOWN:
      TCustomMaskEdit::Dispatch(Message);
      if (MouseCapture() && !Focused()) SetMouseCapture(false);
      return;
    case WM_PASTE:
    case WM_CUT:
    case WM_UNDO:
      if (!read_only_) data_link_->Edit();
      TCustomMaskEdit::Dispatch(Message);
      return;
    case WM_SIZE:
      TCustomMaskEdit::Dispatch(Message);
      UpdateEditButtonControlList();
      return;
    case CM_MOUSEENTER:
      mouse_over_ = true;
      UpdateBorderActive();
      TCustomMaskEdit::Dispatch(Message);
      return;
    case CM_MOUSELEAVE:
      mouse_over_ = false;
      UpdateBorderActive();
      TCustomMaskEdit::Dispatch(Message);
      return;
    case CM_COLORCHANGED:
    case CM_ENABLEDCHANGED:
      TCustomMaskEdit::Dispatch(Message);
      UpdateEditButtonControlsState();
      return;
    case CM_RECREATEWND: {
      const bool wasFocused = focused_;
      TCustomMaskEdit::Dispatch(Message);
      if (wasFocused) UpdateBorderActive();
      return;
    }
    default:
      TCustomMaskEdit::Dispatch(Message);
  }
}

// Enter and Tab reach the edit box only when wanted; a line feed never.
void TCustomDBEditEh::DefaultHandler(TMessage& Message) {
  if (Message.Msg == WM_CHAR) {
    const WPARAM ch = Message.WParam;
    if ((ch == VK_RETURN && !want_returns_) || (ch == VK_TAB && !want_tabs_) || ch == 10) Message.WParam = 0;
  }
  TCustomMaskEdit::DefaultHandler(Message);
}

void TCustomDBEditEh::FilterMRUItem(const String& Item, bool& Accept) {
  const String text = Text();
  if (mru_list_->CaseSensitive()) {
    Accept = Item.compare(0, text.size(), text) == 0;
  } else {
    const std::u32string head = Utf8ToUtf32(Item).substr(0, Utf8ToUtf32(text).size());
    Accept = AnsiSameText(Utf32ToUtf8(head), text);
  }
  mru_list_->OnFilterItem()(this, Accept);
}

// ---------------------------------------------------------------------------
// The unit

namespace {

void InitDBCtrlsEh() {
  RegisterClass<TEditImageEh, TPersistent>("TEditImageEh")
      .Prop("ImageIndex", &TEditImageEh::ImageIndex, &TEditImageEh::SetImageIndex, -1)
      .Prop("Images", &TEditImageEh::Images, &TEditImageEh::SetImages)
      .Prop("UseImageHeight", &TEditImageEh::UseImageHeight, &TEditImageEh::SetUseImageHeight, true)
      .Prop("Visible", &TEditImageEh::Visible, &TEditImageEh::SetVisible, false)
      .Prop("Width", &TEditImageEh::Width, &TEditImageEh::SetWidth, 0);
  RegisterClass<TCustomDBEditEh, TCustomMaskEdit>("TCustomDBEditEh");
  auto edit = RegisterClass<TDBEditEh, TCustomDBEditEh>("TDBEditEh");
  PublishDBEditEhProps(edit);
  RegisterDBComboBoxEhClasses();
  RegisterClass<TCustomDBCheckBoxEh, TButtonControl>("TCustomDBCheckBoxEh");
  RegisterClass<TDBCheckBoxEh, TCustomDBCheckBoxEh>("TDBCheckBoxEh")
      .Prop("Alignment", &TCustomDBCheckBoxEh::Alignment, &TCustomDBCheckBoxEh::SetAlignment, taRightJustify)
      .Prop("AllowGrayed", &TCustomDBCheckBoxEh::AllowGrayed, &TCustomDBCheckBoxEh::SetAllowGrayed, false)
      .Prop("AlwaysShowBorder", &TCustomDBCheckBoxEh::AlwaysShowBorder, &TCustomDBCheckBoxEh::SetAlwaysShowBorder,
            false)
      .Prop("Caption", &TControl::Caption, &TControl::SetCaption)
      .Prop("Checked", &TCustomDBCheckBoxEh::Checked, &TCustomDBCheckBoxEh::SetChecked, false)
      .Prop("DataField", &TCustomDBCheckBoxEh::DataField, &TCustomDBCheckBoxEh::SetDataField)
      .Prop("DataSource", &TCustomDBCheckBoxEh::DataSource, &TCustomDBCheckBoxEh::SetDataSource)
      .Prop("Flat", &TCustomDBCheckBoxEh::Flat, &TCustomDBCheckBoxEh::SetFlat, false)
      .Prop("ReadOnly", &TCustomDBCheckBoxEh::ReadOnly, &TCustomDBCheckBoxEh::SetReadOnly, false)
      .Prop("State", &TCustomDBCheckBoxEh::State, &TCustomDBCheckBoxEh::SetState)
      .Stored(&TCustomDBCheckBoxEh::IsStateStored)
      .Prop("ValueChecked", &TCustomDBCheckBoxEh::ValueChecked, &TCustomDBCheckBoxEh::SetValueChecked)
      .Prop("ValueUnchecked", &TCustomDBCheckBoxEh::ValueUnchecked, &TCustomDBCheckBoxEh::SetValueUnchecked);
}

constexpr const TUnit* kUses[] = {&unit_ToolCtrlsEh, &unit_Mask};

}  // namespace

constinit const TUnit unit_DBCtrlsEh("DBCtrlsEh", kUses, InitDBCtrlsEh, nullptr);
