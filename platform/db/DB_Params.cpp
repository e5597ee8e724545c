// Parameters.
#include "platform/db/DB.h"
#include "platform/db/DBConsts.h"
#include "platform/db/DB_Internal.h"

namespace {

// The variant type a parameter of the field type holds; varEmpty: any.
TVarType VarTypeOf(TFieldType Type) {
  switch (Type) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
    case ftMemo:
    case ftBlob:
    case ftGraphic:
    case ftFmtMemo:
      return varString;
    case ftWideString:
    case ftFixedWideChar:
    case ftWideMemo:
      return varOleStr;
    case ftSmallint:
      return varSmallint;
    case ftWord:
      return varWord;
    case ftInteger:
    case ftAutoInc:
      return varInteger;
    case ftLargeint:
      return varInt64;
    case ftBoolean:
      return varBoolean;
    case ftFloat:
      return varDouble;
    case ftCurrency:
    case ftBCD:
      return varCurrency;
    case ftDate:
    case ftTime:
    case ftDateTime:
      return varDate;
    default:
      return varEmpty;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TParam

TParam::TParam(TCollection* Collection) : TCollectionItem(Collection), value_(Null()) {}

TParam::TParam(TParams* AParams, TParamType AParamType) : TParam(AParams) { param_type_ = AParamType; }

TParams* TParam::Params() const { return dynamic_cast<TParams*>(Collection()); }

void TParam::Clear() { value_ = Null(); }

void TParam::SetDataType(TFieldType Value) {
  data_type_ = Value;
  TVarType vt = VarTypeOf(Value);
  if (IsNull() || vt == varEmpty) return;
  try {
    value_ = VarAsType(value_, vt);
  } catch (EVariantError&) {
    Clear();
  } catch (EConvertError&) {
    Clear();
  }
}

void TParam::SetValue(const Variant& Value) {
  bound_ = !VarIsClear(Value);
  if (data_type_ == ftUnknown) {
    switch (VarType(Value)) {
      case varSmallint:
      case varShortInt:
      case varByte:
        data_type_ = ftSmallint;
        break;
      case varWord:
      case varInteger:
        data_type_ = ftInteger;
        break;
      case varCurrency:
        data_type_ = ftBCD;
        break;
      case varLongWord:
      case varSingle:
      case varDouble:
        data_type_ = ftFloat;
        break;
      case varDate:
        data_type_ = ftDateTime;
        break;
      case varBoolean:
        data_type_ = ftBoolean;
        break;
      case varString:
        data_type_ = ftString;
        break;
      case varOleStr:
        data_type_ = ftWideString;
        break;
      case varInt64:
        data_type_ = ftLargeint;
        break;
      default:
        break;
    }
  }
  value_ = VarIsClear(Value) ? Null() : Value;
}

String TParam::AsString() const { return IsNull() ? String() : VarToStr(value_); }
Integer TParam::AsInteger() const { return IsNull() ? 0 : value_.AsInteger(); }
Int64 TParam::AsLargeInt() const { return IsNull() ? 0 : value_.AsInt64(); }
double TParam::AsFloat() const { return IsNull() ? 0 : value_.AsDouble(); }
::Currency TParam::AsCurrency() const { return IsNull() ? ::Currency() : value_.AsCurrency(); }
bool TParam::AsBoolean() const { return !IsNull() && value_.AsBoolean(); }
TDateTime TParam::AsDateTime() const { return IsNull() ? 0 : VarToDateTime(value_); }
WideString TParam::AsWideString() const { return IsNull() ? WideString() : VarToWideStr(value_); }

TBcd TParam::AsBCD() const {
  TBcd b;
  if (IsNull()) return NullBcd;
  if (!CurrToBCD(AsCurrency(), b)) throw EOverflow(Format(SFieldOutOfRange, {name_}));
  return b;
}

namespace {

void Put(TParam* P, TFieldType Type, const Variant& V) {
  P->SetDataType(Type);
  P->SetValue(V);
}

}  // namespace

void TParam::SetAsString(const String& Value) { Put(this, ftString, Value); }
void TParam::SetAsInteger(Integer Value) { Put(this, ftInteger, Value); }
void TParam::SetAsSmallInt(Integer Value) { Put(this, ftSmallint, Value); }
void TParam::SetAsWord(Integer Value) { Put(this, ftWord, Value); }
void TParam::SetAsLargeInt(Int64 Value) { Put(this, ftLargeint, static_cast<long long>(Value)); }
void TParam::SetAsFloat(double Value) { Put(this, ftFloat, Value); }
void TParam::SetAsCurrency(::Currency Value) { Put(this, ftCurrency, Value); }
void TParam::SetAsBoolean(bool Value) { Put(this, ftBoolean, Value); }
void TParam::SetAsDateTime(TDateTime Value) { Put(this, ftDateTime, VarFromDateTime(Value)); }
void TParam::SetAsDate(TDateTime Value) { Put(this, ftDate, VarFromDateTime(Value)); }
void TParam::SetAsTime(TDateTime Value) { Put(this, ftTime, VarFromDateTime(Value)); }
void TParam::SetAsMemo(const String& Value) { Put(this, ftMemo, Value); }
void TParam::SetAsBlob(const String& Value) { Put(this, ftBlob, Value); }
void TParam::SetAsWideString(const WideString& Value) { Put(this, ftWideString, Value); }

void TParam::SetAsBCD(const TBcd& Value) {
  ::Currency c;
  if (!BCDToCurr(Value, c)) throw EOverflow(Format(SFieldOutOfRange, {name_}));
  Put(this, ftBCD, c);
}

void TParam::AssignFieldValue(TField* Field, const Variant& Value) {
  if (Field == nullptr) return;
  auto* sf = dynamic_cast<TStringField*>(Field);
  if (Field->DataType() == ftString && sf != nullptr && sf->FixedChar()) data_type_ = ftFixedChar;
  else if (Field->DataType() == ftMemo && Field->Size() > 255) data_type_ = ftString;
  else data_type_ = Field->DataType();
  if (VarIsNull(Value)) Clear();
  else SetValue(Value);
  bound_ = true;
}

void TParam::AssignField(TField* Field) {
  if (Field == nullptr) return;
  AssignFieldValue(Field, Field->Value());
  name_ = Field->FieldName();
}

void TParam::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TParam*>(Source)) {
    name_ = p->name_;
    data_type_ = p->data_type_;
    param_type_ = p->param_type_;
    value_ = p->value_;
    bound_ = p->bound_;
    size_ = p->size_;
    precision_ = p->precision_;
    numeric_scale_ = p->numeric_scale_;
  } else if (auto* f = dynamic_cast<TField*>(Source)) {
    AssignField(f);
  } else {
    TCollectionItem::Assign(Source);
  }
}

