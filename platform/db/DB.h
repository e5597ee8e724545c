// The dataset layer: datasets and their record-buffer protocol, fields, field
// definitions, parameters, data sources and data links.
//
// Record-buffer protocol. A dataset keeps a window of record buffers (raw
// byte blocks laid out by the descendant: AllocRecordBuffer, GetRecordSize)
// that data links show: BufferCount buffers plus one spare, of which the first
// BufferRecordCount() hold records and ActiveRecord() is the current one. The
// window is filled through GetRecord(Buffer, gmCurrent|gmNext|gmPrior,
// DoCheck) against the descendant's own cursor, which SetCurrentRecord keeps
// on the buffer last read (InternalSetToRecord, or InternalFirst/InternalLast
// for buffers flagged bfBOF/bfEOF). Bookmarks are BookmarkSize bytes that the
// descendant copies in and out of buffers (GetBookmarkData/SetBookmarkData);
// outside the protocol they travel as byte strings (TBookmark).
//
// Bof/Eof: First and Last set Bof resp. Eof; MoveBy clears both when it moves
// and sets Bof or Eof when it runs into an end; an empty window is Bof and Eof.
//
// Calculated and lookup fields live in a calculated area of CalcFieldsSize
// bytes that the descendant places in its buffers: BindFields gives each such
// field an Offset in it, where one byte (1 = has a value) is followed by the
// field's DataSize bytes. GetCalcFields computes them (state dsCalcFields,
// lookup values first, then OnCalcFields) into CalcBuffer().
//
// Data events reach the data sources (and through them the data links) unless
// controls are disabled (DisableControls, or a temporary state); while they
// are, a state change is sent as deDisabledStateChange and EnableControls
// sends one deDataSetChange (deLayoutChange after a layout or state change).
//
// Temporary states (SetTempState: old and new values, filter tests) disable
// controls for their duration and leave a pending edit's Modified flag as it
// is.
//
// Editing errors: Edit, Post and Delete run their internal operation in a
// loop: an EDatabaseError goes to OnEditError/OnPostError/OnDeleteError with
// Action = daFail: daFail re-raises, daAbort turns it into a silent abort
// (EAbort), daRetry runs the operation again. Other exceptions, EAbort
// included, pass through untouched.
//
// Provider operations (the PS... virtuals of TDataSet, defaults in
// DB_Provider.cpp): what a data provider asks of the dataset it serves when
// it packs the rows for a client and applies the client's changes back. This
// is thin: of the class library's provider support only the operations an
// SQL dataset answers are here (its command text and parameters, key
// fields, quote character and update table, running its command or another
// statement, its update transaction, applying one changed record of a delta
// dataset, the update error of a failure) and nothing else: no provider, no
// data packets or delta dataset of its own, no field provider flags,
// attributes, index definitions, default order or command types. Defaults
// are those of a dataset without SQL: empty texts, no parameters, false,
// nothing done; running a command or a statement it does not have raises.
//
// Text values are UTF-8; field names compare without case under the user's
// locale.
#pragma once

#include <memory>
#include <vector>

#include "platform/rtl/Alignment.h"
#include "platform/rtl/Collection.h"
#include "platform/rtl/FMTBcd.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"


class TStream;
class TDataSet;
class TDataSource;
class TDataLink;
class TField;
class TFields;
class TFieldDef;
class TFieldDefs;
class TParams;

// ---------------------------------------------------------------------------
// Enumerations (ordinals are those other units index tables by)

RTL_ENUM(TFieldType, ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency,
         ftBCD, ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
         ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
         ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
         ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo,
         ftOraTimeStamp, ftOraInterval);
constexpr int FieldTypeCount = ftOraInterval + 1;
using TFieldTypes = Set<TFieldType>;
// The BLOB kinds (TBlobField::BlobType).
using TBlobType = TFieldType;

// "String", "SmallInt", ... by TFieldType ordinal.
const char* FieldTypeName(TFieldType Type);

inline constexpr TFieldTypes ftBlobTypes{ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle,
                                         ftTypedBinary, ftOraBlob, ftOraClob, ftWideMemo};
inline constexpr TFieldTypes ftStringTypes{ftString, ftFixedChar, ftWideString, ftGuid, ftFixedWideChar};

// Bytes a field of this type and size takes in a record buffer (what its
// field class's DataSize gives): text with its terminator, fixed-size values,
// binary data (var-bytes with a 2-byte length before it); 0 for BLOBs and
// every type kept outside the buffer.
int FieldDataSize(TFieldType Type, int Size);

RTL_ENUM(TFieldKind, fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate);
using TFieldKinds = Set<TFieldKind>;

enum TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc,
  dsOpening,
};
using TDataSetStates = Set<TDataSetState>;
inline constexpr TDataSetStates dsEditModes{dsEdit, dsInsert, dsSetKey};
inline constexpr TDataSetStates dsWriteModes{dsEdit,     dsInsert,  dsSetKey,       dsCalcFields,
                                             dsFilter,   dsNewValue, dsInternalCalc};

enum TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  dePropertyChange,
  deFieldListChange,
  deFocusControl,
  deParentScroll,
  deConnectChange,
  deReconcileError,
  deDisabledStateChange,
};

enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
using TUpdateStatusSet = Set<TUpdateStatus>;
RTL_ENUM(TUpdateKind, ukModify, ukInsert, ukDelete);
using TUpdateKinds = Set<TUpdateKind>;

enum TBookmarkFlag : Byte { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TResyncModeItem { rmExact, rmCenter };
using TResyncMode = Set<TResyncModeItem>;
enum TDataAction { daFail, daAbort, daRetry };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = Set<TLocateOption>;
RTL_ENUM(TFilterOption, foCaseInsensitive, foNoPartialCompare);
using TFilterOptions = Set<TFilterOption>;
enum TFieldAttribute { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = Set<TFieldAttribute>;
RTL_ENUM(TParamType, ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult);
using TParamTypes = Set<TParamType>;

// A record buffer: raw bytes laid out by the dataset descendant.
using TRecordBuffer = Byte*;
// A bookmark: BookmarkSize bytes; empty = none.
using TBookmark = std::string;
using TBookmarkStr = std::string;
// The field reference a deFocusControl event carries (Info = address of a
// TField* variable); a control that takes the focus sets it to nullptr.
using TFieldRef = TField**;

// ---------------------------------------------------------------------------
// Events

using TDataSetNotifyEvent = Event<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = Event<void(TDataSet* DataSet, EDatabaseError* E, TDataAction& Action)>;
using TFilterRecordEvent = Event<void(TDataSet* DataSet, bool& Accept)>;
using TFieldNotifyEvent = Event<void(TField* Sender)>;
using TFieldGetTextEvent = Event<void(TField* Sender, String& Text, bool DisplayText)>;
using TFieldSetTextEvent = Event<void(TField* Sender, const String& Text)>;
using TDataChangeEvent = Event<void(TObject* Sender, TField* Field)>;

// ---------------------------------------------------------------------------
// Errors and helpers

// Raises EDatabaseError; with a named component the text is "Name: Message".
[[noreturn]] void DatabaseError(const String& Message, TComponent* Component = nullptr);
[[noreturn]] void DatabaseErrorFmt(const String& Message, std::initializer_list<TVarRec> Args,
                                   TComponent* Component = nullptr);
// Next name of a ";"-separated list from Pos (0-based), trimmed; Pos moves
// past the ";".
String ExtractFieldName(const String& Fields, size_t& Pos);

// A record a provider could not apply: the failure's message and its error
// code (a server's SQL code, 0 where the failure has none).
class EUpdateError : public EDatabaseError {
 public:
  EUpdateError(const String& Message, Integer ErrorCode) : EDatabaseError(Message), error_code_(ErrorCode) {}
  Integer ErrorCode() const { return error_code_; }

