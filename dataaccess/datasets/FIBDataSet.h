// The dataset engine of the data-access library: TFIBCustomDataSet and
// TFIBDataSet, their record buffer layout, the field classes, the cache
// model options.
//
// A TFIBCustomDataSet is a dataset over a server select statement whose
// rows live in a record cache (TRecordsCache). It owns five internal
// statements ("SelectQuery", "RefreshQuery", "InsertQuery", "UpdateQuery",
// "DeleteQuery"), reaches its database and transactions through a TFIBBase
// link and raises the library's client errors (EFIBClientError) with its
// full component name.
//
//   auto* ds = new TFIBDataSet(form);
//   ds->SetDatabase(db);                       // takes db's DefaultTransaction
//   ds->SelectSQL()->SetText("select ID, NAME from PEOPLE");
//   ds->Open();                                // prepares, executes, reads one row
//   for (; !ds->Eof(); ds->Next()) Use(ds->FieldByName("NAME")->AsString());
//
// Opening prepares the select (field definitions from the column types and
// the repository's Boolean and GUID domains, pFIBDataInfo.h), copies the
// master's field values into its parameters, executes it and lays out the
// record. Rows are fetched one at a time when the class library asks for a
// record beyond the fetched ones; Last, poFetchAll and RecNo beyond the
// fetched rows fetch the rest. A statement that returns no rows (EXECUTE
// PROCEDURE) runs once and the dataset stays closed. In the standard cache
// model every fetched row stays in the cache; with UniDirectional the cache
// is a ring of BufferChunks records. A bookmark is the record's physical
// number in the cache and the window row it had (8 bytes); one that names no
// record is ignored. Refresh re-reads the active record through RefreshSQL
// (client error 48 without one).
//
// Filter, FilterOptions and Filtered are evaluated on the client (see
// DBParsers.h): the engine keeps the parser and the visible-record index,
// TpFIBDataSet applies the filter to the records it shows. Locate and
// Lookup search the cache (fetching on demand; a binary search where the
// cache is locally sorted by the key); DoSort and SortByFieldNames sort the
// cache locally (see "Local sorting" below).
//
// Editing runs in the cache: Insert/Append/Edit fill the active buffer,
// Post writes the record to the server through DoPostRecord (here: the
// hand-written InsertSQL/UpdateSQL, a first line "No Action" skipping it)
// and then into the cache; Delete runs DeleteSQL and hides the record. A
// post or delete the server refuses leaves the dataset in its state with
// the user's values and the cache as it was. With CachedUpdates changes
// stay in the cache with their old versions until applied or cancelled.
// A BLOB field reads and writes through one TFIBBlobStream per record and
// field, loaded on first use and written to the server at the post.
//
// Limited cache model (CacheModelKind cmkLimitedBufferSize): the cache is a
// ring of BufferChunks records, window record n in cache record
// (n mod BufferChunks) + 1. The select must have an ORDER BY over selected
// fields; moving past either end of the window fetches the rows after the
// last (or before the first) record with generated statements whose
// conditions compare the ORDER BY fields with the boundary row's values,
// passed as NEW_ parameters. Record numbers are window positions, not row
// numbers of the result (RecNo is not sequenced; SetRecNo reaches only the
// window's records). A bookmark holds the key fields' values
// (AutoUpdateOptions.KeyFields, else the order fields): going to one
// outside the window, and Locate (from the first row, or LocateRecord after
// or before the current record), find the row on the server and fill the
// window around it; a post that changes the order values, an insert and a
// delete do the same. Lookup searches the window, then reads one row with a
// statement of its own, and moves nothing. Refresh re-reads the active
// record through RefreshSQL (a changed order value refills the window
// around it); FullRefresh reads the window again around the active record.
// DoSort has the server order the rows: the statements are rebuilt with the
// sort fields in place of the ORDER BY and the select's order fields after
// them as tie-breakers (SelectSQL stays as written), and the window starts
// again from the first row. The order must make rows unique.
//
// Record buffer layout. Every record, in a record buffer of the dataset or
// in the record cache, has one byte layout, computed when the dataset opens
// from the output columns of SelectQuery (N columns; offsets in bytes):
//
//   0        4  record number: int32, 0-based position in fetch order
//   4        1  bookmark flag (TBookmarkFlag)
//   5        1  cached status: bits 0-2 TCachedUpdateStatus, bit 7 set once
//               calculated values were stored with the record
//   6        N  null flags in column order: 1 = NULL
//   6 + N       values of the columns that are not stored-apart strings,
//               in column order, each of the width below
//   ...         stored-apart strings in column order: int32 length, then
//               the column's declared length (sqllen) in bytes
//   ...   8 * B BLOB stream slots: per BLOB field the record's
//               TFIBBlobStream* or nullptr. This is a 64-bit layout: a slot
//               holds a pointer, 8 bytes here.
//   ...         calculated area (CalcFieldsSize bytes)
//
// A stored-apart string is a TEXT or VARYING column longer than 12 bytes
// whose field definition is not ftGuid; it lives in the cache's string table
// (numbered 0, 1, ... in column order), so it costs its actual length there.
//
// Widths and stored values by SQL type:
//   SHORT 2, LONG 4 (unscaled integers); FLOAT 4; DOUBLE, D_FLOAT 8;
//   TIMESTAMP 8: double milliseconds since day 1 of year 1, that is
//     (server date + 678576) * 86400000 + server time / 10, the server's
//     1/10000 s kept as the tenth of a millisecond in the fraction;
//   TYPE_DATE 4: int32 server date + 678576;
//   TYPE_TIME 4: int32 1/10000 s since midnight, the server's time as it is;
//   INT64 8: the scaled integer as fetched; with a scale below -4 and
//     psSQLINT64ToBCD off, the value as a double;
//   BLOB, ARRAY 8: the id; TEXT declared length (blank-padded); VARYING
//     declared length (the characters, a zero byte after them when shorter);
//   any other (BOOLEAN among them) its declared length, as fetched.
// Keeping the server's 1/10000 s means that a record read and written back
// sends back the value it read. TimeStampToSlot and its companions below
// convert between the server's words, the slots and TDateTime.
//
// Field values in native form (GetData/SetData of a field): SHORT and LONG
// as 16/32-bit integers with scale 0, else as doubles; FLOAT as a double;
// texts zero-terminated; TIMESTAMP, DATE and TIME as their slots; INT64 as
// its slot (a TBcd for ftBCD fields other than TFIBBCDField, which takes the
// raw integer); anything else as its bytes. Converted (NativeFormat false),
// TIMESTAMP and TIME slots become TDateTime with their 1/10000 s.
//
// The cache stores the record from byte 5 on without the stored-apart
// strings: status, null flags and values, the BLOB slots and, only with
// poCacheCalcFields, the calculated area. Record number n is cache record
// n + 1; in the limited cache model and with UniDirectional it is cache
// record (n mod BufferChunks) + 1.
//
// Local sorting. In the standard model DoSort fetches every row and reorders
// the cache's logical index (records never move) with a stable merge sort
// over keys read once per record (one integer key of at most 32 bits: a
// radix sort of its ranks): equal records keep their order, NULL comes first
// ascending and last descending. Values compare as CompareFieldValues does:
// with its default (no OnCompareFieldValues, DefaultFieldComparison true)
// the sort compares typed keys itself with the same rules (numbers by value,
// texts as UTF-8 bytes, BCD as scaled integers, dates and times as their
// slots, so chronologically); otherwise every pair goes through
// CompareFieldValues with the values as variants (texts as UTF-8 strings,
// dates as TDateTime). The sort description (SortInfo) also records the
// select's ORDER BY when psGetOrderInfo is set; only a local sort (Sorted)
// allows the binary search of Locate and Lookup in the standard model.
//
// The dataset, its cache and its fields are used from one thread.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBMiscellaneous.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/ibase.h"
#include "dataaccess/core/pFIBInterfaces.h"
#include "dataaccess/core/pFIBLists.h"
#include "dataaccess/core/pFIBProps.h"
#include "dataaccess/datasets/FIBCacheManage.h"
#include "dataaccess/datasets/pFIBFieldsDescr.h"
#include "platform/db/DB.h"
#include "platform/gui/Controls.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

class TExpressionParser;
class TFIBCustomDataSet;
class TFIBBlobField;
class TFIBArrayField;
class TFIBStringField;

extern const TUnit unit_FIBDataSet;

// ---------------------------------------------------------------------------
// Enumerations and option sets

RTL_ENUM(TCachedUpdateStatus, cusUnmodified, cusModified, cusInserted, cusDeleted, cusUninserted,
         cusDeletedApplied);
using TFIBUpdateRecordTypes = Set<TCachedUpdateStatus>;

RTL_ENUM(TpFIBDsOption, poTrimCharFields, poRefreshAfterPost, poRefreshDeletedRecord, poStartTransaction,
         poAutoFormatFields, poProtectedEdit, poUseSelectForLock, poKeepSorting, poPersistentSorting, poVisibleRecno,
         poNoForceIsNull, poFetchAll, poFreeHandlesAfterClose, poCacheCalcFields, poRefreshAfterDelete);
using TpFIBDsOptions = Set<TpFIBDsOption>;

RTL_ENUM(TpPrepareOption, pfSetRequiredFields, pfSetReadOnlyFields, pfImportDefaultValues, psUseBooleanField,
         psUseGuidField, psSQLINT64ToBCD, psApplyRepositary, psGetOrderInfo, psAskRecordCount,
         psCanEditComputedFields, psSetEmptyStrToNull, psSupportUnicodeBlobs, psUseLargeIntField);
using TpPrepareOptions = Set<TpPrepareOption>;

RTL_ENUM(TDetailCondition, dcForceOpen, dcIgnoreMasterClose, dcForceMasterRefresh, dcWaitEndMasterScroll);
using TDetailConditions = Set<TDetailCondition>;

RTL_ENUM(TCacheModelKind, cmkStandard, cmkLimitedBufferSize);
RTL_ENUM(TTransactionKind, tkReadTransaction, tkUpdateTransaction);
RTL_ENUM(TFieldOriginRule, forNoRule, forTableAndFieldName, forClientFieldName, forTableAliasAndFieldName);
RTL_ENUM(TFIBUpdateAction, uaFail, uaAbort, uaSkip, uaRetry, uaApply, uaApplied);

inline constexpr TFIBUpdateRecordTypes kDefaultUpdateRecordTypes{cusUnmodified, cusModified, cusInserted};
inline constexpr TpFIBDsOptions kDefaultDataSetOptions{poTrimCharFields, poRefreshAfterPost, poStartTransaction,
                                                       poAutoFormatFields};
inline constexpr TpPrepareOptions kDefaultPrepareOptions{pfImportDefaultValues, psUseBooleanField, psGetOrderInfo,
                                                         psSetEmptyStrToNull};
