// Local filtering, locating and sorting on a real database: filter texts
// against the records they leave visible, record numbers and counts over the
// visible records, Locate and Lookup with every option, local sorts with
// NULLs, equal keys, descending order, calculated fields and a comparison
// handler, ORDER BY information, persistent sorts and keeping a sort after a
// post.
#include <string>
#include <vector>

#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/DBParsers.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

using dstest::ClientError;

// A TpFIBDataSet whose posts go straight into its record cache; a post can
// give the record another cached status, and keeps the sort.
class TFilterDataSet : public TpFIBDataSet {
 public:
  using TpFIBDataSet::TpFIBDataSet;
  using TpFIBDataSet::KeepSorting;

  // Edits the current record into Status (cusDeleted hides it by default).
  void MarkStatus(TCachedUpdateStatus Status) {
    status_ = Status;
    Edit();
    Post();
  }
  void SetInteger(const String& Field, Integer Value) {
    Edit();
    FieldByName(Field)->SetAsInteger(Value);
    Post();
  }

 protected:
  void InternalPost() override {
    TRecordBuffer buffer = ActiveBuffer();
    if (status_ >= 0) buffer[kCachedPartOffset] = static_cast<Byte>((buffer[kCachedPartOffset] & ~0x07) | status_);
    status_ = -1;
    WriteRecordToCache(RecordNumberOf(buffer), buffer);
    KeepSorting();
  }

 private:
  int status_ = -1;
};

// The IDs of the records a dataset shows, first to last.
std::vector<int> VisibleIds(TDataSet* DataSet) {
  std::vector<int> ids;
  DataSet->First();
  while (!DataSet->Eof()) {
    ids.push_back(DataSet->FieldByName("ID")->AsInteger());
    DataSet->Next();
  }
  return ids;
}

std::vector<int> Ids(std::initializer_list<int> List) { return List; }

class FilterSortLocateTest : public dstest::TDataSetSuite<FilterSortLocateTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table R (ID integer not null primary key, NAME varchar(20), QTY integer, BORN date, "
        "AMOUNT numeric(9,2), NOTE char(6), TS timestamp)",
        "insert into R values (1, 'Alice', 5, '1990-03-15', 10.50, 'x', '2020-01-01 10:00:00')",
        "insert into R values (2, 'Bob', null, '1985-07-01', 20.00, 'y', '2020-01-01 09:00:00')",
        "insert into R values (3, 'alice', 3, '1990-12-31', 15.25, 'x', '2019-05-05 00:00:00')",
        "insert into R values (4, 'Carol', 5, null, 0, null, null)",
        "insert into R values (5, 'Bobby', 8, '2001-01-01', 99.99, 'zz', '2020-01-01 10:00:00')",
        "insert into R values (6, null, 1, '1990-03-01', 15.25, 'y', '2018-01-01 00:00:00')",
        "insert into R values (7, 'Dave', null, '1975-11-11', -3, 'x', null)",
        "insert into R values (8, 'Bob', 2, '1999-09-09', 7.75, 'q', '2021-02-02 00:00:00')",
        "create table BIG (ID integer not null primary key, K integer, NAME varchar(20))",
        "execute block as declare i integer = 1; begin while (i <= 3000) do begin "
        "insert into BIG values (:i, mod(:i * 7, 100), 'n' || :i); i = i + 1; end end",
        "create table BL (ID integer not null primary key, MEMO blob sub_type text)",
        "insert into BL values (1, 'm')"};
  }

 protected:
  void SetUp() override {
    dstest::TDataSetSuite<FilterSortLocateTest>::SetUp();
    InitializeUnits({&unit_pFIBDataSet});
  }

  TFilterDataSet* OpenR(const String& Order = " order by ID") {
    auto* ds = new TFilterDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText("select ID, NAME, QTY, BORN, AMOUNT, NOTE, TS from R" + Order);
    ds->UpdateSQL()->SetText("update R set QTY = ?QTY where ID = ?OLD_ID");
    ds->Open();
    return ds;
  }

  // ID and NAME of R with the calculated field MINUS_ID (-ID).
  TFilterDataSet* OpenWithCalc() {
    auto* ds = new TFilterDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText("select ID, NAME from R order by ID");
    AddMinusId(ds);
    ds->Open();
    return ds;
  }
};

