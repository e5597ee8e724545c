// The DB unit's start-up: its classes and published properties in the class
// registry, so that form resources create fields and data sources.
#include "platform/db/DB.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

namespace {

void RegisterDataSets() {
  RegisterClass<TDataSet, TComponent>("TDataSet")
      .Prop("Active", &TDataSet::Active, &TDataSet::SetActive, false)
      .Prop("AutoCalcFields", &TDataSet::AutoCalcFields, &TDataSet::SetAutoCalcFields, true)
      .Prop("Filter", &TDataSet::Filter, &TDataSet::SetFilter)
      .Prop("Filtered", &TDataSet::Filtered, &TDataSet::SetFiltered, false)
      .Prop("FilterOptions", &TDataSet::FilterOptions, &TDataSet::SetFilterOptions, TFilterOptions{})
      .Event("BeforeOpen", &TDataSet::BeforeOpen, &TDataSet::SetBeforeOpen)
      .Event("AfterOpen", &TDataSet::AfterOpen, &TDataSet::SetAfterOpen)
      .Event("BeforeClose", &TDataSet::BeforeClose, &TDataSet::SetBeforeClose)
      .Event("AfterClose", &TDataSet::AfterClose, &TDataSet::SetAfterClose)
      .Event("BeforeInsert", &TDataSet::BeforeInsert, &TDataSet::SetBeforeInsert)
      .Event("AfterInsert", &TDataSet::AfterInsert, &TDataSet::SetAfterInsert)
      .Event("BeforeEdit", &TDataSet::BeforeEdit, &TDataSet::SetBeforeEdit)
      .Event("AfterEdit", &TDataSet::AfterEdit, &TDataSet::SetAfterEdit)
      .Event("BeforePost", &TDataSet::BeforePost, &TDataSet::SetBeforePost)
      .Event("AfterPost", &TDataSet::AfterPost, &TDataSet::SetAfterPost)
      .Event("BeforeCancel", &TDataSet::BeforeCancel, &TDataSet::SetBeforeCancel)
      .Event("AfterCancel", &TDataSet::AfterCancel, &TDataSet::SetAfterCancel)
      .Event("BeforeDelete", &TDataSet::BeforeDelete, &TDataSet::SetBeforeDelete)
      .Event("AfterDelete", &TDataSet::AfterDelete, &TDataSet::SetAfterDelete)
      .Event("BeforeScroll", &TDataSet::BeforeScroll, &TDataSet::SetBeforeScroll)
      .Event("AfterScroll", &TDataSet::AfterScroll, &TDataSet::SetAfterScroll)
      .Event("BeforeRefresh", &TDataSet::BeforeRefresh, &TDataSet::SetBeforeRefresh)
      .Event("AfterRefresh", &TDataSet::AfterRefresh, &TDataSet::SetAfterRefresh)
      .Event("OnCalcFields", &TDataSet::OnCalcFields, &TDataSet::SetOnCalcFields)
      .Event("OnDeleteError", &TDataSet::OnDeleteError, &TDataSet::SetOnDeleteError)
      .Event("OnEditError", &TDataSet::OnEditError, &TDataSet::SetOnEditError)
      .Event("OnFilterRecord", &TDataSet::OnFilterRecord, &TDataSet::SetOnFilterRecord)
      .Event("OnNewRecord", &TDataSet::OnNewRecord, &TDataSet::SetOnNewRecord)
      .Event("OnPostError", &TDataSet::OnPostError, &TDataSet::SetOnPostError);

  RegisterClass<TWideDataSet, TDataSet>("TWideDataSet");

  RegisterClass<TDataSource, TComponent>("TDataSource")
      .Prop("AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit, true)
      .Prop("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
      .Prop("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled, true)
      .Event("OnStateChange", &TDataSource::OnStateChange, &TDataSource::SetOnStateChange)
      .Event("OnDataChange", &TDataSource::OnDataChange, &TDataSource::SetOnDataChange)
      .Event("OnUpdateData", &TDataSource::OnUpdateData, &TDataSource::SetOnUpdateData);
}

void RegisterFields() {
  RegisterClass<TField, TComponent>("TField")
      .Prop("Alignment", &TField::Alignment, &TField::SetAlignment, taLeftJustify)
      .Prop("DefaultExpression", &TField::DefaultExpression, &TField::SetDefaultExpression)
      .Prop("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel)
      .Stored(&TField::IsDisplayLabelStored)
      .Prop("DisplayWidth", &TField::DisplayWidth, &TField::SetDisplayWidth)
      .Stored(&TField::IsDisplayWidthStored)
      .Prop("FieldKind", &TField::FieldKind, &TField::SetFieldKind, fkData)
      .Prop("FieldName", &TField::FieldName, &TField::SetFieldName)
      .Prop("KeyFields", &TField::KeyFields, &TField::SetKeyFields)
      .Prop("LookupCache", &TField::LookupCache, &TField::SetLookupCache, false)
      .Prop("LookupDataSet", &TField::LookupDataSet, &TField::SetLookupDataSet)
      .Prop("LookupKeyFields", &TField::LookupKeyFields, &TField::SetLookupKeyFields)
      .Prop("LookupResultField", &TField::LookupResultField, &TField::SetLookupResultField)
      .Prop("Origin", &TField::Origin, &TField::SetOrigin)
      .Prop("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly, false)
      .Prop("Required", &TField::Required, &TField::SetRequired, false)
      .Prop("Visible", &TField::Visible, &TField::SetVisible, true)
      .Event("OnChange", &TField::OnChange, &TField::SetOnChange)
      .Event("OnGetText", &TField::OnGetText, &TField::SetOnGetText)
      .Event("OnSetText", &TField::OnSetText, &TField::SetOnSetText)
      .Event("OnValidate", &TField::OnValidate, &TField::SetOnValidate);

  RegisterClass<TStringField, TField>("TStringField")
      .Prop("EditMask", &TField::EditMask, &TField::SetEditMask)
      .Prop("FixedChar", &TStringField::FixedChar, &TStringField::SetFixedChar, false)
      .Prop("Size", &TField::Size, &TField::SetSize, 20)
      .Prop("Transliterate", &TStringField::Transliterate, &TStringField::SetTransliterate, true);
  RegisterClass<TWideStringField, TStringField>("TWideStringField");
  RegisterClass<TGuidField, TStringField>("TGuidField");

  RegisterClass<TNumericField, TField>("TNumericField")
      .Prop("DisplayFormat", &TNumericField::DisplayFormat, &TNumericField::SetDisplayFormat)
      .Prop("EditFormat", &TNumericField::EditFormat, &TNumericField::SetEditFormat);
  RegisterClass<TIntegerField, TNumericField>("TIntegerField")
      .Prop("MaxValue", &TIntegerField::MaxValue, &TIntegerField::SetMaxValue, 0)
      .Prop("MinValue", &TIntegerField::MinValue, &TIntegerField::SetMinValue, 0);
  RegisterClass<TSmallintField, TIntegerField>("TSmallintField");
  RegisterClass<TWordField, TIntegerField>("TWordField");
  RegisterClass<TAutoIncField, TIntegerField>("TAutoIncField");
  RegisterClass<TLargeintField, TNumericField>("TLargeintField")
      .Prop("MaxValue", &TLargeintField::MaxValue, &TLargeintField::SetMaxValue)
      .Prop("MinValue", &TLargeintField::MinValue, &TLargeintField::SetMinValue);
  RegisterClass<TFloatField, TNumericField>("TFloatField")
      .Prop("Currency", &TFloatField::Currency, &TFloatField::SetCurrency, false)
      .Prop("MaxValue", &TFloatField::MaxValue, &TFloatField::SetMaxValue)
      .Prop("MinValue", &TFloatField::MinValue, &TFloatField::SetMinValue)
      .Prop("Precision", &TFloatField::Precision, &TFloatField::SetPrecision, 15);
  RegisterClass<TCurrencyField, TFloatField>("TCurrencyField");
  RegisterClass<TBCDField, TNumericField>("TBCDField")
      .Prop("Currency", &TBCDField::Currency, &TBCDField::SetCurrency, false)
      .Prop("MaxValue", &TBCDField::MaxValue, &TBCDField::SetMaxValue)
      .Prop("MinValue", &TBCDField::MinValue, &TBCDField::SetMinValue)
      .Prop("Precision", &TBCDField::Precision, &TBCDField::SetPrecision, 0)
      .Prop("Size", &TField::Size, &TField::SetSize, 4);

  RegisterClass<TBooleanField, TField>("TBooleanField")
      .Prop("DisplayValues", &TBooleanField::DisplayValues, &TBooleanField::SetDisplayValues);
  RegisterClass<TDateTimeField, TField>("TDateTimeField")
      .Prop("DisplayFormat", &TDateTimeField::DisplayFormat, &TDateTimeField::SetDisplayFormat)
      .Prop("EditMask", &TField::EditMask, &TField::SetEditMask);
  RegisterClass<TDateField, TDateTimeField>("TDateField");
  RegisterClass<TTimeField, TDateTimeField>("TTimeField");

  RegisterClass<TBinaryField, TField>("TBinaryField").Prop("Size", &TField::Size, &TField::SetSize, 16);
  RegisterClass<TBytesField, TBinaryField>("TBytesField");
  RegisterClass<TVarBytesField, TBinaryField>("TVarBytesField");
  RegisterClass<TBlobField, TField>("TBlobField")
      .Prop("BlobType", &TBlobField::BlobType, &TBlobField::SetBlobType)
      .Prop("Size", &TField::Size, &TField::SetSize, 0);
  RegisterClass<TMemoField, TBlobField>("TMemoField")
      .Prop("Transliterate", &TBlobField::Transliterate, &TBlobField::SetTransliterate, true);
  RegisterClass<TGraphicField, TBlobField>("TGraphicField");
}

void InitDB() {
  RegisterDataSets();
  RegisterFields();
}

constexpr const TUnit* kUses[] = {&unit_TypInfo};

}  // namespace

constinit const TUnit unit_DB("DB", kUses, InitDB, nullptr);