 private:
  Integer error_code_;
};

// "class of TField": the name and a factory of a field class.
struct TFieldClassDesc {
  String ClassName;
  TField* (*Create)(TComponent* Owner);
};
using TFieldClass = const TFieldClassDesc*;
template <class F>
TFieldClass FieldClassOf() {
  static const TFieldClassDesc desc{TObject::ClassNameOf(typeid(F)),
                                    [](TComponent* Owner) -> TField* { return ::Create<F>(Owner); }};
  return &desc;
}

// ---------------------------------------------------------------------------
// Field definitions

class TFieldDef : public TCollectionItem {
 public:
  explicit TFieldDef(TCollection* Collection);

  TDataSet* DataSet() const;
  const String& Name() const { return name_; }
  void SetName(const String& Value);
  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType Value);
  int Size() const { return size_; }
  void SetSize(int Value);
  int Precision() const { return precision_; }
  void SetPrecision(int Value);
  TFieldAttributes Attributes() const { return attributes_; }
  void SetAttributes(TFieldAttributes Value);
  bool Required() const { return attributes_.Contains(faRequired); }
  void SetRequired(bool Value);
  // Number of the field in the record; Index + 1 unless set.
  int FieldNo() const { return field_no_ > 0 ? field_no_ : Index() + 1; }
  void SetFieldNo(int Value) { field_no_ = Value; }
  bool InternalCalcField() const { return internal_calc_; }
  void SetInternalCalcField(bool Value) { internal_calc_ = Value; }

  // The class the dataset makes for this type.
  TFieldClass FieldClass() const;
  // A field of FieldClass() with this definition's name, size and attributes
  // (FieldName overrides the name), attached to the dataset.
  TField* CreateField(TComponent* Owner, const String& FieldName = String());
  void Assign(TPersistent* Source) override;

 protected:
  String GetDisplayName() const override { return name_; }

 private:
  String name_;
  TFieldType data_type_ = ftUnknown;
  int size_ = 0;
  int precision_ = 0;
  int field_no_ = 0;
  TFieldAttributes attributes_;
  bool internal_calc_ = false;
};

class TFieldDefs : public TOwnedCollection {
 public:
  explicit TFieldDefs(TDataSet* AOwner);

  TDataSet* DataSet() const { return data_set_; }
  TFieldDef* Items(int Index) const { return static_cast<TFieldDef*>(TCollection::Items(Index)); }
  TFieldDef* AddFieldDef();
  TFieldDef* Add() { return AddFieldDef(); }
  // Raises SFieldNameMissing for an empty name.
  void Add(const String& Name, TFieldType DataType, int Size = 0, bool Required = false);
  int IndexOf(const String& Name) const;
  // The definition of that name (case-insensitive); raises SFieldNotFound.
  TFieldDef* Find(const String& Name) const;
  // True while the definitions mirror the dataset's data.
  bool Updated() const { return updated_; }
  void SetUpdated(bool Value) { updated_ = Value; }
  // Rebuilds the definitions from the dataset when they are not up to date.
  void Update();
  bool HiddenFields() const { return hidden_fields_; }
  void SetHiddenFields(bool Value) { hidden_fields_ = Value; }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TDataSet* data_set_;
  bool updated_ = false;
  bool hidden_fields_ = false;
  int internal_update_ = 0;
};

// ---------------------------------------------------------------------------
// Lookup values cached by a lookup field (LookupCache).

class TLookupList {
 public:
  void Add(const Variant& AKey, const Variant& AValue);
  void Clear() { items_.clear(); }
  // The value of the first equal key; Null when none.
  Variant ValueOfKey(const Variant& AKey) const;
  int Count() const { return static_cast<int>(items_.size()); }

 private:
  std::vector<std::pair<Variant, Variant>> items_;
};

// ---------------------------------------------------------------------------
// TField: a column of a dataset. Values pass through GetData/SetData in the
// dataset's native format of the type, or converted (NativeFormat false) by
// the dataset's DataConvert:
//   ftDate: int32 day number (TTimeStamp.Date); ftTime: int32 milliseconds
//   of the day; ftDateTime: double milliseconds since 0001-01-01 (converted:
//   TDateTime); ftBCD: TBcd (converted: Currency); ftWideString: UTF-16
//   code units ending in 0 (converted: a WideString object); ftBoolean: int16
//   (0 false); ftCurrency/ftFloat: double; ftSmallint/ftWord: 16 bits;
//   ftInteger/ftAutoInc: 32 bits; ftLargeint: 64 bits; ftString/ftGuid/
//   ftFixedChar: bytes ending in 0; ftBytes: Size bytes; ftVarBytes: uint16
//   length and Size bytes.

class TField : public TComponent {
 public:
  explicit TField(TComponent* AOwner);
  ~TField() override;
  void BeforeDestruction() override;

  // Identity and place
  TDataSet* DataSet() const { return data_set_; }
  virtual void SetDataSet(TDataSet* ADataSet);
  const String& FieldName() const { return field_name_; }
  void SetFieldName(const String& Value);
  const String& FullName() const { return field_name_; }
  TFieldType DataType() const { return data_type_; }
  int FieldNo() const { return field_no_; }
  TFieldKind FieldKind() const { return field_kind_; }
  // The dataset must be inactive (its CheckInactive decides).
  void SetFieldKind(TFieldKind Value);
  bool Calculated() const { return field_kind_ == fkCalculated; }
  void SetCalculated(bool Value);
  bool Lookup() const { return field_kind_ == fkLookup; }
  void SetLookup(bool Value);
  // Position in the dataset's Fields; -1 without dataset.
  int Index() const;
  void SetIndex(int Value);
  // Place of a calculated/lookup field's entry in the calculated area, or of
  // a BLOB field among the BLOB fields.
  int Offset() const { return offset_; }
  int Size() const { return size_; }
  // The dataset must be inactive; CheckTypeSize validates the value.
  virtual void SetSize(int Value);
  int DataSize() { return GetDataSize(); }
  virtual bool IsBlob() const { return false; }

  // Presentation
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  String DisplayLabel() const { return display_label_.empty() ? field_name_ : display_label_; }
  void SetDisplayLabel(const String& Value);
  String DisplayName() const { return DisplayLabel(); }
  bool IsDisplayLabelStored() const { return !display_label_.empty(); }
  int DisplayWidth() const { return display_width_ > 0 ? display_width_ : GetDefaultWidth(); }
  void SetDisplayWidth(int Value);
  bool IsDisplayWidthStored() const { return display_width_ > 0; }
  const String& EditMask() const { return edit_mask_; }
  void SetEditMask(const String& Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value);
  bool Required() const { return required_; }
  void SetRequired(bool Value) { required_ = Value; }
  const String& Origin() const { return origin_; }
  void SetOrigin(const String& Value) { origin_ = Value; }
  const String& DefaultExpression() const { return default_expression_; }
  void SetDefaultExpression(const String& Value) { default_expression_ = Value; }
  const CharSet& ValidChars() const { return valid_chars_; }
  void SetValidChars(const CharSet& Value) { valid_chars_ = Value; }
  // A typed character (UTF-16 unit, as KeyPress brings it): an ASCII one
  // when ValidChars holds it; any other when ValidChars holds every byte from
  // 128 up (text fields, so Cyrillic and both halves of a surrogate pair
  // pass), never for number fields.
  virtual bool IsValidChar(WideChar InputChar);
  bool IsValidChar(char InputChar) { return IsValidChar(static_cast<WideChar>(static_cast<unsigned char>(InputChar))); }
  // A data field of a dataset that can be modified, not read-only.
  bool CanModify() { return GetCanModify(); }
  bool IsIndexField();

  // Values
  bool IsNull() { return GetIsNull(); }
  bool AsBoolean() { return GetAsBoolean(); }
  virtual void SetAsBoolean(bool Value);
  Currency AsCurrency() { return GetAsCurrency(); }
  virtual void SetAsCurrency(Currency Value);
  TDateTime AsDateTime() { return GetAsDateTime(); }
  virtual void SetAsDateTime(TDateTime Value);
  double AsFloat() { return GetAsFloat(); }
  virtual void SetAsFloat(double Value);
  Integer AsInteger() { return GetAsInteger(); }
  virtual void SetAsInteger(Integer Value);
  Int64 AsLargeInt() { return GetAsLargeInt(); }
  virtual void SetAsLargeInt(Int64 Value);
  String AsString() { return GetAsString(); }
  virtual void SetAsString(const String& Value);
  WideString AsWideString() { return GetAsWideString(); }
  virtual void SetAsWideString(const WideString& Value);
  TBcd AsBCD() { return GetAsBCD(); }
  virtual void SetAsBCD(const TBcd& Value);
  // Null or Unassigned clear the field; other values go to SetVarValue.
  Variant AsVariant() { return GetAsVariant(); }
  virtual void SetAsVariant(const Variant& Value);
  Variant Value() { return GetAsVariant(); }
  void SetValue(const Variant& Value) { SetAsVariant(Value); }
  // The value in the old-, new- and current-value states of the dataset.
  Variant OldValue();
  Variant NewValue();
  void SetNewValue(const Variant& Value);
  Variant CurValue();