inline constexpr TUpdateKinds kDefaultAllowedUpdateKinds{ukModify, ukInsert, ukDelete};

// What a dataset made on a designer surface starts with (the run-time
// defaults until a host changes them).
extern TpFIBDsOptions DefaultDataSetOptions;
extern TpPrepareOptions DefaultPrepareOptions;
extern TDetailConditions DefaultDetailConditions;

// One field of the order information: the select's ORDER BY or a local sort.
// An ORDER BY by a column position that has no field keeps the number as
// its name (FieldIndex -1).
struct TSortFieldInfo {
  String FieldName;
  Integer FieldIndex = -1;
  Integer InOrderIndex = 0;  // 1-based position in the description
  bool Asc = true;
  bool Flag = false;         // the description's third column; always false
  // Where NULLs sort: first unless the direction is descending, as the
  // server orders them, or as NULLS FIRST / NULLS LAST says.
  bool NullsFirst = true;
};

// Internal locate options: case-insensitive, partial key (the value begins
// with the key), SQL mask (the key is a "like" mask with "%" and "_"),
// binary search allowed (where the cache is locally sorted by the key),
// reposition the dataset on the record found, search only the records
// fetched so far.
RTL_ENUM(TExtLocateOption, eloCaseInsensitive, eloPartialKey, eloWildCards, eloInSortedDS, eloSyncCursor,
         eloInFetchedRecords);
using TExtLocateOptions = Set<TExtLocateOption>;
// Where a search starts: the first record, the record after the current one
// (forward), the record before it (backward).
RTL_ENUM(TLocateKind, lkStandard, lkNext, lkPrior);

// ---------------------------------------------------------------------------
// Record layout constants and the slot forms of dates and times

inline constexpr int kRecNoOffset = 0;
inline constexpr int kBookmarkFlagOffset = 4;
inline constexpr int kCachedStatusOffset = 5;
inline constexpr int kNullFlagsOffset = 6;
// Bytes before the part the cache stores.
inline constexpr int kCachedPartOffset = 5;
inline constexpr Byte kCalcCachedBit = 0x80;
inline constexpr int kBlobSlotSize = static_cast<int>(sizeof(void*));
// Longest TEXT/VARYING kept inside the record.
inline constexpr int kMaxInRecordString = 12;
// Character set of binary text (kept byte-exact, never trimmed).
inline constexpr Integer kOctetsCharSet = 1;
// Days from the server's day 0 (1858-11-17) to TTimeStamp's day numbering.
inline constexpr Integer kServerDateDelta = 678576;
inline constexpr Integer kTimeUnitsPerDay = 864000000;  // 1/10000 s

double TimeStampToSlot(const ISC_TIMESTAMP& Value);
// Rounded to the nearest 1/10000 s.
ISC_TIMESTAMP SlotToTimeStamp(double Slot);
inline Integer DateToSlot(ISC_DATE Value) { return Value + kServerDateDelta; }
inline ISC_DATE SlotToDate(Integer Slot) { return Slot - kServerDateDelta; }
// TDateTime <-> slots, to the nearest 1/10000 s. A time never wraps to the
// next midnight: 23:59:59.99996 is kept as 23:59:59.9999. A slot before
// day 1 (a zero-filled record) reads as 0.
double DateTimeToSlot(TDateTime Value);
TDateTime SlotToDateTime(double Slot);
Integer TimeToSlot(TDateTime Value);
TDateTime SlotToTime(Integer Slot);

// ---------------------------------------------------------------------------
// Events

using TOnFetchRecord = Event<void(TFIBQuery* FromQuery, Integer RecordNumber, bool& StopFetching)>;
using TFIBUpdateErrorEvent =
    Event<void(TDataSet* DataSet, EFIBError& E, TUpdateKind UpdateKind, TFIBUpdateAction& UpdateAction)>;
using TFIBUpdateRecordEvent = Event<void(TDataSet* DataSet, TUpdateKind UpdateKind, TFIBUpdateAction& UpdateAction)>;
using TFIBAfterUpdateRecordEvent = Event<void(TDataSet* DataSet, TUpdateKind UpdateKind, bool& Resume)>;
using TCompareFieldValues = Event<Integer(TField* Field, const Variant& S1, const Variant& S2)>;
using TOnFillClientBlob = Event<void(TFIBCustomDataSet* DataSet, TFIBBlobField* Field, TFIBBlobStream* Stream)>;

// ---------------------------------------------------------------------------
// TCacheModelOptions: the record-cache model of a dataset.

class TCacheModelOptions : public TPersistent {
 public:
  explicit TCacheModelOptions(TFIBCustomDataSet* Owner) : owner_(Owner) {}

  void Assign(TPersistent* Source) override;

  TCacheModelKind CacheModelKind() const { return kind_; }
  // Nothing when unchanged; otherwise the dataset must be inactive.
  // cmkStandard frees the limited window; cmkLimitedBufferSize (outside
  // loading) needs CanUseLimitedCache, else client error 75, and raises
  // BufferChunks to 100.
  void SetCacheModelKind(TCacheModelKind Value);
  // Records per cache block; in cmkLimitedBufferSize the window size.
  Integer BufferChunks() const { return buffer_chunks_; }
  // The dataset must be inactive; <= 0 becomes 32, and in the limited model
  // values below 100 become 100.
  void SetBufferChunks(Integer Value);
  const String& PlanForDescSQLs() const { return plan_for_desc_sqls_; }
  void SetPlanForDescSQLs(const String& Value) { plan_for_desc_sqls_ = Value; }
  // Most BLOB streams kept loaded; 0 = no limit.
  Integer BlobCacheLimit() const { return blob_cache_limit_; }
  void SetBlobCacheLimit(Integer Value) { blob_cache_limit_ = Value; }

  TPersistent* GetOwner() override;

 private:
  TFIBCustomDataSet* owner_;
  TCacheModelKind kind_ = cmkStandard;
  Integer buffer_chunks_ = 32;
  String plan_for_desc_sqls_;
  Integer blob_cache_limit_ = 0;
};

// ---------------------------------------------------------------------------
// TFIBDataLink: the dataset's link to its master's data source.

class TFIBDataLink : public TDetailDataLink {
 public:
  explicit TFIBDataLink(TFIBCustomDataSet* DataSet) : data_set_(DataSet) {}
  ~TFIBDataLink() override;

  TFIBCustomDataSet* DataSet() const { return data_set_; }

 protected:
  TDataSet* GetDetailDataSet() override;
  // The master opened (MasterChanged) or closed (MasterDisabled).
  void ActiveChanged() override;
  void CheckBrowseMode() override {}
  // The master moved: MasterChanged when the detail is active and the
  // master's values changed its parameters.
  void RecordChanged(TField* Field) override;

 private:
  friend class TFIBCustomDataSet;
  TFIBCustomDataSet* data_set_;
};

// ---------------------------------------------------------------------------
// TFIBCustomDataSet

