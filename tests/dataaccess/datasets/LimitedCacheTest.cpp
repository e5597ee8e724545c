// The limited cache model on a real database: when it may open, the
// statements it generates, and walking a 10 000-row result through a
// 100-record window in both directions against a plain select.
#include <algorithm>
#include <string>
#include <vector>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

using dstest::ClientError;
using dstest::TCacheDataSet;

constexpr int kRows = 10000;

class LimitedCacheTest : public dstest::TDataSetSuite<LimitedCacheTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        // A: duplicates and every 13th row NULL; B: duplicates, never NULL.
        "create table L (ID integer not null primary key, A integer, B varchar(10) not null, C integer)",
        "execute block as declare i integer = 1; begin while (i <= 10000) do begin "
        "insert into L values (:i, iif(mod(:i, 13) = 0, null, mod(:i * 7919, 500)), "
        "lpad(mod(:i * 31, 97), 3, '0'), :i); i = i + 1; end end",
        "create table K (A integer not null, B integer not null, \"Sum\" integer not null, SUM2 integer, "
        "primary key (A, B))",
        "insert into K values (1, 1, 1, 1)",
        "create table E (ID integer not null primary key, A integer, NAME varchar(20))",
        "execute block as declare i integer = 1; begin while (i <= 600) do begin "
        "insert into E values (:i, iif(mod(:i, 11) = 0, null, mod(:i * 37, 200)), 'n' || :i); i = i + 1; end end"};
  }

 protected:
  TCacheDataSet* Limited(const String& SQL, Integer Chunks = 100) {
    TCacheDataSet* ds = NewDataSet(SQL);
    ds->SetName("Lim" + IntToStr(++named_));
    ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
    ds->CacheModelOptions()->SetBufferChunks(Chunks);
    return ds;
  }

  // The IDs of SQL in the server's order, read by a standard dataset.
  std::vector<int> Expected(const String& SQL) {
    TCacheDataSet* ds = NewDataSet(SQL);
    ds->Open();
    std::vector<int> ids;
    for (; !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
    delete ds;
    return ids;
  }

  static String Text(TDataSet* ds, const char* Name) {
    return static_cast<TFIBQuery*>(ds->FindComponent(Name))->SQL()->Text();
  }

  int named_ = 0;
};

TEST_F(LimitedCacheTest, OrderInformationIsRequiredAtOpen) {
  String text;
  // No ORDER BY: the model cannot be chosen.
  TCacheDataSet* none = NewDataSet("select ID from L");
  none->SetName("NoOrder");
  EXPECT_EQ(ClientError([&] { none->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize); }, &text),
            fceLimitedCacheNotUsable);
  // An order field that is not selected (by name or by position): error 75
  // at open, the dataset stays closed.
  for (const char* sql : {"select ID from L order by A, ID", "select ID from L order by ID, A"}) {
    SCOPED_TRACE(sql);
    TCacheDataSet* ds = Limited(sql);
    EXPECT_EQ(ClientError([&] { ds->Open(); }, &text), fceLimitedCacheNotUsable);
    EXPECT_EQ(text.find("Lim" + IntToStr(named_) + ". Can't use limited cache. "), 0u) << text;
    EXPECT_FALSE(ds->Active());
    delete ds;
  }
  // The text lost its ORDER BY after the model was chosen.
  TCacheDataSet* lost = Limited("select ID from L order by ID");
  lost->SelectSQL()->SetText("select ID from L");
  EXPECT_THROW(lost->Open(), EFIBClientError);
  try {
    lost->Open();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(String(e.what()), "Lim3:Can't find or parse ORDER BY statement.");
  }
  EXPECT_FALSE(lost->Active());
}

