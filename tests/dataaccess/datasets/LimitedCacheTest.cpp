// The limited cache model on a real database: when it may open, the
// statements it generates, walking a 10 000-row result through a
// 100-record window in both directions against a plain select, and what
// reaches rows beyond the window: bookmarks, Locate, Lookup, refreshes,
// posts and sorting by the server.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

using dstest::ClientError;
using dstest::ErrorText;
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
        // A: NULLs and duplicates; G: seven values, many rows each.
        "create table E (ID integer not null primary key, A integer, NAME varchar(20), G integer, "
        "NOTE blob sub_type 1)",
        "execute block as declare i integer = 1; begin while (i <= 600) do begin "
        "insert into E values (:i, iif(mod(:i, 11) = 0, null, mod(:i * 37, 200)), 'n' || :i, mod(:i, 7), "
        "'note ' || :i); i = i + 1; end end"};
  }

 protected:
  TCacheDataSet* Limited(const String& SQL, Integer Chunks = 100) {
    TCacheDataSet* ds = NewDataSet(SQL);
    ds->SetName("Lim" + IntToStr(++named_));
    ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
    ds->CacheModelOptions()->SetBufferChunks(Chunks);
    return ds;
  }

  // The IDs from the first row on, and from the last row back.
  static std::vector<int> IdsForward(TDataSet* ds) {
    std::vector<int> ids;
    for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
    return ids;
  }
  static std::vector<int> IdsBackward(TDataSet* ds) {
    std::vector<int> ids;
    for (ds->Last(); !ds->Bof(); ds->Prior()) ids.push_back(ds->FieldByName("ID")->AsInteger());
    std::reverse(ids.begin(), ids.end());
    return ids;
  }

  // The IDs of SQL in the server's order, read by a standard dataset.
  std::vector<int> Expected(const String& SQL) {
    TCacheDataSet* ds = NewDataSet(SQL);
    ds->Open();
    std::vector<int> ids = IdsForward(ds);
    delete ds;
    return ids;
  }

  static String Text(TDataSet* ds, const char* Name) {
    return static_cast<TFIBQuery*>(ds->FindComponent(Name))->SQL()->Text();
  }

  static int Position(const std::vector<int>& Ids, int Id) {
    return static_cast<int>(std::find(Ids.begin(), Ids.end(), Id) - Ids.begin());
  }

  // From the current row, Expected[At], Span rows back, 2 * Span forward and
  // back to it, refilling the window both ways: every row must be
  // Expected's.
  static ::testing::AssertionResult WalksAround(TDataSet* ds, const std::vector<int>& Expected, int At,
                                                int Span = 130) {
    auto id = [&] { return ds->FieldByName("ID")->AsInteger(); };
    if (At >= static_cast<int>(Expected.size()) || id() != Expected[static_cast<size_t>(At)])
      return ::testing::AssertionFailure() << "not at " << At << " but on ID " << id();
    const int low = std::max(0, At - Span), high = std::min(static_cast<int>(Expected.size()) - 1, At + Span);
    auto step = [&](int Delta, int To) {
      ds->MoveBy(Delta);
      return id() == Expected[static_cast<size_t>(To)];
    };
    for (int n = At; n > low; --n)
      if (!step(-1, n - 1)) return ::testing::AssertionFailure() << "back to " << n - 1 << ": ID " << id();
    for (int n = low; n < high; ++n)
      if (!step(1, n + 1)) return ::testing::AssertionFailure() << "on to " << n + 1 << ": ID " << id();
    for (int n = high; n > At; --n)
      if (!step(-1, n - 1)) return ::testing::AssertionFailure() << "back to " << n - 1 << ": ID " << id();
    return ::testing::AssertionSuccess();
  }

  // A statement run in the datasets' transaction (rolled back by the test).
  void Exec(const String& SQL) {
    TFIBQuery q(nullptr);
    q.SetDatabase(db_);
    q.SetTransaction(db_->DefaultTransaction());
    if (!db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->StartTransaction();
    q.SQL()->SetText(SQL);
    q.ExecQuery();
  }

  // A limited dataset over E that posts and refreshes through the server.
  TFIBDataSet* EditableE(const String& SQL) {
    auto* ds = new TFIBDataSet(form_);
    ds->SetName("E" + IntToStr(++named_));
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(SQL);
    ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
    ds->UpdateSQL()->SetText("update E set A = ?A, NAME = ?NAME, G = ?G where ID = ?OLD_ID");
    ds->InsertSQL()->SetText("insert into E (ID, A, NAME) values (?ID, ?A, ?NAME)");
    ds->DeleteSQL()->SetText("delete from E where ID = ?OLD_ID");
    return ds;
  }

  int named_ = 0;
};