// ===========================================================================
// Filtering

TEST_F(FilterSortLocateTest, FilterTextsLeaveTheMatchingRecords) {
  struct TCase {
    String Text;
    TFilterOptions Options;
    std::vector<int> Expected;
  };
  // A date text in the user's format.
  const String sep(1, FormatSettings.DateSeparator);
  const TCase cases[] = {
      {"ID > 3 and ID <= 6", {}, {4, 5, 6}},
      {"NAME = 'Bob'", {}, {2, 8}},
      // A NULL differs from every value.
      {"NAME <> 'Bob'", {}, {1, 3, 4, 5, 6, 7}},
      {"NAME like 'B%'", {}, {2, 5, 8}},
      {"NAME like '_ob'", {}, {2, 8}},
      {"NAME like '%ice'", {}, {1, 3}},
      {"QTY is null", {}, {2, 7}},
      {"QTY is not null and QTY >= 5", {}, {1, 4, 5}},
      {"QTY = 5", {}, {1, 4}},
      {"YEAR(BORN) = 1990", {}, {1, 3, 6}},
      {"MONTH(BORN) = 3 and DAY(BORN) = 15", {}, {1}},
      {"HOUR(TS) = 10", {}, {1, 5}},
      {"BORN >= DATE('01" + sep + "01" + sep + "1999', 'dd/mm/yyyy')", {}, {5, 8}},
      {"UPPER(NAME) = 'ALICE'", {}, {1, 3}},
      {"LOWER(NAME) = 'bob'", {}, {2, 8}},
      {"SUBSTRING(NAME, 2, 3) = 'lic'", {}, {1, 3}},
      {"TRIM(NOTE) = 'x'", {}, {1, 3, 7}},
      {"(ID = 1 or ID = 2) and (NAME = 'Alice' or (ID > 1 and (QTY is null)))", {}, {1, 2}},
      {"ID in (1, 3, 5)", {}, {1, 3, 5}},
      {"AMOUNT * 2 > 30", {}, {2, 3, 5, 6}},
      {"AMOUNT + 1 < 0", {}, {7}},
      {"NAME = 'alice'", {foCaseInsensitive}, {1, 3}},
      {"NAME = 'Bo*'", {}, {2, 5, 8}},
      {"NAME = 'Bo*'", {foNoPartialCompare}, {}},
  };
  TFilterDataSet* ds = OpenR();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    ds->SetFilterOptions(c.Options);
    ds->SetFilter(c.Text);
    ds->SetFiltered(true);
    EXPECT_EQ(VisibleIds(ds), c.Expected);
    ds->SetFiltered(false);
  }
  EXPECT_EQ(VisibleIds(ds).size(), 8u);
}

TEST_F(FilterSortLocateTest, BadFilterTextsRaiseAndKeepTheFilter) {
  TFilterDataSet* ds = OpenR();
  ds->SetFilter("ID < 3");
  ds->SetFiltered(true);
  TExpressionParser* parser = ds->FilterParser();
  ASSERT_NE(parser, nullptr);
  for (const char* text : {"ID <", "NOPE = 1", "(ID = 1", "ID = 'x' and"}) {
    SCOPED_TRACE(text);
    try {
      ds->SetFilter(text);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Can't parse Filter for: \r\n", 0), 0u) << e.what();
    }
    EXPECT_EQ(ds->Filter(), "ID < 3");
    EXPECT_EQ(ds->FilterParser(), parser);
    EXPECT_EQ(VisibleIds(ds), Ids({1, 2}));
  }
  // The same text and options again keep the parser; blanks drop it.
  ds->SetFilter("ID < 3");
  EXPECT_EQ(ds->FilterParser(), parser);
  ds->SetFilter("   ");
  EXPECT_EQ(ds->FilterParser(), nullptr);
  EXPECT_EQ(VisibleIds(ds).size(), 8u);
  // A malformed argument raises when the record is tested.
  EXPECT_THROW(ds->SetFilter("SUBSTRING(NAME, 'x') = 'a'"), EDatabaseError);
  EXPECT_THROW(ds->First(), EDatabaseError);
  ds->SetFiltered(false);
  EXPECT_EQ(VisibleIds(ds).size(), 8u);
}