  // Text for editing (OnGetText with DisplayText false, else GetText) and
  // setting (OnSetText, else SetText).
  String Text();
  void SetText(const String& Value);
  // Text for display (OnGetText with DisplayText true, else GetText).
  String DisplayText();

  virtual void Clear();
  // Asks the dataset's controls to focus this field (deFocusControl).
  void FocusControl();
  // True when the field has a value; Buffer (may be null) receives it.
  bool GetData(void* Buffer, bool NativeFormat = true);
  // Writes a value (null Buffer: NULL) through the dataset.
  void SetData(const void* Buffer, bool NativeFormat = true);
  // Runs OnValidate with the value about to be stored (native format) visible
  // through GetData; called by datasets before they store a value.
  virtual void Validate(const void* Buffer);

  // Lookup fields
  TDataSet* LookupDataSet() const { return lookup_data_set_; }
  void SetLookupDataSet(TDataSet* Value);
  const String& KeyFields() const { return key_fields_; }
  void SetKeyFields(const String& Value);
  const String& LookupKeyFields() const { return lookup_key_fields_; }
  void SetLookupKeyFields(const String& Value);
  const String& LookupResultField() const { return lookup_result_field_; }
  void SetLookupResultField(const String& Value);
  bool LookupCache() const { return lookup_cache_; }
  void SetLookupCache(bool Value);
  TLookupList* LookupList() const { return lookup_list_.get(); }
  // Reloads the cached key/result pairs from the lookup dataset.
  void RefreshLookupList();

  // Events
  const TFieldNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TFieldNotifyEvent& Value) { on_change_ = Value; }
  const TFieldGetTextEvent& OnGetText() const { return on_get_text_; }
  void SetOnGetText(const TFieldGetTextEvent& Value) { on_get_text_ = Value; }
  const TFieldSetTextEvent& OnSetText() const { return on_set_text_; }
  void SetOnSetText(const TFieldSetTextEvent& Value) { on_set_text_ = Value; }
  const TFieldNotifyEvent& OnValidate() const { return on_validate_; }
  void SetOnValidate(const TFieldNotifyEvent& Value) { on_validate_ = Value; }

  // Form streaming: the parent of a field is its dataset.
  void SetParentComponent(TComponent* Value) override;
  TComponent* GetParentComponent() const override;
  bool HasParent() const override { return true; }
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Assign(TPersistent* Source) override;

  // Called by the dataset (BindFields, CalculateFields, DataEvent).
  virtual void Bind(bool Binding);
  void CalcLookupValue();
  virtual void Change();

 protected:
  friend class TDataSet;
  friend class TFields;
  friend class TFieldDef;

  // Fixes the type (field classes and CreateField).
  void SetDataType(TFieldType Value) { data_type_ = Value; }
  virtual void SetFieldType(TFieldType Value);
  virtual int GetDataSize() { return 0; }
  virtual int GetDefaultWidth() const { return 10; }
  // Raises SInvalidFieldSize for a size the class cannot hold.
  virtual void CheckTypeSize(int Value);
  // Called by the dataset when a record's edit ends (post, cancel, delete,
  // close): whatever the field kept for that edit goes.
  virtual void FreeBuffers() {}
  virtual bool GetCanModify();
  virtual bool GetIsNull();
  virtual bool GetAsBoolean();
  virtual Currency GetAsCurrency();
  virtual TDateTime GetAsDateTime();
  virtual double GetAsFloat();
  virtual Integer GetAsInteger();
  virtual Int64 GetAsLargeInt();
  virtual String GetAsString();
  virtual WideString GetAsWideString();
  virtual TBcd GetAsBCD();
  virtual Variant GetAsVariant();
  virtual void SetVarValue(const Variant& Value);
  virtual void GetText(String& Text, bool DisplayText);
  virtual void SetTextValue(const String& Value);
  // "(Blob)"-style class text; upper case when the field has a value.
  String GetClassDesc();
  // The error for an unsupported As... access.
  EDatabaseError AccessError(const String& TypeName);
  [[noreturn]] void RangeError(double Value, double Min, double Max);
  // deLayoutChange (LayoutAffected) or deDataSetChange on an active dataset.
  void PropertyChanged(bool LayoutAffected);
  void CheckInactive();
  void ValidateLookupInfo(bool All);

 private:
  TDataSet* data_set_ = nullptr;
  String field_name_;
  TFieldType data_type_ = ftUnknown;
  TFieldKind field_kind_ = fkData;
  int field_no_ = 0;
  int offset_ = 0;
  int size_ = 0;
  TAlignment alignment_ = taLeftJustify;
  String display_label_;
  int display_width_ = 0;
  String edit_mask_;
  bool visible_ = true;
  bool read_only_ = false;
  bool required_ = false;
  String origin_;
  String default_expression_;
  CharSet valid_chars_ = CharSet::Range(0, 255);
  // Value being validated (native format); null while validating = NULL.
  const void* value_buffer_ = nullptr;
  bool validating_ = false;
  TDataSet* lookup_data_set_ = nullptr;
  String key_fields_;
  String lookup_key_fields_;
  String lookup_result_field_;
  bool lookup_cache_ = false;
  std::unique_ptr<TLookupList> lookup_list_;
  TFieldNotifyEvent on_change_;
  TFieldGetTextEvent on_get_text_;
  TFieldSetTextEvent on_set_text_;
  TFieldNotifyEvent on_validate_;
};

// ---------------------------------------------------------------------------
// Field classes

class TStringField : public TField {
 public:
  explicit TStringField(TComponent* AOwner);
  bool FixedChar() const { return fixed_char_; }
  void SetFixedChar(bool Value);
  // Text is passed through the dataset's Translate.
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool Value) { transliterate_ = Value; }
  // Longer values are cut to Size bytes.
  void SetAsString(const String& Value) override;
  void SetAsBoolean(bool Value) override;
  void SetAsDateTime(TDateTime Value) override;
  void SetAsFloat(double Value) override;
  void SetAsInteger(Integer Value) override;
  void SetAsLargeInt(Int64 Value) override;

 protected:
  int GetDataSize() override { return Size() + 1; }
  int GetDefaultWidth() const override { return Size(); }
  void CheckTypeSize(int Value) override;
  // The text and whether the field has a value.
  virtual bool GetValue(String& Value);
  bool GetAsBoolean() override;
  TDateTime GetAsDateTime() override;
  double GetAsFloat() override;
  Integer GetAsInteger() override;
  Int64 GetAsLargeInt() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& Value) override;

 private:
  bool fixed_char_ = false;
  bool transliterate_ = true;
};

class TWideStringField : public TStringField {
 public:
  explicit TWideStringField(TComponent* AOwner);
  void SetAsString(const String& Value) override;
  void SetAsWideString(const WideString& Value) override;

 protected:
  int GetDataSize() override { return (Size() + 1) * 2; }
  bool GetValue(String& Value) override;
  String GetAsString() override;
  WideString GetAsWideString() override;
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& Value) override;
};

class TGuidField : public TStringField {
 public:
  explicit TGuidField(TComponent* AOwner);
  TGUID AsGuid() { return GetAsGuid(); }
  virtual void SetAsGuid(const TGUID& Value);

 protected:
  void CheckTypeSize(int Value) override;
  int GetDefaultWidth() const override { return 38; }
  virtual TGUID GetAsGuid();
};