// A value as text with its kind, arrays element by element.
String Show(const Variant& V) {
  if (VarIsClear(V)) return "<unassigned>";
  if (VarIsNull(V)) return "<null>";
  if (!VarIsArray(V)) return VarToStr(V) + "/" + IntToStr(VarType(V));
  String text = "[";
  for (Integer i = VarArrayLowBound(V, 1); i <= VarArrayHighBound(V, 1); ++i) text += Show(VarArrayGet(V, i)) + " ";
  return text + "]";
}

TEST_F(LimitedCacheTest, OrderInformationIsRequiredAtOpen) {
  String text;
  // No ORDER BY: the model cannot be chosen.
  TCacheDataSet* none = NewDataSet("select ID from L");
  none->SetName("NoOrder");
  EXPECT_EQ(ClientError([&] { none->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize); }, &text),
            fceLimitedCacheNotUsable);
  // A NEW_ parameter in any letter case would clash with the boundary
  // values.
  TCacheDataSet* named = NewDataSet("select ID from L where ID > ?new_Id order by ID");
  EXPECT_FALSE(named->CanUseLimitedCache());
  // Posts through another transaction need AutoCommit.
  TCacheDataSet* separate = NewDataSet("select ID from L order by ID");
  auto* update = new TFIBTransaction(form_);
  update->SetDefaultDatabase(db_);
  separate->SetUpdateTransaction(update);
  EXPECT_EQ(ClientError([&] { separate->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize); }),
            fceLimitedCacheNotUsable);
  EXPECT_EQ(separate->CacheModelOptions()->CacheModelKind(), cmkStandard);
  separate->SetAutoCommit(true);
  separate->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
  EXPECT_EQ(separate->CacheModelOptions()->CacheModelKind(), cmkLimitedBufferSize);
  // An order field that is not selected: the ORDER BY cannot be read at
  // open, the dataset stays closed.
  for (const char* sql : {"select ID from L order by A, ID", "select ID from L order by ID, A"}) {
    SCOPED_TRACE(sql);
    TCacheDataSet* ds = Limited(sql);
    EXPECT_THROW(ds->Open(), EFIBClientError);
    EXPECT_EQ(ErrorText([&] { ds->Open(); }), "Lim" + IntToStr(named_) + ":Can't find or parse ORDER BY statement.");
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
    EXPECT_EQ(IdsForward(ds), expected);
    EXPECT_LE(ds->RecordCount(), 100);
    EXPECT_EQ(IdsBackward(ds), expected);
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
  // Results smaller than the window, of its size and one more, and empty
  // ones, both ways.
  for (const char* where : {"ID <= 30", "ID < 0", "ID = 7", "ID <= 99", "ID <= 100", "ID <= 101"}) {
    SCOPED_TRACE(where);
    const String sql = String("select ID from L where ") + where + " order by ID desc";
    const std::vector<int> expected = Expected(sql);
    TCacheDataSet* small = Limited(sql);
    small->Open();
    EXPECT_EQ(small->IsEmpty(), expected.empty());
    EXPECT_EQ(IdsBackward(small), expected);
    EXPECT_EQ(IdsForward(small), expected);
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
    auto position = [&](int Id) { return Position(expected, Id); };
    auto expectAround = [&](int At) { EXPECT_TRUE(WalksAround(ds, expected, At, 150)); };
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
  TFIBDataSet* ds = EditableE(sql);
  ds->Open();
  // The rows around the current one match the server's order, both ways
  // across refills.
  auto expectAround = [&](int Id) {
    const std::vector<int> expected = Expected(sql);
    EXPECT_TRUE(WalksAround(ds, expected, Position(expected, Id)));
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

TEST_F(LimitedCacheTest, WalkingWithAGridSizedBufferWindow) {
  // A grid keeps 30 records of the window in its buffers.
  const String sql = "select ID, A, B from L order by A desc, ID";
  const std::vector<int> expected = Expected(sql);
  TCacheDataSet* ds = Limited(sql);
  TDataSource source(nullptr);
  source.SetDataSet(ds);
  TDataLink grid;
  grid.SetDataSource(&source);
  grid.SetBufferCount(30);
  ds->Open();
  EXPECT_EQ(IdsForward(ds), expected);
  EXPECT_EQ(IdsBackward(ds), expected);
  ds->First();
  EXPECT_EQ(ds->MoveBy(4321), 4321);
  EXPECT_TRUE(WalksAround(ds, expected, 4321, 160));
  const TBookmark mark = ds->GetBookmark();
  ASSERT_TRUE(ds->Locate("ID", expected[9000], {}));
  EXPECT_TRUE(WalksAround(ds, expected, 9000));
  ds->GotoBookmark(mark);
  EXPECT_TRUE(WalksAround(ds, expected, 4321));
  source.SetDataSet(nullptr);
}

TEST_F(LimitedCacheTest, FilteredWalksSkipHiddenRowsAcrossRefills) {
  struct Case {
    const char* filter;
    const char* order;
    int buffers;  // records a grid keeps
  };
  const Case cases[] = {
      {"A > 10", "ID", 1},
      {"A > 10", "A desc, ID", 1},
      {"A > 10", "ID", 30},
      // A few hundred rows hidden between visible ones: more than a window.
      {"A = 7", "ID", 1},
      {"A = 7", "B, ID", 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.filter) + " order by " + c.order + ", " + std::to_string(c.buffers) + " buffers");
    const std::vector<int> expected =
        Expected(String("select ID from L where ") + c.filter + " order by " + c.order);
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(String("select ID, A, B from L order by ") + c.order);
    ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
    ds->SetFilterText(c.filter);
    ds->SetFiltered(true);
    TDataSource source(nullptr);
    source.SetDataSet(ds);
    TDataLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(c.buffers);
    ds->Open();
    EXPECT_EQ(IdsForward(ds), expected);
    EXPECT_EQ(IdsBackward(ds), expected);
    ds->First();
    const int middle = static_cast<int>(expected.size()) / 2;
    EXPECT_EQ(ds->MoveBy(middle), middle);
    EXPECT_TRUE(WalksAround(ds, expected, middle, 40));
    source.SetDataSet(nullptr);
    delete ds;
  }
  // A filter that reads a BLOB reads the record it tests.
  auto* notes = new TpFIBDataSet(form_);
  notes->SetDatabase(db_);
  notes->SelectSQL()->SetText("select ID, NOTE from E order by ID");
  notes->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
  std::vector<std::string> misread;
  notes->SetOnFilterRecord({form_, [&](TDataSet* D, bool& Accept) {
                              const String note = D->FieldByName("NOTE")->AsString();
                              const String id = D->FieldByName("ID")->AsString();
                              if (note != "note " + id) misread.push_back(id + ": " + note);
                              Accept = D->FieldByName("ID")->AsInteger() % 3 != 0;
                            }});
  notes->SetFiltered(true);
  notes->Open();
  const std::vector<int> kept = Expected("select ID from E where mod(ID, 3) <> 0 order by ID");
  EXPECT_EQ(IdsForward(notes), kept);
  EXPECT_EQ(IdsBackward(notes), kept);
  EXPECT_TRUE(misread.empty()) << misread.front();
}

TEST_F(LimitedCacheTest, LookupLeavesThePositionAndTheWindow) {
  const String sql = "select ID, A, B from L order by B, ID";
  const std::vector<int> expected = Expected(sql);
  TCacheDataSet* reference = NewDataSet(sql);
  AddMinusId(reference);
  reference->Open();
  TCacheDataSet* ds = Limited(sql);
  AddMinusId(ds);
  int scrolls = 0;
  ds->SetAfterScroll({form_, [&](TDataSet*) { ++scrolls; }});
  ds->Open();
  const int at = 250;
  ds->MoveBy(at);
  // expected[200] is in the window, expected[7000] and the NULL row are not.
  const int inWindow = expected[200], outside = expected[7000], nullA = 13 * 500;
  ASSERT_GT(Position(expected, nullA), at + 100);
  struct TCase {
    const char* Keys;
    Variant Values;
    const char* Results;
  } cases[] = {
      {"ID", inWindow, "B"},
      {"ID", outside, "B"},
      {"ID", outside, "A;B;MINUS_ID"},
      {"ID", nullA, "A"},
      {"A;ID", VarArrayOf({Null(), Variant(nullA)}), "ID;B"},
      {"B;ID", VarArrayOf({Variant("042"), Variant(outside)}), "ID"},
      {"ID", 123456, "B"},
  };
  scrolls = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(String(c.Keys) + " " + Show(c.Values) + " " + c.Results);
    EXPECT_EQ(Show(ds->Lookup(c.Keys, c.Values, c.Results)), Show(reference->Lookup(c.Keys, c.Values, c.Results)));
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[at]);
    EXPECT_EQ(ds->RecNo(), at + 1);
  }
  EXPECT_EQ(scrolls, 0);
  EXPECT_TRUE(VarIsClear(ds->Lookup("ID", 5, " ")));
  // The window is searched first, the server only for rows beyond it.
  const String windowB = ds->Lookup("ID", inWindow, "B").AsString();
  const String outsideB = ds->Lookup("ID", outside, "B").AsString();
  Exec("update L set B = 'x' || B where ID in (" + IntToStr(inWindow) + ", " + IntToStr(outside) + ")");
  EXPECT_EQ(ds->Lookup("ID", inWindow, "B").AsString(), windowB);
  EXPECT_EQ(ds->Lookup("ID", outside, "B").AsString(), "x" + outsideB);
  EXPECT_TRUE(WalksAround(ds, expected, at));
  // Calculated keys cannot reach the server.
  EXPECT_EQ(ClientError([&] { ds->Lookup("MINUS_ID", -5, "B"); }), fceFieldNotUsable);
  EXPECT_EQ(ClientError([&] { ds->Locate("MINUS_ID", -5, {}); }), fceFieldNotUsable);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[at]);
  db_->DefaultTransaction()->Rollback();
}

