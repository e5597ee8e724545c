// Statements, their parameter scanner and their descriptor areas.
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
// TFIBQuery is the statement that owns three areas: its user parameters,
// the parameters as the server described them and its output columns.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/pFIBArray.h"
#include "dataaccess/core/pFIBInterfaces.h"
#include "dataaccess/core/pFIBProps.h"
#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/ibase.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/FMTBcd.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

class TFIBQuery;
class TFIBXSQLDA;
class TFIBXSQLVAR;

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
  // SMALLINT, INTEGER and BIGINT (scaled or not) exactly with their own
  // decimal places; other types through Currency, with 4.
  TBcd AsBcd() const;
  // Milliseconds: the record has no room for the server's 1/10000 s.
  TTimeStamp AsTimeStamp() const;
  // Dates, times and time stamps to the 1/10000 s the server keeps.
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
  // The exact number Value * 10^Scale (Scale 0 to -18) as SetAsBcd sets
  // it, without a decimal form in between.
  void SetAsScaled(Int64 Value, Integer Scale);
  void SetAsTimeStamp(const TTimeStamp& Value);
  // A TIMESTAMP to 1/10000 s, rounded within its day (never to the next
  // one); client error 33 outside the years 1..9999.
  void SetAsDateTime(TDateTime Value);
  void SetAsTime(TDateTime Value) { SetAsDateTime(Value); }
  void SetAsDate(TDateTime Value);
  // A parameter declared BOOLEAN gets the declared type, any other a SHORT
  // (before the types are known, made BOOLEAN when one is declared).
  void SetAsBoolean(bool Value);
  // ARRAY when the variable is an array, else BLOB.
  void SetAsQuad(const ISC_QUAD& Value);
  // TEXT of 16 bytes.
  void SetAsGuid(const TGUID& Value);
  // TEXT (UTF-8 marked where the declared character set needs it); longer
  // than 32767 bytes a BLOB value; empty for a declared number or date NULL.
  // A parameter named DB_KEY or RDB$DB_KEY takes the raw key bytes.
  void SetAsString(const String& Value);
  void SetAsWideString(const WideString& Value);
  // By the Variant's type. Null and unassigned Variants make NULL, and NULL
  // it stays whatever type is declared later.
  void SetAsVariant(const Variant& Value);
  // The stream's whole content becomes the BLOB value written at execution.
  void LoadFromStream(TStream* Stream);
  // Copies Source's value: NULL, the whole record of a non-BLOB value, or a
  // BLOB's content (CopyBlobValue). A BLOB copied into a user parameter
  // prepares its statement first: a BLOB parameter gets a new BLOB, any other
  // the content as text.
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
  void SetOldValue(Variant&& Value) { old_value_ = std::move(Value); }
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
  // Copies values by name from Source: NULL as NULL, BLOB and array ids,
  // scaled integers and dates record by record, numbers for a declared date
  // or time as date-times, anything else through a Variant.
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
// Parameter markers of an SQL text

// One marker found by ScanSQLParams. Positions are 1-based and inclusive.
struct TSQLParamMarker {
  // The name as written: without the quotes of a quoted name, without the
  // literal character and default text of a literal. Plain "?" markers are
  // named "?1", "?2", ... in order.
  String Name;
  Integer StartPos = 0;  // the ":", "?" or first literal character
  Integer EndPos = 0;    // the last character of the name (or the closing character)
  bool InWhereClause = false;
  // No "*", "+", "|" or arithmetic "-" or "/" follows the marker.
  bool StandsAlone = false;
  bool Quoted = false;   // a name in double quotes (keeps its case)
  bool Literal = false;  // written into the text before preparing
  bool QuotedLiteral = false;  // written as a quoted string
  String DefaultText;    // a literal's default text (without the "#" of a quoted one)
};

struct TSQLParamScan {
  std::vector<TSQLParamMarker> Markers;
  // The text with every parameter marker replaced by "?" ("? " for a quoted
  // name); literal markers stay as written.
  String Text;
  // False when a marker without name stopped the scan (only while loading).
  bool Complete = true;
};