TEST_F(FilterSortLocateTest, FilterSetBeforeOpenAndOnFilterRecord) {
  auto* ds = new TFilterDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID, NAME, QTY from R order by ID");
  ds->SetFilter("QTY is not null");
  ds->SetFiltered(true);
  EXPECT_EQ(ds->FilterParser(), nullptr);
  ds->Open();
  EXPECT_NE(ds->FilterParser(), nullptr);
  EXPECT_EQ(VisibleIds(ds), Ids({1, 3, 4, 5, 6, 8}));
  struct THandler : TObject {
    void Accept(TDataSet* DataSet, bool& Accept) { Accept = DataSet->FieldByName("ID")->AsInteger() % 2 == 0; }
  } handler;
  ds->SetOnFilterRecord({&handler, &THandler::Accept});
  ds->SetFiltered(false);
  ds->SetFiltered(true);
  EXPECT_EQ(VisibleIds(ds), Ids({4, 6, 8}));
  ds->SetOnFilterRecord({});
}

TEST_F(FilterSortLocateTest, RecordNumbersCountVisibleRecordsWithVisibleRecno) {
  TFilterDataSet* ds = OpenR();
  ds->SetFilter("ID <> 2 and ID <> 4 and ID <> 6");
  ds->SetFiltered(true);
  // Without poVisibleRecno the numbers are the cache's.
  ds->Last();
  EXPECT_EQ(ds->RecNo(), 8);
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poVisibleRecno});
  EXPECT_EQ(ds->RecordCount(), 5);
  std::vector<int> numbers;
  for (ds->First(); !ds->Eof(); ds->Next()) numbers.push_back(ds->RecNo());
  EXPECT_EQ(numbers, Ids({1, 2, 3, 4, 5}));
  ds->SetRecNo(3);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5);
  EXPECT_EQ(ds->RecNo(), 3);
  ds->SetRecNo(1);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  // Changing the filter changes the count.
  ds->SetFilter("ID > 6");
  EXPECT_EQ(ds->RecordCount(), 2);
  ds->SetFiltered(false);
  EXPECT_EQ(ds->RecordCount(), 8);
}

TEST_F(FilterSortLocateTest, UpdateRecordTypesChooseTheStatusesShown) {
  TFilterDataSet* ds = OpenR();
  ds->SetCachedUpdates(true);
  ds->Locate("ID", 2, {});
  ds->MarkStatus(cusDeleted);
  ds->Locate("ID", 5, {});
  ds->MarkStatus(cusDeleted);
  EXPECT_EQ(VisibleIds(ds), Ids({1, 3, 4, 6, 7, 8}));
  EXPECT_FALSE(ds->Locate("ID", 2, {}));
  ds->SetUpdateRecordTypes({cusDeleted});
  EXPECT_EQ(VisibleIds(ds), Ids({2, 5}));
  EXPECT_TRUE(ds->Locate("ID", 5, {}));
  ds->SetUpdateRecordTypes(kDefaultUpdateRecordTypes);
  // The filter applies on top of the statuses.
  ds->SetFilter("ID > 4");
  ds->SetFiltered(true);
  EXPECT_EQ(VisibleIds(ds), Ids({6, 7, 8}));
  // A record edited out of the filter leaves it once posted.
  ds->Locate("ID", 7, {});
  ds->SetInteger("QTY", 1);
  ds->SetFilter("QTY is null or ID = 6");
  EXPECT_EQ(VisibleIds(ds), Ids({6}));
}

// ===========================================================================
// Locating