TEST_F(LimitedCacheTest, SetRecNoReachesOnlyTheWindow) {
  TCacheDataSet* ds = Limited("select ID from L order by ID");
  ds->Open();
  // Record numbers count from the first row here: the window holds records
  // 51 to 150 (IDs 52 to 151) once the dataset stands on ID 151.
  ds->MoveBy(150);
  ASSERT_EQ(ds->RecNo(), 151);
  const std::pair<int, int> cases[] = {{120, 120}, {52, 52}, {51, 52}, {151, 151}, {152, 151},
                                       {0, 151},   {-3, 151}, {100, 100}};
  for (const auto& [value, id] : cases) {
    SCOPED_TRACE(value);
    ds->SetRecNo(value);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), id);
    EXPECT_EQ(ds->RecNo(), id);
  }
  EXPECT_TRUE(WalksAround(ds, Expected("select ID from L order by ID"), 99));
}

TEST_F(LimitedCacheTest, RefreshReadsTheActiveRowAgain) {
  const String sql = "select ID, A, NAME, G, NOTE from E order by A, ID";
  TFIBDataSet* ds = EditableE(sql);
  ds->RefreshSQL()->SetText("select ID, A, NAME, G, NOTE from E where ID = ?OLD_ID");
  int refreshes = 0;
  ds->SetAfterRefresh({form_, [&](TDataSet*) { ++refreshes; }});
  ds->Open();
  ds->MoveBy(300);
  const int id = ds->FieldByName("ID")->AsInteger();
  const String where = " where ID = " + IntToStr(id);
  EXPECT_EQ(ds->FieldByName("NOTE")->AsString(), "note " + IntToStr(id));
  // New values, the BLOB's among them.
  Exec("update E set NAME = 'fresh', NOTE = 'new note'" + where);
  ds->Refresh();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), id);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "fresh");
  EXPECT_EQ(ds->FieldByName("NOTE")->AsString(), "new note");
  EXPECT_EQ(refreshes, 1);
  // A new order value: the window follows the server's order around it.
  Exec("update E set A = 3" + where);
  ds->Refresh();
  EXPECT_EQ(ds->FieldByName("A")->AsInteger(), 3);
  std::vector<int> expected = Expected(sql);
  EXPECT_TRUE(WalksAround(ds, expected, Position(expected, id)));
  // Gone on the server: client error 48, or with poRefreshDeletedRecord the
  // next row becomes current.
  Exec("delete from E" + where);
  EXPECT_EQ(ClientError([&] { ds->Refresh(); }), fceCannotRefreshRow);
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poRefreshDeletedRecord});
  refreshes = 0;
  ds->Refresh();
  EXPECT_EQ(refreshes, 1);
  const int next = expected[static_cast<size_t>(Position(expected, id) + 1)];
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), next);
  expected = Expected(sql);
  EXPECT_TRUE(WalksAround(ds, expected, Position(expected, next)));

  // FullRefresh reads the window again: the row and its neighbours.
  const int after = expected[static_cast<size_t>(Position(expected, next) + 1)];
  Exec("update E set NAME = 'again' where ID in (" + IntToStr(next) + ", " + IntToStr(after) + ")");
  refreshes = 0;
  ds->FullRefresh(true);
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), next);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "again");
  ds->Next();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "again");
  // A row gone leaves its neighbour current, without an error.
  Exec("delete from E where ID = " + IntToStr(after));
  ds->FullRefresh(true);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), expected[static_cast<size_t>(Position(expected, after) + 1)]);
  expected = Expected(sql);
  EXPECT_TRUE(WalksAround(ds, expected, Position(expected, ds->FieldByName("ID")->AsInteger())));
  ds->Close();
  ds->FullRefresh(true);
  EXPECT_TRUE(ds->Active());

  // A re-read that finds nothing while editing gives the fields their
  // values before the edit back.
  const String name = ds->FieldByName("NAME")->AsString();
  ds->RefreshSQL()->SetText("select ID, A, NAME, G, NOTE from E where ID = ?OLD_ID and 1 = 0");
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("typed");
  ds->UpdateRecordInCache(ds->RefreshQuery(), ds->GetActiveRecordBuffer(), false);
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), name);
  ds->Cancel();
  // Refreshing without RefreshSQL: client error 48.
  ds->RefreshSQL()->Clear();
  EXPECT_EQ(ClientError([&] { ds->Refresh(); }), fceCannotRefreshRow);
  db_->DefaultTransaction()->Rollback();
}