TEST_F(LimitedCacheTest, GeneratedStatements) {
  // Not-null order columns compare plainly; a nullable one also admits the
  // rows across a NULL boundary and compares equal with "is not distinct
  // from". Values are parameters only; names are quoted where needed.
  struct TCase {
    const char* Select;
    const char* Desc;
    const char* Part;
    const char* PartDesc;
    const char* Locate;
  } cases[] = {
      {"select k.A, k.B, k.\"Sum\", k.SUM2 from K k order by k.A desc, k.B",
       "select k.A, k.B, k.\"Sum\", k.SUM2 from K k \r\nORDER BY k.A,k.B desc\r\n",
       "select k.A, k.B, k.\"Sum\", k.SUM2 from K k \r\n WHERE (((K.B>?NEW_B) and (K.A=?NEW_A)) or (K.A<?NEW_A))"
       "\r\norder by k.A desc, k.B\r\n",
       "select k.A, k.B, k.\"Sum\", k.SUM2 from K k \r\n WHERE (((K.B<?NEW_B) and (K.A=?NEW_A)) or (K.A>?NEW_A))"
       "\r\nORDER BY k.A,k.B desc\r\n",
       "select k.A, k.B, k.\"Sum\", k.SUM2 from K k \r\n WHERE (K.A=?LOCATE_A) and (K.B=?LOCATE_B)"
       "\r\norder by k.A desc, k.B\r\n"},
      {"select \"Sum\", SUM2, A from K order by \"Sum\", SUM2 nulls last",
       "select \"Sum\", SUM2, A from K \r\nORDER BY \"Sum\" desc,SUM2 desc  NULLS FIRST\r\n",
       "select \"Sum\", SUM2, A from K \r\n WHERE ((((SUM2>?NEW_SUM2) or (SUM2 is null and SUM2 is distinct from "
       "?NEW_SUM2)) and (\"Sum\"=?\"NEW_Sum\")) or (\"Sum\">?\"NEW_Sum\"))\r\norder by \"Sum\", SUM2 nulls last\r\n",
       "select \"Sum\", SUM2, A from K \r\n WHERE ((((SUM2<?NEW_SUM2) or (SUM2 is not null and coalesce(?NEW_SUM2, "
       "SUM2)=SUM2 and SUM2 is distinct from ?NEW_SUM2)) and (\"Sum\"=?\"NEW_Sum\")) or (\"Sum\"<?\"NEW_Sum\"))"
       "\r\nORDER BY \"Sum\" desc,SUM2 desc  NULLS FIRST\r\n",
       "select \"Sum\", SUM2, A from K \r\n WHERE (\"Sum\"=?\"LOCATE_Sum\") and (SUM2 is not distinct from "
       "?LOCATE_SUM2)\r\norder by \"Sum\", SUM2 nulls last\r\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Select);
    TCacheDataSet* ds = Limited(c.Select);
    ds->CacheModelOptions()->SetPlanForDescSQLs("");
    ds->Open();
    EXPECT_EQ(Text(ds, "SelectDescQuery"), c.Desc);
    EXPECT_EQ(Text(ds, "SelectPartQuery"), c.Part);
    EXPECT_EQ(Text(ds, "SelectPartDescQuery"), c.PartDesc);
    EXPECT_EQ(Text(ds, "SelectLocate"), c.Locate);
    // The server takes every one of them.
    for (const char* name : {"SelectDescQuery", "SelectPartQuery", "SelectPartDescQuery", "SelectLocate"})
      EXPECT_NO_THROW(static_cast<TFIBQuery*>(ds->FindComponent(name))->Prepare()) << name;
  }
  // The descending statements take the given plan.
  TCacheDataSet* planned = Limited("select ID from L order by ID");
  planned->CacheModelOptions()->SetPlanForDescSQLs("PLAN (L ORDER RDB$PRIMARY1)");
  planned->Open();
  EXPECT_NE(Text(planned, "SelectDescQuery").find("PLAN (L ORDER RDB$PRIMARY1)"), String::npos);
  EXPECT_EQ(Text(planned, "SelectPartQuery").find("PLAN"), String::npos);
}

TEST_F(LimitedCacheTest, WalkingBothWaysVisitsEveryRowOnceInOrder) {
  // A holds NULLs and duplicates; ID makes every key unique.
  for (const char* order : {"ID", "ID desc", "A, ID", "A desc, ID desc", "A nulls last, ID", "A desc nulls first, B, ID",
                            "B desc, A, ID"}) {
    SCOPED_TRACE(order);
    const String sql = String("select ID, A, B from L order by ") + order;
    const std::vector<int> expected = Expected(sql);
    ASSERT_EQ(expected.size(), static_cast<size_t>(kRows));
    TCacheDataSet* ds = Limited(sql);
    ds->Open();
    std::vector<int> ids;
    for (; !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
    EXPECT_EQ(ids, expected);
    EXPECT_LE(ds->RecordCount(), 100);
    ids.clear();
    for (ds->Last(); !ds->Bof(); ds->Prior()) ids.insert(ids.begin(), ds->FieldByName("ID")->AsInteger());
    EXPECT_EQ(ids, expected);
    // Back and forth across refills: forward 1 000, back 350, forward 700
    // (window refills on each turn), First again, and MoveBy both ways.
    ds->First();
    EXPECT_EQ(ds->MoveBy(999), 999);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[999]);
    for (int i = 998; i >= 650; --i) {
      ds->Prior();
      ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(i)]) << i;
    }
    for (int i = 651; i <= 1350; ++i) {
      ds->Next();
      ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(i)]) << i;
    }
    EXPECT_EQ(ds->MoveBy(-1250), -1250);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[100]);
    EXPECT_EQ(ds->MoveBy(-500), -100);
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[0]);
    ds->Last();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected.back());
    EXPECT_EQ(ds->MoveBy(-150), -150);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[kRows - 151]);
    EXPECT_EQ(ds->MoveBy(400), 150);
    EXPECT_TRUE(ds->Eof());
    ds->First();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[0]);
    delete ds;
  }
}