class TFIBCustomDataSet : public TWideDataSet,
                          public IFIBDataSetSQLs,
                          public IFIBStatementDataSet,
                          public ICSMonitorSupportOwner,
                          public ISQLObject {
 public:
  explicit TFIBCustomDataSet(TComponent* AOwner);
  ~TFIBCustomDataSet() override;
  void BeforeDestruction() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // ===== Properties (published by TFIBDataSet)

  bool CachedUpdates() const { return cached_updates_; }
  // Off on an active dataset that had it on cancels the cached updates; on
  // (outside form reading) is traced to the SQL monitor and refused in the
  // limited model (client error 75). The select's cursor closes at a hard
  // transaction end only without cached updates.
  void SetCachedUpdates(bool Value);
  bool UniDirectional() const { return IsUniDirectional(); }
  // Client error 28 while open.
  void SetUniDirectional(bool Value);
  TFIBUpdateRecordTypes UpdateRecordTypes() const { return update_record_types_; }
  // An active dataset goes to its first record.
  void SetUpdateRecordTypes(TFIBUpdateRecordTypes Value);

  // The SQL lists of the internal statements; setters assign the lines.
  // SelectSQL cannot change while open (client error 28; a designer closes).
  TStrings* SelectSQL() const override;
  void SetSelectSQL(TStrings* Value) override;
  TStrings* UpdateSQL() const override;
  void SetUpdateSQL(TStrings* Value) override;
  TStrings* DeleteSQL() const override;
  void SetDeleteSQL(TStrings* Value) override;
  TStrings* InsertSQL() const override;
  void SetInsertSQL(TStrings* Value) override;
  TStrings* RefreshSQL() const override;
  void SetRefreshSQL(TStrings* Value) override;

  TCacheModelOptions* CacheModelOptions() const { return cache_model_options_.get(); }
  void SetCacheModelOptions(TCacheModelOptions* Value) { cache_model_options_->Assign(Value); }
  Integer BufferChunks() const { return cache_model_options_->BufferChunks(); }
  void SetBufferChunks(Integer Value) { cache_model_options_->SetBufferChunks(Value); }
  TAutoUpdateOptions* AutoUpdateOptions() const { return auto_update_options_.get(); }
  void SetAutoUpdateOptions(TAutoUpdateOptions* Value) { auto_update_options_->Assign(Value); }
  // The Conditions of SelectQuery.
  TConditions* Conditions() const;
  TSQLs* SQLs() const { return sqls_.get(); }
  TCSMonitorSupport* CSMonitorSupport() const { return cs_monitor_support_.get(); }
  // Assigns the settings to the dataset's own object (and its statements).
  void SetCSMonitorSupport(TCSMonitorSupport* Value);
  TUpdateKinds AllowedUpdateKinds() const { return allowed_update_kinds_; }
  void SetAllowedUpdateKinds(TUpdateKinds Value) { allowed_update_kinds_ = Value; }

  TFIBDatabase* Database() const override;
  // Client error 28 while open; all five statements follow.
  void SetDatabase(TFIBDatabase* Value);
  TFIBTransaction* Transaction() const;
  // Client error 28 while open; see SetTransaction in the unit.
  void SetTransaction(TFIBTransaction* Value);
  // The transaction of the update statement.
  TFIBTransaction* UpdateTransaction() const;
  bool IsUpdateTransactionStored() const;
  TTransactionKind RefreshTransactionKind() const { return refresh_transaction_kind_; }
  void SetRefreshTransactionKind(TTransactionKind Value);

  TpFIBDsOptions Options() const { return options_; }
  // poStartTransaction and poNoForceIsNull follow to the select, update,
  // delete and insert statements.
  virtual void SetOptions(TpFIBDsOptions Value);
  // dcWaitEndMasterScroll is reported exactly while the master-scroll timer
  // exists with an interval above 0.
  TDetailConditions DetailConditions() const;
  // dcWaitEndMasterScroll makes the master-scroll timer (interval: the
  // master-scroll delay); without it the timer is freed.
  void SetDetailConditions(TDetailConditions Value);
  TpPrepareOptions PrepareOptions() const { return prepare_options_; }
  TFieldOriginRule FieldOriginRule() const { return field_origin_rule_; }
  void SetFieldOriginRule(TFieldOriginRule Value) { field_origin_rule_ = Value; }
  bool AutoCommit() const { return auto_commit_; }
  void SetAutoCommit(bool Value) { auto_commit_ = Value; }
  TCursor SQLScreenCursor() const { return sql_screen_cursor_; }
  void SetSQLScreenCursor(TCursor Value) { sql_screen_cursor_ = Value; }
  // The master link (client error 50 for a source that leads back here).
  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* Value);
  TDataSource* GetDataSource() override { return DataSource(); }
  // The parameters of SelectQuery.
  TFIBXSQLDA* Params() const;

  // Events
  const TNotifyEvent& DatabaseDisconnecting() const { return database_disconnecting_; }
  void SetDatabaseDisconnecting(const TNotifyEvent& V) { database_disconnecting_ = V; }
  const TNotifyEvent& DatabaseDisconnected() const { return database_disconnected_; }
  void SetDatabaseDisconnected(const TNotifyEvent& V) { database_disconnected_ = V; }
  const TNotifyEvent& DatabaseFree() const { return database_free_; }
  void SetDatabaseFree(const TNotifyEvent& V) { database_free_ = V; }
  const TNotifyEvent& TransactionEnding() const { return transaction_ending_; }
  void SetTransactionEnding(const TNotifyEvent& V) { transaction_ending_ = V; }
  const TNotifyEvent& TransactionEnded() const { return transaction_ended_; }
  void SetTransactionEnded(const TNotifyEvent& V) { transaction_ended_ = V; }
  const TNotifyEvent& TransactionFree() const { return transaction_free_; }
  void SetTransactionFree(const TNotifyEvent& V) { transaction_free_ = V; }
  const TFIBUpdateErrorEvent& OnUpdateError() const { return on_update_error_; }
  void SetOnUpdateError(const TFIBUpdateErrorEvent& V) { on_update_error_ = V; }
  const TFIBUpdateRecordEvent& OnUpdateRecord() const { return on_update_record_; }
  void SetOnUpdateRecord(const TFIBUpdateRecordEvent& V) { on_update_record_ = V; }
  const TFIBAfterUpdateRecordEvent& AfterUpdateRecord() const { return after_update_record_; }
  void SetAfterUpdateRecord(const TFIBAfterUpdateRecordEvent& V) { after_update_record_ = V; }
  const TOnFetchRecord& BeforeFetchRecord() const { return before_fetch_record_; }
  // Hooks the select statement's per-row callback while assigned.
  void SetBeforeFetchRecord(const TOnFetchRecord& V);
  const TOnFetchRecord& AfterFetchRecord() const { return after_fetch_record_; }
  void SetAfterFetchRecord(const TOnFetchRecord& V) { after_fetch_record_ = V; }
  const TDataSetErrorEvent& OnGetRecordError() const { return on_get_record_error_; }
  void SetOnGetRecordError(const TDataSetErrorEvent& V) { on_get_record_error_ = V; }
  const TFieldNotifyEvent& OnFieldChange() const { return on_field_change_; }
  void SetOnFieldChange(const TFieldNotifyEvent& V) { on_field_change_ = V; }
  const TDataSetNotifyEvent& OnEnableControls() const { return on_enable_controls_; }
  void SetOnEnableControls(const TDataSetNotifyEvent& V) { on_enable_controls_ = V; }
  const TDataSetNotifyEvent& OnDisableControls() const { return on_disable_controls_; }
  void SetOnDisableControls(const TDataSetNotifyEvent& V) { on_disable_controls_ = V; }
  const TDataSetNotifyEvent& OnEndScroll() const { return on_end_scroll_; }
  void SetOnEndScroll(const TDataSetNotifyEvent& V) { on_end_scroll_ = V; }
  const TOnFillClientBlob& OnFillClientBlob() const { return on_fill_client_blob_; }
  void SetOnFillClientBlob(const TOnFillClientBlob& V) { on_fill_client_blob_ = V; }
  const TNotifyEvent& BeforeStartTransaction() const { return before_start_tr_; }
  void SetBeforeStartTransaction(const TNotifyEvent& V) { before_start_tr_ = V; }
  const TNotifyEvent& AfterStartTransaction() const { return after_start_tr_; }
  void SetAfterStartTransaction(const TNotifyEvent& V) { after_start_tr_ = V; }
  const TNotifyEvent& BeforeStartUpdateTransaction() const { return before_start_update_tr_; }
  void SetBeforeStartUpdateTransaction(const TNotifyEvent& V) { before_start_update_tr_ = V; }
  const TNotifyEvent& AfterStartUpdateTransaction() const { return after_start_update_tr_; }
  void SetAfterStartUpdateTransaction(const TNotifyEvent& V) { after_start_update_tr_ = V; }
  const TEndTrEvent& BeforeEndTransaction() const { return before_end_tr_; }
  void SetBeforeEndTransaction(const TEndTrEvent& V) { before_end_tr_ = V; }
  const TEndTrEvent& AfterEndTransaction() const { return after_end_tr_; }
  void SetAfterEndTransaction(const TEndTrEvent& V) { after_end_tr_ = V; }
  const TEndTrEvent& BeforeEndUpdateTransaction() const { return before_end_update_tr_; }
  void SetBeforeEndUpdateTransaction(const TEndTrEvent& V) { before_end_update_tr_ = V; }
  const TEndTrEvent& AfterEndUpdateTransaction() const { return after_end_update_tr_; }
  void SetAfterEndUpdateTransaction(const TEndTrEvent& V) { after_end_update_tr_ = V; }
  const TCompareFieldValues& OnCompareFieldValues() const { return on_compare_field_values_; }
  void SetOnCompareFieldValues(const TCompareFieldValues& V) { on_compare_field_values_ = V; }

  // ===== New virtual operations, in slot order

  // OnCompareFieldValues when assigned; else unassigned and Null values
  // first (two of them: 0), then CompareVariants.
  virtual Integer CompareFieldValues(TField* Field, const Variant& Value1, const Variant& Value2);
  // A non-blank line in UpdateSQL; else only an active cusInserted record
  // while CachedUpdates is on.
  virtual bool CanEdit();
  virtual bool CanInsert();
  virtual bool CanDelete();
  // Fires TransactionEnding; a hard end of an active dataset's transaction
  // fetches all rows and closes the cursor (CachedUpdates) or closes.
  virtual void DoTransactionEnding(TObject* Sender);
  virtual void DoTransactionEnded(TObject* Sender);
  virtual void DoAfterEndUpdateTransaction(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force);
  // Deletes one record on the server through Query.
  virtual void InternalDeleteRecord(TFIBQuery* Query, TRecordBuffer Buffer);
  // Searches the cache for the record whose KeyFields (";"-separated) hold
  // KeyValues (one value, or a variant array with one per field; unassigned
  // and Null match only NULL). An edit is posted (or an unmodified one
  // cancelled) first; an inactive dataset raises, an empty one gives false.
  // Texts compare as stored (trailing bytes below 33 cut with
  // poTrimCharFields), numbers, dates and times as the column's values
  // (a key that does not convert raises before anything moves). Rows are
  // fetched as the search goes on unless eloInFetchedRecords; records that
  // are not visible are passed over. With eloInSortedDS and a local sort
  // whose first fields are the key fields the search is binary and finds
  // the first visible record of a run of equal keys. A record found becomes
  // the current one (eloSyncCursor: the dataset shows it; otherwise only the
  // cursor moves); without one the position stays. In the limited model
  // the server finds the row (from the first row, or after or before the
  // current record) and the window is filled around it; with
  // eloInFetchedRecords only the window is searched.
  virtual bool LocateRecord(const String& KeyFields, const Variant& KeyValues, TExtLocateOptions Options,
                            TLocateKind Kind = lkStandard);
  // Writes the record being posted to the server: here through the
  // hand-written InsertSQL or UpdateSQL, then RefreshSQL with
  // poRefreshAfterPost. Extended datasets generate their statements.
  virtual void DoPostRecord(TUpdateKind Kind);
  // The record's cached status is in UpdateRecordTypes, or the limited model
  // or a local sort shows every record. TpFIBDataSet adds the filter.
  virtual bool IsVisible(TRecordBuffer Buffer);
  virtual void SetUpdateTransaction(TFIBTransaction* Value);
  // Changing psUseBooleanField, psSQLINT64ToBCD or psUseLargeIntField needs a
  // closed dataset (client error 28); a prepared dataset's field definitions
  // are then out of date.
  virtual void SetPrepareOptions(TpPrepareOptions Value);
  // The server's record count; nothing here.
  virtual void UpdateRecordCount() {}
  // Resets every TFIBArrayField.
  virtual void ClearArrayFields();
  virtual void UpdateRecordInCache(TFIBQuery* Query, TRecordBuffer Buffer, bool KeepOldVersion);
  // Whether the master's values changed the select parameters.
  virtual bool SetParamsFromMaster();
  // Cancels an edit and, with cached updates pending, reverts every fetched
  // record and clears the log.
  virtual void CancelUpdates();
  // Prepares SelectQuery (client errors 21, 22, 37) and builds the field
  // definitions; the screen cursor is restored on every path.
  virtual void Prepare();
  virtual void MoveRecord(Integer From, Integer To);
  // Sorts the cache by Fields, each an integer (field index), a text (field
  // name), a TField of this dataset or a variant holding an index or a name;
  // Ordering[i] true (or missing) is ascending. An edit is posted first. A
  // bad element, a field that does not compare (BLOB, array, bytes) or a
  // unidirectional dataset raises before anything changes; an error of the
  // comparison clears the sort description. The dataset stays on its record.
  // In the limited model the server sorts (see the unit's header; a field
  // that is not a table's column is refused before anything changes) and
  // the dataset goes to the first record.
  virtual void DoSort(TVarRecs Fields, const std::vector<bool>& Ordering);
  void DoSort(std::initializer_list<TVarRec> Fields, const std::vector<bool>& Ordering) {
    DoSort(ToVarRecs(Fields), Ordering);
  }

  // ===== Local filtering, locating and sorting

  // Filtered, FilterOptions and Filter (see the unit's header). An active
  // dataset leaves edit state first and builds the parser at once: a text
  // that does not parse raises and leaves Filter, the parser and the
  // records as they were. An inactive dataset builds it when it opens.
  void SetFiltered(bool Value) override;
  void SetFilterOptions(TFilterOptions Value) override;
  void SetFilterText(const String& Value) override;
  // The parser of the current filter text; nullptr without one.
  TExpressionParser* FilterParser() const { return filter_parser_.get(); }

  // LocateRecord from the first record with repositioning (and the binary
  // search where the cache is sorted by the key), between the scroll events.
  bool Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options) override;
  // ResultFields' values (one name: its value; several: a variant array) of
  // the first record with KeyValues, unassigned without one (and for blank
  // ResultFields); neither the position nor the shown records change.
  Variant Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields) override;
  // Client error 76 for an empty list, 77 for a field that is not a data
  // field; both named full name "." Operation.
  void CheckLocateFields(const std::vector<TField*>& FieldList, const String& Operation);

  // Sorts by the fields named in FieldNames (the field-not-found error for a
  // missing one).
  void SortByFieldNames(TStrings* FieldNames, const std::vector<bool>& Ordering);
  // The records were sorted locally (not only described by the ORDER BY).
  bool Sorted() const { return sorted_; }
  bool HasSortInfo() const { return !order_info_.empty(); }
  Integer SortFieldsCount() const { return static_cast<Integer>(order_info_.size()); }
  const std::vector<TSortFieldInfo>& SortInfo() const { return order_info_; }
  // True when CompareFieldValues gives its default answer (no
  // OnCompareFieldValues): the sort may then compare typed values itself. A
  // descendant whose CompareFieldValues decides otherwise answers false.
  virtual bool DefaultFieldComparison() { return !on_compare_field_values_.Assigned(); }

  // ===== Class-library operations

  bool BookmarkValid(const TBookmark& Bookmark) override;
  // -1, 0, 1 by the logical positions of the bookmarks' records; an absent
  // bookmark comes first.
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
  bool IsSequenced() override;
  // Leaves edit state; below 1 goes to the first record and then to BOF,
  // beyond the fetched records fetches all and goes to the last, then EOF.
  // In the limited model only a record of the window is reached (nothing
  // moves otherwise).
  void SetRecNo(int Value) override;
  // A copy of the active buffer; false when empty or not on a record.
  bool GetCurrentRecord(TRecordBuffer Buffer) override;
  // OnFieldChange before a field change goes out; OnDisableControls and
  // OnEnableControls when the controls were switched since the last event.
  void DataEvent(TDataEvent Event, NativeInt Info) override;
  void Post() override;
  void Resync(TResyncMode Mode) override;
  TUpdateStatus UpdateStatus() override;
  void CheckInactive() override;
  bool GetFieldData(TField* Field, void* Buffer) override;
  using TDataSet::GetFieldData;
  void SetFieldData(TField* Field, const void* Buffer) override;
  using TDataSet::SetFieldData;
  void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) override;
  TFieldClass GetFieldClass(TFieldType FieldType) override;
  TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  int Translate(const char* Src, char* Dest, bool ToOem) override;

  // ===== Guards (EFIBClientError with the full component name)

  // Client error 28 "Can't %s because %s dataset open." while a result set
  // is open.
  void CheckDatasetClosed(const String& Operation);
  // Client error 29 "Can't %s because %s dataset closed." while inactive.
  void CheckDatasetOpen(const String& Operation);
  // Client error 53 with UniDirectional.
  void CheckNotUniDirectional();
  // Active; then edit state needs CanEdit (46), insert state CanInsert (44),
  // any other state is refused (42).
  void CheckUpdateAllowed();
  bool CanUseLimitedCache();

  // ===== Statements, database and transactions

  TFIBQuery* SelectQuery() const { return select_query_; }
  TFIBQuery* UpdateQuery() const { return update_query_; }
  TFIBQuery* InsertQuery() const { return insert_query_; }
  TFIBQuery* DeleteQuery() const { return delete_query_; }
  TFIBQuery* RefreshQuery() const { return refresh_query_; }
  // The statement rows are fetched from (SelectQuery unless a cache model
  // switches it).
  TFIBQuery* CurrentSelect() const { return current_select_; }
  TFIBBase* Base() const { return base_.get(); }
  bool Prepared() const { return prepared_; }
  // The select text changed since the last open (cleared at the end of
  // DoAfterOpen).
  bool SQLChanged() const { return sql_changed_; }
  // Frees the statement handles of all five statements.
  void UnPrepare();
  // Prepares each modifying statement that has a text, and frees it again
  // (a designer's check of the texts).
  void CheckModifyingStatements();
  // Database from the transaction and back; a transaction without databases
  // takes this one; with poStartTransaction an inactive one starts.
  void PrepareTransaction();
  // Client error 22 without UpdateTransaction; starts it when inactive.
  void StartUpdateTransaction();

  // ===== Fetching and cache access

  // Fetches up to Count rows of the current select into the cache, under
  // the screen cursor; the number fetched.
  Integer FetchNext(Integer Count);
  bool AllFetched() const;
  Integer FetchedCount() const { return fetched_count_; }
  bool Opened() const { return cursor_open_; }
  TRecordsCache* RecordsCache() const { return cache_.get(); }
  TFIBFieldDescrList* FieldDescrList() const { return descr_list_.get(); }
  // Cache record of dataset record number RecordNumber (see the header).
  Integer CacheRecordNo(Integer RecordNumber) const;

  // ===== Record layout

  // Fills the field descriptors and the layout figures from SelectQuery's
  // output columns, the field definitions and the bound fields.
  void ComputeRecordLayout();
  // Converts the current row of Query into the cache record of RecordNumber
  // (making room). Another statement than the select (a refresh statement)
  // has its columns matched to the select's by name; columns without a
  // match are skipped, one of another type is client error 57.
  void FetchRecordToCache(TFIBQuery* Query, Integer RecordNumber);
  // FetchRecordToCache, then ReadRecordFromCache; a negative record number
  // only recomputes the layout.
  void FetchRecordToBuffer(TFIBQuery* Query, Integer RecordNumber, TRecordBuffer Buffer);
  // Record number, zeroed calculated area, and the record (or its old
  // version) from byte 5 on.
  void ReadRecordFromCache(Integer RecordNumber, TRecordBuffer Buffer, bool FromOld);
  // The buffer from byte 5 on as the current version; a negative number is
  // ignored.
  void WriteRecordToCache(Integer RecordNumber, TRecordBuffer Buffer);
  // A new record buffer with the record's old version (-1: the active
  // record; nullptr without one). The caller frees it (FreeRecordBuffer).
  TRecordBuffer GetOldRecordBuffer(Integer RecordNumber);
  void FreeOldRecordBuffer(TRecordBuffer& Buffer) { FreeRecordBuffer(Buffer); }
  // Keeps the record's current version as its old version (and logs it
  // with CachedUpdates).
  void SaveOldRecord(TRecordBuffer Buffer);
  // The calculation buffer while calculated fields are computed; nullptr
  // without an open cursor or when empty outside insert state; else the
  // active buffer.
  TRecordBuffer GetActiveRecordBuffer();
  // Layout figures.
  Integer DataOffset() const { return data_offset_; }
  Integer BlobSlotsOffset() const { return blob_slots_offset_; }
  Integer CalcAreaOffset() const { return calc_offset_; }
  Integer RecordBufferSize() const { return record_size_; }
  Integer CacheImageSize() const { return image_size_; }
  Integer StringFieldCount() const { return string_field_count_; }
  // Offset of a descriptor's value in the cache's stored image (-1 for a
  // stored-apart string).
  Integer ImageOffsetOf(Integer Column) const;
  static TCachedUpdateStatus CachedStatusOf(const Byte* Buffer) {
    return static_cast<TCachedUpdateStatus>(Buffer[kCachedStatusOffset] & 0x07);
  }
  static void SetCachedStatus(Byte* Buffer, TCachedUpdateStatus Value) {
    Buffer[kCachedStatusOffset] = static_cast<Byte>((Buffer[kCachedStatusOffset] & ~0x07) | Value);
  }
  // Cached status of record Number in the cache, and its change there (the
  // record's visibility is tested again).
  TCachedUpdateStatus StatusInCache(Integer Number);
  void SetStatusInCache(Integer Number, TCachedUpdateStatus Status);
  bool NeedUnicodeConvert() const;

  // ===== Other operations

  // The field of Name (a pair of surrounding double quotes removed),
  // remembered by name; FieldByNameCached raises the field-not-found error.
  TField* FindFieldCached(const String& Name);
  TField* FieldByNameCached(const String& Name);
  // Closes, reopens, fetches up to the former record and locates the values
  // of KeyFieldNames (";"-separated; none: every data field that is neither a
  // BLOB nor an array field) of the former active record.
  void ReopenAndLocate(const String& KeyFieldNames);
  // ReopenAndLocate of every field; in the limited model an inactive dataset
  // opens and an active one reads its window again around the active record
  // (a record gone leaves its neighbour current).
  void FullRefresh(bool KeepPosition);
  // The values of an array field's column of the current record as a
  // variant array (false for a field of another dataset, NULL for a NULL
  // array), and their writing in edit or insert state as a new array
  // through the update transaction (an empty value clears the field).
  virtual Variant ArrayFieldValues(TFIBArrayField* Field);
  virtual void SetArrayFieldValues(TFIBArrayField* Field, const Variant& Value);
  // Closes when active, opens, fetches all when asked.
  void Reopen(bool FetchAll);
  // All remaining rows through Last, the position kept.
  void FetchAll();

  // ===== Field origins (the names generated SQL and locates use)

  // A data field's select column ("DB_KEY" as "RDB$DB_KEY"), a calculated
  // field's name, a lookup field's result column in its lookup dataset (when
  // that is a TFIBCustomDataSet, else the result field's name).
  String GetFieldSQLName(TField* Field);
  // The column's relation; "CALCULATED" for calculated fields; the lookup
  // result's relation for lookup fields.
  String GetFieldRelationName(TField* Field);
  // By FieldOriginRule: relation "." column, the field name alone, or the
  // relation alias "." column; "" with forNoRule. An inactive dataset whose
  // field is not bound initialises its definitions and binds its fields.
  String GetFieldOriginByRule(TField* Field);
  // SelectQuery's relation alias (or relation) "." column of a select column,
  // each part quoted where needed; "" when unknown.
  String GetFieldOrigin(const String& Name);
  // The first field whose relation and column are those of Origin
  // ("RELATION.COLUMN"; a name without "." matches the column of any
  // relation). Double quotes around a part are removed; unquoted parts are
  // upper-cased (a-z), as the server keeps them.
  TField* FindFieldByOrigin(const String& Origin);

  // ===== Statement parameters from records and refetch

  // Fills every parameter of Query from Buffer: OLD_ names from the record's
  // old version (the buffer itself in insert state), NEW_ and plain names
  // from Buffer, MAS_ names from the master's field of that name. Client
  // error 49 for a nil buffer; a buffer of a negative record number sets
  // nothing.
  // LocateParams: LOCATE_ names take the field's value as NEW_ names do.
  void SetQueryParams(TFIBQuery* Query, TRecordBuffer Buffer, bool LocateParams = false);
  // Re-reads the record of Buffer through Query (normally RefreshQuery) into
  // Buffer and the cache; false when no row came back. A blank statement or
  // an inactive dataset with records is client error 48. With Execute false
  // a Query without an open cursor is not executed again: the output row of
  // its last execution (an executed procedure) is taken as it stands.
  bool RefreshRecord(TFIBQuery* Query, TRecordBuffer Buffer, bool Execute = true);

  // ===== Editing in the cache (FIBDataSet_Edit.cpp)

  // Records changed in the cache and not applied, with CachedUpdates.
  Integer ChangedCount() const { return changed_count_; }
  bool UpdatesPending() const { return updates_pending_; }
  // Records hidden as deleted, and inserts posted since the open.
  Integer DeletedCount() const { return deleted_count_; }
  Integer InsertedCount() const { return inserted_count_; }
  // Brings back the record the last Delete hid, for a caller whose delete
  // failed afterwards: a deletion kept in the cache (CachedUpdates) goes
  // back to the status the record had, its other changes and every other
  // record's staying pending; one that reached the server becomes an
  // unmodified record again, for when its transaction was rolled back. The
  // view is resynchronised. False (nothing changed) when there is none to
  // undo: none since the open, the update transaction was committed since,
  // the record no longer has the deletion's status, or the limited cache
  // model dropped it.
  bool UndoDelete();
  // Prepares modifying statement Kind (0 update, 1 insert, 2 delete, 3
  // refresh) when it has a text, is not prepared and its first line is not
  // "No Action"; false when it is not to be executed. Client error 22 when
  // its transaction or the dataset's is not assigned. With
  // ExcludeDeniedUpdateKinds, a server refusal (SQL code -551) of kinds 0-2
  // removes the kind from AllowedUpdateKinds and aborts silently.
  bool PrepareModifyingQuery(Integer Kind);
  // The update transaction started when assigned, inactive and
  // poStartTransaction is set; committed after a statement with AutoCommit
  // (retaining when it is the read transaction or retaining is its default).
  void AutoStartUpdateTransaction();
  void AutoCommitUpdateTransaction();
  // The record's sort key changed since its edit began (a local sort with
  // poKeepSorting; in the limited model the order of its statements); false
  // without a sort description.
  bool SortKeyChanged(TRecordBuffer Buffer);
  // The two records' values of the sort fields differ.
  bool SortKeysDiffer(const Byte* Buffer, const Byte* Other);
  // Called after a post for a visible record whose sort key changed or that
  // was inserted: KeepSorting.
  virtual void KeepSortingAfterPost();
  // The master's Refresh, without poVisibleRecno meanwhile.
  void RefreshMasterDataSet();

  // ===== BLOB streams of records (FIBDataSet_Blob.cpp)

  enum TBlobStreamAction : Integer { bsaPost = 1, bsaCancel = 2, bsaRelease = 3 };
  // For one BLOB field (all with nullptr) of the record in Buffer: post
  // writes a changed stream to the server (with its disk-cache identity when
  // the cache is on), cancel drops the changes, release drops the saved
  // copy. Then the field's null flag follows the stream's size and the
  // stream's BLOB id goes into the record.
  void FinalizeBlobStreams(TRecordBuffer Buffer, Integer Action, TField* Field);
  // A BLOB field changed in the active record (Modified; with CachedUpdates
  // its stream's state).
  bool IsBlobFieldModified(TField* Field);
  // The select column's name of a field (its field name before prepare).
  String FieldColumnName(TField* Field);

  // ===== Master link (FIBDataSet_Master.cpp)

  // Milliseconds a detail with dcWaitEndMasterScroll waits after the master
  // stopped moving (300).
  Integer MasterScrollDelay() const { return master_scroll_delay_; }
  void SetMasterScrollDelay(Integer Value);
  // The master moved or opened: refresh now, or after the delay.
  void MasterChanged();
  // The master closed: an active detail closes unless dcIgnoreMasterClose.
  void MasterDisabled();
  // Reopens the detail (an inactive one only with dcForceOpen).
  void RefreshDetail();
  void DoMasterScrollTimer(TObject* Sender);
  // Carries out the refreshes still waiting for a master to stand still:
  // the masters' own first, then this dataset's.
  void RunPendingMasterRefresh();
  // While raised above 0 the master's moves are ignored.
  void DisableMasterRefresh() { ++master_refresh_disabled_; }
  void EnableMasterRefresh() { if (master_refresh_disabled_ > 0) --master_refresh_disabled_; }
  // Set while the dataset refreshes as a detail after a delay.
  bool WaitingEndMasterScroll() const { return delayed_refresh_; }
  TFIBTimer* MasterScrollTimer() const { return master_scroll_timer_.get(); }

  // ===== ISQLObject: the select's parameters and the dataset's fields
  Integer ParamCount() override;
  String ParamName(Integer Index) override;
  using TDataSet::FieldCount;
  Integer FieldCount() override { return TDataSet::FieldCount(); }
  bool FieldExist(const String& Name, Integer& Index) override;
  bool ParamExist(const String& Name, Integer& Index) override;
  // With Old and outside insert state, the value before the current edit.
  Variant FieldValue(const String& Name, bool Old) override;
  Variant FieldValueByIndex(Integer Index, bool Old) override;
  Variant ParamValue(const String& Name) override;
  Variant ParamValueByIndex(Integer Index) override;
  void SetParamValue(Integer Index, const Variant& Value) override;
  String FieldName(Integer Index) override;
  using TDataSet::Eof;
  bool Eof() override { return TDataSet::Eof(); }
  void Next() override { TDataSet::Next(); }

  // IFIBStatementDataSet
  String DataSetDescription() const override { return String(); }
  // ICSMonitorSupportOwner: copies the settings to every internal statement.
  void CSMonitorSupportChanged() override;

 protected:
  // ===== Record-buffer protocol
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  int GetRecordSize() override { return record_size_; }
  // dsFilter: the current record index; else the active record's number + 1
  // (0 without one).
  int GetRecNo() override;
  // Fetched minus deleted records; with UniDirectional BufferChunks once
  // that many were fetched.
  int GetRecordCount() override;
  // Re-reads the active record through RefreshQuery.
  void InternalRefresh() override;
  // Checks, then posts the active buffer (see PostRecordToCache).
  void InternalPost() override;
  void InternalCancel() override;
  // Closes the select's cursor after the class library's close.
  void CloseCursor() override;
  // Event dispatchers (see FIBDataSet_Open.cpp for what each adds).
  void DoAfterOpen() override;
  void DoBeforeClose() override;
  void DoAfterClose() override;
  void DoBeforeScroll() override;
  void DoAfterScroll() override;
  void DoBeforeEdit() override;
  void DoBeforeInsert() override;
  void DoAfterInsert() override;
  void DoBeforeDelete() override;
  void DoAfterDelete() override;
  void DoBeforePost() override;
  void DoBeforeCancel() override;
  void InternalAddRecord(const void* Buffer, bool Append) override;
  void InternalClose() override;
  void InternalDelete() override;
  void InternalFirst() override;
  void InternalGotoBookmark(const void* Bookmark) override;
  void InternalHandleException() override;
  void InternalInitFieldDefs() override;
  // The whole buffer zeroed, every null flag 1 (all fields NULL).
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InternalLast() override;
  void InternalOpen() override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  bool IsCursorOpen() override { return cursor_open_; }
  void CheckFieldCompatibility(TField* Field, TFieldDef* FieldDef) override;
  Variant GetStateFieldValue(TDataSetState State, TField* Field) override;
  void SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value) override;
  void GetCalcFields(TRecordBuffer Buffer) override;
  void ClearCalcFields(TRecordBuffer Buffer) override;

  // ===== Helpers for the opening code
  // Makes the record cache for the computed layout (one block at once), with
  // no record fetched.
  void CreateRecordCache();
  // The internal statement Name, owned by the dataset.
  TFIBQuery* CreateInternalQuery(const String& Name);
  // A statement's text has changed (SelectQuery: the dataset is no longer
  // prepared).
  void SQLChanging(TObject* Sender);
  Integer RecordNumberOf(TRecordBuffer Buffer) const;

  // ===== Filtering, sorting and locating helpers
  // One of the engine's own passes over the records runs (a sort, building
  // the filter, a filter test): the filter does not apply meanwhile.
  bool InInternalPass() const { return sorting_ || filter_building_ || filter_testing_; }
  // The visible-record index: what the filter answered for each record
  // number since the visible set last changed. The hidden numbers are kept
  // 1-based in the sorted list; RecordVisibility gives -1 (not tested yet),
  // 0 (hidden) or 1 (visible). The limited model keeps none (its window
  // numbers are reused): every record is tested when asked.
  void ResetVisibleRecords();
  void NoteRecordVisibility(Integer Number, bool Visible);
  // Record Number changed: its visibility is tested again when next asked.
  void ForgetRecordVisibility(Integer Number);
  int RecordVisibility(Integer Number) const;
  TSortedList* HiddenRecords() const { return sorted_list_.get(); }
  // Whether Buffer's record is visible, tested like navigation does (filter
  // included) with the cursor on it for the duration.
  bool TestRecordVisible(TRecordBuffer Buffer);
  // The same for the record of logical number Number, read from the cache.
  bool RecordVisibleAt(Integer Number);
  // Runs F in dsFilter state with the fields reading Buffer (a filter test).
  void ReadInFilterState(TRecordBuffer Buffer, const std::function<void()>& F);
  // Re-reads the shown records after the visible set changed: the position
  // stays when RecordCount is still CountBefore, else the first record.
  void RefreshVisibleRecords(int CountBefore);
  // After the active record was posted (its sort key changed, or inserted):
  // without poKeepSorting the sort description is dropped; with it the
  // record moves to its place in a sorted dataset and stays current.
  void KeepSorting();
  // Reads the select's ORDER BY into the sort description (at open).
  void ReadOrderInfo();
  // Limited cache model (FIBDataSet_Limited.cpp). At open: the order
  // information (every order field selected, else client error 75), the key
  // list and the statements that fetch the rows after or before a boundary
  // row, the descending select and the locate by key values; a persistent
  // local sort is kept for DoAfterOpen to apply again.
  void OpenLimitedCache();
  // Builds the statements from limited_order_ (closing them first).
  void PrepareLimitedCacheQueries();
  TGetResult GetLimitedRecord(TRecordBuffer Buffer, TGetMode GetMode);
  void LimitedFirst();
  void LimitedLast();
  // The statement of the first rows: SelectQuery, or SelectSortedQuery
  // while the dataset is sorted.
  TFIBQuery* LimitedFirstQuery() const { return limited_sorted_ ? select_sorted_query_ : select_query_; }
  // The limited model's own statements, each null until it is made.
  std::array<TFIBQuery**, 5> LimitedQuerySlots() {
    return {&select_desc_query_, &select_part_query_, &select_part_desc_query_, &select_locate_, &select_sorted_query_};
  }
  // Query takes the values of SelectQuery's parameters of the same names.
  void CopyMainParams(TFIBQuery* Query);
  // Opens Query (a partial statement) with its NEW_ parameters taken from
  // window record RecordNumber and makes it current.
  void OpenLimitedPart(TFIBQuery* Query, Integer RecordNumber);
  // Stores the current select's fetched row at window record Number.
  void StoreLimitedRow(Integer Number);
  // Shifts every window record number (and those in the record buffers) up
  // by BufferChunks; the ring slots stay the same.
  void ShiftLimitedNumbers();
  // Number is a record of the cache: fetched (standard model) or in the
  // window (limited model).
  bool RecordHeld(Integer Number) const {
    if (limited_position_ && cache_model_options_->CacheModelKind() == cmkLimitedBufferSize)
      return Number >= limited_position_->First && Number <= limited_position_->Last;
    return Number >= 0 && Number < fetched_count_;
  }
  // Makes the row Located (executed) the current record, with up to half a
  // window of rows before and after it; false when it has no row.
  bool PlaceLimitedRow(TFIBQuery* Located);
  // Locate on the server (Options as LocateRecord): from the first row, or
  // after (lkNext) or before (lkPrior) the current record.
  bool LocateLimited(const std::vector<TField*>& Fields, const Variant& KeyValues, TExtLocateOptions Options,
                     TLocateKind Kind);
  // Lookup of a row outside the window: ResultFields' values of any row
  // with the keys, found by a statement of its own ("QLookUp"); unassigned
  // without one.
  Variant LookupOnServer(const std::vector<TField*>& Fields, const Variant& KeyValues, const String& ResultFields);
  // ResultFields' values of the row Query stands on, read through the
  // fields (the window stays as it is).
  Variant LimitedRowValues(TFIBQuery* Query, const String& ResultFields);
  // Limited bookmarks: the window record number and row, then per key
  // field a null byte and the field's bytes in the record buffer.
  Integer LimitedBookmarkSize() const;
  void WriteLimitedKeys(TRecordBuffer Buffer, Byte* Data) const;
  bool LimitedGotoBookmark(const Byte* Bookmark);
  // Places the window around the row with Record's key values.
  bool PlaceLimitedByKeys(TRecordBuffer Record);
  // A posted record (the window refilled around it when its order values
  // changed or it is new) and a deleted one (the window refilled around its
  // neighbour).
  void PostLimitedRecord(TRecordBuffer Buffer, bool Inserting);
  void DropLimitedRecord(Integer Number);
  // Back to the first rows with a new select.
  void RestartLimited();
  bool LimitedAscending() const {
    return current_select_ == select_query_ || current_select_ == select_part_query_ ||
           (current_select_ != nullptr && current_select_ == select_sorted_query_);
  }
  // UpdateRecordInCache in the limited model; FullRefresh of an active
  // limited dataset.
  void UpdateLimitedRecord(TFIBQuery* Query, TRecordBuffer Buffer, bool KeepOldVersion);
  void FullRefreshLimited();
  // DoSort in the limited model: the statements follow the new order.
  void SortLimited(const std::vector<TField*>& Fields, const std::vector<bool>& Ascending);

  // Internal flag word.
  enum : Word {
    kRefreshFromMaster = 1,
    kKeepBlobStreams = 2,
    kSkipInactiveCheck = 4,
    kControlsDisabledPending = 8,
  };
  Word internal_flags_ = 0;

  // Record access: the class library's buffers, or one record of the
  // cache by its 0-based index.
  enum class TRecordAccess { Normal, ByIndex };
  TRecordAccess record_access_ = TRecordAccess::Normal;
  Integer record_access_index_ = -1;
  // Set while GetRecord fetches or positions a record.
  bool getting_record_ = false;
  // The buffer a filter test reads (dsFilter).
  TRecordBuffer filter_buffer_ = nullptr;
  // Raised while calculated fields must not be computed (a locate).
  Integer disable_calc_fields_count_ = 0;
  // A recalculation of cached calculated values was asked for.
  bool force_calc_ = false;
  // Set while a local sort runs (every record is visible).
  bool sorting_ = false;
  // Set while the filter parser is built, and while a record is tested.
  bool filter_building_ = false;
  bool filter_testing_ = false;
  std::unique_ptr<TExpressionParser> filter_parser_;

  // State of the open dataset.
  bool cursor_open_ = false;
  Integer current_record_index_ = -1;
  Integer fetched_count_ = 0;
  Integer deleted_count_ = 0;
  Integer changed_count_ = 0;
  bool updates_pending_ = false;
  // The record the last Delete hid (Number -1: none to undo) and its
  // cached status before it.
  struct TDeletedRecord {
    Integer Number = -1;
    TCachedUpdateStatus Before = cusUnmodified;
  };
  TDeletedRecord last_deleted_;
  Integer resync_skip_count_ = 0;
  Integer master_scroll_delay_ = 300;
  // Raised while the dataset moves itself (fetch-all, sort, record moves).
  Integer internal_navigation_count_ = 0;
  std::vector<TSortFieldInfo> order_info_;
  // The order information comes from a local sort (not only the select's
  // ORDER BY).
  bool sorted_ = false;
  // Set while a data-set-change event is dispatched.
  bool data_set_changing_ = false;
  // The controls were enabled at the last data event.
  bool controls_enabled_ = true;
  // Set while InternalGotoBookmark positions the cursor; the buffer row the
  // bookmarked record had (-1: none), kept by the Resync that follows.
  bool going_to_bookmark_ = false;
  Integer bookmark_active_row_ = -1;
  // Set while Refresh re-reads the active record.
  bool refreshing_ = false;

  // The limited cache model's window: first and last record held and the
  // two ends reached.
  struct TLimitedPosition {
    Integer First = -1;
    Integer Last = -1;
    bool BeginReached = false;
    bool EndReached = false;
  };
  std::unique_ptr<TLimitedPosition> limited_position_;
  // Its statements (made on first open in the model) and the key list.
  TFIBQuery* select_desc_query_ = nullptr;
  TFIBQuery* select_part_query_ = nullptr;
  TFIBQuery* select_part_desc_query_ = nullptr;
  TFIBQuery* select_locate_ = nullptr;
  // The select in the order of a local sort (made on the first sort).
  TFIBQuery* select_sorted_query_ = nullptr;
  std::vector<String> limited_keys_;
  // The select's ORDER BY, and the order the statements follow: that one,
  // or a local sort's fields followed by the remaining ORDER BY fields.
  std::vector<TSortFieldInfo> limited_select_order_;
  std::vector<TSortFieldInfo> limited_order_;
  // The select text in limited_order_ (what the first rows come from).
  String limited_text_;
  bool limited_sorted_ = false;

  // Editing and the master link.
  Integer inserted_count_ = 0;
  Integer master_refresh_disabled_ = 0;
  bool delayed_refresh_ = false;
  std::unique_ptr<TFIBTimer> master_scroll_timer_;
  // The record being posted (nullptr: the active buffer).
  TRecordBuffer post_buffer_ = nullptr;
  // Puts Buffer's posted record into the cache (see InternalPost).
  void PostRecordToCache(TRecordBuffer Buffer, bool Inserting);
  // Opens a cache slot at record number Number (later records move on),
  // and takes it back after a failed post.
  void OpenCacheSlot(Integer Number);
  void DropCacheSlot(Integer Number);
  // Executes a modifying statement with parameters from Buffer.
  void ExecModifyingQuery(TFIBQuery* Query, TRecordBuffer Buffer);
  // PrepareModifyingQuery for one of the four modifying statements; any
  // other statement is prepared when not prepared. False when Query is not
  // to be executed (empty, or "No Action").
  bool PrepareModifyingQuery(TFIBQuery* Query);
  // After a record's delete statement ran: with poRefreshAfterDelete and a
  // RefreshSQL the record is read again; unless that finds it, its status
  // becomes cusDeletedApplied. The buffer is written to the cache.
  void MarkRecordDeleted(TRecordBuffer Buffer);
  // The record buffer CreateBlobStream works on, and whether it is a
  // temporary one.
  TRecordBuffer BlobRecordBuffer(bool& Temporary);
  // The record's stream in BLOB slot Slot (a bound BLOB field's Offset;
  // nullptr: none).
  TFIBBlobStream* RecordBlobStream(TRecordBuffer Buffer, Integer Slot);
  void SetRecordBlobStream(TRecordBuffer Buffer, Integer Slot, TFIBBlobStream* Stream);
  // The disk-cache identity of a record's BLOB field: the column's relation
  // and name and the relation's primary-key values in the record; false
  // without the cache or without every key value.
  bool BlobCacheIdentity(TField* Field, TRecordBuffer Buffer, std::vector<Variant>& Keys, String& Table,
                         String& Column);
  // A new stream for a BLOB field of the record (disk-cache key when the
  // cache is on).
  TFIBBlobStream* NewRecordBlobStream(TField* Field, TRecordBuffer Buffer);
  void TouchBlobStream(TFIBBlobStream* Stream);
  // With cached updates, a stream not loaded (new, or emptied by the BLOB
  // cache limit) loads now, connecting and starting its transaction for the
  // load when they are not.
  void LoadDetachedBlobStream(TFIBBlobStream* Stream);

 private:
  friend class TCacheModelOptions;
  friend class TFIBDataLink;
  friend class TFIBDSBlobStream;

  // Link notifications
  void LinkDatabaseDisconnecting(TFIBBase* Sender);
  void LinkDatabaseDisconnected(TFIBBase* Sender);
  void LinkDatabaseFree(TFIBBase* Sender);
  void LinkTransactionEnding(TFIBBase* Sender);
  void LinkTransactionEnded(TFIBBase* Sender);
  void LinkTransactionFree(TFIBBase* Sender);
  // Transaction relays
  void ReadTrBeforeStart(TObject* Sender);
  void ReadTrAfterStart(TObject* Sender);
  void ReadTrBeforeEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force);
  void ReadTrAfterEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force);
  void UpdateTrBeforeStart(TObject* Sender);
  void UpdateTrAfterStart(TObject* Sender);
  void UpdateTrBeforeEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force);
  void UpdateTrAfterEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force);
  void HookReadTransaction(TFIBTransaction* Transaction, bool Add);
  void HookUpdateTransaction(TFIBTransaction* Transaction, bool Add);
  // Moves the link and SelectQuery to Value (see SetTransaction).
  void MoveTransaction(TFIBTransaction* Value);

  // Opening
  // The master field a select parameter names (MAS_ prefix or the same
  // name), or nullptr.
  TField* MasterFieldOf(const String& ParamName);
  void AssignMasterValue(TFIBXSQLVAR* Param, TField* Master);
  bool MasterValueDiffers(TFIBXSQLVAR* Param, TField* Master);
  // Master values into the select's parameters (every open).
  void CopyMasterValues();
  // Design time: connects and starts what Prepare needs, and disconnects
  // again.
  void PrepareForDesigner();
  void EndScrollTimerTick(TObject* Sender);
  // Navigation
  TGetResult GetStandardRecord(TRecordBuffer Buffer, TGetMode GetMode);
  // The next row of the current select into the cache at the fetched count;
  // false at the end.
  bool FetchRecord();
  // Passes over records that are not visible in the direction of GetMode.
  TGetResult SkipInvisibleRecords(TRecordBuffer Buffer, TGetMode GetMode);
  // psUseBooleanField and the repository says the column's domain is a
  // Boolean one (never for FIB$FIELDS_INFO's own columns).
  bool BooleanDomainColumn(TFIBXSQLVAR* Column);
  void CloseSelectCursor();
  void FreeBlobStreamInSlot(Byte* Slot);
  void FreeRecordBlobStreams(Byte* Slots);
  void KeepRecordBlobStreams(TFIBQuery* Query, Byte* Image);
  // Field data parts
  bool ReadDataField(TField* Field, TRecordBuffer Record, void* Buffer);
  void WriteDataField(TField* Field, TRecordBuffer Record, const void* Buffer);
  // A NOT NULL column of a table whose information the repository holds.
  bool NotNullTableColumn(Integer Column);


 protected:
  // Per column: what the fetch and the field access need.
  struct TColumnLayout {
    SmallInt SQLType = 0;
    SmallInt Scale = 0;
    bool Nullable = false;
    bool StoredApart = false;
    bool Int64AsDouble = false;
    Integer Width = 0;         // declared length / value width
    Integer Offset = 0;        // in the record buffer
    Integer ImageOffset = -1;  // in the cache's stored image; -1 for stored-apart strings
    Integer StringIndex = -1;
    Integer CharSetID = 0;
    // TEXT in a UTF-8 character set: the declared length in characters (the
    // server pads the value with blanks to bytes for the widest
    // characters); 0 for every other column.
    Integer CharLength = 0;
    // The type of the value as stored: an INT64 held as a double is one.
    SmallInt StoredType() const { return Int64AsDouble ? SmallInt{SQL_DOUBLE} : SQLType; }
  };
  // The layout of the select's column Column (0-based, within the layout).
  const TColumnLayout& ColumnLayoutOf(Integer Column) const { return columns_[static_cast<size_t>(Column)]; }
  Integer ColumnLayoutCount() const { return static_cast<Integer>(columns_.size()); }
  // The characters of a text column's value in a record: a stored-apart
  // string's length word, FullSize the declared length, else up to the
  // first zero byte.
  static const char* ColumnChars(const TColumnLayout& C, const Byte* Data, bool FullSize, size_t& Length);

 private:
  std::vector<TColumnLayout> columns_;
  // Column matches of the last other statement fetched from.
  const TFIBQuery* mapped_query_ = nullptr;
  Integer mapped_text_change_ = -1;
  std::vector<Integer> column_map_;  // Query's column -> select column, -1: none
  void MapColumns(TFIBQuery* Query);
  // Maps another statement's columns; client error 57 for a column of
  // another type than the select's.
  void CheckFetchColumns(TFIBQuery* Query);
  // The changed-record and hidden-record counts (and UpdatesPending) after a
  // record's cached status went from Before to After outside an edit.
  void CountStatusChange(TCachedUpdateStatus Before, TCachedUpdateStatus After);

  // The stored image of a record (logical number) and a column's null flag
  // and characters in it (cut to the column; FullSize as ColumnChars).
  const Byte* CacheImage(Integer Number);
  static bool ImageNull(const Byte* Image, Integer Column) {
    return Image[kNullFlagsOffset - kCachedPartOffset + Column] != 0;
  }
  std::string_view ImageText(Integer Number, const Byte* Image, Integer Column, bool FullSize);

  // Filtering (FIBDataSet_Filter.cpp)
  // Text and options together: the parser first (an active dataset), then
  // the stored values.
  void SetFilterData(const String& Text, TFilterOptions Options);
  // A new parser for Text (none for a blank text); the old one goes only
  // once the new one stands.
  void BuildFilterParser(const String& Text, TFilterOptions Options);
  String filter_parser_text_;
  TFilterOptions filter_parser_options_;
  // Per record number: 0 not tested, 1 visible, 2 hidden.
  std::vector<Byte> visibility_;

  // Locating (FIBDataSet_Locate.cpp)
  struct TLocateKey;
  // The key of each field, prepared for comparison with the cache.
  std::vector<TLocateKey> PrepareLocateKeys(const std::vector<TField*>& Fields, const Variant& KeyValues,
                                            TExtLocateOptions Options);
  // Whether record Number holds the keys.
  bool RecordMatches(Integer Number, const std::vector<TLocateKey>& Keys, TExtLocateOptions Options);
  // -1, 0, 1: record Number against the keys in the order of the sort.
  int CompareRecordWithKeys(Integer Number, const std::vector<TLocateKey>& Keys, TExtLocateOptions Options);
  // The logical number of the record found, -1 for none; moves nothing.
  Integer FindRecord(const std::vector<TLocateKey>& Keys, TExtLocateOptions Options, TLocateKind Kind);
  // The keys in the order of a local sort whose first fields they are, or
  // false.
  bool SortedKeyOrder(std::vector<TLocateKey>& Keys);

  // Sorting (FIBDataSet_Sort.cpp)
  class TSortKeys;
  // The fields and directions DoSort was given, checked.
  void ResolveSortFields(TVarRecs Fields, const std::vector<bool>& Ordering, std::vector<TField*>& Result,
                         std::vector<bool>& Ascending);

  std::unique_ptr<TFIBBase> base_;
  std::unique_ptr<TCSMonitorSupport> cs_monitor_support_;
  std::unique_ptr<TList> blob_streams_;
  std::unique_ptr<TList> blob_streams_mru_;
  std::unique_ptr<TFIBDataLink> data_link_;
  TFIBQuery* delete_query_ = nullptr;
  TFIBQuery* insert_query_ = nullptr;
  TFIBQuery* refresh_query_ = nullptr;
  TFIBQuery* update_query_ = nullptr;
  TFIBQuery* select_query_ = nullptr;
  TFIBQuery* current_select_ = nullptr;
  // FindFieldCached's answers by the name as asked.
  std::unordered_map<String, TField*> field_cache_;
  // Forgets the fields found by name (here and in the filter parser): the
  // field list changed, a field may be gone.
  void ForgetFieldLookups();
  std::unique_ptr<TStringList> open_names_;
  std::unique_ptr<TFIBFieldDescrList> descr_list_;
  std::unique_ptr<TSQLs> sqls_;
  std::unique_ptr<TAutoUpdateOptions> auto_update_options_;
  std::unique_ptr<TCacheModelOptions> cache_model_options_;
  std::unique_ptr<TSortedList> sorted_list_;
  std::unique_ptr<TRecordsCache> cache_;
  // Fires OnEndScroll once scrolling stopped (the master-scroll delay).
  std::unique_ptr<TFIBTimer> end_scroll_timer_;

  bool cached_updates_ = false;
  bool prepared_ = false;
  bool sql_changed_ = false;
  bool need_unicode_convert_ = false;
  bool cache_calc_fields_ = false;
  TDataSetState state_before_value_ = dsInactive;
  TFIBUpdateRecordTypes update_record_types_ = kDefaultUpdateRecordTypes;
  TTransactionKind refresh_transaction_kind_ = tkReadTransaction;
  TpFIBDsOptions options_ = kDefaultDataSetOptions;
  TDetailConditions detail_conditions_;
  TpPrepareOptions prepare_options_ = kDefaultPrepareOptions;
  TFieldOriginRule field_origin_rule_ = forTableAndFieldName;
  TUpdateKinds allowed_update_kinds_ = kDefaultAllowedUpdateKinds;
  bool auto_commit_ = false;
  TCursor sql_screen_cursor_ = crDefault;

  // Layout figures
  Integer data_offset_ = 0;
  Integer strings_offset_ = 0;
  Integer blob_slots_offset_ = 0;
  Integer calc_offset_ = 0;
  Integer record_size_ = 0;
  Integer image_size_ = 0;
  Integer blob_image_offset_ = 0;
  Integer cached_extent_ = 0;  // bytes of the buffer from byte 5 that the cache covers
  Integer string_field_count_ = 0;
  Integer blob_count_ = 0;

  TNotifyEvent database_disconnecting_, database_disconnected_, database_free_;
  TNotifyEvent transaction_ending_, transaction_ended_, transaction_free_;
  TFIBUpdateErrorEvent on_update_error_;
  TFIBUpdateRecordEvent on_update_record_;
  TFIBAfterUpdateRecordEvent after_update_record_;
  TOnFetchRecord before_fetch_record_, after_fetch_record_;
  TDataSetErrorEvent on_get_record_error_;
  TFieldNotifyEvent on_field_change_;
  TDataSetNotifyEvent on_enable_controls_, on_disable_controls_, on_end_scroll_;
  TOnFillClientBlob on_fill_client_blob_;
  TNotifyEvent before_start_tr_, after_start_tr_, before_start_update_tr_, after_start_update_tr_;
  TEndTrEvent before_end_tr_, after_end_tr_, before_end_update_tr_, after_end_update_tr_;
  TCompareFieldValues on_compare_field_values_;
};