TEST_F(LimitedCacheTest, LocateNextAndPriorFromTheCurrentRecord) {
  const String sql = "select ID, B from L order by B desc, ID";
  const std::vector<int> expected = Expected(sql);
  const std::vector<int> matches = Expected("select ID, B from L where B = '042' order by B desc, ID");
  ASSERT_GT(matches.size(), 50u);
  TCacheDataSet* ds = Limited(sql);
  ds->Open();
  auto locate = [&](TLocateKind Kind) { return ds->LocateRecord("B", "042", {eloSyncCursor}, Kind); };
  auto id = [&] { return ds->FieldByName("ID")->AsInteger(); };
  ASSERT_TRUE(locate(lkStandard));
  EXPECT_EQ(id(), matches.front());
  // Each match in turn, far beyond the window, and none past the last.
  for (size_t k = 1; k < matches.size(); ++k) {
    ASSERT_TRUE(locate(lkNext)) << k;
    ASSERT_EQ(id(), matches[k]) << k;
  }
  EXPECT_FALSE(locate(lkNext));
  EXPECT_EQ(id(), matches.back());
  for (size_t k = matches.size() - 1; k-- > 0;) {
    ASSERT_TRUE(locate(lkPrior)) << k;
    ASSERT_EQ(id(), matches[k]) << k;
  }
  EXPECT_FALSE(locate(lkPrior));
  EXPECT_EQ(id(), matches.front());
  EXPECT_TRUE(WalksAround(ds, expected, Position(expected, matches.front())));
  // From the ends.
  ds->Last();
  ds->Next();
  ASSERT_TRUE(ds->Eof());
  ASSERT_TRUE(locate(lkPrior));
  EXPECT_EQ(id(), matches.back());
  ds->First();
  ds->Prior();
  ASSERT_TRUE(ds->Bof());
  ASSERT_TRUE(locate(lkNext));
  EXPECT_EQ(id(), matches.front());
  // Only in the records held: the window (rows 0 to 99 here).
  ds->First();
  ds->MoveBy(99);
  EXPECT_TRUE(ds->LocateRecord("ID", expected[60], {eloSyncCursor, eloInFetchedRecords}));
  EXPECT_EQ(id(), expected[60]);
  EXPECT_FALSE(ds->LocateRecord("ID", expected[5000], {eloSyncCursor, eloInFetchedRecords}));
  EXPECT_EQ(id(), expected[60]);
}

