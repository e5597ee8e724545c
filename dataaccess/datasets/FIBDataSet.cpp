// TFIBCustomDataSet: construction, owned objects, properties, the link to
// database and transactions, guards and the dataset's own operations.
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/DBParsers.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/VariantRtn.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "platform/db/DBConsts.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/FormStream.h"

TpFIBDsOptions DefaultDataSetOptions = kDefaultDataSetOptions;
TpPrepareOptions DefaultPrepareOptions = kDefaultPrepareOptions;
TDetailConditions DefaultDetailConditions;

namespace fibdataset_internal {

TScreenCursorGuard::TScreenCursorGuard(TCursor Cursor) {
  if (Cursor == crDefault || Screen == nullptr || Screen->Cursor() == Cursor) return;
  saved_ = Screen->Cursor();
  Screen->SetCursor(Cursor);
  active_ = true;
}

TScreenCursorGuard::~TScreenCursorGuard() {
  if (active_ && Screen != nullptr) Screen->SetCursor(saved_);
}

}  // namespace fibdataset_internal

using fibdataset_internal::TScreenCursorGuard;
using fibdataset_internal::WithValue;

// ===========================================================================
// TFIBDataLink

TFIBDataLink::~TFIBDataLink() {
  if (data_set_ != nullptr && data_set_->data_link_.get() == this) data_set_->data_link_.release();
}

TDataSet* TFIBDataLink::GetDetailDataSet() { return data_set_; }

// ===========================================================================
// Construction

TFIBCustomDataSet::TFIBCustomDataSet(TComponent* AOwner) : TWideDataSet(AOwner) {
  base_ = std::make_unique<TFIBBase>(this);
  cs_monitor_support_ = std::make_unique<TCSMonitorSupport>(this);
  blob_streams_ = std::make_unique<TList>();
  blob_streams_mru_ = std::make_unique<TList>();
  data_link_ = std::make_unique<TFIBDataLink>(this);
  delete_query_ = CreateInternalQuery("DeleteQuery");
  insert_query_ = CreateInternalQuery("InsertQuery");
  refresh_query_ = CreateInternalQuery("RefreshQuery");
  update_query_ = CreateInternalQuery("UpdateQuery");
  select_query_ = CreateInternalQuery("SelectQuery");
  current_select_ = select_query_;
  SetBookmarkSize(8);
  base_->SetOnDatabaseDisconnecting({this, &TFIBCustomDataSet::LinkDatabaseDisconnecting});
  base_->SetOnDatabaseDisconnected({this, &TFIBCustomDataSet::LinkDatabaseDisconnected});
  base_->SetOnDatabaseFree({this, &TFIBCustomDataSet::LinkDatabaseFree});
  base_->SetOnTransactionEnding({this, &TFIBCustomDataSet::LinkTransactionEnding});
  base_->SetOnTransactionEnded({this, &TFIBCustomDataSet::LinkTransactionEnded});
  base_->SetOnTransactionFree({this, &TFIBCustomDataSet::LinkTransactionFree});
  // On a designer surface the process-wide defaults apply.
  const bool designed = AOwner != nullptr && AOwner->IsDesigning() && !AOwner->IsLoading();
  if (designed) {
    options_ = DefaultDataSetOptions;
    detail_conditions_ = DefaultDetailConditions;
    prepare_options_ = DefaultPrepareOptions;
  }
  SetOptions(options_);
  descr_list_ = std::make_unique<TFIBFieldDescrList>();
  sqls_ = std::make_unique<TSQLs>(this);
  if (designed && GlobalDefaultDatabase() != nullptr) SetDatabase(GlobalDefaultDatabase());
  if (auto* db = dynamic_cast<TFIBDatabase*>(AOwner)) SetDatabase(db);
  else if (auto* tr = dynamic_cast<TFIBTransaction*>(AOwner)) SetTransaction(tr);
  auto_update_options_ = std::make_unique<TAutoUpdateOptions>(this);
  open_names_ = std::make_unique<TStringList>();
  open_names_->SetSorted(true);
  cache_model_options_ = std::make_unique<TCacheModelOptions>(this);
  sorted_list_ = std::make_unique<TSortedList>();
}

TFIBCustomDataSet::~TFIBCustomDataSet() {
  cache_.reset();
  while (blob_streams_->Count() > 0) delete static_cast<TFIBBlobStream*>(blob_streams_->Last());
}

void TFIBCustomDataSet::BeforeDestruction() {
  // The handlers leave the transactions while the statements still name
  // them (an owner's destruction included: the transactions may live on).
  HookReadTransaction(Transaction(), false);
  if (update_query_ != nullptr) HookUpdateTransaction(UpdateTransaction(), false);
  TWideDataSet::BeforeDestruction();
}

void TFIBCustomDataSet::Notification(TComponent* AComponent, TOperation Operation) {
  TWideDataSet::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (dynamic_cast<TField*>(AComponent) != nullptr) ForgetFieldLookups();
  for (TFIBQuery** q : {&delete_query_, &insert_query_, &refresh_query_, &update_query_, &select_query_})
    if (*q == AComponent) *q = nullptr;
  for (TFIBQuery** q : LimitedQuerySlots())
    if (*q == AComponent) *q = nullptr;
  if (current_select_ == AComponent) current_select_ = select_query_;
}

TFIBQuery* TFIBCustomDataSet::CreateInternalQuery(const String& Name) {
  auto* q = new TFIBQuery(this);
  q->CSMonitorSupport()->SetEnabled(cs_monitor_support_->Enabled());
  q->CSMonitorSupport()->SetIncludeDatasetDescription(cs_monitor_support_->IncludeDatasetDescription());
  q->SetOnSQLChanging({this, &TFIBCustomDataSet::SQLChanging});
  // The dataset fetches its rows itself.
  q->SetGoToFirstRecordOnExecute(false);
  q->SetParamCheck(true);
  q->SetName(Name);
  return q;
}