// The stream CreateBlobStream gives a BLOB field: bound to the field and
// the record, it forwards to the record's TFIBBlobStream (none: an empty
// value). In dsOldValue state it reads the value before the edit. Writing
// needs edit or insert state (client error 43), except on a client-only
// field; the first write marks the record and the field modified, and
// freeing a written stream announces the field's change.
class TFIBDSBlobStream : public TStream {
 public:
  TFIBDSBlobStream(TFIBCustomDataSet* DataSet, TField* Field, TFIBBlobStream* Inner, bool Written);
  ~TFIBDSBlobStream() override;

  Int64 Read(void* Buffer, Int64 Count) override;
  Int64 Write(const void* Buffer, Int64 Count) override;
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  Int64 Size() override;
  void SetSize(Int64 NewSize) override;

  TFIBBlobStream* Inner() const { return inner_; }
  bool Written() const { return written_; }
  TField* Field() const { return field_; }

 private:
  TFIBCustomDataSet* data_set_;
  TField* field_;
  TFIBBlobStream* inner_;
  bool written_;
};

// Off by default: a denied modifying statement then raises its error.
extern bool ExcludeDeniedUpdateKinds;

// TFIBDataSet publishes the properties of TFIBCustomDataSet.
class TFIBDataSet : public TFIBCustomDataSet {
 public:
  using TFIBCustomDataSet::TFIBCustomDataSet;
};

