// Statements and their descriptor areas.
//
// TFIBXSQLDA owns one descriptor area of the client API (XSQLDA, laid out as
// the installed <ibase.h> defines it): the block the server fills when it
// describes a statement's parameters or output columns and that execute and
// fetch calls read and write. It keeps one TFIBXSQLVAR per entry and the name
// indexes through which parameters and columns are found by name.
//
// TFIBXSQLVAR gives typed access to one entry. Getters convert the stored
// value to the type asked for; setters store a value by changing the entry's
// type, length and data, so that a parameter carries the type of the last
// value assigned and the server converts it. A value assigned to a parameter
// is assigned to every parameter of the same name.
//
//   TFIBXSQLVAR* v = query->Params()->ByName("ID");
//   v->SetAsInteger(7);                    // LONG, 4 bytes
//   query->Fields()->Vars(0)->AsString();  // NUMERIC(15,2) 12345 -> "123.45"
//
// Encodings: a scaled integer is value x 10^sqlscale; dates are day numbers
// counted from 1858-11-17; times are 1/10000 seconds since midnight. Texts
// are the attachment's bytes (UTF-8 on a Unicode attachment, which is also
// this system's code page).
//
// Conversions that do not fit the target (an INT64 beyond 32 bits read as
// Integer, a value beyond the range of its scale, a failing text conversion)
// raise client error 33 "Invalid data conversion."; nothing wraps silently.
//
// TFIBQuery here carries what the areas need of their statement: the link to
// database and transaction, the options, the three areas and the execution
// state they read. Preparation, execution and fetching belong to the
// statement's own code.
#pragma once

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/ibase.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/FMTBcd.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/Variants.h"

class TFIBQuery;
class TFIBXSQLDA;
class TFIBXSQLVAR;
class TpFIBArray;

// The 16-bit Boolean of older servers (1 = true). Firebird's own BOOLEAN is
// SQL_BOOLEAN of <ibase.h>, one byte.
inline constexpr short SQL_BOOLEAN16 = 590;

RTL_ENUM(TpFIBQueryOption, qoStartTransaction, qoAutoCommit, qoTrimCharFields, qoNoForceIsNull,
         qoFreeHandleAfterExecute);
using TpFIBQueryOptions = Set<TpFIBQueryOption>;

// Statement types as the server answers them.
enum TFIBSQLTypes : Byte {
  SQLUnknown = 0,
  SQLSelect = 1,
  SQLInsert = 2,
  SQLUpdate = 3,
  SQLDelete = 4,
  SQLDDL = 5,
  SQLGetSegment = 6,
  SQLPutSegment = 7,
  SQLExecProcedure = 8,
  SQLStartTransaction = 9,
  SQLCommit = 10,
  SQLRollback = 11,
  SQLSelectForUpdate = 12,
  SQLSetGenerator = 13,
  SQLSavePoint = 14,
};

// ---------------------------------------------------------------------------
// TFIBXSQLVAR: one parameter or output column

class TFIBXSQLVAR : public TObject {
 public:
  TFIBXSQLVAR(TFIBXSQLDA* Parent, TFIBQuery* Query);
  ~TFIBXSQLVAR() override;
  TFIBXSQLVAR(const TFIBXSQLVAR&) = delete;
  TFIBXSQLVAR& operator=(const TFIBXSQLVAR&) = delete;