TEST_F(FilterSortLocateTest, LocateAndLookupWithEveryOption) {
  struct TCase {
    const char* Fields;
    Variant Values;
    TLocateOptions Options;
    int Expected;  // 0: not found
  };
  const TCase cases[] = {
      {"ID", 5, {}, 5},
      {"ID", "5", {}, 5},
      {"ID", 5.5, {}, 0},
      {"NAME", "Bob", {}, 2},
      {"NAME", "bob", {}, 0},
      {"NAME", "bob", {loCaseInsensitive}, 2},
      {"NAME", "Bo", {loPartialKey}, 2},
      {"NAME", "ALI", {loCaseInsensitive, loPartialKey}, 1},
      {"NAME", Null(), {}, 6},
      {"QTY", Variant(), {}, 2},
      {"NAME;QTY", VarArrayOf({"Bob", 2}), {}, 8},
      {"NAME;QTY", VarArrayOf({"Bob", Null()}), {}, 2},
      {"NAME;QTY", VarArrayOf({"Bob", 3}), {}, 0},
      {"AMOUNT", 15.25, {}, 3},
      {"AMOUNT", "7.75", {}, 8},
      {"AMOUNT", 15.251, {}, 0},
      {"BORN", VarFromDateTime(EncodeDate(1999, 9, 9)), {}, 8},
      {"TS", VarFromDateTime(EncodeDate(2020, 1, 1) + EncodeTime(9, 0, 0, 0)), {}, 2},
      {"NOTE", "zz", {}, 5},
  };
  TFilterDataSet* ds = OpenR();
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Fields) + " = " + (VarIsArray(c.Values) ? "array" : VarToStr(c.Values)));
    ds->First();
    ds->Next();
    const bool found = ds->Locate(c.Fields, c.Values, c.Options);
    EXPECT_EQ(found, c.Expected != 0);
    // Not found: the dataset stays on its record.
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), found ? c.Expected : 2);
    const Variant looked = ds->Lookup(c.Fields, c.Values, "ID;NAME");
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), found ? c.Expected : 2);
    if (c.Options.Contains(loCaseInsensitive) || c.Options.Contains(loPartialKey)) continue;
    if (c.Expected == 0) {
      EXPECT_TRUE(VarIsClear(looked) || VarIsNull(looked));
    } else {
      EXPECT_EQ(VarArrayGet(looked, 0).AsInteger(), c.Expected);
    }
  }
  EXPECT_THROW(ds->Locate("NOPE", 1, {}), Exception);
  EXPECT_THROW(ds->Locate("ID", "abc", {}), Exception);
}