// Numbers shown right-aligned, with DisplayFormat (FormatFloat patterns) for
// display and EditFormat (or DisplayFormat) for editing.
class TNumericField : public TField {
 public:
  explicit TNumericField(TComponent* AOwner);
  const String& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(const String& Value);
  const String& EditFormat() const { return edit_format_; }
  void SetEditFormat(const String& Value);

 protected:
  // DisplayFormat for display, else EditFormat (falling back to DisplayFormat).
  const String& FormatFor(bool DisplayText) const;

 private:
  String display_format_;
  String edit_format_;
};

class TIntegerField : public TNumericField {
 public:
  explicit TIntegerField(TComponent* AOwner);
  // Limits (both 0: the range of the type only).
  Integer MinValue() const { return min_value_; }
  void SetMinValue(Integer Value);
  Integer MaxValue() const { return max_value_; }
  void SetMaxValue(Integer Value);
  void SetAsFloat(double Value) override;
  void SetAsInteger(Integer Value) override;
  void SetAsLargeInt(Int64 Value) override;
  void SetAsString(const String& Value) override;

 protected:
  TIntegerField(TComponent* AOwner, TFieldType Type, Integer MinRange, Integer MaxRange);
  int GetDataSize() override { return 4; }
  int GetDefaultWidth() const override { return 11; }
  bool GetValue(Integer& Value);
  double GetAsFloat() override;
  Integer GetAsInteger() override;
  Int64 GetAsLargeInt() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void GetText(String& Text, bool DisplayText) override;
  void SetVarValue(const Variant& Value) override;

 private:
  Integer min_range_;
  Integer max_range_;
  Integer min_value_ = 0;
  Integer max_value_ = 0;
};

class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* AOwner);

 protected:
  int GetDataSize() override { return 2; }
  int GetDefaultWidth() const override { return 6; }
};

class TWordField : public TIntegerField {
 public:
  explicit TWordField(TComponent* AOwner);

 protected:
  int GetDataSize() override { return 2; }
  int GetDefaultWidth() const override { return 5; }
};

class TAutoIncField : public TIntegerField {
 public:
  explicit TAutoIncField(TComponent* AOwner);
};

class TLargeintField : public TNumericField {
 public:
  explicit TLargeintField(TComponent* AOwner);
  Int64 MinValue() const { return min_value_; }
  void SetMinValue(Int64 Value);
  Int64 MaxValue() const { return max_value_; }
  void SetMaxValue(Int64 Value);
  void SetAsFloat(double Value) override;
  void SetAsInteger(Integer Value) override;
  void SetAsLargeInt(Int64 Value) override;
  void SetAsString(const String& Value) override;

 protected:
  int GetDataSize() override { return 8; }
  int GetDefaultWidth() const override { return 15; }
  bool GetValue(Int64& Value);
  double GetAsFloat() override;
  Integer GetAsInteger() override;
  Int64 GetAsLargeInt() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void GetText(String& Text, bool DisplayText) override;
  void SetVarValue(const Variant& Value) override;

 private:
  Int64 min_value_ = 0;
  Int64 max_value_ = 0;
};

class TFloatField : public TNumericField {
 public:
  explicit TFloatField(TComponent* AOwner);
  // Shown with the currency format when no DisplayFormat is set.
  bool Currency() const { return currency_; }
  void SetCurrency(bool Value);
  double MinValue() const { return min_value_; }
  void SetMinValue(double Value);
  double MaxValue() const { return max_value_; }
  void SetMaxValue(double Value);
  // Significant digits of the text, 2..15.
  int Precision() const { return precision_; }
  void SetPrecision(int Value);
  void SetAsFloat(double Value) override;
  void SetAsInteger(Integer Value) override;
  void SetAsLargeInt(Int64 Value) override;
  void SetAsString(const String& Value) override;

 protected:
  int GetDataSize() override { return 8; }
  int GetDefaultWidth() const override { return precision_ + 1; }
  double GetAsFloat() override;
  Integer GetAsInteger() override;
  Int64 GetAsLargeInt() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void GetText(String& Text, bool DisplayText) override;
  void SetVarValue(const Variant& Value) override;

 private:
  bool currency_ = false;
  double min_value_ = 0;
  double max_value_ = 0;
  int precision_ = 15;
};

class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(TComponent* AOwner);
};

// Size is the number of decimals (0..32); the value is a Currency.
class TBCDField : public TNumericField {
 public:
  explicit TBCDField(TComponent* AOwner);
  bool Currency() const { return currency_; }
  void SetCurrency(bool Value);
  ::Currency MinValue() const { return min_value_; }
  void SetMinValue(::Currency Value);
  ::Currency MaxValue() const { return max_value_; }
  void SetMaxValue(::Currency Value);
  int Precision() const { return precision_; }
  void SetPrecision(int Value);
  void SetAsBCD(const TBcd& Value) override;
  void SetAsCurrency(::Currency Value) override;
  void SetAsFloat(double Value) override;
  void SetAsInteger(Integer Value) override;
  void SetAsLargeInt(Int64 Value) override;
  void SetAsString(const String& Value) override;

 protected:
  int GetDataSize() override { return sizeof(TBcd); }
  int GetDefaultWidth() const override;
  void CheckTypeSize(int Value) override;
  bool GetValue(::Currency& Value);
  TBcd GetAsBCD() override;
  ::Currency GetAsCurrency() override;
  double GetAsFloat() override;
  Integer GetAsInteger() override;
  Int64 GetAsLargeInt() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void GetText(String& Text, bool DisplayText) override;
  void SetVarValue(const Variant& Value) override;

 private:
  bool currency_ = false;
  ::Currency min_value_;
  ::Currency max_value_;
  int precision_ = 0;
};

// DisplayValues "TrueText;FalseText" (default "True;False") are the texts of
// the values; setting a text matches a prefix of either, without case.
class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* AOwner);
  const String& DisplayValues() const { return display_values_; }
  void SetDisplayValues(const String& Value);
  void SetAsBoolean(bool Value) override;
  void SetAsString(const String& Value) override;

 protected:
  int GetDataSize() override { return 2; }
  int GetDefaultWidth() const override;
  bool GetAsBoolean() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& Value) override;
  const String& TextValue(bool Value) const { return Value ? text_true_ : text_false_; }

 private:
  void LoadTextValues();
  String display_values_;
  String text_true_;
  String text_false_;
};

// Date and time values; text through DisplayFormat (FormatDateTime) or the
// format settings (ShortDateFormat for dates, LongTimeFormat for times, "c"
// for date and time).
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* AOwner);
  const String& DisplayFormat() const { return display_format_; }
  void SetDisplayFormat(const String& Value);
  void SetAsDateTime(TDateTime Value) override;
  void SetAsFloat(double Value) override;
  void SetAsString(const String& Value) override;

 protected:
  TDateTimeField(TComponent* AOwner, TFieldType Type);
  int GetDataSize() override { return 8; }
  int GetDefaultWidth() const override { return 18; }
  bool GetValue(TDateTime& Value);
  TDateTime GetAsDateTime() override;
  double GetAsFloat() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void GetText(String& Text, bool DisplayText) override;
  void SetVarValue(const Variant& Value) override;

 private:
  String display_format_;
};

class TDateField : public TDateTimeField {
 public:
  explicit TDateField(TComponent* AOwner);

 protected:
  int GetDataSize() override { return 4; }
  int GetDefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(TComponent* AOwner);

 protected:
  int GetDataSize() override { return 4; }
  int GetDefaultWidth() const override { return 10; }
};

// Fixed (ftBytes) or counted (ftVarBytes) binary values; the value is a
// variant array of bytes, the string a byte string.
class TBinaryField : public TField {
 public:
  void SetAsString(const String& Value) override;

 protected:
  TBinaryField(TComponent* AOwner, TFieldType Type);
  void CheckTypeSize(int Value) override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void GetText(String& Text, bool DisplayText) override;
  void SetTextValue(const String& Value) override;
  void SetVarValue(const Variant& Value) override;
};

class TBytesField : public TBinaryField {
 public:
  explicit TBytesField(TComponent* AOwner);

 protected:
  int GetDataSize() override { return Size(); }
};