TEST_F(LimitedCacheTest, SortingOrdersTheRowsOnTheServer) {
  const String sql = "select ID, A, B from L order by ID";
  TCacheDataSet* ds = Limited(sql);
  AddMinusId(ds);
  ds->Open();
  ds->MoveBy(3000);
  const TBookmark mark = ds->GetBookmark();
  ds->DoSort({"B", "A"}, {false, true});
  EXPECT_TRUE(ds->Sorted());
  ASSERT_EQ(ds->SortFieldsCount(), 2);
  EXPECT_EQ(ds->SortInfo()[0].FieldName, "B");
  EXPECT_FALSE(ds->SortInfo()[0].Asc);
  EXPECT_TRUE(ds->SortInfo()[1].Asc);
  EXPECT_EQ(ds->SelectSQL()->Text(), sql + "\r\n");
  // The former order decides among equal sort values.
  EXPECT_EQ(Text(ds, "SelectSortedQuery"), "select ID, A, B from L order by B desc, A, ID \r\n");
  EXPECT_EQ(Text(ds, "SelectPartDescQuery"),
            "select ID, A, B from L \r\n WHERE (((((ID<?NEW_ID) and (A is not distinct from ?NEW_A)) or ((A<?NEW_A) "
            "or (A is null and A is distinct from ?NEW_A))) and (B=?NEW_B)) or (B>?NEW_B))\r\n"
            "ORDER BY B, A desc, ID desc\r\n");
  const std::vector<int> sorted = Expected("select ID, A, B from L order by B desc, A, ID");
  EXPECT_EQ(IdsForward(ds), sorted);
  EXPECT_EQ(IdsBackward(ds), sorted);
  // Monitor settings reach every statement of the model, the sorted one too.
  ds->CSMonitorSupport()->SetEnabled(csmeEnabled);
  ds->CSMonitorSupport()->SetIncludeDatasetDescription(false);
  for (const char* name : {"SelectQuery", "SelectDescQuery", "SelectPartQuery", "SelectPartDescQuery", "SelectLocate",
                           "SelectSortedQuery"}) {
    SCOPED_TRACE(name);
    auto* q = static_cast<TFIBQuery*>(ds->FindComponent(name));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->CSMonitorSupport()->Enabled(), csmeEnabled);
    EXPECT_FALSE(q->CSMonitorSupport()->IncludeDatasetDescription());
  }
  // Bookmarks of before the sort, and Locate, in the new order.
  ds->GotoBookmark(mark);
  EXPECT_TRUE(WalksAround(ds, sorted, Position(sorted, 3001)));
  ASSERT_TRUE(ds->Locate("A", 17, {}));
  const std::vector<int> a17 = Expected("select ID, A, B from L where A = 17 order by B desc, A, ID");
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), a17.front());

  // Refused elements change nothing.
  const int before = ds->FieldByName("ID")->AsInteger();
  const std::pair<std::function<void()>, const char*> errors[] = {
      {[&] { ds->DoSort({"NOPE"}, {true}); }, "Can't sort. Invalid parameter: Fields[0]"},
      {[&] { ds->DoSort({"ID", 99}, {true, true}); }, "Can't sort. Invalid parameter: Fields[1]"},
      {[&] { ds->DoSort({"A", "MINUS_ID"}, {true, true}); },
       "Can't sort. Field MINUS_ID (Fields[1]) is not a column of a table"},
  };
  for (const auto& [call, message] : errors) {
    SCOPED_TRACE(message);
    EXPECT_THROW(call(), Exception);
    EXPECT_EQ(ErrorText(call), message);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), before);
    EXPECT_EQ(ds->SortFieldsCount(), 2);
  }
  EXPECT_TRUE(WalksAround(ds, sorted, Position(sorted, before)));

  // A reopen drops the sort unless poPersistentSorting keeps it.
  ds->Close();
  ds->Open();
  EXPECT_FALSE(ds->Sorted());
  EXPECT_TRUE(WalksAround(ds, Expected(sql), 0));
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poPersistentSorting});
  ds->SortByFieldNames([] {
    static TStringList names;
    names.SetText("A");
    return &names;
  }(), {false});
  ds->Close();
  ds->Open();
  EXPECT_TRUE(ds->Sorted());
  EXPECT_TRUE(WalksAround(ds, Expected("select ID, A, B from L order by A desc, ID"), 0, 300));
}

