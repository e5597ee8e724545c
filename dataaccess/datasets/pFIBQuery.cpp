// Statements with an error handler, and update objects.
#include "dataaccess/datasets/pFIBQuery.h"

#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
TpFIBQuery::TpFIBQuery(TComponent* AOwner) : TFIBQuery(AOwner) {}
void TpFIBQuery::ExecQuery() { TFIBQuery::ExecQuery(); }
String TpFIBQuery::About() const { return "6.9.740 Internal"; }

TpFIBUpdateObject::TpFIBUpdateObject(TComponent* AOwner) : TpFIBQuery(AOwner) {}
TpFIBUpdateObject::~TpFIBUpdateObject() = default;
void TpFIBUpdateObject::Notification(TComponent* AComponent, TOperation Operation) {
  TpFIBQuery::Notification(AComponent, Operation);
}
TFIBDataSet* TpFIBUpdateObject::DataSet() const { return data_set_; }
void TpFIBUpdateObject::SetDataSet(TFIBDataSet*) {}
void TpFIBUpdateObject::SetOrderInList(Integer Value) { order_in_list_ = Value; }
void TpFIBUpdateObject::SetKindUpdate(TUpdateKind Value) { kind_update_ = Value; }

namespace {
constexpr const TUnit* kUses[] = {&unit_FIBQuery};
}  // namespace

constinit const TUnit unit_pFIBQuery("pFIBQuery", kUses, nullptr, nullptr);
