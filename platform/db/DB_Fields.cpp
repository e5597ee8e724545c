// TField, TFields, field definitions and the base value conversions.
#include <cmath>
#include <cstring>

#include "platform/db/DB.h"
#include "platform/db/DBConsts.h"
#include "platform/db/DB_Internal.h"

using db_internal::TryFinally;

// ---------------------------------------------------------------------------
// Internal helpers

namespace db_internal {

TTimeStamp MSecsToTimeStamp(double MSecs) {
  TTimeStamp ts;
  double days = std::floor(MSecs / MSecsPerDay);
  ts.Date = static_cast<Integer>(days);
  ts.Time = static_cast<Integer>(MSecs - days * MSecsPerDay);
  return ts;
}

namespace {

void DateTimeToNative(TFieldType Type, TDateTime Value, void* Dest) {
  TTimeStamp ts = DateTimeToTimeStamp(Value);
  if (Type == ftDate) {
    std::memcpy(Dest, &ts.Date, 4);
  } else if (Type == ftTime) {
    std::memcpy(Dest, &ts.Time, 4);
  } else {
    double ms = TimeStampToMSecs(ts);
    std::memcpy(Dest, &ms, 8);
  }
}

// Stored values outside the calendar (a zero-filled buffer) read as 0.
TDateTime NativeToDateTime(TFieldType Type, const void* Source) {
  TTimeStamp ts;
  if (Type == ftDate) {
    std::memcpy(&ts.Date, Source, 4);
    ts.Time = 0;
  } else if (Type == ftTime) {
    std::memcpy(&ts.Time, Source, 4);
    ts.Date = DateDelta;
  } else {
    double ms;
    std::memcpy(&ms, Source, 8);
    if (!std::isfinite(ms)) return 0;
    ts = MSecsToTimeStamp(ms);
  }
  if (ts.Date <= 0 || ts.Time < 0 || ts.Time >= MSecsPerDay) return 0;
  try {
    return TimeStampToDateTime(ts);
  } catch (EConvertError&) {
    return 0;
  }
}

}  // namespace

void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) {
  switch (Field->DataType()) {
    case ftDate:
    case ftTime:
    case ftDateTime:
      if (ToNative) {
        TDateTime v;
        std::memcpy(&v, Source, sizeof v);
        DateTimeToNative(Field->DataType(), v, Dest);
      } else {
        TDateTime v = NativeToDateTime(Field->DataType(), Source);
        std::memcpy(Dest, &v, sizeof v);
      }
      break;
    case ftBCD:
      if (ToNative) {
        Currency c;
        std::memcpy(&c, Source, sizeof c);
        TBcd b;
        if (!CurrToBCD(c, b, 32, Field->Size())) throw EOverflow(Format(SFieldOutOfRange, {Field->DisplayName()}));
        std::memcpy(Dest, &b, sizeof b);
      } else {
        TBcd b;
        std::memcpy(&b, Source, sizeof b);
        Currency c;
        if (!BCDToCurr(b, c)) throw EOverflow(Format(SFieldOutOfRange, {Field->DisplayName()}));
        std::memcpy(Dest, &c, sizeof c);
      }
      break;
    case ftWideString: {
      size_t units = static_cast<size_t>(Field->DataSize()) / 2;
      if (units == 0) break;
      if (ToNative) {
        const auto& w = *static_cast<const WideString*>(Source);
        size_t n = std::min(w.size(), units - 1);
        std::memcpy(Dest, w.data(), n * 2);
        std::memset(static_cast<char*>(Dest) + n * 2, 0, 2);
      } else {
        const auto* p = static_cast<const char16_t*>(Source);
        size_t n = 0;
        while (n < units && p[n] != 0) ++n;
        static_cast<WideString*>(Dest)->assign(p, n);
      }
      break;
    }
    default:
      std::memcpy(Dest, Source, static_cast<size_t>(std::max(Field->DataSize(), 0)));
      break;
  }
}