TEST_F(LimitedCacheTest, DerivedTablesAreOrderedByTheirAlias) {
  // The server names E as the columns' table; the select names T.
  const String sql = "select T.ID, T.A from (select ID, A from E) T order by T.A, T.ID";
  TCacheDataSet* ds = Limited(sql);
  ds->Open();
  ASSERT_EQ(ds->SortFieldsCount(), 2);
  EXPECT_EQ(ds->SortInfo()[0].FieldName, "A");
  const std::vector<int> expected = Expected(sql);
  EXPECT_EQ(IdsForward(ds), expected);
  EXPECT_EQ(IdsBackward(ds), expected);
  ds->DoSort({"ID"}, {false});
  EXPECT_EQ(Text(ds, "SelectSortedQuery"), "select T.ID, T.A from (select ID, A from E) T order by T.ID desc, T.A \r\n");
  EXPECT_EQ(IdsForward(ds), Expected("select ID from E order by ID desc"));
  // An internal statement freed from outside is forgotten, not used.
  delete ds->FindComponent("SelectSortedQuery");
  ds->Close();
  ds->Open();
  EXPECT_EQ(IdsForward(ds), expected);
}

TEST_F(LimitedCacheTest, JoinsWithoutAliasesNameTheTables) {
  // ID and A are columns of both tables: the statements qualify them.
  const String join = "select L.ID, L.B, E.A as EA from L join E on E.ID = L.ID order by L.ID";
  TCacheDataSet* ds = Limited(join);
  ds->Open();
  EXPECT_EQ(Text(ds, "SelectPartQuery"),
            "select L.ID, L.B, E.A as EA from L join E on E.ID = L.ID \r\n WHERE (L.ID>?NEW_ID)\r\norder by L.ID\r\n");
  const std::vector<int> expected = Expected(join);
  EXPECT_EQ(IdsForward(ds), expected);
  EXPECT_EQ(IdsBackward(ds), expected);
  ds->DoSort({"EA"}, {false});
  const std::vector<int> sorted = Expected("select L.ID, L.B, E.A as EA from L join E on E.ID = L.ID "
                                           "order by E.A desc, L.ID");
  EXPECT_EQ(IdsForward(ds), sorted);
  EXPECT_EQ(IdsBackward(ds), sorted);
}