// Finds the parameter markers of Text outside strings, quoted names and
// comments: ":NAME", ":"Name"", "?NAME", a plain "?", and the literal forms
// "@NAME%default" (up to the next blank or line end) and "@@NAME%default@"
// with LiteralChar "@" (0: no literals). Colon and question-mark markers
// count neither in DDL nor in an EXECUTE BLOCK's body (after its AS). With
// ServerMode the literals are left as text and not listed. Errors raise
// client error 51 naming StatementName: "EOF in comment detected", "EOF in
// string detected", "Parameter name expected" (with Loading, a missing name
// ends the scan silently instead).
void ScanSQLParams(const String& Text, TSQLKind Kind, char LiteralChar, bool ServerMode, bool Loading,
                   const String& StatementName, TSQLParamScan& Result);

// True when Text holds a ":", "?" or literal marker outside strings, quoted
// names and comments, from its second character on.
bool HasParamMarkers(const String& Text, TSQLKind Kind, char LiteralChar);

// One marker of the text handed to BuildExecSQLText.
struct TSQLTextParam {
  Integer StartPos = 0;
  Integer EndPos = 0;
  bool Literal = false;
  bool QuotedLiteral = false;
  String Value;  // a literal's value as text
  // The parameter is NULL, inside a WHERE clause and stands alone: its
  // comparison "= :P" becomes " IS NULL ", "<> :P" (and "!=", "^=", "~=")
  // " IS NOT NULL ".
  bool NullComparison = false;
  bool Written = false;  // out: the marker was replaced
};

// The text with literal values written in and NULL comparisons rewritten.
// Params are in the order of their markers.
String BuildExecSQLText(const String& Text, std::span<TSQLTextParam> Params);

// A literal value as an SQL string: "''" for an empty value; a value that is
// already one quoted string stays; otherwise a leading "#" is dropped and the
// value is enclosed in single quotes with its own quotes doubled.
String QuoteLiteralValue(const String& Value);

// ---------------------------------------------------------------------------
// TFIBQuery: one SQL statement
//
//   auto* q = new TFIBQuery(form);
//   q->SetDatabase(db);                       // takes db's DefaultTransaction
//   q->SQL()->SetText("select NAME from PEOPLE where ID = :ID");
//   q->ParamByName("ID")->SetAsInteger(7);
//   q->ExecQuery();                           // prepares first, fetches row 1
//   for (; !q->Eof(); q->Next()) use(q->FieldByName("NAME")->AsString());
//   q->Close();
//
// The SQL text is scanned for parameter markers when it changes; the
// parameters (Params) keep their values across text changes by name. The
// text sent to the server has the markers as "?", literal parameters
// ("@NAME", "@@NAME%default@") written in as text, and, at execution,
// comparisons with NULL parameters in the WHERE clause ("A = :A") rewritten
// as IS NULL / IS NOT NULL. Such a text is prepared again whenever a value
// changes what it would be. DDL statements are executed at once without
// preparing.

// Statistics a database keeps per statement text through an outside
// component (the system has none). The statements record, per text, the
// values "LastQueryName", "PrepareCount", "ExecuteCount", "LastTimeExecute",
// "SumTimeExecute", "AvgTimeExecute", "MaxTimeExecute" and the parameter
// lines of the slowest execution.
class ISQLStatMaker {
 public:
  virtual bool ActiveStatistics() = 0;
  // Null when the text has no such value yet.
  virtual Variant GetStatValue(const String& SQLText, const String& Name) = 0;
  virtual void SetStatValue(const String& SQLText, const String& Name, const Variant& Value) = 0;
  virtual void SetMaxTimeParams(const String& SQLText, TStrings* Params) = 0;

 protected:
  ~ISQLStatMaker() = default;
};

// Datasets that own statements implement this; the statements then name the
// dataset in monitor texts and in the connection-tracing comment.
class IFIBStatementDataSet {
 public:
  // The dataset's description for the tracing comment ("" when none).
  virtual String DataSetDescription() const = 0;

 protected:
  ~IFIBStatementDataSet() = default;
};

// Library-wide defaults of statements created on a designer surface.
struct TFIBQueryDefaults {
  bool ParamCheck = true;
  bool GoToFirstRecordOnExecute = true;
  TpFIBQueryOptions Options;
};
extern TFIBQueryDefaults FIBQueryDefaults;

// Batch events (published; batch runs are outside this unit).
using TOnBatching = Event<void(TObject* Sender, Integer RecordNumber, bool& Stop)>;
using TOnBatchError = Event<void(TObject* Sender, const Exception& E, bool& Ignore)>;
// Called before each fetch with the number of rows fetched so far; Stop
// ends the fetch with a silent abort.
using TFIBFetchCallback = std::function<void(Integer RecordNumber, bool& Stop)>;