TEST_F(LimitedCacheTest, RingAddressingAndSmallResults) {
  TCacheDataSet* ds = Limited("select ID from L order by ID");
  ds->Open();
  // Records 5 and 105 share a cache record.
  EXPECT_EQ(ds->CacheRecordNo(5), ds->CacheRecordNo(105));
  EXPECT_EQ(ds->CacheRecordNo(5), 6);
  // Results smaller than the window, and empty ones, both ways.
  for (const char* where : {"ID <= 30", "ID < 0", "ID = 7"}) {
    SCOPED_TRACE(where);
    const String sql = String("select ID from L where ") + where + " order by ID desc";
    const std::vector<int> expected = Expected(sql);
    TCacheDataSet* small = Limited(sql);
    small->Open();
    EXPECT_EQ(small->IsEmpty(), expected.empty());
    std::vector<int> ids;
    for (small->Last(); !small->Bof(); small->Prior()) ids.insert(ids.begin(), small->FieldByName("ID")->AsInteger());
    EXPECT_EQ(ids, expected);
    ids.clear();
    for (small->First(); !small->Eof(); small->Next()) ids.push_back(small->FieldByName("ID")->AsInteger());
    EXPECT_EQ(ids, expected);
    delete small;
  }
}

TEST_F(LimitedCacheTest, BookmarksAndLocateReachRowsOutsideTheWindow) {
  for (const char* order : {"ID desc", "A, ID", "B desc, A desc, ID"}) {
    SCOPED_TRACE(order);
    const String sql = String("select ID, A, B from L order by ") + order;
    const std::vector<int> expected = Expected(sql);
    TCacheDataSet* ds = Limited(sql);
    ds->Open();
    auto position = [&](int Id) {
      return static_cast<int>(std::find(expected.begin(), expected.end(), Id) - expected.begin());
    };
    // Checks the rows around the current one, refilling both ways.
    auto expectAround = [&](int At) {
      ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(At)]);
      int n = At;
      for (; n > At - 150 && n > 0; --n) ds->Prior();
      ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(n)]);
      for (; n < At + 150 && n < kRows - 1; ++n) ds->Next();
      ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(n)]);
    };
    ds->MoveBy(40);
    const TBookmark early = ds->GetBookmark();
    ds->MoveBy(4000);
    const TBookmark late = ds->GetBookmark();
    ds->MoveBy(10);
    // In the window and far outside it.
    ds->GotoBookmark(late);
    expectAround(4040);
    ds->GotoBookmark(early);
    expectAround(40);
    ds->Last();
    ds->GotoBookmark(early);
    expectAround(40);
    // A row with NULL in an order field.
    const int nullRow = expected[static_cast<size_t>(position(13 * 400))];
    ASSERT_TRUE(ds->Locate("ID", nullRow, {}));
    const TBookmark withNull = ds->GetBookmark();
    ds->First();
    ds->GotoBookmark(withNull);
    expectAround(position(nullRow));

    // Locate asks the server from the first row.
    ds->First();
    ASSERT_TRUE(ds->Locate("ID", 7777, {}));
    expectAround(position(7777));
    const int before = ds->FieldByName("ID")->AsInteger();
    EXPECT_FALSE(ds->Locate("ID", 123456, {}));
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), before);
    ASSERT_TRUE(ds->Locate("A;ID", VarArrayOf({Variant(6001 * 7919 % 500), Variant(6001)}), {}));
    expectAround(position(6001));
    delete ds;
  }
  // Partial and case-insensitive keys.
  TCacheDataSet* ds = Limited("select ID, B from L order by ID");
  ds->Open();
  ASSERT_TRUE(ds->Locate("B", "09", {loPartialKey}));
  EXPECT_EQ(ds->FieldByName("B")->AsString().substr(0, 2), "09");
  const int first09 = ds->FieldByName("ID")->AsInteger();
  const std::vector<int> all = Expected("select ID from L where B starting with '09' order by ID");
  EXPECT_EQ(first09, all.front());
  EXPECT_FALSE(ds->Locate("B", "x", {loPartialKey, loCaseInsensitive}));
}