TEST_F(LimitedCacheTest, PostsFollowTheOrderOfTheStatements) {
  // Without psGetOrderInfo the select's ORDER BY still places posted rows
  // (poRefreshAfterPost would refill the window after any post).
  const String sql = "select ID, A, NAME, G from E order by A, ID";
  TFIBDataSet* ds = EditableE(sql);
  ds->SetPrepareOptions(ds->PrepareOptions() - TpPrepareOptions{psGetOrderInfo});
  ds->SetOptions(ds->Options() - TpFIBDsOptions{poRefreshAfterPost});
  ds->Open();
  ds->MoveBy(200);
  const int id = ds->FieldByName("ID")->AsInteger();
  ds->Edit();
  ds->FieldByName("A")->SetAsInteger(150);
  ds->Post();
  std::vector<int> expected = Expected(sql);
  EXPECT_TRUE(WalksAround(ds, expected, Position(expected, id)));
  // Sorted by G: A and ID order the rows of one G, and a post of any of
  // them moves the row.
  ds->DoSort({"G"}, {true});
  const String sorted = "select ID, A, NAME, G from E order by G, A, ID";
  ds->MoveBy(250);
  const int other = ds->FieldByName("ID")->AsInteger();
  for (const auto& [field, value] : {std::pair<const char*, int>{"A", 199}, {"A", 0}, {"G", 6}}) {
    SCOPED_TRACE(field);
    ds->Edit();
    ds->FieldByName(field)->SetAsInteger(value);
    ds->Post();
    expected = Expected(sorted);
    EXPECT_TRUE(WalksAround(ds, expected, Position(expected, other)));
  }
  db_->DefaultTransaction()->Rollback();
}

}  // namespace

