// The painted text of every column type of a Firebird table is the field's
// display text of the drawn record, read from the cell parameters the paint
// filled.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "tests/grid/datagrid/GridFirebirdFixture.h"
#include "tests/grid/datagrid/GridFixture.h"

namespace {

class PaintFirebirdTest : public TGridFirebirdTest<PaintFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table TYPES_T (ID integer not null primary key, S smallint, B bigint, N2 numeric(15,2), "
        "N4 numeric(18,4), D double precision, F float, DT date, TM time, TS timestamp, C1 char(1), C5 char(5), "
        "V varchar(30), FLAG boolean)",
        "insert into TYPES_T values (1, -7, 9000000000, 12.5, 3.1416, 2.25, 0.5, '2024-03-08', '13:45:10', "
        "'2024-03-08 13:45:10', 'Ж', 'ab', 'Привет, мир', true)",
        "insert into TYPES_T values (2, null, null, null, null, null, null, null, null, null, null, null, null, null)",
        "insert into TYPES_T values (3, 0, 0, -0.01, 0, 0, 0, '1999-12-31', '00:00:00', '1999-12-31 23:59:59', "
        "'z', 'пять!', 'ёлка', false)",
    };
  }

 protected:
  void SetUp() override {
    SetUpGrid("select * from TYPES_T order by ID");
    form_->SetBounds(0, 0, 1400, 300);
    grid_->SetBounds(0, 0, 1400, 200);
  }

 public:
  void Drawn(TObject*, const TRect&, int DataCol, TColumnEh* Column, TGridDrawState) {
    painted_[{grid_->DataLink()->ActiveRecord(), DataCol}] = {grid_->CellParams()->Text,
                                                              Column->Field()->DisplayText()};
  }

 protected:
  // (record, data column) -> (painted text, the field's display text then)
  std::map<std::pair<int, int>, std::pair<String, String>> painted_;
};

TEST_F(PaintFirebirdTest, EveryTypePaintsItsDisplayText) {
  ds_->Open();
  for (int i = 0; i < grid_->Columns()->Count(); ++i) grid_->Columns()->Items(i)->SetWidth(90);
  grid_->SetOnDrawColumnCell({this, &PaintFirebirdTest::Drawn});
  TPaper paper(1400, 200);
  grid_->PaintTo(paper.Canvas(), 0, 0);
  const int cols = grid_->Columns()->Count();
  ASSERT_EQ(cols, 14);
  for (int rec = 0; rec < 3; ++rec)
    for (int c = 0; c < cols; ++c) {
      auto it = painted_.find({rec, c});
      ASSERT_NE(it, painted_.end()) << "record " << rec << " column " << c;
      EXPECT_EQ(it->second.first, it->second.second) << "record " << rec << " column " << c;
    }
  auto text = [&](int Rec, const char* Field) {
    return painted_[{Rec, ds_->FieldByName(Field)->Index()}].first;
  };
  EXPECT_EQ(text(0, "V"), "Привет, мир");
  EXPECT_EQ(text(2, "V"), "ёлка");
  EXPECT_EQ(text(0, "S"), "-7");
  EXPECT_EQ(text(0, "B"), "9000000000");
  EXPECT_NE(text(0, "N2").find("12"), String::npos);
  EXPECT_NE(text(0, "N4").find("1416"), String::npos) << "all four scaled digits";
  EXPECT_EQ(text(0, "C1"), "Ж");
  EXPECT_EQ(text(2, "C5").substr(0, 9), "пять!");
  for (const char* f : {"S", "B", "N2", "N4", "D", "DT", "TM", "TS", "C1", "C5", "V"})
    EXPECT_EQ(text(1, f), "") << f << " is NULL";
}

}  // namespace
