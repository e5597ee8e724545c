// The database suites of the extended dataset's tests: the dataset suite
// with the TpFIBDataSet unit up, whose default transaction is rolled back
// after each test (a database freed with it active would commit it).
#pragma once

#include "dataaccess/datasets/pFIBDataSet.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace dstest {

template <class Derived>
class TExtendedDataSetSuite : public TDataSetSuite<Derived> {
 protected:
  void SetUp() override {
    TDataSetSuite<Derived>::SetUp();
    InitializeUnits({&unit_pFIBDataSet});
  }
  void TearDown() override {
    if (this->db_->DefaultTransaction()->Active()) this->db_->DefaultTransaction()->Rollback();
    TDataSetSuite<Derived>::TearDown();
  }

  // An update object running SQL for DataSet's records of Kind at Order.
  TpFIBUpdateObject* NewUpdateObject(TpFIBDataSet* DataSet, TUpdateKind Kind, TFIBOrderExecUO Order,
                                     const String& SQL) {
    auto* object = new TpFIBUpdateObject(this->form_);
    object->SQL()->SetText(SQL);
    object->SetKindUpdate(Kind);
    object->SetExecuteOrder(Order);
    object->SetDataSet(DataSet);
    return object;
  }
};

}  // namespace dstest
