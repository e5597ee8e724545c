// Numeric columns of every kind through the paths their values take inside
// a dataset: local sorting, Locate and Lookup, FullRefresh, and values
// copied through Value() into another table, compared on the server. Scaled
// 64-bit columns of several scales, with and without psSQLINT64ToBCD,
// negatives and NULL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

namespace {

struct TColumn {
  const char* Name;
  const char* Type;
  // Rows 1 to 6; row 5 holds the column's largest value.
  std::vector<const char*> Values;
};

const std::vector<TColumn>& Columns() {
  static const std::vector<TColumn> columns = {
      {"S", "smallint", {"-2", "-15", "-25", "3", "32767", "null"}},
      {"I", "integer", {"-25", "-150", "-250", "3", "2147483647", "null"}},
      {"B", "bigint", {"-25", "-150", "-250", "3", "9223372036854775807", "null"}},
      {"NS", "numeric(4,1)", {"-0.2", "-1.5", "-2.5", "3", "999.9", "null"}},
      {"NI", "numeric(9,2)", {"-0.25", "-1.5", "-2.5", "3", "9999999.99", "null"}},
      {"N2", "numeric(18,2)", {"-0.25", "-1.5", "-2.5", "3", "92233720368547758.07", "null"}},
      {"N4", "numeric(18,4)", {"-0.25", "-1.5", "-2.5", "3", "922337203685477.5807", "null"}},
      {"N6", "numeric(18,6)", {"-0.25", "-1.5", "-2.5", "3", "123456789012.123456", "null"}},
      {"N9", "numeric(18,9)", {"-0.25", "-1.5", "-2.5", "3", "-123456789.123456789", "null"}},
      {"F", "float", {"-0.25", "-1.5", "-2.5", "3", "1e30", "null"}},
      {"D", "double precision", {"-0.25", "-1.5", "-2.5", "3", "1.7976931348623157e308", "null"}},
  };
  return columns;
}

constexpr int kRows = 6;

String ColumnList() {
  String list = "ID";
  for (const TColumn& c : Columns()) list += String(", ") + c.Name;
  return list;
}

std::vector<std::string> NumberTables() {
  std::vector<std::string> sql;
  for (const char* table : {"NUMS", "COPIES"}) {
    std::string create = std::string("create table ") + table + " (ID integer not null primary key";
    for (const TColumn& c : Columns()) create += std::string(", ") + c.Name + " " + c.Type;
    sql.push_back(create + ")");
  }
  for (int row = 0; row < kRows; ++row) {
    std::string values = std::to_string(row + 1);
    for (const TColumn& c : Columns()) values += std::string(", ") + c.Values[static_cast<size_t>(row)];
    sql.push_back("insert into NUMS (" + ColumnList() + ") values (" + values + ")");
  }
  return sql;
}

class ScaledNumberTest : public dstest::TExtendedDataSetSuite<ScaledNumberTest> {
 public:
  static std::vector<std::string> Tables() { return NumberTables(); }

 protected:
  TpFIBDataSet* Numbers(bool Bcd, const String& Table = "NUMS") {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText("select " + ColumnList() + " from " + Table + " order by ID");
    TpPrepareOptions options = ds->PrepareOptions();
    if (Bcd) options.Include(psSQLINT64ToBCD);
    else options.Exclude(psSQLINT64ToBCD);
    ds->SetPrepareOptions(options);
    return ds;
  }