TEST_F(LimitedCacheTest, EditsPostedFromInsideTheWindow) {
  const String sql = "select ID, A, NAME from E order by A, ID";
  // Posts reach the server.
  auto* ds = new TFIBDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText(sql);
  ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
  ds->UpdateSQL()->SetText("update E set A = ?A, NAME = ?NAME where ID = ?OLD_ID");
  ds->InsertSQL()->SetText("insert into E (ID, A, NAME) values (?ID, ?A, ?NAME)");
  ds->DeleteSQL()->SetText("delete from E where ID = ?OLD_ID");
  ds->Open();
  // The rows around the current one match the server's order, both ways
  // across refills.
  auto expectAround = [&](int Id) {
    const std::vector<int> expected = Expected(sql);
    const auto at = static_cast<int>(std::find(expected.begin(), expected.end(), Id) - expected.begin());
    ASSERT_LT(at, static_cast<int>(expected.size()));
    ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), Id);
    int n = at;
    for (; n > at - 130 && n > 0; --n) ds->Prior();
    ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(n)]);
    for (; n < at + 130 && n < static_cast<int>(expected.size()) - 1; ++n) {
      ds->Next();
      ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(n + 1)]) << n;
    }
    ds->Locate("ID", Id, {});
  };
  ds->MoveBy(300);
  const int id = ds->FieldByName("ID")->AsInteger();
  // A change outside the order fields stays in place.
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("renamed");
  ds->Post();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), id);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "renamed");
  expectAround(id);
  // A new order value moves the row; to NULL and back.
  for (const Variant& a : {Variant(150), Variant(), Variant(3)}) {
    ds->Edit();
    ds->FieldByName("A")->SetAsVariant(a);
    ds->Post();
    expectAround(id);
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "renamed");
  }
  // An insert becomes current in its place.
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(5000);
  ds->FieldByName("A")->SetAsInteger(99);
  ds->FieldByName("NAME")->SetAsString("new");
  ds->Post();
  expectAround(5000);
  // A refused post changes nothing.
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(5000);
  EXPECT_THROW(ds->Post(), EDatabaseError);
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5000);
  // A delete leaves the next row current.
  const std::vector<int> before = Expected(sql);
  const auto at = std::find(before.begin(), before.end(), 5000) - before.begin();
  ds->Delete();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), before[static_cast<size_t>(at + 1)]);
  expectAround(before[static_cast<size_t>(at + 1)]);
  ds->Last();
  const int last = ds->FieldByName("ID")->AsInteger();
  ds->Delete();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), before[before.size() - 2]);
  EXPECT_NE(last, before[before.size() - 2]);
}

}  // namespace