// ===========================================================================
// Properties

TStrings* TFIBCustomDataSet::SelectSQL() const { return select_query_->SQL(); }
TStrings* TFIBCustomDataSet::UpdateSQL() const { return update_query_->SQL(); }
TStrings* TFIBCustomDataSet::DeleteSQL() const { return delete_query_->SQL(); }
TStrings* TFIBCustomDataSet::InsertSQL() const { return insert_query_->SQL(); }
TStrings* TFIBCustomDataSet::RefreshSQL() const { return refresh_query_->SQL(); }

void TFIBCustomDataSet::SetSelectSQL(TStrings* Value) {
  if (IsDesigning()) Close();
  else CheckDatasetClosed(" change SelectSQL ");
  select_query_->SetSQL(Value);
}
void TFIBCustomDataSet::SetUpdateSQL(TStrings* Value) { update_query_->SetSQL(Value); }
void TFIBCustomDataSet::SetDeleteSQL(TStrings* Value) { delete_query_->SetSQL(Value); }
void TFIBCustomDataSet::SetInsertSQL(TStrings* Value) { insert_query_->SetSQL(Value); }
void TFIBCustomDataSet::SetRefreshSQL(TStrings* Value) { refresh_query_->SetSQL(Value); }

TConditions* TFIBCustomDataSet::Conditions() const { return select_query_->Conditions(); }
TFIBXSQLDA* TFIBCustomDataSet::Params() const { return select_query_->Params(); }

void TFIBCustomDataSet::SetCachedUpdates(bool Value) {
  if (Value == cached_updates_) return;
  if (!Value && Active()) CancelUpdates();
  if (Value && !ComponentState().Contains(csReading)) {
    if (MonitoringActive())
      if (TFIBSQLMonitorHook* hook = GetMonitorHook(); hook != nullptr && hook->KindMonitored(mdkExecute))
        hook->WriteSQLData(CmpFullName(this) + ": change CachedUpdates mode ", mdkExecute);
    if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize)
      RaiseClientError(fceLimitedCacheNotUsable, {CmpFullName(this)});
  }
  cached_updates_ = Value;
  select_query_->SetCloseOnTransactionEnd(!Value);
  if (cache_) cache_->SetLogOldVersions(Value);
}

void TFIBCustomDataSet::SetUniDirectional(bool Value) {
  CheckDatasetClosed(" change Unidirectional property ");
  TDataSet::SetUniDirectional(Value);
}

void TFIBCustomDataSet::SetUpdateRecordTypes(TFIBUpdateRecordTypes Value) {
  update_record_types_ = Value;
  ResetVisibleRecords();
  if (Active()) First();
}

void TFIBCustomDataSet::SetCSMonitorSupport(TCSMonitorSupport* Value) {
  if (Value == nullptr || Value == cs_monitor_support_.get()) return;
  cs_monitor_support_->SetEnabled(Value->Enabled());
  cs_monitor_support_->SetIncludeDatasetDescription(Value->IncludeDatasetDescription());
}

void TFIBCustomDataSet::CSMonitorSupportChanged() {
  auto apply = [&](TFIBQuery* Query) {
    if (Query == nullptr) return;
    Query->CSMonitorSupport()->SetEnabled(cs_monitor_support_->Enabled());
    Query->CSMonitorSupport()->SetIncludeDatasetDescription(cs_monitor_support_->IncludeDatasetDescription());
  };
  for (TFIBQuery* q : {delete_query_, insert_query_, refresh_query_, update_query_, select_query_}) apply(q);
  for (TFIBQuery** q : LimitedQuerySlots()) apply(*q);
}

void TFIBCustomDataSet::SetOptions(TpFIBDsOptions Value) {
  options_ = Value;
  for (TFIBQuery* q : {select_query_, update_query_, delete_query_, insert_query_}) {
    if (q == nullptr) continue;
    TpFIBQueryOptions o = q->Options();
    if (Value.Contains(poStartTransaction)) o.Include(qoStartTransaction);
    else o.Exclude(qoStartTransaction);
    if (Value.Contains(poNoForceIsNull)) o.Include(qoNoForceIsNull);
    else o.Exclude(qoNoForceIsNull);
    q->SetOptions(o);
  }
}

void TFIBCustomDataSet::SetPrepareOptions(TpPrepareOptions Value) {
  static constexpr TpPrepareOptions kTypeOptions{psUseBooleanField, psSQLINT64ToBCD, psUseLargeIntField};
  if (!ComponentState().Contains(csReading) && !(((Value - prepare_options_) + (prepare_options_ - Value)) * kTypeOptions).Empty()) {
    CheckDatasetClosed("change psUseBooleanField or psSQLINT64ToBCD or psUseLargeIntField\r\n");
    if (prepared_) {
      FieldDefs()->Clear();
      FieldDefs()->SetUpdated(false);
    }
  }
  prepare_options_ = Value;
}

void TFIBCustomDataSet::SetBeforeFetchRecord(const TOnFetchRecord& V) {
  before_fetch_record_ = V;
  if (!V.Assigned()) {
    select_query_->SetFetchCallback(nullptr);
    return;
  }
  TFIBQuery* q = select_query_;
  select_query_->SetFetchCallback([this, q](Integer RecordNumber, bool& Stop) {
    before_fetch_record_(q, RecordNumber, Stop);
  });
}

TDataSource* TFIBCustomDataSet::DataSource() const { return data_link_ ? data_link_->DataSource() : nullptr; }

void TFIBCustomDataSet::SetDataSource(TDataSource* Value) {
  if (Value != nullptr && IsLinkedTo(Value)) RaiseClientError(fceCircularReference, {CmpFullName(this)});
  data_link_->SetDataSource(Value);
}

bool TFIBCustomDataSet::NeedUnicodeConvert() const {
  return cursor_open_ ? need_unicode_convert_ : Database() != nullptr && Database()->NeedUnicodeConvert();
}