  // --- Identity
  Integer Index() const { return index_; }
  const String& Name() const { return name_; }
  TFIBXSQLDA* Parent() const { return parent_; }
  TFIBQuery* Statement() const { return query_; }
  // The record of the client API.
  XSQLVAR* AsXSQLVAR() const { return record_; }
  // Set by every setter; cleared after execution.
  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }
  // A value was assigned, or the server described the entry.
  bool HasValue() const { return has_value_; }

  // --- Record
  // A value stream makes a variable not NULL; an output column reads NULL
  // until its statement fetched a row (an executed procedure's row counts);
  // otherwise the indicator of a nullable record, and a record never
  // assigned (type 0), decide.
  bool IsNull() const;
  void SetIsNull(bool Value);
  // Asking a nullable record without indicator gives it a zeroed one.
  bool IsNullable();
  void SetIsNullable(bool Value);
  void Clear() { SetIsNull(true); }
  // sqltype without the nullable bit.
  Integer SQLType() const { return record_->sqltype & ~1; }
  Integer SQLSubtype() const { return record_->sqlsubtype; }
  Integer Scale() const { return record_->sqlscale; }
  // Described column and relation name; empty in a parameter area.
  String SqlName() const;
  String RelationName() const;
  bool IsBlobOrArray() const;

  // The type, subtype and scale the server described. A parameter of the
  // user area that has none yet takes those of the server parameter of its
  // name once the statement is prepared; 0 until then.
  Integer DeclaredType();
  Integer DeclaredSubType();
  Integer DeclaredScale();
  void SetDeclared(Integer Type, Integer SubType, Integer Scale);

  // --- Getters. NULL gives the type's empty value (0, "", Null, False, the
  // zero GUID); a type a getter does not accept raises client error 33.
  Integer AsInteger() const;
  Int64 AsInt64() const;
  double AsDouble() const;
  double AsFloat() const { return AsDouble(); }
  // As AsDouble, without the Boolean types.
  double AsExtended() const;
  Currency AsCurrency() const;
  TBcd AsBcd() const;
  TTimeStamp AsTimeStamp() const;
  TDateTime AsDateTime() const;
  bool AsBoolean() const;
  ISC_QUAD AsQuad() const;
  // The first 16 bytes of a TEXT or VARYING value; other types give the
  // zero GUID.
  TGUID AsGuid() const;
  String AsString() const;
  WideString AsWideString() const;
  Variant AsVariant() const;

  // --- Setters (each one sets every parameter of this name)
  void SetAsShort(SmallInt Value);
  void SetAsInteger(Integer Value);
  // Dialect 1 stores a LONG (client error 33 beyond 32 bits).
  void SetAsInt64(Int64 Value);
  void SetAsDouble(double Value);
  void SetAsFloat(double Value) { SetAsDouble(Value); }
  // Dialect 3: an INT64 with 18 significant decimal digits (the shortest
  // decimal form of Value), scale = integer digits - 18.
  void SetAsExtended(double Value);
  void SetAsCurrency(Currency Value);
  void SetAsBcd(const TBcd& Value);
  void SetAsTimeStamp(const TTimeStamp& Value);
  void SetAsDateTime(TDateTime Value);
  void SetAsTime(TDateTime Value) { SetAsDateTime(Value); }
  void SetAsDate(TDateTime Value);
  // A parameter declared BOOLEAN gets the declared type, any other a SHORT.
  void SetAsBoolean(bool Value);
  // ARRAY when the variable is an array, else BLOB.
  void SetAsQuad(const ISC_QUAD& Value);
  // TEXT of 16 bytes.
  void SetAsGuid(const TGUID& Value);
  void SetAsString(const String& Value);
  void SetAsWideString(const WideString& Value);
  void SetAsVariant(const Variant& Value);
  // The stream's whole content becomes the BLOB value written at execution.
  void LoadFromStream(TStream* Stream);
  // Copies Source's value: NULL, the whole record of a non-BLOB value, or a
  // BLOB's content (CopyBlobValue).
  void Assign(TFIBXSQLVAR* Source) { AssignBlob(Source); }
  void AssignBlob(TFIBXSQLVAR* Source);

  // --- BLOB and array values (unit FIBQuery_Blob.cpp, over the BLOB stream
  // and array columns)
  // A BLOB column's content read from the server as text.
  String ReadBlobText() const;
  // AssignBlob where either side is a BLOB: the content is read, filtered
  // and written as a new BLOB or as text.
  void CopyBlobValue(TFIBXSQLVAR* Source);
  // Stores a Variant array as the new value of an ARRAY variable.
  void WriteArray(const Variant& Value);
  // Dimensions of an array column (client error 59 without array object).
  Integer ArrayDimensions() const;
  // The array object of an ARRAY column, owned by the statement that made it.
  TpFIBArray* FIBArray() const { return array_; }
  void SetFIBArray(TpFIBArray* Value) { array_ = Value; }

  // --- BLOB parameter content and kept wide text
  // The content of a BLOB parameter to write, or nullptr.
  TMemoryStream* ValueStream() const { return value_stream_.get(); }
  void FreeValueStream() { value_stream_.reset(); }
  bool HasWideValue() const { return has_wide_value_; }
  const WideString& WideValue() const { return wide_value_; }
  // Assigned while the declared type was unknown (ApplyDeclaredTypes).
  bool TypeUnknownAtAssignment() const { return type_unknown_; }

  // --- Marker of the SQL text, set by the parameter scanner
  bool IsLiteral() const { return literal_; }
  void SetIsLiteral(bool Value) { literal_ = Value; }
  bool IsQuotedLiteral() const { return quoted_literal_; }
  void SetIsQuotedLiteral(bool Value) { quoted_literal_ = Value; }
  const String& DefaultText() const { return default_text_; }
  void SetDefaultText(const String& Value) { default_text_ = Value; }
  const Variant& OldValue() const { return old_value_; }
  void SetOldValue(const Variant& Value) { old_value_ = Value; }
  bool InWhereClause() const { return in_where_; }
  void SetInWhereClause(bool Value) { in_where_ = Value; }
  bool StandsAlone() const { return stands_alone_; }
  void SetStandsAlone(bool Value) { stands_alone_ = Value; }
  Integer StartPos() const { return start_pos_; }
  Integer EndPos() const { return end_pos_; }
  void SetPositions(Integer Start, Integer End) { start_pos_ = Start, end_pos_ = End; }

  // Makes the data buffer hold at least Size bytes (1 at least; new bytes
  // zeroed) and points the record at it.
  void SetDataSize(Integer Size);

 private:
  friend class TFIBXSQLDA;

  enum class TStringMode { Ansi, Wide, ByDeclaredType };

  void SetRecord(XSQLVAR* Record);
  void SetNameAndIndex(const String& Name, Integer Index) { name_ = Name, index_ = Index; }
  TFIBDatabase* Database() const;
  Integer Dialect() const;
  bool NeedUnicodeConvert() const;
  bool InUserArea() const;
  void ResolveDeclared();

  // Raw reads
  Int64 RawInteger() const;
  Integer RawBoolean() const;
  String RawText() const;
  String TextForConversion() const;
  // The text read by Read(text, value); client error 33 when it fails.
  template <class T, class TryRead>
  T FromText(TryRead Read) const;
  TDateTime TextDateTime() const;
  [[noreturn]] static void ConversionError();
  [[noreturn]] void RaiseNotArray() const;

  // The one write path: Op runs on this variable and on every parameter of
  // the same name; each then has a value and a literal compares its value.
  template <class Op>
  void SetValue(Op&& op);
  void WriteNull(bool Null);
  void WriteNullable(bool Nullable);
  void WriteTyped(short Type, Integer Length, const void* Data, short Scale, short SubType);
  void WriteCopy(const XSQLVAR* Source);
  void WriteBlobStream(const void* Data, Int64 Size, short SubType, short Scale, bool KeepSubtypeScale);
  void SetTyped(short Type, Integer Length, const void* Data, short Scale = 0, short SubType = -1);
  void AssignString(const String* Ansi, const WideString* Wide, TStringMode Mode);
  void AssignDeclaredDateTime(TDateTime Value);
  void ReassignByDeclaredType();

  Integer index_ = 0;
  bool modified_ = false;
  String name_;
  TFIBQuery* query_;
  XSQLVAR* record_ = nullptr;
  TFIBXSQLDA* parent_;
  char* data_ = nullptr;  // owned; the record's sqldata
  size_t data_size_ = 0;
  ISC_SHORT indicator_ = 0;  // the record's sqlind while nullable
  bool literal_ = false;
  bool quoted_literal_ = false;
  String default_text_;
  Variant old_value_;
  bool in_where_ = false;
  bool stands_alone_ = false;
  Integer start_pos_ = 0;
  Integer end_pos_ = 0;
  Integer declared_type_ = 0;
  Integer declared_subtype_ = 0;
  Integer declared_scale_ = 0;
  bool has_value_ = false;
  bool type_unknown_ = false;
  std::unique_ptr<TMemoryStream> value_stream_;
  WideString wide_value_;
  bool has_wide_value_ = false;
  TpFIBArray* array_ = nullptr;
};

