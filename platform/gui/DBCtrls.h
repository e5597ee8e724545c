// What data-aware controls share: the field data link and the field lookup
// that names the control in its error. A control answers CM_GETDATALINK
// (Messages.h) with its data link.
//
// TFieldDataLink ties a control to one field of the dataset behind its data
// source. The field is looked up by FieldName whenever the link becomes
// active, the layout changes or the name changes (through GetFieldProperty
// when a Control is set, so that a missing field names the control; through
// FieldByName otherwise), and dropped when the link becomes inactive or the
// dataset is closed while its controls are disabled. Editing is true while
// the dataset edits and the field can be modified. The control marks its
// own changes with Modified; before the record is posted the link fires
// OnUpdateData (once, only when modified) so that the control writes its
// value to the field. A changed record (or a change of this field) fires
// OnDataChange and forgets the mark; Reset does the same on request.
// Events get the link as Sender. Text direction is always left to right
// here, so the link makes no right-to-left checks.
#pragma once

#include "platform/db/DB.h"
#include "platform/gui/Messages.h"

// Where a drop-down list lines up with its editor: their left edges, their
// right edges, or their centres.
RTL_ENUM(TDropDownAlign, daLeft, daRight, daCenter);

// The field of that name; raises EDatabaseError SFieldNotFound, prefixed
// with the control's name, when there is none.
TField* GetFieldProperty(TDataSet* DataSet, TComponent* Control, const String& FieldName);

class TFieldDataLink : public TDataLink {
 public:
  TFieldDataLink();

  TComponent* Control() const { return control_; }
  void SetControl(TComponent* Value) { control_ = Value; }
  const String& FieldName() const { return field_name_; }
  void SetFieldName(const String& Value);
  TField* Field() const { return field_; }
  // The dataset edits and the field can be modified.
  bool Editing() const { return editing_; }
  // Not read-only, with a field that can be modified.
  bool CanModify() const;

  // Puts the dataset in edit state (through the data source's AutoEdit)
  // when the field can be modified; returns Editing.
  bool Edit();
  // The control's value differs from the field.
  void Modified() { modified_ = true; }
  // Shows the field's value again (OnDataChange) and forgets Modified.
  void Reset() { RecordChanged(nullptr); }

  const TNotifyEvent& OnDataChange() const { return on_data_change_; }
  void SetOnDataChange(TNotifyEvent Value) { on_data_change_ = std::move(Value); }
  const TNotifyEvent& OnEditingChange() const { return on_editing_change_; }
  void SetOnEditingChange(TNotifyEvent Value) { on_editing_change_ = std::move(Value); }
  const TNotifyEvent& OnUpdateData() const { return on_update_data_; }
  void SetOnUpdateData(TNotifyEvent Value) { on_update_data_ = std::move(Value); }
  const TNotifyEvent& OnActiveChange() const { return on_active_change_; }
  void SetOnActiveChange(TNotifyEvent Value) { on_active_change_ = std::move(Value); }

  void DataEvent(TDataEvent Event, NativeInt Info) override;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  // Focuses the control (a windowed control that can take the focus) for a
  // request about its field, and consumes the request.
  void FocusControl(TFieldRef Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  void UpdateField();
  void SetField(TField* Value);
  void SetEditing(bool Value);

  TComponent* control_ = nullptr;
  String field_name_;
  TField* field_ = nullptr;
  bool editing_ = false;
  bool modified_ = false;
  TNotifyEvent on_data_change_, on_editing_change_, on_update_data_, on_active_change_;
};