// ===========================================================================
// Database and transactions

TFIBDatabase* TFIBCustomDataSet::Database() const { return base_->Database(); }
TFIBTransaction* TFIBCustomDataSet::Transaction() const { return base_->Transaction(); }
TFIBTransaction* TFIBCustomDataSet::UpdateTransaction() const { return update_query_->Transaction(); }

bool TFIBCustomDataSet::IsUpdateTransactionStored() const {
  return delete_query_->Transaction() != select_query_->Transaction();
}

namespace {

// The four handlers a dataset keeps on one of its transactions.
struct TTransactionHandlers {
  TNotifyEvent BeforeStart, AfterStart;
  TEndTrEvent BeforeEnd, AfterEnd;
};

void Hook(TFIBTransaction* Transaction, const TTransactionHandlers& H, bool Add) {
  if (Transaction == nullptr) return;
  if (Add) {
    Transaction->AddTransactionEvent(tekBeforeStart, H.BeforeStart);
    Transaction->AddTransactionEvent(tekAfterStart, H.AfterStart);
    Transaction->AddEndTransactionEvent(tekBeforeEnd, H.BeforeEnd);
    Transaction->AddEndTransactionEvent(tekAfterEnd, H.AfterEnd);
  } else {
    Transaction->RemoveTransactionEvent(tekBeforeStart, H.BeforeStart);
    Transaction->RemoveTransactionEvent(tekAfterStart, H.AfterStart);
    Transaction->RemoveEndTransactionEvent(tekBeforeEnd, H.BeforeEnd);
    Transaction->RemoveEndTransactionEvent(tekAfterEnd, H.AfterEnd);
  }
}

}  // namespace

void TFIBCustomDataSet::HookReadTransaction(TFIBTransaction* Transaction, bool Add) {
  Hook(Transaction,
       {{this, &TFIBCustomDataSet::ReadTrBeforeStart},
        {this, &TFIBCustomDataSet::ReadTrAfterStart},
        {this, &TFIBCustomDataSet::ReadTrBeforeEnd},
        {this, &TFIBCustomDataSet::ReadTrAfterEnd}},
       Add);
}

void TFIBCustomDataSet::HookUpdateTransaction(TFIBTransaction* Transaction, bool Add) {
  Hook(Transaction,
       {{this, &TFIBCustomDataSet::UpdateTrBeforeStart},
        {this, &TFIBCustomDataSet::UpdateTrAfterStart},
        {this, &TFIBCustomDataSet::UpdateTrBeforeEnd},
        {this, &TFIBCustomDataSet::UpdateTrAfterEnd}},
       Add);
}

void TFIBCustomDataSet::SetDatabase(TFIBDatabase* Value) {
  CheckDatasetClosed(" change database ");
  TFIBTransaction* oldRead = Transaction();
  TFIBTransaction* oldUpdate = UpdateTransaction();
  for (TFIBQuery* q : {delete_query_, insert_query_, refresh_query_, update_query_, select_query_})
    q->SetDatabase(Value);
  if (base_->Database() != Value) base_->SetDatabase(Value);
  // The link and the statements may have taken the database's default
  // transaction: the handlers follow them.
  if (Transaction() != oldRead) {
    HookReadTransaction(oldRead, false);
    HookReadTransaction(Transaction(), true);
  }
  if (UpdateTransaction() != oldUpdate) {
    HookUpdateTransaction(oldUpdate, false);
    HookUpdateTransaction(UpdateTransaction(), true);
  }
  if (Value != nullptr && Value->DefaultUpdateTransaction() != nullptr &&
      (UpdateTransaction() == nullptr || UpdateTransaction() == Transaction()) && !IsLoading() &&
      !Value->IsLoading())
    SetUpdateTransaction(Value->DefaultUpdateTransaction());
}

void TFIBCustomDataSet::SetTransaction(TFIBTransaction* Value) {
  CheckDatasetClosed(" change transaction ");
  TFIBTransaction* old = Transaction();
  if (Value == old && select_query_->Transaction() == Value) return;
  TFIBTransaction* oldUpdate = UpdateTransaction();
  const bool updateFollows = oldUpdate == old;
  base_->SetTransaction(Value);
  HookReadTransaction(old, false);
  HookUpdateTransaction(oldUpdate, false);
  select_query_->SetTransaction(Value);
  HookReadTransaction(Value, true);
  if (updateFollows) {
    for (TFIBQuery* q : {refresh_query_, delete_query_, insert_query_, update_query_}) q->SetTransaction(Value);
    HookUpdateTransaction(Value, true);
  } else {
    if (refresh_transaction_kind_ == tkReadTransaction) refresh_query_->SetTransaction(Value);
    HookUpdateTransaction(oldUpdate, true);
  }
}

void TFIBCustomDataSet::SetUpdateTransaction(TFIBTransaction* Value) {
  if (refresh_transaction_kind_ == tkUpdateTransaction) refresh_query_->SetTransaction(Value);
  HookUpdateTransaction(UpdateTransaction(), false);
  for (TFIBQuery* q : {delete_query_, insert_query_, update_query_}) q->SetTransaction(Value);
  HookUpdateTransaction(Value, true);
}

void TFIBCustomDataSet::SetRefreshTransactionKind(TTransactionKind Value) {
  refresh_transaction_kind_ = Value;
  refresh_query_->SetTransaction(Value == tkReadTransaction ? Transaction() : UpdateTransaction());
}

void TFIBCustomDataSet::PrepareTransaction() {
  if (Database() == nullptr && Transaction() != nullptr && Transaction()->DefaultDatabase() != nullptr)
    SetDatabase(Transaction()->DefaultDatabase());
  if (Transaction() == nullptr && Database() != nullptr && Database()->DefaultTransaction() != nullptr)
    SetTransaction(Database()->DefaultTransaction());
  TFIBTransaction* tr = Transaction();
  if (tr == nullptr || tr->Active()) return;
  if (tr->DatabaseCount() == 0) tr->SetDefaultDatabase(Database());
  if (options_.Contains(poStartTransaction)) tr->StartTransaction();
}