class TVarBytesField : public TBinaryField {
 public:
  explicit TVarBytesField(TComponent* AOwner);

 protected:
  int GetDataSize() override { return Size() + 2; }
};

// Values of any length read and written through the dataset's
// CreateBlobStream; shown as "(Blob)", "(BLOB)" when it has a value.
class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* AOwner);
  bool IsBlob() const override { return true; }
  TBlobType BlobType() const { return DataType(); }
  void SetBlobType(TBlobType Value) { SetFieldType(Value); }
  // Set by the dataset's BLOB streams when the value was written.
  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }
  bool Transliterate() const { return transliterate_; }
  void SetTransliterate(bool Value) { transliterate_ = Value; }
  int BlobSize();
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);
  void Clear() override;
  void SetAsString(const String& Value) override;
  void Assign(TPersistent* Source) override;

 protected:
  TBlobField(TComponent* AOwner, TFieldType Type);
  void CheckTypeSize(int Value) override;
  bool GetIsNull() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void GetText(String& Text, bool DisplayText) override;
  void SetVarValue(const Variant& Value) override;
  // The next edit starts unmodified.
  void FreeBuffers() override { modified_ = false; }

 private:
  bool modified_ = false;
  bool transliterate_ = false;
};

class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* AOwner);
};

class TGraphicField : public TBlobField {
 public:
  explicit TGraphicField(TComponent* AOwner);
};

// A stream over one BLOB value, for a dataset's CreateBlobStream: it starts
// with Value (empty for bmWrite) and, once written, hands its bytes to Store
// when freed, marks a BLOB field Modified and announces the change to the
// dataset's links (deFieldChange; a failing handler cannot be reported from
// there and is ignored).
TStream* CreateFieldBlobStream(TField* Field, TBlobStreamMode Mode, const String& Value,
                               std::function<void(const String& Value)> Store);

// ---------------------------------------------------------------------------
// The fields of a dataset, in order. Freeing the list frees the fields.

class TFields : public TObject {
 public:
  explicit TFields(TDataSet* ADataSet) : data_set_(ADataSet) {}
  ~TFields() override;

  TDataSet* DataSet() const { return data_set_; }
  int Count() const { return static_cast<int>(list_.size()); }
  // Raises EListError "List index out of bounds (%d)".
  TField* Fields(int Index) const;
  TField* operator[](int Index) const { return Fields(Index); }
  void Add(TField* Field);
  void Remove(TField* Field);
  // Frees every field.
  void Clear();
  int IndexOf(TField* Field) const;
  TField* FindField(const String& FieldName) const;
  TField* FieldByName(const String& FieldName) const;
  TField* FieldByNumber(int FieldNo) const;
  // Raises SFieldNameMissing / SDuplicateFieldName.
  void CheckFieldName(const String& FieldName) const;
  void GetFieldNames(TStrings* List) const;
  void SetFieldIndex(TField* Field, int Value);
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }

 private:
  void Changed();
  TDataSet* data_set_;
  std::vector<TField*> list_;
  TNotifyEvent on_change_;
};

