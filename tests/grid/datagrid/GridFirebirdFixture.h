// Shared set-up of the grid tests on a Firebird dataset: the units, a form
// holding an attachment, a TpFIBDataSet behind a data source, and a grid
// placed on the form with its window made.
#pragma once

#include <string>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"
#include "tests/support/fb/FIBTestSupport.h"

struct TGridFirebirdParts {
  TForm* Form = nullptr;
  TFIBDatabase* Database = nullptr;
  TpFIBDataSet* DataSet = nullptr;
  TDataSource* Source = nullptr;

  // Units, form (Width x Height), attachment to Path, dataset and source.
  void Make(const std::string& Path, int Width, int Height) {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
    Form = TForm::CreateNew(nullptr);
    Form->SetBounds(50, 50, Width, Height);
    Database = fbtest::ConnectFIBDatabase(Form, Path);
    DataSet = new TpFIBDataSet(Form);
    DataSet->SetDatabase(Database);
    DataSet->SetAutoCommit(true);
    Source = new TDataSource(Form);
    Source->SetDataSet(DataSet);
  }
  // A 400 x 200 grid on the form over the source.
  template <class G>
  G* PlaceGrid() {
    auto* g = new G(Form);
    g->SetBounds(0, 0, 400, 200);
    g->SetParent(Form);
    g->SetDataSource(Source);
    g->Handle();
    return g;
  }
  void Free() {
    if (Database->DefaultTransaction()->Active()) Database->DefaultTransaction()->Commit();
    delete Form;
    Form = nullptr;
  }
};