extern const TUnit unit_FIBQuery;

class TFIBQuery;
// The statement's name in monitor texts: the owning dataset's name (with
// WithStatement, dataset "." statement) when a dataset owns it.
String MonitorStatementName(const TFIBQuery* Query, bool WithStatement);

class TFIBQuery : public TComponent, public IConditionsStatement, public ISQLObject {
 public:
  explicit TFIBQuery(TComponent* AOwner);
  ~TFIBQuery() override;

  // --- Link
  TFIBBase* Base() const { return base_.get(); }
  TFIBDatabase* Database() const { return base_->Database(); }
  // Another database frees the handle first.
  virtual void SetDatabase(TFIBDatabase* Value);
  TFIBTransaction* Transaction() const { return base_->Transaction(); }
  void SetTransaction(TFIBTransaction* Value);

  // --- Published properties
  TStrings* SQL() const { return sql_.get(); }
  void SetSQL(TStrings* Value);
  TConditions* Conditions() const { return conditions_.get(); }
  TCSMonitorSupport* CSMonitorSupport() const { return cs_monitor_support_.get(); }
  bool GoToFirstRecordOnExecute() const { return go_to_first_record_; }
  void SetGoToFirstRecordOnExecute(bool Value) { go_to_first_record_ = Value; }
  bool ParamCheck() const { return param_check_; }
  // False empties the parameters and sends the text as written.
  void SetParamCheck(bool Value);
  TpFIBQueryOptions Options() const { return options_; }
  void SetOptions(TpFIBQueryOptions Value) { options_ = Value; }
  const TNotifyEvent& OnSQLChanging() const { return on_sql_changing_; }
  void SetOnSQLChanging(TNotifyEvent Value) { on_sql_changing_ = std::move(Value); }
  const TOnBatching& OnBatching() const { return on_batching_; }
  void SetOnBatching(TOnBatching Value) { on_batching_ = std::move(Value); }
  const TOnBatchError& OnBatchError() const { return on_batch_error_; }
  void SetOnBatchError(TOnBatchError Value) { on_batch_error_ = std::move(Value); }
  const TNotifyEvent& TransactionEnding() const { return on_transaction_ending_; }
  void SetTransactionEnding(TNotifyEvent Value) { on_transaction_ending_ = std::move(Value); }
  const TNotifyEvent& TransactionEnded() const { return on_transaction_ended_; }
  void SetTransactionEnded(TNotifyEvent Value) { on_transaction_ended_ = std::move(Value); }
  const TNotifyEvent& BeforeExecute() const { return before_execute_; }
  void SetBeforeExecute(TNotifyEvent Value) { before_execute_ = std::move(Value); }
  const TNotifyEvent& AfterExecute() const { return after_execute_; }
  void SetAfterExecute(TNotifyEvent Value) { after_execute_ = std::move(Value); }

  // --- Preparation
  // Prepares the text on the server (again only when a literal value or a
  // NULL comparison changed it). Client errors 37 (empty text), 2 (statement
  // types that cannot run here), server errors as EFIBInterBaseError; a
  // failed prepare leaves no handle.
  void Prepare();
  bool Prepared() const { return prepared_; }
  // Successful prepares of this statement so far.
  Integer PrepareCount() const { return prepare_count_; }
  // Drops the server's statement, and with it an open cursor: Open() is
  // false after it. The next execution prepares again.
  void FreeHandle();
  isc_stmt_handle Handle() const { return handle_; }
  TFIBSQLTypes SQLType() const { return sql_type_; }
  // The text sent to the server at the last prepare or immediate execution.
  const String& ReadySQLText() const { return text_to_prepare_; }
  // The " /* CSMON$CON_NAME=...; ... */" comment for the current database,
  // transaction and names; empty when the switches do not ask for it.
  String BuildCSMonitorComment() const;
  // The character that marks literal parameters ("@"; 0: none).
  char LiteralChar() const { return literal_char_; }
  void SetLiteralChar(char Value);
  const String& CursorName() const { return cursor_name_; }
  void SetCursorName(const String& Value) { cursor_name_ = Value; }
  // A literal parameter's value differs from the one in the text to prepare.
  bool LiteralValuesChanged() const { return literal_values_changed_; }
  // Parameters hold BLOB content to write before execution.
  bool BlobParamsToWrite() const { return blob_params_to_write_; }
  void SetBlobParamsToWrite(bool Value) { blob_params_to_write_ = Value; }
  // Names of parameters that the text sent to the server no longer has
  // (their values went into the text).
  TStrings* RemovedParams() const { return removed_params_.get(); }

