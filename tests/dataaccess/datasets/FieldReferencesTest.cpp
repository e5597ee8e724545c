// What a dataset remembers of its fields by name (the filter's fields, the
// field look-up behind statement parameters) across the changes of its
// field list: default fields freed at close and made again at open,
// persistent fields deleted, replaced or moved to another dataset.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

namespace {

class FieldReferencesTest : public dstest::TExtendedDataSetSuite<FieldReferencesTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T (ID integer not null primary key, NAME varchar(20), N integer)",
            "insert into T values (1, 'one', 10)", "insert into T values (2, 'two', 20)",
            "insert into T values (3, 'three', 30)", "insert into T values (4, 'four', 40)"};
  }

 protected:
  TpFIBDataSet* NewT() {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText("select ID, NAME, N from T order by ID");
    ds->UpdateSQL()->SetText("update T set NAME = ?NAME, N = ?N where ID = ?OLD_ID");
    return ds;
  }
  // Persistent fields of every column.
  static void MakeFields(TpFIBDataSet* DataSet) {
    DataSet->FieldDefs()->Update();
    for (int i = 0; i < DataSet->FieldDefs()->Count(); ++i) DataSet->FieldDefs()->Items(i)->CreateField(DataSet);
  }
  static std::vector<int> Ids(TDataSet* ds) {
    std::vector<int> ids;
    for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
    return ids;
  }
};

TEST_F(FieldReferencesTest, FilterReadsTheFieldsOfEachOpen) {
  struct Case {
    const char* name;
    // Run between the first open (filtered) and the last open.
    std::function<void(TpFIBDataSet*)> between;
    bool persistent;
  };
  // The columns come in another order at the next open: fields freed at
  // close are not found again where they were.
  const Case cases[] = {
      {"default fields, filter off before close",
       [](TpFIBDataSet* ds) {
         ds->SetFiltered(false);
         ds->Close();
         ds->SelectSQL()->SetText("select N, NAME, ID from T order by ID");
       },
       false},
      {"default fields, filter on through close",
       [](TpFIBDataSet* ds) {
         ds->Close();
         ds->SelectSQL()->SetText("select N, NAME, ID from T order by ID");
       },
       false},
      {"persistent field replaced while closed",
       [](TpFIBDataSet* ds) {
         ds->SetFiltered(false);
         ds->Close();
         delete ds->FieldByName("ID");
         // Where the freed field was, now a field of no dataset.
         (new TIntegerField(ds->Owner()))->SetFieldName("SPARE");
         auto* id = new TIntegerField(ds->Owner());
         id->SetFieldName("ID");
         id->SetDataSet(ds);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TpFIBDataSet* ds = NewT();
    if (c.persistent) MakeFields(ds);
    ds->SetFilter("ID > 1");
    ds->SetFiltered(true);
    ds->Open();
    EXPECT_EQ(Ids(ds), (std::vector<int>{2, 3, 4}));
    c.between(ds);
    ds->Open();
    ds->SetFiltered(true);
    EXPECT_EQ(Ids(ds), (std::vector<int>{2, 3, 4}));
    delete ds;
  }
}

TEST_F(FieldReferencesTest, LookUpCacheForgetsFieldsThatLeaveTheDataSet) {
  struct Case {
    const char* name;
    bool moved;  // else deleted
  };
  for (const Case c : {Case{"deleted", false}, Case{"moved to another dataset", true}}) {
    SCOPED_TRACE(c.name);
    TpFIBDataSet* ds = NewT();
    MakeFields(ds);
    ds->Open();
    // A post fills the parameters through the look-up cache.
    ds->Edit();
    ds->FieldByName("N")->SetAsInteger(11);
    ds->Post();
    TField* name = ds->FieldByName("NAME");
    ASSERT_EQ(ds->FindFieldCached("NAME"), name);
    ds->Close();
    TpFIBDataSet* other = nullptr;
    if (c.moved) {
      other = NewT();
      name->SetDataSet(other);
    } else {
      delete name;
    }
    EXPECT_EQ(ds->FindFieldCached("NAME"), nullptr);
    EXPECT_THROW(ds->FieldByNameCached("NAME"), EDatabaseError);
    if (other != nullptr) {
      EXPECT_EQ(other->FindFieldCached("NAME"), name);
    }
    // Without the field the parameter takes the select's column.
    ds->Open();
    ds->Edit();
    ds->FieldByName("N")->SetAsInteger(12);
    ds->Post();
    db_->DefaultTransaction()->Commit();
    EXPECT_EQ(file_->QueryValue("select NAME || '/' || N from T where ID = 1"), "one/12");
    file_->Exec("update T set N = 10 where ID = 1");
    delete ds;
    delete other;
  }
}

}  // namespace