// A filtered limited dataset: its window numbers run far beyond the rows it
// holds and are reused after refills, so no visibility is kept for them.
class TFilteredLimited : public TpFIBDataSet {
 public:
  using TpFIBDataSet::TpFIBDataSet;
  using TpFIBDataSet::RecordVisibility;
  Integer ActiveNumber() { return RecordNumberOf(ActiveBuffer()); }
};

TEST_F(LimitedCacheTest, FilterKeepsNoIndexOfWindowNumbers) {
  auto* ds = new TFilteredLimited(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID, A from L order by ID");
  ds->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
  ds->SetFilterText("A > 10");
  ds->SetFiltered(true);
  ds->Open();
  ds->Last();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(),
            db_->QueryValue("select max(ID) from L where A > 10", 0, db_->DefaultTransaction()).AsInteger());
  EXPECT_GT(ds->ActiveNumber(), 10000);
  EXPECT_EQ(ds->RecordVisibility(ds->ActiveNumber()), -1);
  EXPECT_FALSE(ds->IsSequenced());
  delete ds;
  // Nor is a plain limited dataset sequenced once its select reached the end.
  TCacheDataSet* plain = Limited("select ID from L where ID <= 30 order by ID");
  plain->Open();
  plain->Last();
  EXPECT_FALSE(plain->IsSequenced());
}