// ---------------------------------------------------------------------------
// TFIBXSQLDA: one descriptor area

class TFIBXSQLDA : public TObject {
 public:
  TFIBXSQLDA(TFIBQuery* Statement, bool IsParameterArea);
  ~TFIBXSQLDA() override;
  TFIBXSQLDA(const TFIBXSQLDA&) = delete;
  TFIBXSQLDA& operator=(const TFIBXSQLDA&) = delete;

  // Clears the name indexes and sets the number of entries in use. Records
  // and variables are only added, never freed before the area: a smaller
  // count keeps them for later use. sqln and sqld equal the count.
  void SetCount(Integer N);
  Integer Count() const { return count_; }
  Integer Allocated() const { return allocated_; }
  // The block passed to the client calls (nullptr before the first entry).
  XSQLDA* AsXSQLDA() const { return descriptor_; }
  TFIBQuery* Statement() const { return statement_; }
  bool IsParameterArea() const { return is_parameter_area_; }

  // Client error 23 outside 0..Count-1.
  TFIBXSQLVAR* Vars(Integer Index) const;
  TFIBXSQLVAR* GetXSQLVAR(Integer Index) const { return Vars(Index); }

  // The variable of that name, or nullptr. A name in double quotes is taken
  // as written; other names are upper-cased when the rules of the database
  // say so (no database, dialect 1, or UpperOldNames with a name that needs
  // no quotes). An exact match wins over one that differs in letter case
  // only. The user parameters of a statement go on to its server parameters.
  TFIBXSQLVAR* ByName(const String& Name);
  TFIBXSQLVAR* GetXSQLVARByName(const String& Name) { return ByName(Name); }