// ---------------------------------------------------------------------------
// Field classes. Each descends from the class library's field class of its
// kind and reads and writes through the dataset's record buffers.

// The descriptor of a data field's column in its TFIBCustomDataSet, or
// nullptr (another dataset, not a data field, no layout yet).
const TFIBFieldDescr* FieldDescrOf(TField* Field);

// The empty-string server default of a text field (TFIBStringField or
// TFIBWideStringField); false for any other field, which the setter leaves.
bool DefaultValueEmptyStringOf(TField* Field);
void SetDefaultValueEmptyStringOf(TField* Field, bool Value);

class TFIBStringField : public TStringField {
 public:
  explicit TFIBStringField(TComponent* AOwner);
  ~TFIBStringField() override;

  void SetDataSet(TDataSet* ADataSet) override;
  void SetSize(int Value) override;
  void Clear() override;
  void SetAsString(const String& Value) override;
  // Copied from the dataset's psSetEmptyStrToNull when attached.
  bool EmptyStrToNull() const { return empty_str_to_null_; }
  void SetEmptyStrToNull(bool Value) { empty_str_to_null_ = Value; }
  // The column's server default is the empty text: a new record gets ""
  // (set when the repository's column information is applied).
  bool DefaultValueEmptyString() const { return default_value_empty_string_; }
  void SetDefaultValueEmptyString(bool Value) { default_value_empty_string_ = Value; }
  // Bytes of the last value set, -1 when none; read by the dataset while
  // the value is written.
  Integer ValueLength() const { return writing_ ? value_length_ : -1; }
  // The column's character set id (-1 until the column is known).
  Integer CharSetID();