void TFIBCustomDataSet::StartUpdateTransaction() {
  TFIBTransaction* tr = UpdateTransaction();
  if (tr == nullptr) RaiseClientError(fceTransactionNotAssigned, {CmpFullName(this)});
  if (!tr->Active()) tr->StartTransaction();
}

// --- Link notifications

void TFIBCustomDataSet::CloseSelectCursor() {
  if (current_select_ != nullptr && current_select_->Open()) current_select_->Close();
  if (select_query_ != nullptr && select_query_->Open()) select_query_->Close();
}

void TFIBCustomDataSet::LinkDatabaseDisconnecting(TFIBBase* /*Sender*/) {
  if (Active()) {
    if (cached_updates_) {
      FetchNext(INT32_MAX);
      CloseSelectCursor();
    } else {
      Close();
    }
  }
  prepared_ = false;
  database_disconnecting_(this);
}

void TFIBCustomDataSet::LinkDatabaseDisconnected(TFIBBase* /*Sender*/) { database_disconnected_(this); }
void TFIBCustomDataSet::LinkDatabaseFree(TFIBBase* /*Sender*/) { database_free_(this); }
void TFIBCustomDataSet::LinkTransactionEnding(TFIBBase* /*Sender*/) { DoTransactionEnding(this); }
void TFIBCustomDataSet::LinkTransactionEnded(TFIBBase* /*Sender*/) { DoTransactionEnded(this); }
void TFIBCustomDataSet::LinkTransactionFree(TFIBBase* /*Sender*/) { transaction_free_(this); }

void TFIBCustomDataSet::ReadTrBeforeStart(TObject* /*Sender*/) { before_start_tr_(this); }
void TFIBCustomDataSet::ReadTrAfterStart(TObject* /*Sender*/) { after_start_tr_(this); }
void TFIBCustomDataSet::ReadTrBeforeEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force) {
  before_end_tr_(EndingTR, Action, Force);
}
void TFIBCustomDataSet::ReadTrAfterEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force) {
  after_end_tr_(EndingTR, Action, Force);
}
void TFIBCustomDataSet::UpdateTrBeforeStart(TObject* /*Sender*/) { before_start_update_tr_(this); }
void TFIBCustomDataSet::UpdateTrAfterStart(TObject* /*Sender*/) { after_start_update_tr_(this); }
void TFIBCustomDataSet::UpdateTrBeforeEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force) {
  before_end_update_tr_(EndingTR, Action, Force);
}
void TFIBCustomDataSet::UpdateTrAfterEnd(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force) {
  // A committed deletion is no longer undone.
  if (Action == TACommit || Action == TACommitRetaining) last_deleted_ = {};
  DoAfterEndUpdateTransaction(EndingTR, Action, Force);
}

// ===========================================================================
// Virtual operations

Integer TFIBCustomDataSet::CompareFieldValues(TField* Field, const Variant& Value1, const Variant& Value2) {
  if (on_compare_field_values_.Assigned()) return on_compare_field_values_(Field, Value1, Value2);
  const bool clear1 = VarIsClear(Value1) || VarIsNull(Value1), clear2 = VarIsClear(Value2) || VarIsNull(Value2);
  if (clear1 && clear2) return 0;
  if (clear1) return -1;
  if (clear2) return 1;
  return CompareVariants(Value1, Value2);
}

bool TFIBCustomDataSet::CanEdit() {
  if (!IsEmptyStrings(UpdateSQL())) return true;
  if (!cached_updates_) return false;
  TRecordBuffer active = GetActiveRecordBuffer();
  return active != nullptr && CachedStatusOf(active) == cusInserted;
}

bool TFIBCustomDataSet::CanInsert() { return !IsEmptyStrings(InsertSQL()); }
bool TFIBCustomDataSet::CanDelete() { return !IsEmptyStrings(DeleteSQL()); }

void TFIBCustomDataSet::DoTransactionEnding(TObject* /*Sender*/) {
  transaction_ending_(this);
  TFIBTransaction* tr = Transaction();
  if (tr == nullptr || !tr->Ending() || !Active()) return;
  const TTransactionAction action = tr->EndingAction();
  if (action != TACommit && action != TARollback) return;
  if (cached_updates_ && !IsDesigning() && !IsDestroying()) {
    FetchNext(INT32_MAX);
    CloseSelectCursor();
  } else {
    Close();
  }
}

void TFIBCustomDataSet::DoTransactionEnded(TObject* /*Sender*/) { transaction_ended_(this); }

void TFIBCustomDataSet::DoAfterEndUpdateTransaction(TFIBTransaction* EndingTR, TTransactionAction Action,
                                                    bool Force) {
  after_end_update_tr_(EndingTR, Action, Force);
}

bool TFIBCustomDataSet::IsVisible(TRecordBuffer Buffer) {
  if (update_record_types_.Contains(CachedStatusOf(Buffer))) return true;
  return cache_model_options_->CacheModelKind() == cmkLimitedBufferSize || sorting_;
}

void TFIBCustomDataSet::ClearArrayFields() {
  for (int i = 0; i < FieldCount(); ++i)
    if (auto* f = dynamic_cast<TFIBArrayField*>(Fields()->Fields(i))) f->Reset();
}

