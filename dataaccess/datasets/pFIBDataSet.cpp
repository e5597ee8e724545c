// TpFIBDataSet: the dataset definition from the repository.
#include "dataaccess/datasets/pFIBDataSet.h"

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/DBParsers.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/core/pFIBLists.h"

using fibdataset_internal::TScreenCursorGuard;
using fibdataset_internal::WithValue;

namespace {

const String kStatementKindNames[] = {"UpdateSQL", "InsertSQL", "DeleteSQL", "RefreshSQL"};

}  // namespace

const String& StatementKindName(Integer Kind) { return kStatementKindNames[Kind]; }

TpFIBDataSet::TpFIBDataSet(TComponent* AOwner)
    : TFIBDataSet(AOwner), default_formats_(std::make_unique<TFormatFields>(this)) {
  TDataSet::SetOnPostError({this, &TpFIBDataSet::PostErrorHandler});
  TDataSet::SetOnDeleteError({this, &TpFIBDataSet::DeleteErrorHandler});
  lock_query_ = new TFIBQuery(this);
  lock_query_->SetParamCheck(true);
  count_query_ = new TFIBQuery(this);
  count_query_->SetParamCheck(true);
}

TpFIBDataSet::~TpFIBDataSet() {
  ReleaseGeneratorQuery();
}

String TpFIBDataSet::About() const { return "6.9.740 Internal"; }

void TpFIBDataSet::Notification(TComponent* AComponent, TOperation Operation) {
  TFIBDataSet::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == container_) container_ = nullptr;
}


void TpFIBDataSet::SetDataSet_ID(Integer Value) {
  if (Value == data_set_id_) return;
  CheckDatasetClosed(" change DataSetID ");
  data_set_id_ = Value;
  UnPrepare();
  if (Value != 0) SetPrepareOptions(PrepareOptions() + TpPrepareOptions{psApplyRepositary});
}

void TpFIBDataSet::Prepare() {
  TScreenCursorGuard cursor(SQLScreenCursor());
  Base()->CheckDatabase();
  PrepareTransaction();
  Base()->CheckTransaction();
  if (PrepareOptions().Contains(psApplyRepositary) && data_set_id_ != applied_id_) {
    const bool conditionsApplied = Conditions()->Applied();
    applied_id_ = 0;
    if (TpDataSetInfoCollect* infos = ListDataSetInfo()) {
      infos->LoadDataSetInfo(this);
      applied_id_ = data_set_id_;
    }
    if (conditionsApplied && !Conditions()->Applied()) Conditions()->Apply();
  }
  TFIBDataSet::Prepare();
}

// ===========================================================================
// Visible records

void TpFIBDataSet::DoFilterRecord(TDataSet* /*DataSet*/, bool& /*Accept*/) {}

bool TpFIBDataSet::IsVisible(TRecordBuffer Buffer) {
  const Integer number = RecordNumberOf(Buffer);
  if (!TFIBDataSet::IsVisible(Buffer)) {
    if (!InInternalPass()) NoteRecordVisibility(number, false);
    return false;
  }
  if (!Filtered() || InInternalPass()) return true;
  // The record being edited stays readable until it is posted.
  if (dsEditModes.Contains(State()) && Buffer == ActiveBuffer()) return true;
  if (const int known = RecordVisibility(number); known >= 0) return known == 1;
  bool accept = true;
  ReadInFilterState(Buffer, [&] {
    // Calculated fields may take part in the filter.
    GetCalcFields(Buffer);
    if (TExpressionParser* parser = FilterParser()) accept = parser->IsTrue();
    if (accept && OnFilterRecord().Assigned()) OnFilterRecord()(this, accept);
    if (accept) DoFilterRecord(this, accept);
  });
  NoteRecordVisibility(number, accept);
  return accept;
}

Integer TpFIBDataSet::HiddenBelow(Integer Count) {
  Count = std::min(Count, FetchedCount());
  for (Integer n = 0; n < Count; ++n)
    if (RecordVisibility(n) < 0) RecordVisibleAt(n);
  int at;
  HiddenRecords()->Find(Count + 1, at);
  return at;
}