bool VarSameValue(const Variant& A, const Variant& B) {
  if (VarIsArray(A) || VarIsArray(B)) {
    if (!VarIsArray(A) || !VarIsArray(B) || VarArrayDimCount(A) != 1 || VarArrayDimCount(B) != 1) return false;
    Integer la = VarArrayLowBound(A, 1), ha = VarArrayHighBound(A, 1);
    Integer lb = VarArrayLowBound(B, 1), hb = VarArrayHighBound(B, 1);
    if (ha - la != hb - lb) return false;
    for (Integer i = 0; i <= ha - la; ++i)
      if (!VarSameValue(VarArrayGet(A, la + i), VarArrayGet(B, lb + i))) return false;
    return true;
  }
  try {
    return A == B;
  } catch (EVariantError&) {
    return false;
  } catch (EConvertError&) {
    return false;
  }
}

}  // namespace db_internal

// ---------------------------------------------------------------------------
// TLookupList

void TLookupList::Add(const Variant& AKey, const Variant& AValue) { items_.emplace_back(AKey, AValue); }

Variant TLookupList::ValueOfKey(const Variant& AKey) const {
  if (VarIsNull(AKey) || VarIsClear(AKey)) return Null();
  for (const auto& item : items_)
    if (db_internal::VarSameValue(item.first, AKey)) return item.second;
  return Null();
}

// ---------------------------------------------------------------------------
// TFields

TFields::~TFields() {
  for (TField* f : list_) f->data_set_ = nullptr;
  // Fields still listed here belong to their owners; the list only forgets
  // them (a dataset clears its fields before it goes).
  list_.clear();
}

TField* TFields::Fields(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (%d)", {Index});
  return list_[static_cast<size_t>(Index)];
}

void TFields::Add(TField* Field) {
  list_.push_back(Field);
  Field->data_set_ = data_set_;
  Changed();
}

void TFields::Remove(TField* Field) {
  auto it = std::find(list_.begin(), list_.end(), Field);
  if (it == list_.end()) return;
  list_.erase(it);
  Field->data_set_ = nullptr;
  Changed();
}

void TFields::Clear() {
  while (!list_.empty()) {
    TField* f = list_.back();
    list_.pop_back();
    f->data_set_ = nullptr;
    delete f;
  }
  Changed();
}

int TFields::IndexOf(TField* Field) const {
  auto it = std::find(list_.begin(), list_.end(), Field);
  return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

TField* TFields::FindField(const String& FieldName) const {
  for (TField* f : list_)
    if (f->FieldName() == FieldName) return f;
  for (TField* f : list_)
    if (db_internal::SameFieldName(f->FieldName(), FieldName)) return f;
  return nullptr;
}

TField* TFields::FieldByName(const String& FieldName) const {
  TField* f = FindField(FieldName);
  if (f == nullptr) DatabaseErrorFmt(SFieldNotFound, {FieldName}, data_set_);
  return f;
}

TField* TFields::FieldByNumber(int FieldNo) const {
  for (TField* f : list_)
    if (f->FieldNo() == FieldNo) return f;
  return nullptr;
}

void TFields::CheckFieldName(const String& FieldName) const {
  if (FieldName.empty()) DatabaseError(SFieldNameMissing, data_set_);
  if (FindField(FieldName) != nullptr) DatabaseErrorFmt(SDuplicateFieldName, {FieldName}, data_set_);
}

void TFields::GetFieldNames(TStrings* List) const {
  List->BeginUpdate();
  TryFinally(
      [&] {
        List->Clear();
        for (TField* f : list_) List->Add(f->FieldName());
      },
      [&] { List->EndUpdate(); });
}

void TFields::SetFieldIndex(TField* Field, int Value) {
  int cur = IndexOf(Field);
  if (cur < 0) return;
  Value = std::clamp(Value, 0, Count() - 1);
  if (Value == cur) return;
  list_.erase(list_.begin() + cur);
  list_.insert(list_.begin() + Value, Field);
  Field->PropertyChanged(true);
  Changed();
}

void TFields::Changed() {
  if (data_set_ != nullptr && !data_set_->IsDestroying()) data_set_->DataEvent(deFieldListChange, 0);
  on_change_(this);
}

// ---------------------------------------------------------------------------
// TField

TField::TField(TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField() = default;

void TField::BeforeDestruction() {
  if (data_set_ != nullptr) {
    // Leave the list first: closing may free the dataset's default fields.
    TDataSet* ds = data_set_;
    ds->Fields()->Remove(this);
    try {
      ds->Close();
    } catch (...) {
      // A destructor cannot report it; the field goes either way.
    }
  }
  TComponent::BeforeDestruction();
}

void TField::SetDataSet(TDataSet* ADataSet) {
  if (ADataSet == data_set_) return;
  if (data_set_ != nullptr) data_set_->CheckInactive();
  if (ADataSet != nullptr) {
    ADataSet->CheckInactive();
    ADataSet->Fields()->CheckFieldName(field_name_);
  }
  if (data_set_ != nullptr) data_set_->Fields()->Remove(this);
  if (ADataSet != nullptr) ADataSet->Fields()->Add(this);
}

void TField::SetParentComponent(TComponent* Value) {
  auto* ds = dynamic_cast<TDataSet*>(Value);
  if (!IsLoading()) {
    SetDataSet(ds);
    return;
  }
  // While a form resource is read the name comes after the parent: join
  // the list now, the resource holds each name once.
  if (ds == data_set_) return;
  if (ds != nullptr) ds->CheckInactive();
  if (data_set_ != nullptr) data_set_->Fields()->Remove(this);
  if (ds != nullptr) ds->Fields()->Add(this);
}

TComponent* TField::GetParentComponent() const { return data_set_; }

void TField::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == lookup_data_set_) lookup_data_set_ = nullptr;
}

