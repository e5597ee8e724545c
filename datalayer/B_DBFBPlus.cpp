#include "datalayer/B_DBFBPlus.h"

#include "framework/B_Dlg.h"
#include "platform/rtl/TypInfo.h"

TB_Query::TB_Query(TComponent* AOwner) : TpFIBDataSet(AOwner), sql_(std::make_unique<TStringList>()) {
  sql_->SetOnChange({this, &TB_Query::SQLChanged});
  TpPrepareOptions options = PrepareOptions();
  options.Exclude(psUseBooleanField);
  options.Exclude(psUseGuidField);
  SetPrepareOptions(options);
}

TB_Query::~TB_Query() = default;

void TB_Query::SetSQL(TStrings* Value) {
  if (Value == nullptr || sql_->Text() == Value->Text()) return;
  sql_->BeginUpdate();
  try {
    sql_->Assign(Value);
  } catch (...) {
    sql_->EndUpdate();
    throw;
  }
  sql_->EndUpdate();
}

namespace {

void TakeDefaultDatabase(TB_Query* Query) {
  if (Query->Database() != nullptr) return;
  if (TFIBDatabase* db = GetDefaultDatabase(nullptr)) Query->SetDatabase(db);
}

}  // namespace

void TB_Query::SQLChanged(TObject*) {
  const TComponentState state = ComponentState();
  if (!state.Contains(csDesigning) && !state.Contains(csLoading) && !state.Contains(csReading))
    TakeDefaultDatabase(this);
  String text;
  ConvertSQLText(sql_->Text(), text);
  if (SelectSQL()->Text() != text) SelectSQL()->SetText(text);
}

void TB_Query::Loaded() {
  TpFIBDataSet::Loaded();
  if (ComponentState().Contains(csDesigning)) return;
  TpPrepareOptions options = PrepareOptions();
  options.Include(psCanEditComputedFields);
  SetPrepareOptions(options);
  TakeDefaultDatabase(this);
}

void TB_Query::Prepare() {
  if (!ComponentState().Contains(csDesigning)) TakeDefaultDatabase(this);
  SQLChanged(this);
  TpFIBDataSet::Prepare();
}

void TB_Query::DoAfterOpen() {
  TpFIBDataSet::DoAfterOpen();
  TStringList names;
  for (size_t pos = 0; pos < order_by_.size();) {
    String name = ExtractFieldName(order_by_, pos);
    if (!name.empty()) names.Add(name);
  }
  if (names.Count() == 0) return;
  try {
    SortByFieldNames(&names, {});
  } catch (...) {
    // The dataset is not left open with an order it could not take.
    Close();
    throw;
  }
}

namespace {

void InitB_DBFBPlus() {
  using Q = TB_Query;
  RegisterClass<Q, TpFIBDataSet>("TB_Query")
      .Prop("SQL", &Q::SQL, &Q::SetSQL)
      .Prop("SelectSQL", &Q::SelectSQL, &Q::SetSelectSQL)
      .Stored(false)
      .Prop("OrderBy", &Q::OrderBy, &Q::SetOrderBy);
}

constexpr const TUnit* kUses[] = {&unit_pFIBDataSet, &unit_B_Dlg};

}  // namespace

constinit const TUnit unit_B_DBFBPlus("B_DBFBPlus", kUses, InitB_DBFBPlus, nullptr);