  // --- Execution
  virtual void ExecQuery();
  // The next row (the output area), or nullptr at the end.
  TFIBXSQLDA* FetchNext();
  void Next() override { FetchNext(); }
  // Closes the cursor of an open SELECT.
  void Close();
  bool Eof() override;
  // Eof without its freeing of the handle.
  bool AtEnd() const { return eof_ || !open_; }
  bool Bof() const { return bof_; }
  bool Open() const { return open_; }
  Integer RecordCount() const { return record_count_; }
  // Rows the last execution touched, by statement type (the sum of the four
  // counts for other types).
  Integer RowsAffected();
  // The server's plan of a prepared SELECT, INSERT, UPDATE, DELETE, EXECUTE
  // PROCEDURE or SELECT ... FOR UPDATE; empty otherwise.
  String Plan();
  // Milliseconds the last execution took.
  Cardinal LastExecuteTime() const { return elapsed_; }
  bool Executing() const { return executing_; }
  bool CloseOnTransactionEnd() const { return close_on_tr_end_; }
  void SetCloseOnTransactionEnd(bool Value) { close_on_tr_end_ = Value; }
  void SetFetchCallback(TFIBFetchCallback Value) { fetch_callback_ = std::move(Value); }

  // --- Parameters
  // The user parameters (parsing the text first when needed).
  TFIBXSQLDA* Params();
  // The parameters as the server described them.
  TFIBXSQLDA* ServerParams() const { return server_params_.get(); }
  // The parameter Name; for "EXECUTE ..." texts an output column of that
  // name too; otherwise 'Parameter "%s" does not exist in %s'.
  TFIBXSQLVAR* ParamByName(const String& Name);
  TFIBXSQLVAR* FindParam(const String& Name);
  bool FindParamIndex(const String& Name, Integer& Index);
  Integer ParamCount() override;
  String ParamName(Integer Index) override;
  bool ParamExist(const String& Name, Integer& Index) override { return FindParamIndex(Name, Index); }
  Variant ParamValue(const String& Name) override;
  void SetParamValue(const String& Name, const Variant& Value);
  Variant ParamValueByIndex(Integer Index) override;
  void SetParamValue(Integer Index, const Variant& Value) override;
  void SetParamValueByIndex(Integer Index, const Variant& Value) { SetParamValue(Index, Value); }

  // --- Output columns
  TFIBXSQLDA* Fields() const { return fields_.get(); }
  // Client error 41 "Field No: <Index>" outside the columns.
  TFIBXSQLVAR* Fields(Integer Index);
  // Client error 41 'Field "%s" not found.'
  TFIBXSQLVAR* FieldByName(const String& Name);
  TFIBXSQLVAR* FindField(const String& Name);
  Integer FieldIndex(const String& Name);
  bool FieldExist(const String& Name, Integer& Index) override;
  Integer FieldCount() override { return fields_->Count(); }
  String FieldName(Integer Index) override;
  Variant FieldValue(const String& Name, bool Old = false) override;
  Variant FieldValueByIndex(Integer Index, bool Old = false) override;
  // The column of a table column; names upper-cased in dialect 1 and with
  // UpperOldNames.
  TFIBXSQLVAR* FieldByOrigin(const String& Relation, const String& Column);
  // Relation alias "." column name, quoted where needed; "" for a column
  // without relation (or none of that name).
  String FieldFullName(const String& Name);
  String FieldRelationAlias(Integer Index);
  String FieldRelationAlias(const String& Name);

  // --- SQL text
  String GetSQLText() const override { return sql_->Text(); }
  void SetSQLText(const String& Text) override { sql_->SetText(Text); }
  // While nested, text changes only reach the parser; the outermost end
  // re-reads the text.
  void BeginModifySQLText() override { ++update_counter_; }
  void EndModifySQLText() override;
  // The modified table of the text, computed once per text.
  String CachedSQLKey();
  Integer TextChangeCount() const { return text_change_counter_; }
  String MainWhereClause() const;
  void SetMainWhereClause(const String& Value);
  String WhereClause(Integer N) const;
  void SetWhereClause(Integer N, const String& Value);
  void SetPlanClause(const String& Value);
  String OrderClause() const;
  void SetOrderClause(const String& Value);

