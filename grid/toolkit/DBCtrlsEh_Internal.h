// What the files of DBCtrlsEh share among themselves.
#pragma once

#include "grid/toolkit/DBCtrlsEh.h"
#include "platform/rtl/TypInfo.h"

// What the editor and its descendants publish.
template <class T>
TClassBuilder<T>& PublishDBEditEhProps(TClassBuilder<T>& B) {
  return B
      .Prop("Alignment", &TCustomDBEditEh::Alignment, &TCustomDBEditEh::SetAlignment)
      .Stored(&TCustomDBEditEh::IsAlignmentStored)
      .Prop("AlwaysShowBorder", &TCustomDBEditEh::AlwaysShowBorder, &TCustomDBEditEh::SetAlwaysShowBorder, false)
      .Prop("AutoSelect", &TCustomMaskEdit::AutoSelect, &TCustomMaskEdit::SetAutoSelect, true)
      .Prop("AutoSize", &TCustomMaskEdit::AutoSize, &TCustomDBEditEh::SetAutoSize, true)
      .Prop("CharCase", &TCustomMaskEdit::CharCase, &TCustomMaskEdit::SetCharCase, ecNormal)
      .Prop("DataField", &TCustomDBEditEh::DataField, &TCustomDBEditEh::SetDataFieldProp)
      .Prop("DataSource", &TCustomDBEditEh::DataSource, &TCustomDBEditEh::SetDataSourceProp)
      .Object("EditButton", &TCustomDBEditEh::EditButton)
      .Object("EditButtons", &TCustomDBEditEh::EditButtons)
      .Object("EditImage", &TCustomDBEditEh::EditImage)
      .Prop("EditMask", &TCustomDBEditEh::EditMask, &TCustomDBEditEh::SetEditMask)
      .Stored(&TCustomDBEditEh::IsEditMaskStored)
      .Prop("Flat", &TCustomDBEditEh::Flat, &TCustomDBEditEh::SetFlat, false)
      .Prop("HighlightRequired", &TCustomDBEditEh::HighlightRequired, &TCustomDBEditEh::SetHighlightRequired, false)
      .Prop("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0)
      .Object("MRUList", &TCustomDBEditEh::MRUList)
      .Prop("ReadOnly", &TCustomDBEditEh::ReadOnly, &TCustomDBEditEh::SetReadOnly, false)
      .Prop("Text", &TCustomDBEditEh::Text, &TCustomDBEditEh::SetText)
      .Stored(&TCustomDBEditEh::IsTextStored)
      .Prop("WordWrap", &TCustomDBEditEh::WordWrap, &TCustomDBEditEh::SetWordWrap, false);
}

// The combo box's classes and properties (run by the unit's initialization).
void RegisterDBComboBoxEhClasses();

// Runs Body with Flag set and clears it afterwards, also when Body throws.
template <class F>
void WithFlagSet(bool& Flag, F&& Body) {
  Flag = true;
  try {
    Body();
  } catch (...) {
    Flag = false;
    throw;
  }
  Flag = false;
}
