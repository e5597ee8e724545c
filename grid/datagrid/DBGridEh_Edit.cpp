// TCustomDBGridEh: the edit text, mask and limit of the current cell, and the
// grid's side of the in-place editor.
#include "grid/datagrid/DBGridEh.h"
#include "grid/datagrid/DBGridEh_Internal.h"
#include "platform/rtl/SysUtils.h"

namespace {

bool IsStringField(const TField* F) {
  switch (F->DataType()) {
    case ftString: case ftFixedChar: case ftWideString: case ftFixedWideChar: return true;
    default: return false;
  }
}

}  // namespace

bool LookupQuietlyEh(TDataSet* DataSet, const String& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                     const String& ResultFields, Variant* Result, String* KeyText) {
  if (DataSet == nullptr || !DataSet->Active() || DataSet->State() != dsBrowse || DataSet->IsEmpty()) return false;
  if (VarIsNull(KeyValues) || VarIsEmpty(KeyValues)) return false;
  const TBookmark saved = DataSet->GetBookmark();
  DataSet->DisableControls();
  bool found = false;
  try {
    found = DataSet->Locate(KeyFields, KeyValues, Options);
    if (found && Result != nullptr && !ResultFields.empty()) *Result = DataSet->FieldValues(ResultFields);
    if (found && KeyText != nullptr) {
      std::vector<TField*> keys;
      DataSet->GetFieldList(keys, KeyFields);
      *KeyText = keys.empty() ? String() : keys.front()->Text();
    }
    if (found && !saved.empty()) DataSet->GotoBookmark(saved);
  } catch (...) {
    DataSet->EnableControls();
    throw;
  }
  DataSet->EnableControls();
  return found;
}

TDBGridInplaceEdit* TCustomDBGridEh::DBInplaceEditor() const {
  return dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
}

TInplaceEdit* TCustomDBGridEh::CreateEditor() { return new TDBGridInplaceEdit(this); }

String TCustomDBGridEh::GetEditText(int ACol, int /*ARow*/) {
  String text;
  Variant value;
  const int dc = RawToDataColumn(ACol);
  TColumnEh* c = dc >= 0 && dc < columns_->Count() ? columns_->Items(dc) : nullptr;
  const bool active = data_link_->Active();
  TField* f = c != nullptr ? c->Field() : nullptr;
  if (active && f != nullptr) {
    if (c->KeyList()->Count() > 0) {
      const int i = c->KeyList()->IndexOf(f->Text());
      if (i >= 0 && i < c->PickList()->Count()) text = c->PickList()->Strings(i);
    } else if (draw_memo_text_ && f->DataType() == ftMemo) {
      text = AdjustLineBreaks(f->AsString());
    } else {
      text = f->Text();
    }
    if (f->FieldKind() == fkLookup && !f->KeyFields().empty() && f->DataSet() != nullptr) {
      value = f->DataSet()->FieldValues(f->KeyFields());
      TSpecRowEh* spec = c->DropDownSpecRow();
      if (spec->Visible() &&
          (VarEqualsEh(value, spec->Value()) || (spec->ShowIfNotInKeyList() && !IsLookupKeyInList(c)))) {
        value = spec->Value();
        text = spec->GetCellText(0);
      }
    }
  }
  if (active && c != nullptr) {
    TColCellParamsEh params;
    params.Text = text;
    params.Font->Assign(Canvas()->Font());
    c->GetColCellParams(true, &params);
    text = params.Text;
  }
  edit_text_ = text;
  lookup_key_value_ = value;
  return text;
}

String TCustomDBGridEh::GetEditMask(int ACol, int /*ARow*/) {
  if (!data_link_->Active()) return String();
  const int dc = RawToDataColumn(ACol);
  TColumnEh* c = dc >= 0 && dc < columns_->Count() ? columns_->Items(dc) : nullptr;
  if (c == nullptr) return String();
  if (!c->EditMask().empty()) return c->EditMask();
  if (c->KeyList()->Count() > 0) return String();
  return c->Field() != nullptr ? c->Field()->EditMask() : String();
}

int TCustomDBGridEh::GetEditLimit() {
  TColumnEh* c = SelectedColumn();
  if (c != nullptr && c->KeyList()->Count() > 0) return 0;
  TField* f = SelectedField();
  // Size counts characters: the editor's MaxLength does too.
  return f != nullptr && IsStringField(f) ? f->Size() : 0;
}

bool TCustomDBGridEh::IsLookupKeyInList(TColumnEh* Column) {
  TField* f = Column != nullptr ? Column->Field() : nullptr;
  if (f == nullptr || f->FieldKind() != fkLookup || f->KeyFields().empty() || f->DataSet() == nullptr) return false;
  TDataSet* lds = Column->GetLookupDataSet();
  if (lds == nullptr || !lds->Active()) return false;
  const Variant key = f->DataSet()->FieldValues(f->KeyFields());
  if (VarIsNull(key)) return false;
  // The lookup dataset is being edited elsewhere: it cannot be searched
  // without posting, so the key counts as listed (the field's own text shows).
  if (lds->State() != dsBrowse) return true;
  return LookupQuietlyEh(lds, f->LookupKeyFields(), key, TLocateOptions{loCaseInsensitive}, String(), nullptr);
}

void TCustomDBGridEh::GetCellParams(TColumnEh* Column, TFont* AFont, TColor& Background, TGridDrawState State) {
  if (on_get_cell_params_) on_get_cell_params_(this, Column, AFont, Background, State);
}

void TCustomDBGridEh::SetEditText(int ACol, int ARow, const String& Value) {
  if (writing_edit_text_) return;
  const bool changed = Value != edit_text_;
  edit_text_ = Value;
  if (changed && data_link_->Active() && data_link_->Editing()) data_link_->Modified();
  // The editor hands its text back as it leaves its cell.
  if ((ACol != Col() || ARow != Row()) && data_link_->Active() && data_link_->IsModified()) {
    const int dc = RawToDataColumn(ACol);
    // Writing the field reports the record changed, which clears the mark.
    if (dc >= 0 && dc < columns_->Count()) WriteEditText(columns_->Items(dc), Value);
  }
}

// Minimal until the messages area lands: the edit text of the current cell
// goes to its field.
void TCustomDBGridEh::UpdateData() {
  TColumnEh* c = SelectedColumn();
  if (c == nullptr || c->Field() == nullptr) return;
  if (InplaceEditor() != nullptr && InplaceEditor()->Visible()) edit_text_ = InplaceEditor()->Text();
  WriteEditText(c, edit_text_);
}

void TCustomDBGridEh::WriteEditText(TColumnEh* Column, const String& Text) {
  TField* f = Column->Field();
  if (f == nullptr) return;
  writing_edit_text_ = true;
  try {
    if (f->FieldKind() == fkLookup && !f->KeyFields().empty()) {
      Column->UpdateData(Text, VarIsEmpty(lookup_key_value_) ? Null() : lookup_key_value_, false);
    } else if (Column->KeyList()->Count() > 0) {
      const int i = Column->PickList()->IndexOf(Text);
      if (i >= 0 && i < Column->KeyList()->Count()) Column->UpdateData(Column->KeyList()->Strings(i), Variant(), true);
      else if (Text.empty()) Column->UpdateData(Text, Null(), false);
      else Column->UpdateData(Text, Variant(Text), true);
    } else {
      Column->UpdateData(Text, Variant(Text), true);
    }
    if (Column->MRUList()->Active() && Column->MRUList()->AutoAdd()) Column->MRUList()->Add(Text);
  } catch (...) {
    writing_edit_text_ = false;
    throw;
  }
  writing_edit_text_ = false;
}