void TField::SetFieldName(const String& Value) {
  if (data_set_ != nullptr && !db_internal::SameFieldName(Value, field_name_))
    data_set_->Fields()->CheckFieldName(Value);
  field_name_ = Value;
  if (display_label_ == Value) display_label_.clear();
}

void TField::SetFieldKind(TFieldKind Value) {
  if (field_kind_ == Value) return;
  CheckInactive();
  field_kind_ = Value;
}

void TField::SetCalculated(bool Value) {
  if (Value) SetFieldKind(fkCalculated);
  else if (field_kind_ == fkCalculated) SetFieldKind(fkData);
}

void TField::SetLookup(bool Value) {
  if (Value) SetFieldKind(fkLookup);
  else if (field_kind_ == fkLookup) SetFieldKind(fkData);
}

int TField::Index() const { return data_set_ != nullptr ? data_set_->Fields()->IndexOf(const_cast<TField*>(this)) : -1; }

void TField::SetIndex(int Value) {
  if (data_set_ != nullptr) data_set_->Fields()->SetFieldIndex(this, Value);
}

void TField::SetFieldType(TFieldType Value) { data_type_ = Value; }

void TField::SetSize(int Value) {
  CheckInactive();
  CheckTypeSize(Value);
  size_ = Value;
}

void TField::CheckTypeSize(int Value) {
  if (Value != 0 && !IsBlob()) DatabaseError(SInvalidFieldSize);
}

void TField::CheckInactive() {
  if (data_set_ != nullptr) data_set_->CheckInactive();
}

void TField::PropertyChanged(bool LayoutAffected) {
  if (data_set_ != nullptr && data_set_->Active())
    data_set_->DataEvent(LayoutAffected ? deLayoutChange : deDataSetChange, 0);
}

void TField::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  PropertyChanged(false);
}

void TField::SetDisplayLabel(const String& Value) {
  String v = Value == field_name_ ? String() : Value;
  if (display_label_ == v) return;
  display_label_ = v;
  PropertyChanged(true);
}

void TField::SetDisplayWidth(int Value) {
  if (display_width_ == Value) return;
  display_width_ = Value;
  PropertyChanged(true);
}

void TField::SetEditMask(const String& Value) {
  edit_mask_ = Value;
  PropertyChanged(false);
}

void TField::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  PropertyChanged(true);
}

void TField::SetReadOnly(bool Value) {
  if (read_only_ == Value) return;
  read_only_ = Value;
  PropertyChanged(true);
}

bool TField::GetCanModify() {
  if (field_no_ <= 0 || data_set_ == nullptr) return false;
  if (data_set_->State() != dsSetKey) return !read_only_ && data_set_->CanModify();
  return IsIndexField();
}

bool TField::IsValidChar(WideChar InputChar) {
  if (InputChar < 128) return valid_chars_.Contains(static_cast<char>(InputChar));
  static constexpr CharSet kHigh = CharSet::Range(128, 255);
  return (kHigh - valid_chars_) == CharSet{};
}

bool TField::IsIndexField() { return data_set_ != nullptr && data_set_->GetIsIndexField(this); }

// --- Value access