TEST_F(FilterSortLocateTest, LocateFetchesOnDemandAndSkipsHiddenRecords) {
  auto* ds = new TFilterDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID, K, NAME from BIG order by ID");
  ds->Open();
  EXPECT_LT(ds->FetchedCount(), 100);
  EXPECT_TRUE(ds->Locate("NAME", "n2999", {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2999);
  EXPECT_LT(ds->FetchedCount(), 3000);
  // K = 7 first at ID 1; hidden by the filter, the next one counts.
  ds->SetFilter("ID > 1");
  ds->SetFiltered(true);
  EXPECT_TRUE(ds->Locate("K", 7, {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 101);
  EXPECT_FALSE(ds->Locate("NAME", "n1", {}));
}

TEST_F(FilterSortLocateTest, LocateRecordDirectionsPatternsAndFetchedRecords) {
  TFilterDataSet* ds = OpenR();
  const TExtLocateOptions sync{eloSyncCursor};
  ASSERT_TRUE(ds->LocateRecord("NAME", "B_b%", sync + TExtLocateOptions{eloWildCards}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  ASSERT_TRUE(ds->LocateRecord("NAME", "Bob", sync, lkNext));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 8);
  EXPECT_FALSE(ds->LocateRecord("NAME", "Bob", sync, lkNext));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 8);
  ASSERT_TRUE(ds->LocateRecord("NAME", "Bob", sync, lkPrior));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_FALSE(ds->LocateRecord("NAME", "Bob", sync, lkPrior));

  auto* big = new TFilterDataSet(form_);
  big->SetDatabase(db_);
  big->SelectSQL()->SetText("select ID, K, NAME from BIG order by ID");
  big->Open();
  const Integer fetched = big->FetchedCount();
  EXPECT_FALSE(big->LocateRecord("ID", 2000, sync + TExtLocateOptions{eloInFetchedRecords}));
  EXPECT_EQ(big->FetchedCount(), fetched);
  EXPECT_TRUE(big->LocateRecord("ID", 2000, sync));
}

TEST_F(FilterSortLocateTest, LocateFieldChecksAndFieldOrigins) {
  TFilterDataSet* ds = OpenR();
  String text;
  EXPECT_EQ(ClientError([&] { ds->CheckLocateFields({}, "LocateForPartialCache"); }, &text), fceFieldListEmpty);
  EXPECT_NE(text.find(".LocateForPartialCache"), String::npos) << text;
  TFilterDataSet* withCalc = OpenWithCalc();
  EXPECT_EQ(ClientError([&] { ds->CheckLocateFields({withCalc->FieldByName("MINUS_ID")}, "Locate"); }),
            fceFieldNotUsable);
  TField* name = ds->FieldByName("NAME");
  ds->SetFieldOriginRule(forTableAndFieldName);
  EXPECT_EQ(ds->GetFieldOriginByRule(name), "R.NAME");
  ds->SetFieldOriginRule(forClientFieldName);
  EXPECT_EQ(ds->GetFieldOriginByRule(name), "NAME");
  EXPECT_EQ(ds->GetFieldOrigin("NAME"), "R.NAME");
  EXPECT_EQ(ds->GetFieldOrigin("NOPE"), "");
  EXPECT_EQ(ds->FindFieldByOrigin("R.NAME"), name);
  EXPECT_EQ(ds->FindFieldByOrigin("r.name"), name);
  EXPECT_EQ(ds->FindFieldByOrigin("\"R\".\"NAME\""), name);
  EXPECT_EQ(ds->FindFieldByOrigin("X.NAME"), nullptr);
}

// ===========================================================================
// Sorting

TEST_F(FilterSortLocateTest, SortTables) {
  struct TCase {
    std::vector<const char*> Fields;
    std::vector<bool> Ascending;
    std::vector<int> Expected;
  };
  const TCase cases[] = {
      // NULLs first ascending, last descending; equal keys keep their order.
      {{"QTY"}, {true}, {2, 7, 6, 8, 3, 1, 4, 5}},
      {{"QTY"}, {false}, {5, 1, 4, 3, 8, 6, 2, 7}},
      {{"NAME"}, {true}, {6, 1, 2, 8, 5, 4, 7, 3}},
      {{"NAME", "ID"}, {true, false}, {6, 1, 8, 2, 5, 4, 7, 3}},
      {{"AMOUNT", "NAME"}, {false, true}, {5, 2, 6, 3, 1, 8, 4, 7}},
      {{"BORN"}, {true}, {4, 7, 2, 6, 1, 3, 8, 5}},
      {{"TS", "ID"}, {false, false}, {8, 5, 1, 2, 3, 6, 7, 4}},
      {{"NOTE"}, {true}, {4, 8, 1, 3, 7, 2, 6, 5}},
  };
  TFilterDataSet* ds = OpenR();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Fields[0]);
    TStringList names;
    for (const char* f : c.Fields) names.Add(f);
    ds->DoSort({"ID"}, {true});
    ds->SortByFieldNames(&names, c.Ascending);
    EXPECT_TRUE(ds->Sorted());
    EXPECT_EQ(ds->SortFieldsCount(), static_cast<Integer>(c.Fields.size()));
    EXPECT_EQ(VisibleIds(ds), c.Expected);
  }
}

TEST_F(FilterSortLocateTest, SortElementsAndErrors) {
  TFilterDataSet* ds = OpenR();
  auto* other = OpenR();
  const String name = "NAME";
  const Variant byIndex = 2;
  ds->Locate("ID", 3, {});
  ds->DoSort({name}, {false});
  EXPECT_EQ(VisibleIds(ds), Ids({3, 7, 4, 5, 2, 8, 1, 6}));
  // Equal keys keep the order they had.
  ds->DoSort({byIndex}, {true});
  EXPECT_EQ(VisibleIds(ds), Ids({7, 2, 6, 8, 3, 4, 1, 5}));
  ds->DoSort({static_cast<const TObject*>(ds->FieldByName("ID"))}, {false});
  EXPECT_EQ(VisibleIds(ds), Ids({8, 7, 6, 5, 4, 3, 2, 1}));
  // Each error names the position and leaves the order as it was.
  const std::pair<std::function<void()>, const char*> errors[] = {
      {[&] { ds->DoSort({0, "NOPE"}, {true, true}); }, "Can't sort. Invalid parameter: Fields[1]"},
      {[&] { ds->DoSort({static_cast<const TObject*>(other->FieldByName("ID"))}, {true}); },
       "Can't sort. Invalid parameter: Fields[0]"},
      {[&] { ds->DoSort({42}, {true}); }, "Can't sort. Invalid parameter: Fields[0]"},
      {[&] { ds->DoSort({1.5}, {true}); }, "Can't sort. Invalid parameter: Fields[0]"},
  };
  for (const auto& [call, message] : errors) {
    SCOPED_TRACE(message);
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), message);
    }
    EXPECT_EQ(VisibleIds(ds), Ids({8, 7, 6, 5, 4, 3, 2, 1}));
  }
  TStringList missing;
  missing.Add("NOPE");
  EXPECT_THROW(ds->SortByFieldNames(&missing, {true}), EDatabaseError);
  // BLOB values have no order.
  auto* blobs = NewDataSet("select ID, MEMO from BL");
  blobs->Open();
  EXPECT_THROW(blobs->DoSort({"MEMO"}, {true}), Exception);
  EXPECT_FALSE(blobs->Sorted());
}

