#include "platform/gui/DBCtrls.h"

#include "platform/db/DBConsts.h"
#include "platform/gui/Controls.h"

TField* GetFieldProperty(TDataSet* DataSet, TComponent* Control, const String& FieldName) {
  TField* field = DataSet->FindField(FieldName);
  if (field == nullptr) DatabaseErrorFmt(SFieldNotFound, {FieldName}, Control);
  return field;
}

// ---------------------------------------------------------------------------
// TFieldDataLink

TFieldDataLink::TFieldDataLink() { SetVisualControl(true); }

void TFieldDataLink::SetFieldName(const String& Value) {
  if (field_name_ == Value) return;
  field_name_ = Value;
  UpdateField();
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && field_ != nullptr && field_->CanModify(); }

bool TFieldDataLink::Edit() {
  if (CanModify()) TDataLink::Edit();
  return editing_;
}

void TFieldDataLink::UpdateField() {
  if (Active() && !field_name_.empty()) {
    field_ = nullptr;
    TDataSet* ds = DataSet();
    SetField(control_ != nullptr ? GetFieldProperty(ds, control_, field_name_) : ds->FieldByName(field_name_));
  } else {
    SetField(nullptr);
  }
}

void TFieldDataLink::SetField(TField* Value) {
  if (field_ == Value) return;
  field_ = Value;
  EditingChanged();
  RecordChanged(nullptr);
}

void TFieldDataLink::SetEditing(bool Value) {
  if (editing_ == Value) return;
  editing_ = Value;
  modified_ = false;
  on_editing_change_(this);
}

void TFieldDataLink::DataEvent(TDataEvent Event, NativeInt Info) {
  TDataLink::DataEvent(Event, Info);
  // A dataset closed (or opened) while its controls are disabled: its
  // fields may be gone before the link hears the state change.
  if (Event == deDisabledStateChange) {
    if (Info != 0) UpdateField();
    else field_ = nullptr;
  }
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  on_active_change_(this);
}

void TFieldDataLink::EditingChanged() { SetEditing(TDataLink::Editing() && CanModify()); }

void TFieldDataLink::FocusControl(TFieldRef Field) {
  if (*Field == nullptr || *Field != field_) return;
  auto* control = dynamic_cast<TWinControl*>(control_);
  if (control == nullptr || !control->CanFocus()) return;
  *Field = nullptr;
  control->SetFocus();
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* Field) {
  if (Field != nullptr && Field != field_) return;
  on_data_change_(this);
  modified_ = false;
}

void TFieldDataLink::UpdateData() {
  if (!modified_) return;
  if (field_ != nullptr) on_update_data_(this);
  modified_ = false;
}