bool TField::GetData(void* Buffer, bool NativeFormat) {
  if (data_set_ == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  if (validating_) {
    bool has_value = value_buffer_ != nullptr;
    if (has_value && Buffer != nullptr) {
      if (NativeFormat) std::memcpy(Buffer, value_buffer_, static_cast<size_t>(DataSize()));
      else data_set_->DataConvert(this, value_buffer_, Buffer, false);
    }
    return has_value;
  }
  return data_set_->GetFieldData(this, Buffer, NativeFormat);
}

void TField::SetData(const void* Buffer, bool NativeFormat) {
  if (data_set_ == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  data_set_->SetFieldData(this, Buffer, NativeFormat);
}

void TField::Validate(const void* Buffer) {
  if (!on_validate_.Assigned()) return;
  const void* saved_buffer = value_buffer_;
  bool saved_validating = validating_;
  value_buffer_ = Buffer;
  validating_ = true;
  TryFinally([&] { on_validate_(this); },
             [&] {
               value_buffer_ = saved_buffer;
               validating_ = saved_validating;
             });
}

void TField::Change() { on_change_(this); }

void TField::Clear() { SetData(nullptr); }

bool TField::GetIsNull() { return !GetData(nullptr); }

EDatabaseError TField::AccessError(const String& TypeName) {
  return EDatabaseError(Format(SFieldAccessError, {DisplayName(), TypeName}));
}

void TField::RangeError(double Value, double Min, double Max) {
  DatabaseErrorFmt(SFieldRangeError, {Value, DisplayName(), Min, Max});
}

bool TField::GetAsBoolean() { throw AccessError("Boolean"); }
Currency TField::GetAsCurrency() { return Currency::FromDouble(GetAsFloat()); }
TDateTime TField::GetAsDateTime() { throw AccessError("DateTime"); }
double TField::GetAsFloat() { throw AccessError("Float"); }
Integer TField::GetAsInteger() { throw AccessError("Integer"); }
Int64 TField::GetAsLargeInt() { throw AccessError("LargeInt"); }
String TField::GetAsString() { return GetClassDesc(); }
WideString TField::GetAsWideString() { return Utf8ToWide(GetAsString()); }
TBcd TField::GetAsBCD() { throw AccessError("BCD"); }
Variant TField::GetAsVariant() { throw AccessError("Variant"); }

void TField::SetAsBoolean(bool) { throw AccessError("Boolean"); }
void TField::SetAsCurrency(Currency Value) { SetAsFloat(Value.ToDouble()); }
void TField::SetAsDateTime(TDateTime) { throw AccessError("DateTime"); }
void TField::SetAsFloat(double) { throw AccessError("Float"); }
void TField::SetAsInteger(Integer) { throw AccessError("Integer"); }
void TField::SetAsLargeInt(Int64) { throw AccessError("LargeInt"); }
void TField::SetAsString(const String&) { throw AccessError("String"); }
void TField::SetAsWideString(const WideString& Value) { SetAsString(WideToUtf8(Value)); }
void TField::SetAsBCD(const TBcd&) { throw AccessError("BCD"); }
void TField::SetVarValue(const Variant&) { throw AccessError("Variant"); }

void TField::SetAsVariant(const Variant& Value) {
  if (VarIsNull(Value) || VarIsClear(Value)) Clear();
  else SetVarValue(Value);
}

Variant TField::OldValue() {
  if (data_set_ == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  return data_set_->GetStateFieldValue(dsOldValue, this);
}

Variant TField::NewValue() {
  if (data_set_ == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  return data_set_->GetStateFieldValue(dsNewValue, this);
}

void TField::SetNewValue(const Variant& Value) {
  if (data_set_ == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  data_set_->SetStateFieldValue(dsNewValue, this, Value);
}

Variant TField::CurValue() {
  if (data_set_ == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  return data_set_->GetStateFieldValue(dsCurValue, this);
}

void TField::GetText(String& Text, bool /*DisplayText*/) { Text = GetAsString(); }

void TField::SetTextValue(const String& Value) { SetAsString(Value); }

String TField::Text() {
  String text;
  if (on_get_text_.Assigned()) on_get_text_(this, text, false);
  else GetText(text, false);
  return text;
}

String TField::DisplayText() {
  String text;
  if (on_get_text_.Assigned()) on_get_text_(this, text, true);
  else GetText(text, true);
  return text;
}

void TField::SetText(const String& Value) {
  if (on_set_text_.Assigned()) on_set_text_(this, Value);
  else SetTextValue(Value);
}

String TField::GetClassDesc() {
  String s = ClassName();
  size_t start = !s.empty() && s[0] == 'T' ? 1 : 0;
  size_t len = s.size();
  if (len - start >= 5 && SameText(s.substr(len - 5), "Field")) len -= 5;
  String desc = "(" + s.substr(start, len - start) + ")";
  if (data_set_ != nullptr && !IsNull()) desc = AnsiUpperCase(desc);
  return desc;
}

void TField::FocusControl() {
  if (data_set_ == nullptr || !data_set_->Active()) return;
  TField* field = this;
  data_set_->DataEvent(deFocusControl, reinterpret_cast<NativeInt>(&field));
}

void TField::Assign(TPersistent* Source) {
  if (Source == nullptr) {
    Clear();
  } else if (auto* f = dynamic_cast<TField*>(Source)) {
    SetValue(f->Value());
  } else {
    TComponent::Assign(Source);
  }
}

// --- Lookup fields

void TField::SetLookupDataSet(TDataSet* Value) {
  CheckInactive();
  if (Value != nullptr && Value == data_set_) DatabaseError(SCircularDataLink, this);
  if (lookup_data_set_ != nullptr && lookup_data_set_ != Value) lookup_data_set_->RemoveFreeNotification(this);
  lookup_data_set_ = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TField::SetKeyFields(const String& Value) {
  CheckInactive();
  key_fields_ = Value;
}

void TField::SetLookupKeyFields(const String& Value) {
  CheckInactive();
  lookup_key_fields_ = Value;
}

void TField::SetLookupResultField(const String& Value) {
  CheckInactive();
  lookup_result_field_ = Value;
}

void TField::SetLookupCache(bool Value) {
  if (lookup_cache_ == Value) return;
  lookup_cache_ = Value;
  if (Value) lookup_list_ = std::make_unique<TLookupList>();
  else lookup_list_.reset();
}

void TField::ValidateLookupInfo(bool All) {
  if ((All && (lookup_data_set_ == nullptr || lookup_key_fields_.empty() || lookup_result_field_.empty())) ||
      key_fields_.empty())
    DatabaseErrorFmt(SLookupInfoError, {DisplayName()});
  std::vector<TField*> list;
  data_set_->GetFieldList(list, key_fields_);
  if (All) {
    lookup_data_set_->Open();
    list.clear();
    lookup_data_set_->GetFieldList(list, lookup_key_fields_);
    lookup_data_set_->FieldByName(lookup_result_field_);
  }
}

void TField::RefreshLookupList() {
  if (lookup_data_set_ == nullptr) {
    ValidateLookupInfo(false);
    return;
  }
  TDataSet* ds = lookup_data_set_;
  bool was_active = ds->Active();
  TryFinally(
      [&] {
        ValidateLookupInfo(true);
        if (!lookup_list_) lookup_list_ = std::make_unique<TLookupList>();
        ds->DisableControls();
        TryFinally(
            [&] {
              lookup_list_->Clear();
              ds->First();
              while (!ds->Eof()) {
                lookup_list_->Add(ds->FieldValues(lookup_key_fields_), ds->FieldValues(lookup_result_field_));
                ds->Next();
              }
            },
            [&] { ds->EnableControls(); });
      },
      [&] { ds->SetActive(was_active); });
}

void TField::Bind(bool Binding) {
  if (field_kind_ != fkLookup || !Binding) return;
  if (lookup_cache_) RefreshLookupList();
  else ValidateLookupInfo(true);
}

void TField::CalcLookupValue() {
  if (lookup_cache_ && lookup_list_) {
    SetValue(lookup_list_->ValueOfKey(data_set_->FieldValues(key_fields_)));
  } else if (lookup_data_set_ != nullptr && lookup_data_set_->Active()) {
    SetValue(lookup_data_set_->Lookup(lookup_key_fields_, data_set_->FieldValues(key_fields_), lookup_result_field_));
  }
}

// ---------------------------------------------------------------------------
// TFieldDef / TFieldDefs

TFieldDef::TFieldDef(TCollection* Collection) : TCollectionItem(Collection) {}

TDataSet* TFieldDef::DataSet() const {
  auto* defs = dynamic_cast<TFieldDefs*>(Collection());
  return defs != nullptr ? defs->DataSet() : nullptr;
}

void TFieldDef::SetName(const String& Value) {
  name_ = Value;
  Changed(false);
}

void TFieldDef::SetDataType(TFieldType Value) {
  data_type_ = Value;
  Changed(false);
}

void TFieldDef::SetSize(int Value) {
  size_ = Value;
  Changed(false);
}

void TFieldDef::SetPrecision(int Value) {
  precision_ = Value;
  Changed(false);
}

void TFieldDef::SetAttributes(TFieldAttributes Value) {
  attributes_ = Value;
  Changed(false);
}

void TFieldDef::SetRequired(bool Value) {
  TFieldAttributes a = attributes_;
  if (Value) a.Include(faRequired);
  else a.Exclude(faRequired);
  SetAttributes(a);
}

TFieldClass TFieldDef::FieldClass() const {
  TDataSet* ds = DataSet();
  return ds != nullptr ? ds->GetFieldClass(data_type_) : nullptr;
}

TField* TFieldDef::CreateField(TComponent* Owner, const String& FieldName) {
  TFieldClass cls = FieldClass();
  if (cls == nullptr) DatabaseErrorFmt(SUnknownFieldType, {name_});
  TField* field = cls->Create(Owner);
  try {
    field->SetSize(size_);
    field->SetFieldName(FieldName.empty() ? name_ : FieldName);
    field->SetRequired(attributes_.Contains(faRequired));
    field->SetReadOnly(attributes_.Contains(faReadonly));
    field->SetFieldType(data_type_);
    if (auto* bcd = dynamic_cast<TBCDField*>(field)) bcd->SetPrecision(precision_);
    else if (auto* fl = dynamic_cast<TFloatField*>(field); fl != nullptr && precision_ >= 2 && precision_ <= 15)
      fl->SetPrecision(precision_);
    if (internal_calc_) field->SetFieldKind(fkInternalCalc);
    field->SetDataSet(DataSet());
  } catch (...) {
    delete field;
    throw;
  }
  return field;
}

void TFieldDef::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TFieldDef*>(Source);
  if (src == nullptr) {
    TCollectionItem::Assign(Source);
    return;
  }
  name_ = src->name_;
  data_type_ = src->data_type_;
  size_ = src->size_;
  precision_ = src->precision_;
  field_no_ = src->field_no_;
  attributes_ = src->attributes_;
  internal_calc_ = src->internal_calc_;
  Changed(false);
}

TFieldDefs::TFieldDefs(TDataSet* AOwner)
    : TOwnedCollection(AOwner, CollectionItemFactory<TFieldDef>), data_set_(AOwner) {
  SetPropName("FieldDefs");
}

TFieldDef* TFieldDefs::AddFieldDef() { return static_cast<TFieldDef*>(TCollection::Add()); }

void TFieldDefs::Add(const String& Name, TFieldType DataType, int Size, bool Required) {
  if (Name.empty()) DatabaseError(SFieldNameMissing, data_set_);
  BeginUpdate();
  TryFinally(
      [&] {
        TFieldDef* def = AddFieldDef();
        try {
          def->SetName(Name);
          def->SetDataType(DataType);
          def->SetSize(Size);
          def->SetRequired(Required);
        } catch (...) {
          delete def;
          throw;
        }
      },
      [&] { EndUpdate(); });
}

int TFieldDefs::IndexOf(const String& Name) const {
  for (int i = 0; i < Count(); ++i)
    if (db_internal::SameFieldName(Items(i)->Name(), Name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(const String& Name) const {
  int i = IndexOf(Name);
  if (i < 0) DatabaseErrorFmt(SFieldNotFound, {Name}, data_set_);
  return Items(i);
}

void TFieldDefs::Update() {
  if (updated_ || data_set_ == nullptr) return;
  ++internal_update_;
  BeginUpdate();
  TryFinally([&] { data_set_->InitFieldDefs(); },
             [&] {
               EndUpdate();
               --internal_update_;
             });
  updated_ = true;
}

void TFieldDefs::Update(TCollectionItem* /*Item*/) {
  if (internal_update_ == 0) updated_ = false;
}