 protected:
  void CheckTypeSize(int Value) override;
  bool GetValue(String& Value) override;

 private:
  bool UnicodeText();
  std::unique_ptr<char[]> value_buffer_;
  Integer char_set_id_ = -1;
  bool empty_str_to_null_ = false;
  bool default_value_empty_string_ = false;
  bool writing_ = false;
  Integer value_length_ = -1;
};

// The record holds the text in UTF-8, this system's own text: AsString
// reads it as it is, AsWideString decodes it.
class TFIBWideStringField : public TWideStringField {
 public:
  explicit TFIBWideStringField(TComponent* AOwner) : TWideStringField(AOwner) {}
  void Clear() override { SetData(nullptr); }
  void Bind(bool Binding) override;
  // As TFIBStringField's (text columns of Unicode connections are wide).
  bool DefaultValueEmptyString() const { return default_value_empty_string_; }
  void SetDefaultValueEmptyString(bool Value) { default_value_empty_string_ = Value; }
  // UTF-8 that a trip through UTF-16 keeps goes into the record as it is
  // (any other text as the wide value it gives).
  void SetAsString(const String& Value) override;

 protected:
  // The column's bytes: Size characters of the column's character set (3
  // bytes each for calculated fields and other sets) and a terminator;
  // worked out once while the field is bound to an open dataset.
  int GetDataSize() override;
  String GetAsString() override;
  bool GetValue(String& Value) override;

