// Statements with an error handler, and update objects.
#include "dataaccess/datasets/pFIBQuery.h"

#include "dataaccess/datasets/pFIBDataSet.h"

// ===========================================================================
// TpFIBQuery

TpFIBQuery::TpFIBQuery(TComponent* AOwner) : TFIBQuery(AOwner) {}

void TpFIBQuery::ExecQuery() {
  TDataAction action = daRetry;
  while (action == daRetry) {
    action = daFail;
    try {
      TFIBQuery::ExecQuery();
    } catch (EFIBError& E) {
      if (!on_execute_error_.Assigned()) throw;
      on_execute_error_(this, E, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

String TpFIBQuery::About() const { return "6.9.740 Internal"; }

// ===========================================================================
// TpFIBUpdateObject

TpFIBUpdateObject::TpFIBUpdateObject(TComponent* AOwner) : TpFIBQuery(AOwner) { SetParamCheck(true); }

TpFIBUpdateObject::~TpFIBUpdateObject() {
  if (data_set_ != nullptr) data_set_->RemoveUpdateObject(this, kind_update_);
}

void TpFIBUpdateObject::Notification(TComponent* AComponent, TOperation Operation) {
  TpFIBQuery::Notification(AComponent, Operation);
  // The dataset is going: its lists go with it.
  if (Operation == opRemove && data_set_ != nullptr && AComponent == data_set_) data_set_ = nullptr;
}

TFIBDataSet* TpFIBUpdateObject::DataSet() const { return data_set_; }

void TpFIBUpdateObject::SetDataSet(TFIBDataSet* Value) {
  auto* dataSet = dynamic_cast<TpFIBDataSet*>(Value);
  if (Value != nullptr && dataSet == nullptr) throw Exception("%s is not TpFIBDataSet", {Value->Name()});
  if (dataSet == data_set_) return;
  if (data_set_ != nullptr) {
    data_set_->RemoveUpdateObject(this, kind_update_);
    RemoveFreeNotification(data_set_);
    data_set_ = nullptr;
  }
  if (dataSet == nullptr) return;
  dataSet->AddUpdateObject(this, kind_update_, order_in_list_);
  data_set_ = dataSet;
  FreeNotification(dataSet);
  // The dataset's update transaction: the object's statement commits or
  // rolls back with the record it runs for. (A database set here would
  // bring its default transaction along.)
  const bool ownTransaction = Transaction() != nullptr;
  if (Database() == nullptr) SetDatabase(dataSet->Database());
  if (!ownTransaction && dataSet->UpdateTransaction() != nullptr) SetTransaction(dataSet->UpdateTransaction());
}

void TpFIBUpdateObject::SetOrderInList(Integer Value) {
  order_in_list_ = Value;
  if (data_set_ != nullptr) data_set_->MoveUpdateObject(this, kind_update_, Value);
}

void TpFIBUpdateObject::SetKindUpdate(TUpdateKind Value) {
  if (Value == kind_update_) return;
  if (data_set_ == nullptr) {
    kind_update_ = Value;
    return;
  }
  data_set_->RemoveUpdateObject(this, kind_update_);
  kind_update_ = Value;
  data_set_->AddUpdateObject(this, Value, order_in_list_);
}

namespace {

void InitPFIBQuery() {
  RegisterClass<TpFIBQuery, TFIBQuery>("TpFIBQuery")
      .Prop("Description", &TpFIBQuery::Description, &TpFIBQuery::SetDescription)
      .Event("OnExecuteError", &TpFIBQuery::OnExecuteError, &TpFIBQuery::SetOnExecuteError)
      .Prop("About", &TpFIBQuery::About, &TpFIBQuery::SetAbout)
      .Stored(false)
      .Event("BeforeExecute", &TpFIBQuery::BeforeExecute, &TpFIBQuery::SetBeforeExecute)
      .Event("AfterExecute", &TpFIBQuery::AfterExecute, &TpFIBQuery::SetAfterExecute);
  using UO = TpFIBUpdateObject;
  RegisterClass<UO, TpFIBQuery>("TpFIBUpdateObject")
      .Prop("DataSet", &UO::DataSet, &UO::SetDataSet)
      .Prop("OrderInList", &UO::OrderInList, &UO::SetOrderInList, 0)
      .Prop("KindUpdate", &UO::KindUpdate, &UO::SetKindUpdate, ukModify)
      .Prop("Active", &UO::Active, &UO::SetActive, true)
      .Prop("ExecuteOrder", &UO::ExecuteOrder, &UO::SetExecuteOrder, oeBeforeDefault)
      .Prop("ParamCheck", &UO::ParamCheck, &UO::SetParamCheck, true);
}

constexpr const TUnit* kUses[] = {&unit_FIBQuery};

}  // namespace

constinit const TUnit unit_pFIBQuery("pFIBQuery", kUses, InitPFIBQuery, nullptr);