  // The IDs in the server's order of Column (NULLs first ascending, last
  // descending, as the dataset's comparison puts them).
  std::vector<int> ServerOrder(const char* Column, bool Ascending) {
    TFIBQuery q(nullptr);
    q.SetDatabase(db_);
    q.SetTransaction(db_->DefaultTransaction());
    if (!db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->StartTransaction();
    q.SQL()->SetText(String("select ID from NUMS order by ") + Column + (Ascending ? "" : " desc"));
    q.ExecQuery();
    std::vector<int> ids;
    for (; !q.Eof(); q.Next()) ids.push_back(q.Fields(0)->AsInteger());
    q.Close();
    return ids;
  }

  static std::vector<int> Ids(TDataSet* ds) {
    std::vector<int> ids;
    for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
    return ids;
  }
};

TEST_F(ScaledNumberTest, LocalSortFollowsTheServersOrder) {
  for (bool bcd : {false, true}) {
    TpFIBDataSet* ds = Numbers(bcd);
    ds->Open();
    for (const TColumn& c : Columns())
      for (bool ascending : {true, false}) {
        SCOPED_TRACE(std::string(c.Name) + (ascending ? " asc" : " desc") + (bcd ? ", BCD" : ""));
        ds->DoSort({c.Name}, {ascending});
        EXPECT_EQ(Ids(ds), ServerOrder(c.Name, ascending));
      }
    delete ds;
  }
}

TEST_F(ScaledNumberTest, LocateLookupAndFullRefreshFindEveryValue) {
  for (bool bcd : {false, true}) {
    TpFIBDataSet* ds = Numbers(bcd);
    ds->Open();
    for (const TColumn& c : Columns())
      for (int id = 1; id <= kRows; ++id) {
        SCOPED_TRACE(std::string(c.Name) + " of row " + std::to_string(id) + (bcd ? ", BCD" : ""));
        ASSERT_TRUE(ds->Locate("ID", id, {}));
        const Variant value = ds->FieldByName(c.Name)->Value();
        ds->First();
        EXPECT_TRUE(ds->Locate(c.Name, value, {}));
        EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), id);
        const Variant found = ds->Lookup(c.Name, value, "ID");
        EXPECT_EQ(VarIsNull(found) || VarIsEmpty(found) ? -1 : found.AsInteger(), id);
        // Written as the server writes it: the exact text.
        if (c.Values[static_cast<size_t>(id - 1)] != std::string("null") &&
            dynamic_cast<TFIBBCDField*>(ds->FieldByName(c.Name)) != nullptr) {
          ds->First();
          EXPECT_TRUE(ds->Locate(c.Name, String(c.Values[static_cast<size_t>(id - 1)]), {}));
          EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), id);
        }
      }
    // FullRefresh locates the record again by every value it holds.
    for (int id = 1; id <= kRows; ++id) {
      SCOPED_TRACE("FullRefresh on row " + std::to_string(id) + (bcd ? ", BCD" : ""));
      ASSERT_TRUE(ds->Locate("ID", id, {}));
      ds->FullRefresh(true);
      EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), id);
    }
    delete ds;
  }
}

TEST_F(ScaledNumberTest, ValuesCopiedThroughValueReachTheServerExactly) {
  for (bool bcd : {false, true}) {
    SCOPED_TRACE(bcd ? "BCD" : "double");
    file_->Exec("delete from COPIES");
    TpFIBDataSet* from = Numbers(bcd);
    TpFIBDataSet* to = Numbers(bcd, "COPIES");
    String params = "?ID";
    for (const TColumn& c : Columns()) params += String(", ?") + c.Name;
    to->InsertSQL()->SetText("insert into COPIES (" + ColumnList() + ") values (" + params + ")");
    from->Open();
    to->Open();
    for (from->First(); !from->Eof(); from->Next()) {
      to->Append();
      for (int i = 0; i < from->FieldCount(); ++i)
        to->Fields()->Fields(i)->SetValue(from->Fields()->Fields(i)->Value());
      to->Post();
    }
    db_->DefaultTransaction()->Commit();
    for (const TColumn& c : Columns()) {
      SCOPED_TRACE(c.Name);
      // A scaled column of more than four places is a float field without
      // the option: its largest value need not survive a double.
      const bool viaDouble = !bcd && (std::string(c.Name) == "N6" || std::string(c.Name) == "N9");
      const std::string differing = file_->QueryValue(
          std::string("select count(*) from NUMS a join COPIES b on a.ID = b.ID where a.") + c.Name +
          " is distinct from b." + c.Name + (viaDouble ? " and a.ID <> 5" : ""));
      EXPECT_EQ(differing, "0");
    }
    delete from;
    delete to;
  }
}

}  // namespace