int TParam::GetDataSize() const {
  switch (data_type_) {
    case ftString:
    case ftFixedChar:
    case ftMemo:
    case ftGuid:
      return static_cast<int>(AsString().size()) + 1;
    case ftWideString:
    case ftFixedWideChar:
      return (static_cast<int>(AsWideString().size()) + 1) * 2;
    case ftBytes:
    case ftVarBytes:
      return size_ > 0 ? size_ : static_cast<int>(AsString().size());
    case ftBlob:
    case ftGraphic:
    case ftFmtMemo:
      return static_cast<int>(AsString().size());
    default:
      return FieldDataSize(data_type_, 0);
  }
}

bool TParam::IsEqual(const TParam* Value) const {
  return Value != nullptr && Value->name_ == name_ && Value->data_type_ == data_type_ &&
         Value->param_type_ == param_type_ && Value->bound_ == bound_ && Value->IsNull() == IsNull() &&
         (IsNull() || db_internal::VarSameValue(Value->value_, value_));
}

// ---------------------------------------------------------------------------
// TParams

TParams::TParams(TPersistent* Owner) : TCollection(CollectionItemFactory<TParam>), owner_(Owner) {}

void TParams::AddParam(TParam* Value) { Value->SetCollection(this); }

void TParams::RemoveParam(TParam* Value) {
  if (Value->Collection() == this) Value->SetCollection(nullptr);
}

TParam* TParams::CreateParam(TFieldType FldType, const String& ParamName, TParamType ParamType) {
  auto* p = static_cast<TParam*>(Add());
  p->SetName(ParamName);
  p->SetDataType(FldType);
  p->SetParamType(ParamType);
  return p;
}

TParam* TParams::FindParam(const String& Value) const {
  for (int i = 0; i < Count(); ++i)
    if (db_internal::SameFieldName(Items(i)->Name(), Value)) return Items(i);
  return nullptr;
}

TParam* TParams::ParamByName(const String& Value) const {
  TParam* p = FindParam(Value);
  if (p == nullptr) DatabaseErrorFmt(SParameterNotFound, {Value}, dynamic_cast<TComponent*>(owner_));
  return p;
}

void TParams::GetParamList(std::vector<TParam*>& List, const String& ParamNames) const {
  size_t pos = 0;
  while (pos < ParamNames.size()) List.push_back(ParamByName(ExtractFieldName(ParamNames, pos)));
}

void TParams::AssignValues(TParams* Value) {
  for (int i = 0; i < Value->Count(); ++i) {
    TParam* p = FindParam(Value->Items(i)->Name());
    if (p != nullptr) p->Assign(Value->Items(i));
  }
}

bool TParams::IsEqual(TParams* Value) const {
  if (Value == nullptr || Value->Count() != Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (!Items(i)->IsEqual(Value->Items(i))) return false;
  return true;
}

Variant TParams::ParamValues(const String& ParamName) const {
  if (ParamName.find(';') == String::npos) return ParamByName(ParamName)->Value();
  std::vector<TParam*> list;
  GetParamList(list, ParamName);
  return db_internal::ValuesOf(list);
}

void TParams::SetParamValues(const String& ParamName, const Variant& Value) {
  if (ParamName.find(';') == String::npos) {
    ParamByName(ParamName)->SetValue(Value);
    return;
  }
  std::vector<TParam*> list;
  GetParamList(list, ParamName);
  db_internal::SetValuesOf(list, Value);
}