  // Enters the name of entry Index (upper-cased, ASCII letters only, unless
  // Normalized). In a parameter area a name given twice links the entries:
  // a value set on one is set on all of them.
  void AddName(const String& Name, Integer Index, bool Normalized);
  // After a describe: keeps each entry's described type as declared, names
  // the entries from their aliases (when no names were entered), sizes data
  // buffers and indicators. Client error 30 for a type it does not know.
  void BuildNameIndex();
  // Copies values by name from Source.
  void AssignValues(TFIBXSQLDA* Source);
  // Every variable NULL, nullable flags kept.
  void ClearValues();
  void ResetModified();
  // A value was assigned before the declared types were known.
  bool TypesPending() const { return types_pending_; }
  // Assigns such values again by the types declared now.
  void ApplyDeclaredTypes();

 private:
  friend class TFIBXSQLVAR;

  // Names list lookup (exact first, then ignoring case); -1 when absent.
  int FindName(const String& Normalized) const;
  String NormalizeName(const String& Name) const;
  // Names with the indexes of their entries, in the order entered.
  using TNameIndex = std::multimap<String, int>;
  // Indexes of the parameters sharing the name (empty when none do).
  std::pair<TNameIndex::const_iterator, TNameIndex::const_iterator> SameNames(const String& Name) const {
    return duplicates_.equal_range(Name);
  }

  TNameIndex duplicates_;
  std::unordered_map<String, TFIBXSQLVAR*> lookup_cache_;
  Integer count_ = 0;
  bool types_pending_ = false;
  TNameIndex names_;
  TNameIndex folded_names_;  // the same names in upper case
  TFIBQuery* statement_;
  Integer allocated_ = 0;
  XSQLDA* descriptor_ = nullptr;
  std::vector<std::unique_ptr<TFIBXSQLVAR>> vars_;
  bool is_parameter_area_;
};

// ---------------------------------------------------------------------------
// TFIBQuery: what the descriptor areas use of their statement

class TFIBQuery : public TComponent {
 public:
  explicit TFIBQuery(TComponent* AOwner);
  ~TFIBQuery() override;

  TFIBBase* Base() const { return base_.get(); }
  TFIBDatabase* Database() const { return base_->Database(); }
  virtual void SetDatabase(TFIBDatabase* Value) { base_->SetDatabase(Value); }
  TFIBTransaction* Transaction() const { return base_->Transaction(); }
  void SetTransaction(TFIBTransaction* Value) { base_->SetTransaction(Value); }
  TpFIBQueryOptions Options() const { return options_; }
  void SetOptions(TpFIBQueryOptions Value) { options_ = Value; }

  // The user parameters and the output columns.
  TFIBXSQLDA* Params() const { return user_params_.get(); }
  TFIBXSQLDA* Fields() const { return fields_.get(); }
  // The parameters as the server described them.
  TFIBXSQLDA* ServerParams() const { return server_params_.get(); }

  bool Prepared() const { return prepared_; }
  TFIBSQLTypes SQLType() const { return sql_type_; }
  // Rows fetched since execution.
  Integer RecordCount() const { return record_count_; }
  // A literal parameter's value differs from the one in the text to prepare.
  bool LiteralValuesChanged() const { return literal_values_changed_; }
  // Parameters hold BLOB content to write before execution.
  bool BlobParamsToWrite() const { return blob_params_to_write_; }
  void SetBlobParamsToWrite(bool Value) { blob_params_to_write_ = Value; }

 protected:
  friend class TFIBXSQLDA;
  friend class TFIBXSQLVAR;

  // Rebuilds the text to prepare with the literal values written in and
  // rescans it; clears the literal-values-changed flag.
  virtual void RebuildLiteralText() = 0;

  std::unique_ptr<TFIBBase> base_;
  std::unique_ptr<TFIBXSQLDA> user_params_;
  std::unique_ptr<TFIBXSQLDA> server_params_;
  std::unique_ptr<TFIBXSQLDA> fields_;
  TpFIBQueryOptions options_;
  bool prepared_ = false;
  TFIBSQLTypes sql_type_ = SQLUnknown;
  Integer record_count_ = 0;
  bool literal_values_changed_ = false;
  bool blob_params_to_write_ = false;
};
