// The grid on a Firebird dataset: opening, scrolling, editing and posting
// reach the grid through its data link, and a posted edit is read back on
// another attachment.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "tests/grid/datagrid/GridFirebirdFixture.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class GridFirebirdTest : public TGridFirebirdTest<GridFirebirdTest, TRecordingGrid> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table GRID_T (ID integer not null primary key, NAME varchar(20), AMOUNT numeric(15,2))",
        "execute block as declare i integer = 1; begin while (i <= 30) do begin "
        "insert into GRID_T values (:i, 'row ' || :i, :i * 1.5); i = i + 1; end end",
    };
  }

 protected:
  void SetUp() override {
    SetUpGrid("select ID, NAME, AMOUNT from GRID_T order by ID");
    ds_->UpdateSQL()->SetText("update GRID_T set NAME = ?NAME, AMOUNT = ?AMOUNT where ID = ?OLD_ID");
    ds_->SetAutoCommit(true);
  }
  int Count(const char* Call) const { return static_cast<int>(std::count(grid_->calls.begin(), grid_->calls.end(), Call)); }
};

TEST_F(GridFirebirdTest, DatasetNotificationsReachTheGridThroughItsLink) {
  grid_->calls.clear();
  ds_->Open();
  ASSERT_FALSE(grid_->calls.empty());
  EXPECT_EQ(grid_->calls.front(), "LinkActive(1)");
  EXPECT_TRUE(grid_->DataLink()->Active());
  ASSERT_EQ(grid_->Columns()->Count(), 3);
  EXPECT_EQ(grid_->Columns()->Items(2)->Field(), ds_->FieldByName("AMOUNT"));
  EXPECT_EQ(grid_->FieldCount(), 3);
  EXPECT_GT(grid_->RowCount(), 2);
  EXPECT_EQ(grid_->Row(), grid_->TitleOffset());

  // Moves inside the record window scroll it by 0; beyond it by the distance.
  grid_->calls.clear();
  ds_->Next();
  EXPECT_EQ(grid_->calls, std::vector<String>{"Scroll(0)"});
  EXPECT_EQ(grid_->Row(), grid_->TitleOffset() + 1);
  grid_->calls.clear();
  ds_->MoveBy(2);
  EXPECT_EQ(grid_->calls, std::vector<String>{"Scroll(0)"});
  EXPECT_EQ(grid_->Row(), grid_->TitleOffset() + 3);
  const int window = grid_->DataLink()->BufferCount();
  ASSERT_LT(window, 30);
  grid_->calls.clear();
  ds_->Last();
  ASSERT_EQ(grid_->calls.size(), 1u);
  EXPECT_EQ(grid_->calls[0], "DataChanged");  // Last fills the record window anew
  EXPECT_EQ(grid_->Row(), grid_->TitleOffset() + window - 1);

  // Editing and posting: the state, the changed field, the pending write.
  ds_->First();
  grid_->calls.clear();
  ds_->Edit();
  EXPECT_EQ(Count("EditingChanged"), 1);
  ds_->FieldByName("NAME")->SetAsString("изменено");
  EXPECT_EQ(Count("RecordChanged(NAME)"), 1);
  grid_->DataLink()->Modified();
  grid_->on_update_data = [this] { ds_->FieldByName("AMOUNT")->SetAsFloat(99.5); };
  ds_->Post();
  EXPECT_EQ(Count("UpdateData"), 1);
  EXPECT_EQ(Count("EditingChanged"), 2);
  EXPECT_FALSE(grid_->DataLink()->IsModified());
  EXPECT_EQ(file_->QueryValue("select NAME from GRID_T where ID = 1"), "изменено");
  EXPECT_EQ(file_->QueryValue("select cast(AMOUNT * 100 as integer) from GRID_T where ID = 1"), "9950");

  // Controls enabled again, a layout change, then closing.
  grid_->calls.clear();
  ds_->DisableControls();
  ds_->EnableControls();
  EXPECT_GE(Count("DataChanged"), 1);
  grid_->calls.clear();
  ds_->FieldByName("ID")->SetVisible(false);
  EXPECT_GE(Count("LayoutChanged"), 1);
  EXPECT_EQ(grid_->Columns()->Count(), 2);
  grid_->calls.clear();
  ds_->Close();
  EXPECT_EQ(grid_->calls.front(), "LinkActive(0)");
  EXPECT_FALSE(grid_->DataLink()->Active());
}

TEST_F(GridFirebirdTest, FootersSumTheOpenedDataset) {
  TColumnEh* c = grid_->Columns()->Add();
  c->SetFieldName("AMOUNT");
  c->Footer()->SetValueType(fvtSum);
  grid_->SetFooterRowCount(1);
  ds_->Open();
  ASSERT_NE(c->Footer()->SumItem(), nullptr);
  EXPECT_EQ(c->Footer()->SumItem()->SumValue().Value,
            std::stoll(file_->QueryValue("select cast(sum(AMOUNT) * 10000 as bigint) from GRID_T")));
  // The dataset freed before the grid.
  delete ds_;
  ds_ = nullptr;
  EXPECT_FALSE(grid_->DataLink()->Active());
  EXPECT_EQ(c->Field(), nullptr);
}

TEST_F(GridFirebirdTest, SelectedRowsDeleteExactlyThoseRecords) {
  ds_->DeleteSQL()->SetText("delete from GRID_T where ID = ?OLD_ID");
  grid_->SetOptions(grid_->Options() + TDBGridOptions{dgMultiSelect});
  ds_->Open();
  TBookmarkListEh* rows = grid_->SelectedRows();
  for (int id : {20, 5, 12}) {
    ds_->First();
    ds_->MoveBy(id - 1);
    ASSERT_EQ(ds_->FieldByName("ID")->AsInteger(), id);
    rows->SetCurrentRowSelected(true);
  }
  ASSERT_EQ(rows->Count(), 3);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstRecordBookmarks);
  rows->Delete();
  EXPECT_EQ(rows->Count(), 0);
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  EXPECT_EQ(file_->QueryValue("select count(*) from GRID_T"), "27");
  EXPECT_EQ(file_->QueryValue("select count(*) from GRID_T where ID in (5, 12, 20)"), "0");
  EXPECT_EQ(file_->QueryValue("select count(*) from GRID_T where ID in (4, 6, 11, 13, 19, 21)"), "6");
}

}  // namespace