// ---------------------------------------------------------------------------
// TDataSet. Freed with delete, a dataset closes itself (no Before/AfterClose),
// leaves its data sources and frees its fields; a descendant that may be
// destroyed otherwise closes itself in its own destructor.
//
// Opening: a descendant whose InternalOpen returns without an open cursor
// (IsCursorOpen false: it ran a statement that yields no rows) leaves the
// dataset inactive: no AfterOpen, CloseCursor runs, State is dsInactive.

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* AOwner);
  ~TDataSet() override;
  void BeforeDestruction() override;

  // Opening and closing
  bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
  virtual void SetActive(bool Value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }
  virtual void CheckInactive();
  void CheckActive();
  // Posts or cancels a pending edit (Modified decides).
  void CheckBrowseMode();

  // Navigation
  void First();
  void Last();
  void Next();
  void Prior();
  // Moves by Distance records; returns the distance moved.
  virtual int MoveBy(int Distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return active_record_ >= record_count_; }
  void Refresh();
  virtual void Resync(TResyncMode Mode);
  // Puts the descendant's cursor on the active buffer's record.
  void UpdateCursorPos();
  // The descendant's cursor no longer matches a buffer.
  void CursorPosChanged() { current_record_ = -1; }
  // 1-based position of the active record; -1 when unknown.
  int RecNo() { return GetRecNo(); }
  virtual void SetRecNo(int /*Value*/) {}
  int RecordCount() { return GetRecordCount(); }
  virtual bool IsSequenced() { return true; }
  bool IsUniDirectional() const { return uni_directional_; }

  // Bookmarks
  int BookmarkSize() const { return bookmark_size_; }
  TBookmark GetBookmark();
  // A bookmark shorter than BookmarkSize raises SInvalidBookmark (the
  // descendant would read past its end); one of full length goes to the
  // descendant's InternalGotoBookmark, which decides what an invalid one does
  // (it may raise, or leave the position as it is).
  void GotoBookmark(const TBookmark& Bookmark);
  void FreeBookmark(TBookmark& Bookmark) { Bookmark.clear(); }
  TBookmarkStr Bookmark() { return GetBookmark(); }
  void SetBookmark(const TBookmarkStr& Value) { GotoBookmark(Value); }
  bool BookmarkAvailable();
  virtual bool BookmarkValid(const TBookmark& Bookmark);
  // <0, 0, >0; the base compares nothing (0).
  virtual int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2);

  // Controls
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ != 0; }

  // Editing
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  virtual void Cancel();
  // In insert state acts as Cancel (no BeforeDelete).
  void Delete();
  // Asks the data links to write pending edits (deUpdateRecord).
  void UpdateRecord();
  bool Modified() const { return modified_; }
  bool CanModify() { return GetCanModify(); }
  virtual TUpdateStatus UpdateStatus();

  // Fields
  TFields* Fields() const { return fields_.get(); }
  int FieldCount() const { return fields_->Count(); }
  TFieldDefs* FieldDefs() const { return field_defs_.get(); }
  TField* FieldByName(const String& FieldName);
  TField* FindField(const String& FieldName);
  TField* FieldByNumber(int FieldNo) const { return fields_->FieldByNumber(FieldNo); }
  // The fields of a ";"-separated list (raising for a missing name).
  void GetFieldList(std::vector<TField*>& List, const String& FieldNames);
  void GetFieldNames(TStrings* List);
  // One field name: its Value; several (";"-separated): a variant array.
  Variant FieldValues(const String& FieldName);
  void SetFieldValues(const String& FieldName, const Variant& Value);
  bool DefaultFields() const { return default_fields_; }
  bool AutoCalcFields() const { return auto_calc_fields_; }
  void SetAutoCalcFields(bool Value) { auto_calc_fields_ = Value; }
  // The dataset of a master/detail chain above DataSource is this one.
  bool IsLinkedTo(TDataSource* DataSource);
  virtual TDataSource* GetDataSource() { return nullptr; }

  // Searching: the base scans the records from the first; with
  // loCaseInsensitive texts compare without case, with loPartialKey a text
  // value matches when it begins with the key. A found record becomes the
  // current one (Locate) or gives ResultFields' values (Lookup; Null when not
  // found) while the position stays.
  virtual bool Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options);
  virtual Variant Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields);

  // Filtering: stored here; descendants apply them.
  const String& Filter() const { return filter_text_; }
  void SetFilter(const String& Value) { SetFilterText(Value); }
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool Value) { filtered_ = Value; }
  TFilterOptions FilterOptions() const { return filter_options_; }
  virtual void SetFilterOptions(TFilterOptions Value) { filter_options_ = Value; }
  virtual void SetFilterText(const String& Value) { filter_text_ = Value; }

  int BlockReadSize() const { return block_read_size_; }
  void SetBlockReadSize(int Value);

  // Field data. GetFieldData: true when the field has a value; Buffer (may be
  // null) receives it in native format. SetFieldData: null Buffer is NULL.
  virtual bool GetFieldData(TField* Field, void* Buffer);
  bool GetFieldData(TField* Field, void* Buffer, bool NativeFormat);
  // Enters a temporary state (old or new values, calculation, filter test)
  // and returns the state to give back to RestoreState.
  TDataSetState SetTempState(TDataSetState Value);
  void RestoreState(TDataSetState Value);
  virtual void SetFieldData(TField* Field, const void* Buffer);
  void SetFieldData(TField* Field, const void* Buffer, bool NativeFormat);
  // Native <-> converted values of a field's type (see TField).
  virtual void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative);
  virtual TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode);
  // Copies the current record into Buffer; false when there is none.
  virtual bool GetCurrentRecord(TRecordBuffer Buffer);
  // Copies (converts) text between the dataset's and the program's forms;
  // returns the length. The base copies.
  virtual int Translate(const char* Src, char* Dest, bool ToOem);
  virtual TFieldClass GetFieldClass(TFieldType FieldType);

  // Events
  const TDataSetNotifyEvent& BeforeOpen() const { return before_open_; }
  void SetBeforeOpen(const TDataSetNotifyEvent& V) { before_open_ = V; }
  const TDataSetNotifyEvent& AfterOpen() const { return after_open_; }
  void SetAfterOpen(const TDataSetNotifyEvent& V) { after_open_ = V; }
  const TDataSetNotifyEvent& BeforeClose() const { return before_close_; }
  void SetBeforeClose(const TDataSetNotifyEvent& V) { before_close_ = V; }
  const TDataSetNotifyEvent& AfterClose() const { return after_close_; }
  void SetAfterClose(const TDataSetNotifyEvent& V) { after_close_ = V; }
  const TDataSetNotifyEvent& BeforeInsert() const { return before_insert_; }
  void SetBeforeInsert(const TDataSetNotifyEvent& V) { before_insert_ = V; }
  const TDataSetNotifyEvent& AfterInsert() const { return after_insert_; }
  void SetAfterInsert(const TDataSetNotifyEvent& V) { after_insert_ = V; }
  const TDataSetNotifyEvent& BeforeEdit() const { return before_edit_; }
  void SetBeforeEdit(const TDataSetNotifyEvent& V) { before_edit_ = V; }
  const TDataSetNotifyEvent& AfterEdit() const { return after_edit_; }
  void SetAfterEdit(const TDataSetNotifyEvent& V) { after_edit_ = V; }
  const TDataSetNotifyEvent& BeforePost() const { return before_post_; }
  void SetBeforePost(const TDataSetNotifyEvent& V) { before_post_ = V; }
  const TDataSetNotifyEvent& AfterPost() const { return after_post_; }
  void SetAfterPost(const TDataSetNotifyEvent& V) { after_post_ = V; }
  const TDataSetNotifyEvent& BeforeCancel() const { return before_cancel_; }
  void SetBeforeCancel(const TDataSetNotifyEvent& V) { before_cancel_ = V; }
  const TDataSetNotifyEvent& AfterCancel() const { return after_cancel_; }
  void SetAfterCancel(const TDataSetNotifyEvent& V) { after_cancel_ = V; }
  const TDataSetNotifyEvent& BeforeDelete() const { return before_delete_; }
  void SetBeforeDelete(const TDataSetNotifyEvent& V) { before_delete_ = V; }
  const TDataSetNotifyEvent& AfterDelete() const { return after_delete_; }
  void SetAfterDelete(const TDataSetNotifyEvent& V) { after_delete_ = V; }
  const TDataSetNotifyEvent& BeforeScroll() const { return before_scroll_; }
  void SetBeforeScroll(const TDataSetNotifyEvent& V) { before_scroll_ = V; }
  const TDataSetNotifyEvent& AfterScroll() const { return after_scroll_; }
  void SetAfterScroll(const TDataSetNotifyEvent& V) { after_scroll_ = V; }
  const TDataSetNotifyEvent& BeforeRefresh() const { return before_refresh_; }
  void SetBeforeRefresh(const TDataSetNotifyEvent& V) { before_refresh_ = V; }
  const TDataSetNotifyEvent& AfterRefresh() const { return after_refresh_; }
  void SetAfterRefresh(const TDataSetNotifyEvent& V) { after_refresh_ = V; }
  const TDataSetNotifyEvent& OnCalcFields() const { return on_calc_fields_; }
  void SetOnCalcFields(const TDataSetNotifyEvent& V) { on_calc_fields_ = V; }
  const TDataSetNotifyEvent& OnNewRecord() const { return on_new_record_; }
  void SetOnNewRecord(const TDataSetNotifyEvent& V) { on_new_record_ = V; }
  const TDataSetErrorEvent& OnEditError() const { return on_edit_error_; }
  void SetOnEditError(const TDataSetErrorEvent& V) { on_edit_error_ = V; }
  const TDataSetErrorEvent& OnPostError() const { return on_post_error_; }
  void SetOnPostError(const TDataSetErrorEvent& V) { on_post_error_ = V; }
  const TDataSetErrorEvent& OnDeleteError() const { return on_delete_error_; }
  void SetOnDeleteError(const TDataSetErrorEvent& V) { on_delete_error_ = V; }
  const TFilterRecordEvent& OnFilterRecord() const { return on_filter_record_; }
  virtual void SetOnFilterRecord(const TFilterRecordEvent& V) { on_filter_record_ = V; }

  // Sends a data event to the data sources (see the header comment).
  virtual void DataEvent(TDataEvent Event, NativeInt Info);

  // --- Provider operations (see the header comment; defaults in brackets)
  // The command the dataset runs, as wide text (empty); a new one (ignored).
  virtual WideString PSGetCommandText();
  virtual void PSSetCommandText(const WideString& CommandText);
  // ";"-separated key field names (empty).
  virtual WideString PSGetKeyFields();
  // The character that quotes identifiers in its SQL (empty: none).
  virtual WideString PSGetQuoteChar();
  // The table its changes go to (empty).
  virtual WideString PSGetTableName();
  // The command's parameters, owned by the dataset (nullptr: none); their
  // values by name into the command (ignored).
  virtual TParams* PSGetParams();
  virtual void PSSetParams(TParams* AParams);
  // Runs the command (raises SProviderExecuteNotSupported).
  virtual void PSExecute();
  // Runs another statement with AParams; with ResultSet, the dataset of its
  // rows goes there and the caller frees it. The number of rows (raises
  // SProviderSQLNotSupported).
  virtual Integer PSExecuteStatement(const String& ASQL, TParams* AParams, TDataSet** ResultSet);
  // E as the update error a provider reports (E's message; E's code when E
  // is an update error, else 0).
  virtual std::unique_ptr<EUpdateError> PSGetUpdateException(const Exception& E);
  // Its update transaction is active (false).
  virtual bool PSInTransaction();
  // It runs SQL, and SQL statements other than its command (false).
  virtual bool PSIsSQLBased();
  virtual bool PSIsSQLSupported();
  // Back to the first rows (nothing).
  virtual void PSReset();
  // Starts the transaction changes are applied in, and ends it (nothing).
  virtual void PSStartTransaction();
  virtual void PSEndTransaction(bool Commit);
  // Applies the current record of Delta, a change of UpdateKind, where its
  // fields' OldValue and NewValue (Unassigned: not changed) give the values;
  // false leaves it to the provider (false).
  virtual bool PSUpdateRecord(TUpdateKind UpdateKind, TDataSet* Delta);

  void Loaded() override;

 protected:
  friend class TDataSource;
  friend class TDataLink;
  friend class TField;
  friend class TFieldDefs;

  // --- The record-buffer protocol a descendant implements
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& Buffer) = 0;
  virtual void GetBookmarkData(TRecordBuffer Buffer, void* Data) = 0;
  virtual void SetBookmarkData(TRecordBuffer Buffer, const void* Data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) = 0;
  virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
  virtual int GetRecordSize() = 0;
  virtual void InternalAddRecord(const void* Buffer, bool Append) = 0;
  virtual void InternalClose() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalGotoBookmark(const void* Bookmark) = 0;
  virtual void InternalHandleException() = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalInitRecord(TRecordBuffer Buffer) = 0;
  virtual void InternalLast() = 0;
  virtual void InternalOpen() = 0;
  virtual void InternalSetToRecord(TRecordBuffer Buffer) = 0;
  virtual bool IsCursorOpen() = 0;
  // Defaults: nothing, except InternalPost (CheckRequiredFields).
  virtual void InternalCancel() {}
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalPost();
  virtual void InternalRefresh() {}
  virtual int GetRecNo() { return -1; }
  virtual int GetRecordCount() { return -1; }
  virtual bool GetCanModify() { return true; }
  virtual Variant GetStateFieldValue(TDataSetState State, TField* Field);
  virtual void SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value);
  virtual bool GetIsIndexField(TField* /*Field*/) { return false; }

  // --- Calculated fields
  virtual void ClearCalcFields(TRecordBuffer /*Buffer*/) {}
  virtual void CalculateFields(TRecordBuffer Buffer);
  virtual void GetCalcFields(TRecordBuffer Buffer);
  virtual void RefreshInternalCalcFields(TRecordBuffer Buffer);
  TRecordBuffer CalcBuffer() const { return calc_buffer_; }
  int CalcFieldsSize() const { return calc_fields_size_; }
  int BlobFieldCount() const { return blob_field_count_; }
  bool InternalCalcFields() const { return internal_calc_fields_; }

  // --- Fields
  virtual void CreateFields();
  void BindFields(bool Binding);
  virtual void DestroyFields();
  void SetDefaultFields(bool Value) { default_fields_ = Value; }
  virtual void CheckFieldCompatibility(TField* Field, TFieldDef* FieldDef);
  void CheckRequiredFields();
  // Rebuilds the field definitions (opening the cursor when needed).
  void InitFieldDefs();

  // --- Event dispatchers
  virtual void DoBeforeOpen() { before_open_(this); }
  virtual void DoAfterOpen() { after_open_(this); }
  virtual void DoBeforeClose() { before_close_(this); }
  virtual void DoAfterClose() { after_close_(this); }
  virtual void DoBeforeInsert() { before_insert_(this); }
  virtual void DoAfterInsert() { after_insert_(this); }
  virtual void DoBeforeEdit() { before_edit_(this); }
  virtual void DoAfterEdit() { after_edit_(this); }
  virtual void DoBeforePost() { before_post_(this); }
  virtual void DoAfterPost() { after_post_(this); }
  virtual void DoBeforeCancel() { before_cancel_(this); }
  virtual void DoAfterCancel() { after_cancel_(this); }
  virtual void DoBeforeDelete() { before_delete_(this); }
  virtual void DoAfterDelete() { after_delete_(this); }
  virtual void DoBeforeScroll();
  virtual void DoAfterScroll();
  virtual void DoBeforeRefresh() { before_refresh_(this); }
  virtual void DoAfterRefresh() { after_refresh_(this); }
  virtual void DoOnCalcFields() { on_calc_fields_(this); }
  virtual void DoOnNewRecord() { on_new_record_(this); }

  // --- Opening and closing
  virtual void OpenCursor(bool InfoQuery = false);
  virtual void CloseCursor();
  void DoInternalOpen();
  void OpenCursorComplete();

  // --- The buffer window
  int BufferCount() const { return buffer_count_; }
  // Buffers holding records (0..BufferCount).
  int BufferRecordCount() const { return record_count_; }
  int ActiveRecord() const { return active_record_; }
  void SetActiveRecord(int Value) { active_record_ = Value; }
  int CurrentRecord() const { return current_record_; }
  TRecordBuffer ActiveBuffer() const;
  // Buffers(0..BufferCount); Buffers(BufferRecordCount()) is free.
  TRecordBuffer Buffers(int Index) const { return buffers_[static_cast<size_t>(Index)]; }
  TRecordBuffer TempBuffer() const { return buffers_[static_cast<size_t>(record_count_)]; }
  int RecordSize() { return GetRecordSize(); }
  void SetBookmarkSize(int Value) { bookmark_size_ = Value; }
  void SetUniDirectional(bool Value) { uni_directional_ = Value; }
  virtual void SetBufferCount(int Value);
  void UpdateBufferCount();
  void SetBufListSize(int Value);
  virtual void ClearBuffers();
  void ActivateBuffers();
  void MoveBuffer(int CurIndex, int NewIndex);
  virtual void SetCurrentRecord(int Index);
  virtual bool GetNextRecord();
  virtual bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  virtual void InitRecord(TRecordBuffer Buffer);
  virtual void FreeFieldBuffers();

  // --- States and helpers
  void SetState(TDataSetState Value);
  virtual void SetModified(bool Value) { modified_ = Value; }
  void CheckCanModify();
  void CheckBiDirectional();
  void BeginInsertAppend();
  void EndInsertAppend();
  using TDataOperation = void (TDataSet::*)();
  void CheckOperation(TDataOperation Operation, const TDataSetErrorEvent& ErrorEvent);
  void AddDataSource(TDataSource* DataSource);
  void RemoveDataSource(TDataSource* DataSource);
  bool StreamedActive() const { return streamed_active_; }

 private:
  void BlockReadNext() { MoveBy(1); }
  void UpdateCalcFieldsOf(TField* Field);
  bool ScanRecords(const std::vector<TField*>& Keys, const std::vector<Variant>& Values,
                   TLocateOptions Options, bool Stay, const String& ResultFields, Variant* Result);

  TDataSetState state_ = dsInactive;
  std::unique_ptr<TFields> fields_;
  std::unique_ptr<TFieldDefs> field_defs_;
  std::vector<TDataSource*> data_sources_;
  TDataLink* first_data_link_ = nullptr;
  std::vector<TRecordBuffer> buffers_;
  int buffer_count_ = 0;
  int record_count_ = 0;
  int active_record_ = 0;
  int current_record_ = -1;
  TRecordBuffer calc_buffer_ = nullptr;
  int calc_fields_size_ = 0;
  int blob_field_count_ = 0;
  int bookmark_size_ = 0;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool streamed_active_ = false;
  bool internal_open_complete_ = false;
  bool default_fields_ = false;
  bool auto_calc_fields_ = true;
  bool internal_calc_fields_ = false;
  bool uni_directional_ = false;
  bool filtered_ = false;
  String filter_text_;
  TFilterOptions filter_options_;
  int disable_count_ = 0;
  TDataSetState disable_state_ = dsInactive;
  TDataEvent enable_event_ = deDataSetChange;
  int block_read_size_ = 0;

  TDataSetNotifyEvent before_open_, after_open_, before_close_, after_close_;
  TDataSetNotifyEvent before_insert_, after_insert_, before_edit_, after_edit_;
  TDataSetNotifyEvent before_post_, after_post_, before_cancel_, after_cancel_;
  TDataSetNotifyEvent before_delete_, after_delete_, before_scroll_, after_scroll_;
  TDataSetNotifyEvent before_refresh_, after_refresh_, on_calc_fields_, on_new_record_;
  TDataSetErrorEvent on_edit_error_, on_post_error_, on_delete_error_;
  TFilterRecordEvent on_filter_record_;
};