void TFIBCustomDataSet::CancelUpdates() {
  DisableControls();
  try {
    if (State() == dsEdit || State() == dsInsert) Cancel();
    last_deleted_ = {};
    if (updates_pending_ && cached_updates_ && cache_) {
      for (Integer n = 0; n < fetched_count_; ++n) {
        const Integer record = CacheRecordNo(n);
        Byte* image = cache_->GetRecordPtr(record);
        // The image starts with the cached status byte.
        switch (static_cast<TCachedUpdateStatus>(image[0] & 0x07)) {
          case cusModified:
            cache_->RestoreOldVersion(record);
            if (blob_count_ > 0) {
              // The record's BLOB streams drop their changes as well.
              std::unique_ptr<Byte[]> buffer(AllocRecordBuffer());
              ReadRecordFromCache(n, buffer.get(), false);
              FinalizeBlobStreams(buffer.get(), bsaCancel, nullptr);
              WriteRecordToCache(n, buffer.get());
            }
            break;
          case cusInserted:
            image[0] = static_cast<Byte>((image[0] & ~0x07) | cusUninserted);
            ++deleted_count_;
            break;
          case cusDeleted:
            image[0] = static_cast<Byte>((image[0] & ~0x07) | cusUnmodified);
            --deleted_count_;
            break;
          default:
            break;
        }
      }
      changed_count_ = 0;
      updates_pending_ = false;
      if (Active()) Resync({});
      cache_->ClearLog();
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TFIBCustomDataSet::Prepare() {
  TScreenCursorGuard cursor(sql_screen_cursor_);
  base_->CheckDatabase();
  PrepareTransaction();
  base_->CheckTransaction();
  if (IsEmptyStrings(SelectSQL())) RaiseClientError(fceQueryEmpty, {"Prepare " + CmpFullName(this)});
  try {
    if (!select_query_->Prepared() || select_query_->LiteralValuesChanged()) {
      select_query_->Prepare();
      // A fresh statement: the column information it uses is checked
      // against the server's versions once more.
      if (TpFIBTableInfoCollect* infos = ListTableInfo()) infos->NeedCheckVersions(Database());
    }
    if (IsDesigning()) CheckModifyingStatements();
    prepared_ = true;
    InternalInitFieldDefs();
  } catch (...) {
    prepared_ = false;
    throw;
  }
}

void TFIBCustomDataSet::CheckModifyingStatements() {
  for (TFIBQuery* q : {update_query_, insert_query_, delete_query_, refresh_query_}) {
    if (IsEmptyStrings(q->SQL())) continue;
    q->Prepare();
    q->FreeHandle();
  }
}

void TFIBCustomDataSet::UnPrepare() {
  for (TFIBQuery* q : {delete_query_, insert_query_, refresh_query_, update_query_, select_query_}) q->FreeHandle();
  prepared_ = false;
}

void TFIBCustomDataSet::SQLChanging(TObject* Sender) {
  if (Sender == select_query_) {
    if (IsDesigning()) Close();
    else CheckDatasetClosed(" change SelectSQL ");
  }
  if (auto_update_options_) auto_update_options_->ClearCachedTexts();
  if (Sender != select_query_) return;
  if (auto_update_options_) auto_update_options_->SetUpdateTableName(auto_update_options_->UpdateTableName());
  sql_changed_ = true;
  FieldDefs()->Clear();
  FieldDefs()->SetUpdated(false);
  prepared_ = false;
}

// ===========================================================================
// Class-library operations

bool TFIBCustomDataSet::BookmarkValid(const TBookmark& Bookmark) {
  if (Bookmark.size() < sizeof(Integer)) return false;
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) return true;
  if (!cache_) return false;
  Integer physical;
  std::memcpy(&physical, Bookmark.data(), sizeof physical);
  return cache_->RecordExists(physical);
}

bool TFIBCustomDataSet::IsSequenced() {
  return AllFetched() && !(Filtered() && fetched_count_ > 0) && !UniDirectional() &&
         cache_model_options_->CacheModelKind() == cmkStandard;
}

void TFIBCustomDataSet::Post() {
  TWideDataSet::Post();
  resync_skip_count_ = 0;
}

void TFIBCustomDataSet::Resync(TResyncMode Mode) {
  if (!Active()) return;
  // After a bookmark the record comes back to the window row it had.
  const Integer row = bookmark_active_row_;
  bookmark_active_row_ = -1;
  if (row >= 0 && resync_skip_count_ == 0 && Mode.Contains(rmCenter)) {
    Mode.Exclude(rmCenter);
    SetActiveRecord(std::clamp(row, 0, std::max(BufferCount() - 1, 0)));
  }
  if (internal_flags_ & kControlsDisabledPending) {
    internal_flags_ &= static_cast<Word>(~kControlsDisabledPending);
    if (resync_skip_count_ > 0) --resync_skip_count_;
    else TWideDataSet::Resync({});
    EnableControls();
  } else if (resync_skip_count_ > 0) {
    --resync_skip_count_;
  } else {
    TWideDataSet::Resync(Mode);
  }
}

TUpdateStatus TFIBCustomDataSet::UpdateStatus() {
  TRecordBuffer active = Active() ? GetActiveRecordBuffer() : nullptr;
  if (active == nullptr) return usUnmodified;
  switch (CachedStatusOf(active)) {
    case cusModified:
      return usModified;
    case cusInserted:
      return usInserted;
    case cusDeleted:
    case cusUninserted:
    case cusDeletedApplied:
      return usDeleted;
    default:
      return usUnmodified;
  }
}

void TFIBCustomDataSet::CheckInactive() {
  if (internal_flags_ & kSkipInactiveCheck) return;
  TWideDataSet::CheckInactive();
}

void TFIBCustomDataSet::CheckFieldCompatibility(TField* Field, TFieldDef* FieldDef) {
  static constexpr TFieldTypes kDateTypes{ftDate, ftTime, ftDateTime};
  if (kDateTypes.Contains(Field->DataType()) || kDateTypes.Contains(FieldDef->DataType())) {
    if (Field->DataType() != FieldDef->DataType())
      DatabaseErrorFmt(SFieldTypeMismatch,
                       {Field->DisplayName(), FieldTypeName(Field->DataType()), FieldTypeName(FieldDef->DataType())},
                       this);
    return;
  }
  TWideDataSet::CheckFieldCompatibility(Field, FieldDef);
}

int TFIBCustomDataSet::Translate(const char* Src, char* Dest, bool /*ToOem*/) {
  if (Src == nullptr) return 0;
  const auto length = std::strlen(Src);
  if (Dest != Src) std::memmove(Dest, Src, length + 1);
  return static_cast<int>(length);
}

void TFIBCustomDataSet::InternalHandleException() {
  if (Application != nullptr) Application->HandleException(this);
}

// ===========================================================================
// Guards

void TFIBCustomDataSet::CheckDatasetClosed(const String& Operation) {
  if (cursor_open_) RaiseClientError(fceDatasetOpen, {Operation, CmpFullName(this)});
}

void TFIBCustomDataSet::CheckDatasetOpen(const String& Operation) {
  if (!Active()) RaiseClientError(fceDatasetClosed, {Operation, CmpFullName(this)});
}

void TFIBCustomDataSet::CheckNotUniDirectional() {
  if (UniDirectional()) RaiseClientError(fceUniDirectional);
}

void TFIBCustomDataSet::CheckUpdateAllowed() {
  CheckActive();
  TDataSetState state = State();
  if (state == dsOldValue || state == dsNewValue) state = state_before_value_;
  if (state == dsEdit) {
    if (!CanEdit()) RaiseClientError(fceCannotUpdate, {CmpFullName(this)});
  } else if (state == dsInsert) {
    if (!CanInsert()) RaiseClientError(fceCannotInsert, {CmpFullName(this)});
  } else {
    RaiseClientError(fceNotEditOrInsert, {CmpFullName(this)});
  }
}

bool TFIBCustomDataSet::CanUseLimitedCache() {
  if (cached_updates_) return false;
  if (IsBlank(select_query_->OrderClause())) return false;
  if (!auto_commit_ && UpdateTransaction() != Transaction()) return false;
  TFIBXSQLDA* params = select_query_->Params();
  for (Integer i = 0; i < params->Count(); ++i) {
    const String& name = params->Vars(i)->Name();
    if (name.size() > 4 && IsNewParamName(name)) return false;
  }
  return true;
}

// ===========================================================================
// Other operations

TField* TFIBCustomDataSet::FindFieldCached(const String& Name) {
  if (auto it = field_cache_.find(Name); it != field_cache_.end()) return it->second;
  String name = Name;
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
  TField* field = FindField(name);
  if (field != nullptr) field_cache_.emplace(Name, field);
  return field;
}

void TFIBCustomDataSet::ForgetFieldLookups() {
  field_cache_.clear();
  if (filter_parser_) filter_parser_->ClearFieldCache();
}

TField* TFIBCustomDataSet::FieldByNameCached(const String& Name) {
  TField* field = FindFieldCached(Name);
  if (field == nullptr) DatabaseErrorFmt(SFieldNotFound, {Name}, this);
  return field;
}

bool TFIBCustomDataSet::AllFetched() const { return select_query_ == nullptr || select_query_->AtEnd(); }

void TFIBCustomDataSet::FetchAll() {
  if (current_select_ == nullptr || current_select_->AtEnd()) return;
  TScreenCursorGuard cursor(sql_screen_cursor_);
  DisableControls();
  ++internal_navigation_count_;
  try {
    TBookmark bookmark = GetBookmark();
    Last();
    if (!bookmark.empty()) GotoBookmark(bookmark);
  } catch (...) {
    --internal_navigation_count_;
    EnableControls();
    throw;
  }
  --internal_navigation_count_;
  EnableControls();
}

void TFIBCustomDataSet::Reopen(bool FetchAllRows) {
  TScreenCursorGuard cursor(sql_screen_cursor_);
  const bool calc = AutoCalcFields();
  SetAutoCalcFields(false);
  try {
    if (Active()) Close();
    Open();
    if (FetchAllRows) FetchAll();
  } catch (...) {
    SetAutoCalcFields(calc);
    throw;
  }
  SetAutoCalcFields(calc);
}

void TFIBCustomDataSet::ReopenAndLocate(const String& KeyFieldNames) {
  CheckNotUniDirectional();
  String names = KeyFieldNames;
  Variant values;
  Integer recordNo = 0;
  bool had = fetched_count_ > 0 && Active() && !IsEmpty();
  if (had) {
    recordNo = RecNo();
    if (names.empty()) {
      for (int i = 0; i < FieldCount(); ++i) {
        TField* f = Fields()->Fields(i);
        if (f->FieldKind() != fkData || f->IsBlob() || dynamic_cast<TFIBArrayField*>(f) != nullptr) continue;
        if (!names.empty()) names += ";";
        names += f->FieldName();
      }
      // Every value is a key: they are read as the server has them now. A
      // row the refresh statement no longer finds is not looked for.
      if (!IsEmptyStrings(RefreshSQL()) && State() == dsBrowse)
        WithValue(refreshing_, true, [&] { had = RefreshRecord(refresh_query_, ActiveBuffer()); });
    }
    if (had) values = FieldValues(names);
  }
  DisableControls();
  try {
    Reopen(false);
    if (recordNo > fetched_count_) FetchNext(recordNo - fetched_count_);
    if (had) {
      LocateRecord(names, values, TExtLocateOptions{eloSyncCursor});
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TFIBCustomDataSet::FullRefresh(bool /*KeepPosition*/) {
  if (cache_model_options_->CacheModelKind() == cmkStandard) {
    ReopenAndLocate(String());
    return;
  }
  if (!Active()) {
    Open();
    return;
  }
  FullRefreshLimited();
}


// ===========================================================================
// Record-buffer protocol: adding, deleting, positioning and closing


void TFIBCustomDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
  std::memcpy(&current_record_index_, Buffer + kRecNoOffset, sizeof current_record_index_);
}

void TFIBCustomDataSet::InternalClose() {
  while (blob_streams_->Count() > 0) delete static_cast<TFIBBlobStream*>(blob_streams_->Last());
  blob_streams_mru_->Clear();
  current_record_index_ = -1;
  cursor_open_ = false;
  fetched_count_ = 0;
  deleted_count_ = 0;
  changed_count_ = 0;
  updates_pending_ = false;
  last_deleted_ = {};
  data_offset_ = strings_offset_ = blob_slots_offset_ = calc_offset_ = 0;
  record_size_ = image_size_ = blob_image_offset_ = cached_extent_ = 0;
  string_field_count_ = blob_count_ = 0;
  cache_.reset();
  columns_.clear();
  mapped_query_ = nullptr;
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  descr_list_->Clear();
}

// ===========================================================================
// Unit

namespace {

template <class C, class E>
void DefineLegacyMember(TClassBuilder<C>& Builder, const char* Name, Set<E> (TFIBCustomDataSet::*Get)() const,
                        void (TFIBCustomDataSet::*SetValue)(Set<E>), E Member) {
  Builder.Defined(
      Name,
      [Get, SetValue, Member](C* ds, TReader& r) {
        Set<E> value = (ds->*Get)();
        if (r.ReadBoolean()) value.Include(Member);
        else value.Exclude(Member);
        (ds->*SetValue)(value);
      },
      nullptr, nullptr);
}

void RegisterDataSets() {
  RegisterClass<TCacheModelOptions, TPersistent>("TCacheModelOptions")
      .Prop("CacheModelKind", &TCacheModelOptions::CacheModelKind, &TCacheModelOptions::SetCacheModelKind,
            cmkStandard)
      .Prop("BufferChunks", &TCacheModelOptions::BufferChunks, &TCacheModelOptions::SetBufferChunks, 32)
      .Prop("PlanForDescSQLs", &TCacheModelOptions::PlanForDescSQLs, &TCacheModelOptions::SetPlanForDescSQLs)
      .Prop("BlobCacheLimit", &TCacheModelOptions::BlobCacheLimit, &TCacheModelOptions::SetBlobCacheLimit, 0);

  RegisterClass<TFIBCustomDataSet, TWideDataSet>("TFIBCustomDataSet")
      .Event("OnCompareFieldValues", &TFIBCustomDataSet::OnCompareFieldValues,
             &TFIBCustomDataSet::SetOnCompareFieldValues);

  using DS = TFIBCustomDataSet;
  auto b =
      RegisterClass<TFIBDataSet, TFIBCustomDataSet>("TFIBDataSet")
          .Prop("CachedUpdates", &DS::CachedUpdates, &DS::SetCachedUpdates, false)
          .Prop("UniDirectional", &DS::UniDirectional, &DS::SetUniDirectional, false)
          .Prop("UpdateRecordTypes", &DS::UpdateRecordTypes, &DS::SetUpdateRecordTypes, kDefaultUpdateRecordTypes)
          .Prop("UpdateSQL", &DS::UpdateSQL, &DS::SetUpdateSQL)
          .Prop("DeleteSQL", &DS::DeleteSQL, &DS::SetDeleteSQL)
          .Prop("InsertSQL", &DS::InsertSQL, &DS::SetInsertSQL)
          .Prop("RefreshSQL", &DS::RefreshSQL, &DS::SetRefreshSQL)
          .Prop("SelectSQL", &DS::SelectSQL, &DS::SetSelectSQL)
          .Object("CacheModelOptions", &DS::CacheModelOptions)
          .Event("DatabaseDisconnecting", &DS::DatabaseDisconnecting, &DS::SetDatabaseDisconnecting)
          .Event("DatabaseDisconnected", &DS::DatabaseDisconnected, &DS::SetDatabaseDisconnected)
          .Event("DatabaseFree", &DS::DatabaseFree, &DS::SetDatabaseFree)
          .Event("TransactionEnding", &DS::TransactionEnding, &DS::SetTransactionEnding)
          .Event("TransactionEnded", &DS::TransactionEnded, &DS::SetTransactionEnded)
          .Event("TransactionFree", &DS::TransactionFree, &DS::SetTransactionFree)
          .Event("OnUpdateError", &DS::OnUpdateError, &DS::SetOnUpdateError)
          .Event("OnUpdateRecord", &DS::OnUpdateRecord, &DS::SetOnUpdateRecord)
          .Event("AfterUpdateRecord", &DS::AfterUpdateRecord, &DS::SetAfterUpdateRecord)
          .Object("AutoUpdateOptions", &DS::AutoUpdateOptions)
          .Object("Conditions", &DS::Conditions)
          .Prop("AllowedUpdateKinds", &DS::AllowedUpdateKinds, &DS::SetAllowedUpdateKinds, kDefaultAllowedUpdateKinds)
          .Prop("Transaction", &DS::Transaction, &DS::SetTransaction)
          .Prop("Database", &DS::Database, &DS::SetDatabase)
          .Event("BeforeFetchRecord", &DS::BeforeFetchRecord, &DS::SetBeforeFetchRecord)
          .Event("AfterFetchRecord", &DS::AfterFetchRecord, &DS::SetAfterFetchRecord)
          .Event("OnGetRecordError", &DS::OnGetRecordError, &DS::SetOnGetRecordError)
          .Prop("Options", &DS::Options, &DS::SetOptions, kDefaultDataSetOptions)
          .Prop("DetailConditions", &DS::DetailConditions, &DS::SetDetailConditions, TDetailConditions{})
          .Prop("UpdateTransaction", &DS::UpdateTransaction, &DS::SetUpdateTransaction)
          .Stored(&DS::IsUpdateTransactionStored)
          .Prop("PrepareOptions", &DS::PrepareOptions, &DS::SetPrepareOptions, kDefaultPrepareOptions)
          .Prop("FieldOriginRule", &DS::FieldOriginRule, &DS::SetFieldOriginRule, forTableAndFieldName)
          .Prop("AutoCommit", &DS::AutoCommit, &DS::SetAutoCommit, false)
          .Event("OnFieldChange", &DS::OnFieldChange, &DS::SetOnFieldChange)
          .Event("OnEnableControls", &DS::OnEnableControls, &DS::SetOnEnableControls)
          .Event("OnDisableControls", &DS::OnDisableControls, &DS::SetOnDisableControls)
          .Event("OnEndScroll", &DS::OnEndScroll, &DS::SetOnEndScroll)
          .Event("OnFillClientBlob", &DS::OnFillClientBlob, &DS::SetOnFillClientBlob)
          .Prop("SQLScreenCursor", &DS::SQLScreenCursor, &DS::SetSQLScreenCursor, crDefault)
          .Object("SQLs", &DS::SQLs)
          .Stored(false)
          .Prop("RefreshTransactionKind", &DS::RefreshTransactionKind, &DS::SetRefreshTransactionKind,
                tkReadTransaction)
          .Event("BeforeStartTransaction", &DS::BeforeStartTransaction, &DS::SetBeforeStartTransaction)
          .Event("AfterStartTransaction", &DS::AfterStartTransaction, &DS::SetAfterStartTransaction)
          .Event("BeforeEndTransaction", &DS::BeforeEndTransaction, &DS::SetBeforeEndTransaction)
          .Event("AfterEndTransaction", &DS::AfterEndTransaction, &DS::SetAfterEndTransaction)
          .Event("BeforeStartUpdateTransaction", &DS::BeforeStartUpdateTransaction,
                 &DS::SetBeforeStartUpdateTransaction)
          .Event("AfterStartUpdateTransaction", &DS::AfterStartUpdateTransaction, &DS::SetAfterStartUpdateTransaction)
          .Event("BeforeEndUpdateTransaction", &DS::BeforeEndUpdateTransaction, &DS::SetBeforeEndUpdateTransaction)
          .Event("AfterEndUpdateTransaction", &DS::AfterEndUpdateTransaction, &DS::SetAfterEndUpdateTransaction)
          .Prop("DataSource", &DS::DataSource, &DS::SetDataSource)
          .Object("CSMonitorSupport", &DS::CSMonitorSupport);

  // Names read from older form resources.
  b.Defined(
      "BufferChunks", [](TFIBDataSet* ds, TReader& r) { ds->SetBufferChunks(r.ReadInteger()); }, nullptr, nullptr);
  struct TPrepareName {
    const char* Name;
    TpPrepareOption Member;
  };
  static constexpr TPrepareName kPrepareNames[] = {
      {"poUseBooleanField", psUseBooleanField},       {"poUseGuidField", psUseGuidField},
      {"poUseLargeIntField", psUseLargeIntField},     {"poImportDefaultValues", pfImportDefaultValues},
      {"poGetOrderInfo", psGetOrderInfo},             {"poSupportUnicodeBlobs", psSupportUnicodeBlobs},
      {"poSetRequiredFields", pfSetRequiredFields},   {"poSetReadOnlyFields", pfSetReadOnlyFields},
      {"poSQLINT64ToBCD", psSQLINT64ToBCD},           {"poApplyRepositary", psApplyRepositary},
      {"poAskRecordCount", psAskRecordCount},         {"poCanEditComputedFields", psCanEditComputedFields},
      {"poEmptyStrToNull", psSetEmptyStrToNull}};
  for (const auto& n : kPrepareNames)
    DefineLegacyMember(b, n.Name, &DS::PrepareOptions, &DS::SetPrepareOptions, n.Member);
  struct TDetailName {
    const char* Name;
    TDetailCondition Member;
  };
  static constexpr TDetailName kDetailNames[] = {{"WaitEndMasterScroll", dcWaitEndMasterScroll},
                                                 {"dcForceMasterRefresh", dcForceMasterRefresh},
                                                 {"dcForceOpen", dcForceOpen},
                                                 {"dcIgnoreMasterClose", dcIgnoreMasterClose}};
  for (const auto& n : kDetailNames)
    DefineLegacyMember(b, n.Name, &DS::DetailConditions, &DS::SetDetailConditions, n.Member);
  struct TOptionName {
    const char* Name;
    TpFIBDsOption Member;
  };
  static constexpr TOptionName kOptionNames[] = {
      {"oTrimCharFields", poTrimCharFields},         {"oUseSelectForLock", poUseSelectForLock},
      {"oCacheCalcFields", poCacheCalcFields},       {"oRefreshAfterPost", poRefreshAfterPost},
      {"oRefreshAfterDelete", poRefreshAfterDelete}, {"oRefreshDeletedRecord", poRefreshDeletedRecord},
      {"oStartTransaction", poStartTransaction},     {"oAutoFormatFields", poAutoFormatFields},
      {"oProtectedEdit", poProtectedEdit},           {"oKeepSorting", poKeepSorting},
      {"oPersistentSorting", poPersistentSorting},   {"oVisibleRecno", poVisibleRecno},
      {"oNoForceIsNull", poNoForceIsNull},           {"oFetchAll", poFetchAll}};
  for (const auto& n : kOptionNames) {
    const TpFIBDsOption member = n.Member;
    b.Defined(
        n.Name,
        [member](TFIBDataSet* ds, TReader& r) {
          TpFIBDsOptions value = ds->Options();
          if (r.ReadBoolean()) value.Include(member);
          else value.Exclude(member);
          ds->SetOptions(value);
        },
        nullptr, nullptr);
  }
  b.Defined("ObjectView", [](TFIBDataSet*, TReader& r) { r.ReadBoolean(); }, nullptr, nullptr);
}

void InitFIBDataSet() {
  RegisterDataSets();
  RegisterFieldClasses();
}

constexpr const TUnit* kUses[] = {&unit_DB, &unit_FIBQuery, &unit_pFIBProps, &unit_pFIBDataInfo};

}  // namespace

constinit const TUnit unit_FIBDataSet("FIBDataSet", kUses, InitFIBDataSet, nullptr);