int TpFIBDataSet::GetRecNo() {
  const int number = TFIBDataSet::GetRecNo();
  if (engine_recno_ || InInternalPass() || !Options().Contains(poVisibleRecno) || !Active() || number <= 0) return number;
  return number - HiddenBelow(number - 1);
}

void TpFIBDataSet::SetRecNo(int Value) {
  if (!Options().Contains(poVisibleRecno) || !Active()) {
    TFIBDataSet::SetRecNo(Value);
    return;
  }
  CheckBrowseMode();
  if (!Bof() && !Eof() && Value == RecNo()) return;
  // The cache number of the Value-th visible record (beyond the last one:
  // past the end).
  Integer target = FetchedCount();
  if (Value >= 1) {
    Integer seen = 0;
    for (Integer n = 0;; ++n) {
      if (n >= FetchedCount() && FetchNext(1) == 0) break;
      if (RecordVisibleAt(n) && ++seen == Value) {
        target = n;
        break;
      }
    }
  }
  const int engineValue = Value < 1 ? 0 : target + 1;
  WithValue(engine_recno_, true, [&] { TFIBDataSet::SetRecNo(engineValue); });
}

int TpFIBDataSet::GetRecordCount() {
  if (!Active()) return TFIBDataSet::GetRecordCount();
  if (Options().Contains(poVisibleRecno)) return FetchedCount() - HiddenBelow(FetchedCount());
  // The rows not fetched yet count with the server's number.
  return std::max(TFIBDataSet::GetRecordCount(), server_record_count_ - HiddenRecords()->Count());
}

bool TpFIBDataSet::IsSequenced() {
  if (CacheModelOptions()->CacheModelKind() == cmkLimitedBufferSize) return false;
  if (TFIBDataSet::IsSequenced()) return true;
  if (Options().Contains(poVisibleRecno)) return AllFetched();
  return server_record_count_ > 0;
}

namespace {

void InitPFIBDataSet() {
  using DS = TpFIBDataSet;
  RegisterClass<DS, TFIBDataSet>("TpFIBDataSet")
      .Prop("Filtered", &DS::Filtered, &DS::SetFiltered, false)
      .Event("OnFilterRecord", &DS::OnFilterRecord, &DS::SetOnFilterRecord)
      .Object("DefaultFormats", &DS::DefaultFormats)
      // The dataset's own error events: the class library's ones lead to
      // them through the containers.
      .Event("OnPostError", &DS::OnPostError, &DS::SetOnPostError)
      .Event("OnDeleteError", &DS::OnDeleteError, &DS::SetOnDeleteError)
      .Event("OnLockError", &DS::OnLockError, &DS::SetOnLockError)
      .Prop("DataSet_ID", &DS::DataSet_ID, &DS::SetDataSet_ID, 0)
      .Prop("Description", &DS::Description, &DS::SetDescription)
      .Prop("Container", &DS::Container, &DS::SetContainer)
      .Event("OnAskRecordCount", &DS::OnAskRecordCount, &DS::SetOnAskRecordCount)
      .Event("OnLockSQLText", &DS::OnLockSQLText, &DS::SetOnLockSQLText)
      .Prop("About", &DS::About, &DS::SetAbout)
      .Stored(false)
      .Event("OnApplyDefaultValue", &DS::OnApplyDefaultValue, &DS::SetOnApplyDefaultValue)
      .Event("OnApplyFieldRepository", &DS::OnApplyFieldRepository, &DS::SetOnApplyFieldRepository);
}

constexpr const TUnit* kUses[] = {&unit_FIBDataSet, &unit_pFIBDataInfo, &unit_pFIBQuery, &unit_DSContainer};

}  // namespace

constinit const TUnit unit_pFIBDataSet("pFIBDataSet", kUses, InitPFIBDataSet, nullptr);