// The dataset family whose fields may hold wide text (TWideStringField): the
// base of datasets whose record buffers keep such text in their own encoding,
// converted by their DataConvert. It adds nothing to TDataSet.
class TWideDataSet : public TDataSet {
 public:
  using TDataSet::TDataSet;
};

// ---------------------------------------------------------------------------
// Data sources and data links

// Connects a dataset to data links: passes every data event on to its links
// (non-visual links first, each group last-added first) while it is active,
// and follows the dataset's state.
class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* AOwner);
  ~TDataSource() override;
  void BeforeDestruction() override;

  TDataSet* DataSet() const { return data_set_; }
  // Raises SCircularDataLink when ADataSet's masters lead back to this source.
  void SetDataSet(TDataSet* ADataSet);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool AutoEdit() const { return auto_edit_; }
  void SetAutoEdit(bool Value) { auto_edit_ = Value; }
  TDataSetState State() const { return state_; }
  // Edits the dataset when AutoEdit is set and it is browsing.
  void Edit();
  // True when DataSet's master chain contains this source.
  bool IsLinkedTo(TDataSet* DataSet);
  int DataLinkCount() const { return static_cast<int>(data_links_.size()); }
  TDataLink* DataLinks(int Index) const { return data_links_[static_cast<size_t>(Index)]; }

  const TNotifyEvent& OnStateChange() const { return on_state_change_; }
  void SetOnStateChange(const TNotifyEvent& Value) { on_state_change_ = Value; }
  const TDataChangeEvent& OnDataChange() const { return on_data_change_; }
  void SetOnDataChange(const TDataChangeEvent& Value) { on_data_change_ = Value; }
  const TNotifyEvent& OnUpdateData() const { return on_update_data_; }
  void SetOnUpdateData(const TNotifyEvent& Value) { on_update_data_ = Value; }

 protected:
  friend class TDataSet;
  friend class TDataLink;
  virtual void DataEvent(TDataEvent Event, NativeInt Info);
  void NotifyDataLinks(TDataEvent Event, NativeInt Info);
  void UpdateState();
  void SetState(TDataSetState Value);
  void AddDataLink(TDataLink* DataLink);
  void RemoveDataLink(TDataLink* DataLink);

 private:
  void Detach();
  TDataSet* data_set_ = nullptr;
  std::vector<TDataLink*> data_links_;
  bool enabled_ = true;
  bool auto_edit_ = true;
  TDataSetState state_ = dsInactive;
  TNotifyEvent on_state_change_;
  TDataChangeEvent on_data_change_;
  TNotifyEvent on_update_data_;
};