 protected:
  friend class TFIBXSQLDA;
  friend class TFIBXSQLVAR;

  // Writes changed literal values into the text to prepare (called when a
  // parameter is looked up by name while one changed).
  virtual void RebuildLiteralText();

  std::unique_ptr<TFIBBase> base_;
  std::unique_ptr<TFIBXSQLDA> user_params_;
  std::unique_ptr<TFIBXSQLDA> server_params_;
  std::unique_ptr<TFIBXSQLDA> fields_;
  TpFIBQueryOptions options_;
  bool prepared_ = false;
  Integer prepare_count_ = 0;
  TFIBSQLTypes sql_type_ = SQLUnknown;
  Integer record_count_ = 0;
  bool literal_values_changed_ = false;
  bool blob_params_to_write_ = false;

 private:
  // Text changes
  void SQLChanging(TObject* Sender);
  void SQLChanged(TObject* Sender);
  void ReadText();
  void ParseParams(bool ServerMode);
  bool LoadingChain() const;
  template <class F>
  void ChangeClause(F Rewrite);

  // Preparation
  bool RebuildNeeded() const;
  bool NullRewriteOn() const;
  bool NullCandidate(TFIBXSQLVAR* Var) const;
  void BuildTextToPrepare();
  void AppendCSMonitorComment(String& Text) const;
  void AppendCSMonitorCommentToParser();
  void DoPrepare();
  void Describe(TFIBXSQLDA* Area, bool Bind);
  void AdaptUserParams();
  unsigned short Dialect() const;
  IIBClientLibrary* Lib() const;

  // Execution
  void BeforeExecution();
  void AfterExecution();
  void ExecImmediate();
  TFIBXSQLDA* SendArea();
  void WriteBlobParams(TFIBXSQLDA* Area);
  void SaveOldValues();
  void ExecuteByType(XSQLDA* In);
  void ReportExecuteError(const std::exception& E);
  void RaiseFetchError();

  // Reports
  void StatExecuteStart();
  void StatExecuteEnd();
  void StatPrepare();
  ISQLStatMaker* ActiveStatMaker() const;
  void LogExecute(const String& Operation);
  void LogFetch();
  String SentParamsText(const char* Separator) const;

  // Link notifications
  void LinkTransactionEnding(TFIBBase* Sender);
  void LinkTransactionEnded(TFIBBase* Sender);
  void LinkDatabaseDisconnecting(TFIBBase* Sender);

  void ReadRelationAliases();
  // Array objects of ARRAY columns and parameters, owned here.
  void CreateArrays();
  void ReleaseArrays();

  std::unique_ptr<TStringList> sql_;
  std::unique_ptr<TConditions> conditions_;
  std::unique_ptr<TCSMonitorSupport> cs_monitor_support_;
  std::unique_ptr<TSQLParser> parser_;
  std::unique_ptr<TStringList> removed_params_;
  bool param_check_ = true;
  bool param_check_eff_ = true;
  bool go_to_first_record_ = true;
  bool bof_ = false;
  bool eof_ = false;
  bool open_ = false;
  bool single_row_ = false;
  isc_stmt_handle handle_ = 0;
  String text_to_prepare_;
  char literal_char_ = '@';
  bool text_parsed_ = true;  // the empty text has nothing to read
  Integer update_counter_ = 0;
  String cached_key_ = "-1";
  Cardinal start_time_ = 0;
  Cardinal elapsed_ = 0;
  bool text_rewritten_ = false;
  Integer text_change_counter_ = 0;
  bool close_on_tr_end_ = true;
  bool preparing_ = false;
  bool executing_ = false;
  String cursor_name_;
  std::vector<std::unique_ptr<TpFIBArray>> arrays_;
  std::vector<String> relation_aliases_;
  bool aliases_read_ = false;
  TFIBFetchCallback fetch_callback_;
  TNotifyEvent on_sql_changing_;
  TOnBatching on_batching_;
  TOnBatchError on_batch_error_;
  TNotifyEvent on_transaction_ending_;
  TNotifyEvent on_transaction_ended_;
  TNotifyEvent before_execute_;
  TNotifyEvent after_execute_;
};