 private:
  int data_size_ = -1;  // -1: not worked out
  bool default_value_empty_string_ = false;
};

class TFIBLargeIntField : public TLargeintField {
 public:
  explicit TFIBLargeIntField(TComponent* AOwner) : TLargeintField(AOwner) {}
  // The value with the dataset in its old-value state (data and internal
  // calculated fields; 0 otherwise).
  Int64 OldAsLargeInt();

 protected:
  void SetVarValue(const Variant& Value) override;
};

class TFIBIntegerField : public TIntegerField {
 public:
  explicit TFIBIntegerField(TComponent* AOwner) : TIntegerField(AOwner) {}
  void Clear() override { SetData(nullptr); }
  // Above 0 is true; true stores 1, false 0.
  void SetAsBoolean(bool Value) override { SetAsInteger(Value ? 1 : 0); }

 protected:
  bool GetAsBoolean() override { return GetAsInteger() > 0; }
};

class TFIBSmallIntField : public TSmallintField {
 public:
  explicit TFIBSmallIntField(TComponent* AOwner) : TSmallintField(AOwner) {}
  void SetAsBoolean(bool Value) override { SetAsInteger(Value ? 1 : 0); }

 protected:
  bool GetAsBoolean() override { return GetAsInteger() > 0; }
};

class TFIBFloatField : public TFloatField {
 public:
  explicit TFIBFloatField(TComponent* AOwner) : TFloatField(AOwner) {}
  // Over a scaled LONG or SHORT column the value must lie within the
  // column's range (-2147483647..2147483647 resp. -32767..32767 times
  // 10^scale); with RoundByScale it is rounded to the column's decimals
  // (15 for calculated and lookup fields).
  void SetAsFloat(double Value) override;
  bool RoundByScale() const { return round_by_scale_; }
  void SetRoundByScale(bool Value) { round_by_scale_ = Value; }