TEST_F(FilterSortLocateTest, SortByCalculatedFieldAndComparisonHandler) {
  TFilterDataSet* ds = OpenWithCalc();
  // Names by length, then as texts.
  auto compare = [](TField*, const Variant& A, const Variant& B) -> Integer {
    const String a = VarToStr(A), b = VarToStr(B);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
  };
  ds->DoSort({"MINUS_ID"}, {true});
  EXPECT_EQ(VisibleIds(ds), Ids({8, 7, 6, 5, 4, 3, 2, 1}));
  // A filter on the calculated field.
  ds->SetFilter("MINUS_ID > -3");
  ds->SetFiltered(true);
  EXPECT_EQ(VisibleIds(ds), Ids({2, 1}));
  ds->SetFiltered(false);
  ds->SetOnCompareFieldValues({form_, compare});
  ds->DoSort({"NAME"}, {true});
  EXPECT_EQ(VisibleIds(ds), Ids({6, 8, 2, 7, 1, 5, 4, 3}));
}

TEST_F(FilterSortLocateTest, SortedLocateFindsTheFirstOfEqualKeys) {
  auto* ds = new TFilterDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID, K, NAME from BIG order by ID");
  ds->Open();
  ds->DoSort({"K", "ID"}, {true, false});
  // K = 7: IDs 2901, 2801, ... 101, 1 (descending ID within K).
  ASSERT_TRUE(ds->Locate("K", 7, {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2901);
  ASSERT_TRUE(ds->Locate("K;ID", VarArrayOf({7, 101}), {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 101);
  EXPECT_FALSE(ds->Locate("K", 100, {}));
  EXPECT_FALSE(ds->Locate("K", -1, {}));
  // Hidden records are passed over.
  ds->SetFilter("ID < 2901");
  ds->SetFiltered(true);
  ASSERT_TRUE(ds->Locate("K", 7, {}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2801);
  // A descending key.
  ds->SetFiltered(false);
  ds->DoSort({"K"}, {false});
  ASSERT_TRUE(ds->Locate("K", 93, {}));
  EXPECT_EQ(ds->FieldByName("K")->AsInteger(), 93);
  EXPECT_EQ(ds->RecNo(), 30 * 6 + 1);
}

TEST_F(FilterSortLocateTest, OneRecordSortAndSortInformationAtOpen) {
  TFilterDataSet* ds = OpenR(" where ID = 3");
  ds->DoSort({"NAME"}, {true});
  EXPECT_TRUE(ds->Sorted());
  EXPECT_EQ(ds->SortFieldsCount(), 1);
  EXPECT_EQ(VisibleIds(ds), Ids({3}));
  ds->Close();
  // Equal keys only: nothing moves.
  TFilterDataSet* equal = OpenR(" where QTY = 5 or QTY is null order by ID desc");
  equal->DoSort({"QTY"}, {false});
  EXPECT_EQ(VisibleIds(equal), Ids({4, 1, 7, 2}));

  TFilterDataSet* ordered = OpenR(" order by NAME desc, 3, r.ID");
  ASSERT_EQ(ordered->SortFieldsCount(), 3);
  EXPECT_FALSE(ordered->Sorted());
  EXPECT_EQ(ordered->SortInfo()[0].FieldName, "NAME");
  EXPECT_FALSE(ordered->SortInfo()[0].Asc);
  EXPECT_EQ(ordered->SortInfo()[1].FieldName, "QTY");
  EXPECT_TRUE(ordered->SortInfo()[1].Asc);
  EXPECT_EQ(ordered->SortInfo()[2].FieldName, "ID");
  // An expression is no field: no information.
  TFilterDataSet* expression = OpenR(" order by ID + 1");
  EXPECT_FALSE(expression->HasSortInfo());
}

TEST_F(FilterSortLocateTest, PersistentSortSurvivesReopen) {
  TFilterDataSet* ds = OpenR();
  ds->DoSort({"AMOUNT"}, {false});
  ds->Close();
  ds->Open();
  EXPECT_FALSE(ds->Sorted());
  EXPECT_EQ(VisibleIds(ds), Ids({1, 2, 3, 4, 5, 6, 7, 8}));
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poPersistentSorting});
  ds->DoSort({"AMOUNT", "ID"}, {false, true});
  ds->Close();
  ds->Open();
  EXPECT_TRUE(ds->Sorted());
  EXPECT_EQ(VisibleIds(ds), Ids({5, 2, 3, 6, 1, 8, 4, 7}));
}

TEST_F(FilterSortLocateTest, PostedRecordMovesToItsSortedPlace) {
  TFilterDataSet* ds = OpenR();
  ds->SetCachedUpdates(true);
  ds->DoSort({"QTY"}, {true});
  EXPECT_EQ(VisibleIds(ds), Ids({2, 7, 6, 8, 3, 1, 4, 5}));
  // Without poKeepSorting a post drops the sort and moves nothing.
  ds->Locate("ID", 6, {});
  ds->SetInteger("QTY", 9);
  EXPECT_FALSE(ds->HasSortInfo());
  EXPECT_EQ(VisibleIds(ds), Ids({2, 7, 6, 8, 3, 1, 4, 5}));

  ds->SetOptions(ds->Options() + TpFIBDsOptions{poKeepSorting});
  ds->DoSort({"QTY"}, {true});
  EXPECT_EQ(VisibleIds(ds), Ids({2, 7, 8, 3, 1, 4, 5, 6}));
  const struct {
    int Id, Qty;
    std::vector<int> Expected;
  } moves[] = {
      {6, 0, {2, 7, 6, 8, 3, 1, 4, 5}},   // to the front of the values
      {2, 5, {7, 6, 8, 3, 1, 4, 2, 5}},   // after its equals
      {5, 8, {7, 6, 8, 3, 1, 4, 2, 5}},   // in place
      {7, 100, {6, 8, 3, 1, 4, 2, 5, 7}},  // to the end
  };
  for (const auto& m : moves) {
    SCOPED_TRACE(m.Id);
    ASSERT_TRUE(ds->Locate("ID", m.Id, {}));
    ds->SetInteger("QTY", m.Qty);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), m.Id);
    EXPECT_EQ(VisibleIds(ds), m.Expected);
  }
}

}  // namespace