// A link between a data-aware object and a data source. It sees a window of
// BufferCount records of the dataset's buffers, of which ActiveRecord is the
// current one, and receives the dataset's events through the virtual
// handlers below.
class TDataLink : public TPersistent {
 public:
  TDataLink();
  ~TDataLink() override;

  TDataSource* DataSource() const { return data_source_; }
  // Raises SDataSourceChange while DataSourceFixed.
  void SetDataSource(TDataSource* ADataSource);
  TDataSet* DataSet() const;
  bool DataSourceFixed() const { return data_source_fixed_; }
  void SetDataSourceFixed(bool Value) { data_source_fixed_ = Value; }
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value);
  // Visual links hear events after the non-visual ones.
  bool VisualControl() const { return visual_control_; }
  void SetVisualControl(bool Value) { visual_control_ = Value; }
  // Index of the dataset's active record within this link's window.
  virtual int ActiveRecord() const;
  virtual void SetActiveRecord(int Value);
  virtual int BufferCount() const { return buffer_count_; }
  virtual void SetBufferCount(int Value);
  // Records in this link's window.
  int RecordCount() const;
  bool Bof() const;
  bool Eof() const;
  // Edits through the data source; returns Editing.
  bool Edit();
  // UpdateData with record-change events suppressed.
  void UpdateRecord();

  virtual void DataEvent(TDataEvent Event, NativeInt Info);

 protected:
  friend class TDataSet;
  friend class TDataSource;
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*Distance*/) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TFieldRef /*Field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* /*Field*/) {}
  virtual void UpdateData() {}
  int FirstRecord() const { return first_record_; }

 private:
  void UpdateState();
  void UpdateRange();
  void SetActive(bool Value);
  void SetEditing(bool Value);

  TDataSource* data_source_ = nullptr;
  TDataLink* next_ = nullptr;
  int first_record_ = 0;
  int buffer_count_ = 1;
  bool read_only_ = false;
  bool active_ = false;
  bool visual_control_ = false;
  bool editing_ = false;
  bool updating_ = false;
  bool data_source_fixed_ = false;
};

// A data link of a master/detail relation: names the detail dataset.
class TDetailDataLink : public TDataLink {
 public:
  TDataSet* DetailDataSet() { return GetDetailDataSet(); }

 protected:
  virtual TDataSet* GetDetailDataSet() { return nullptr; }
};

// ---------------------------------------------------------------------------
// Parameters

class TParams;

class TParam : public TCollectionItem {
 public:
  explicit TParam(TCollection* Collection);
  TParam(TParams* AParams, TParamType AParamType);

  const String& Name() const { return name_; }
  void SetName(const String& Value) { name_ = Value; }
  TFieldType DataType() const { return data_type_; }
  // Converts a held value to the new type.
  void SetDataType(TFieldType Value);
  TParamType ParamType() const { return param_type_; }
  void SetParamType(TParamType Value) { param_type_ = Value; }
  // True once a value was set (Clear keeps it).
  bool Bound() const { return bound_; }
  void SetBound(bool Value) { bound_ = Value; }
  int Size() const { return size_; }
  void SetSize(int Value) { size_ = Value; }
  int Precision() const { return precision_; }
  void SetPrecision(int Value) { precision_ = Value; }
  int NumericScale() const { return numeric_scale_; }
  void SetNumericScale(int Value) { numeric_scale_ = Value; }
  TParams* Params() const;

  bool IsNull() const { return VarIsNull(value_) || VarIsClear(value_); }
  // Null; DataType and Bound stay.
  void Clear();
  const Variant& Value() const { return value_; }
  // Without a DataType, the type follows the variant's.
  void SetValue(const Variant& Value);
  String AsString() const;
  void SetAsString(const String& Value);
  Integer AsInteger() const;
  void SetAsInteger(Integer Value);
  SmallInt AsSmallInt() const { return static_cast<SmallInt>(AsInteger()); }
  void SetAsSmallInt(Integer Value);
  Word AsWord() const { return static_cast<Word>(AsInteger()); }
  void SetAsWord(Integer Value);
  Int64 AsLargeInt() const;
  void SetAsLargeInt(Int64 Value);
  double AsFloat() const;
  void SetAsFloat(double Value);
  ::Currency AsCurrency() const;
  void SetAsCurrency(::Currency Value);
  TBcd AsBCD() const;
  void SetAsBCD(const TBcd& Value);
  bool AsBoolean() const;
  void SetAsBoolean(bool Value);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime Value);
  TDateTime AsDate() const { return AsDateTime(); }
  void SetAsDate(TDateTime Value);
  TDateTime AsTime() const { return AsDateTime(); }
  void SetAsTime(TDateTime Value);
  String AsMemo() const { return AsString(); }
  void SetAsMemo(const String& Value);
  String AsBlob() const { return AsString(); }
  void SetAsBlob(const String& Value);
  WideString AsWideString() const;
  void SetAsWideString(const WideString& Value);

  // Type, name and value of a field (AssignField), or only type and value.
  void AssignField(TField* Field);
  void AssignFieldValue(TField* Field, const Variant& Value);
  void Assign(TPersistent* Source) override;
  // Bytes of the native form of the type.
  int GetDataSize() const;
  bool IsEqual(const TParam* Value) const;

 protected:
  String GetDisplayName() const override { return name_.empty() ? TCollectionItem::GetDisplayName() : name_; }

 private:
  String name_;
  TFieldType data_type_ = ftUnknown;
  TParamType param_type_ = ptUnknown;
  Variant value_;
  bool bound_ = false;
  int size_ = 0;
  int precision_ = 0;
  int numeric_scale_ = 0;
};

class TParams : public TCollection {
 public:
  explicit TParams(TPersistent* Owner = nullptr);

  TParam* Items(int Index) const { return static_cast<TParam*>(TCollection::Items(Index)); }
  TParam* operator[](int Index) const { return Items(Index); }
  void AddParam(TParam* Value);
  void RemoveParam(TParam* Value);
  TParam* CreateParam(TFieldType FldType, const String& ParamName, TParamType ParamType);
  // Case-insensitive; FindParam gives nullptr, ParamByName raises
  // SParameterNotFound.
  TParam* FindParam(const String& Value) const;
  TParam* ParamByName(const String& Value) const;
  void GetParamList(std::vector<TParam*>& List, const String& ParamNames) const;
  // Copies the values of the parameters of the same name.
  void AssignValues(TParams* Value);
  bool IsEqual(TParams* Value) const;
  // One name: its value; several (";"-separated): a variant array.
  Variant ParamValues(const String& ParamName) const;
  void SetParamValues(const String& ParamName, const Variant& Value);
  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;
};

// The unit's start-up registers the field classes, TDataSource and TDataSet
// with the class registry.
extern const TUnit unit_DB;