 protected:
  // The inherited text without characters below 33 at either end.
  void GetText(String& Text, bool DisplayText) override;

 private:
  bool round_by_scale_ = true;
};

// Over an INT64 column the field keeps the column's scaled integer as
// stored; Size is the number of decimals.
class TFIBBCDField : public TBCDField {
 public:
  explicit TFIBBCDField(TComponent* AOwner);

  void SetAsBCD(const TBcd& Value) override;
  void SetAsCurrency(::Currency Value) override;
  void SetAsFloat(double Value) override;
  void SetAsInteger(Integer Value) override;
  void SetAsLargeInt(Int64 Value) override;
  void SetAsString(const String& Value) override;
  void Assign(TPersistent* Source) override;
  // The stored scaled integer; false for NULL.
  bool GetScaled(Int64& Value, bool OldValue = false);
  void SetScaled(Int64 Value);
  // Current and old value (and null state) differ.
  bool IsValueChanged();

 protected:
  int GetDataSize() override;
  void CheckTypeSize(int Value) override;
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
  // Keeps the raw scaled integer (data and lookup fields).
  bool Raw();
  bool OverInt64Column();
};

class TFIBBooleanField : public TBooleanField {
 public:
  explicit TFIBBooleanField(TComponent* AOwner) : TBooleanField(AOwner) {}

  void SetAsBoolean(bool Value) override;
  void SetAsInteger(Integer Value) override { SetAsBoolean(Value != 0); }
  // "1", "T" or StringTrue (without case) set true; "0", "F" or StringFalse
  // false; anything else the inherited conversion.
  void SetAsString(const String& Value) override;
  const String& StringTrue() const { return string_true_; }
  void SetStringTrue(const String& Value) { string_true_ = Value; }
  const String& StringFalse() const { return string_false_; }
  void SetStringFalse(const String& Value) { string_false_ = Value; }
  bool IsStringTrueStored() const { return string_true_ != "True"; }
  bool IsStringFalseStored() const { return string_false_ != "False"; }

 protected:
  int GetDataSize() override;
  bool GetAsBoolean() override;
  Integer GetAsInteger() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& Value) override;

 private:
  bool ReadValue(bool& Value);
  String string_true_ = "True";
  String string_false_ = "False";
};

class TFIBDateField : public TDateField {
 public:
  explicit TFIBDateField(TComponent* AOwner) : TDateField(AOwner) {}
};

// ShowMsec appends "." and the stored value's milliseconds (ms mod 1000,
// plain digits) to the text when they are above 0.
class TFIBTimeField : public TTimeField {
 public:
  explicit TFIBTimeField(TComponent* AOwner) : TTimeField(AOwner) {}
  bool ShowMsec() const { return show_msec_; }
  void SetShowMsec(bool Value) { show_msec_ = Value; }

 protected:
  void GetText(String& Text, bool DisplayText) override;

 private:
  bool show_msec_ = false;
};

class TFIBDateTimeField : public TDateTimeField {
 public:
  explicit TFIBDateTimeField(TComponent* AOwner) : TDateTimeField(AOwner) {}
  bool ShowMsec() const { return show_msec_; }
  void SetShowMsec(bool Value) { show_msec_ = Value; }

 protected:
  void GetText(String& Text, bool DisplayText) override;

 private:
  bool show_msec_ = false;
};

class TFIBBlobField : public TBlobField {
 public:
  explicit TFIBBlobField(TComponent* AOwner) : TBlobField(AOwner) {}
  // The field has no server value; OnFillClientBlob fills it.
  bool IsClientField() const { return is_client_field_; }
  void SetIsClientField(bool Value) { is_client_field_ = Value; }
  // The BLOB subtype of the field's select column, taken at open.
  Integer SubType() const { return sub_type_; }
  void SetSubType(Integer Value) { sub_type_ = Value; }

 protected:
  // A client-only value is NULL when empty.
  bool GetIsNull() override;
  Variant GetAsVariant() override;

 private:
  bool is_client_field_ = false;
  Integer sub_type_ = 0;
};

// Text BLOBs of a Unicode character set are UTF-8 on the server as here;
// such a memo's variant is a wide string.
class TFIBMemoField : public TMemoField {
 public:
  explicit TFIBMemoField(TComponent* AOwner) : TMemoField(AOwner) {}
  Integer CharSetID() const { return char_set_id_; }
  void SetCharSetID(Integer Value) { char_set_id_ = Value; }
  void SetAsWideString(const WideString& Value) override;

 protected:
  WideString GetAsWideString() override;
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& Value) override;

 private:
  bool UnicodeText();
  Integer char_set_id_ = 0;
};

class TFIBArrayField : public TBytesField {
 public:
  explicit TFIBArrayField(TComponent* AOwner) : TBytesField(AOwner) {}
  // Drops the array data read so far.
  void Reset() { array_data_.clear(); }
  // Dimensions of the select column (the dataset is prepared first).
  Integer Dimensions();

 protected:
  void GetText(String& Text, bool DisplayText) override;
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& Value) override;

 private:
  std::vector<Byte> array_data_;
};

// GUID columns (16-byte character columns of a GUID domain): the record
// holds the GUID's 16 bytes; the text is the 38-character braced form; the
// empty GUID and the empty text stand for NULL.
class TFIBGuidField : public TGuidField {
 public:
  explicit TFIBGuidField(TComponent* AOwner) : TGuidField(AOwner) {}
  void SetAsString(const String& Value) override;
  void SetAsGuid(const TGUID& Value) override;

 protected:
  // 16 and 38 only ("Invalid field size").
  void CheckTypeSize(int Value) override;
  // 16; 39 in the block-read state.
  int GetDataSize() override;
  String GetAsString() override;
  Variant GetAsVariant() override;
  void SetVarValue(const Variant& Value) override { SetAsString(Value.AsString()); }
  TGUID GetAsGuid() override;

 private:
  bool ReadGuid(TGUID& Value);
};
