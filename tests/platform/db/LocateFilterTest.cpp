// Locate and Lookup, and filters through the parser and OnFilterRecord.
#include "tests/platform/db/DbFixture.h"

namespace {

std::unique_ptr<TMemDataSet> People() {
  auto ds = std::make_unique<TMemDataSet>(nullptr);
  ds->FieldDefs()->Add("ID", ftInteger);
  ds->FieldDefs()->Add("NAME", ftString, 20);
  ds->FieldDefs()->Add("CITY", ftString, 20);
  ds->Open();
  ds->AppendRows({{1, "Anna", "Oslo"},
                  {2, "anton", "Riga"},
                  {3, "\xD0\x91\xD0\xBE\xD1\x80\xD0\xB8\xD1\x81", "Oslo"},  // Борис
                  {4, "Berta", Null()},
                  {5, "Anna", "Riga"}});
  ds->First();
  return ds;
}

int Id(TDataSet* ds) { return ds->FieldByName("ID")->AsInteger(); }

std::vector<int> Visible(TDataSet* ds) {
  std::vector<int> ids;
  for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(Id(ds));
  return ids;
}

TEST(LocateTest, KeysOptionsAndPosition) {
  struct Case {
    const char* keys;
    Variant values;
    TLocateOptions options;
    int found;  // 0: not found
  };
  const Case cases[] = {
      {"NAME", "Anna", {}, 1},
      {"NAME", "anna", {}, 0},
      {"NAME", "ANNA", {loCaseInsensitive}, 1},
      {"NAME", "ant", {loPartialKey}, 2},
      {"NAME", "An", {loPartialKey}, 1},
      {"NAME", "AN", {loPartialKey}, 0},
      {"NAME", "ANT", {loPartialKey, loCaseInsensitive}, 2},
      {"NAME", "\xD0\xB1\xD0\xBE\xD1\x80", {loPartialKey, loCaseInsensitive}, 3},  // бор
      {"NAME;CITY", VarArrayOf({"Anna", "Riga"}), {}, 5},
      {"ID", 4, {}, 4},
      {"ID", "4", {}, 4},
      {"ID", 9, {}, 0},
      {"CITY", Null(), {}, 4},
      {"CITY;ID", VarArrayOf({Null(), 4}), {}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(String(c.keys) + (VarIsArray(c.values) ? String(" [...]") : " " + VarToStr(c.values)));
    auto ds = People();
    ds->MoveBy(2);
    bool found = ds->Locate(c.keys, c.values, c.options);
    EXPECT_EQ(found, c.found != 0);
    // Found: the record is current; not found: the position stays.
    EXPECT_EQ(Id(ds.get()), c.found != 0 ? c.found : 3);
  }
  auto ds = People();
  EXPECT_THROW(ds->Locate("NOPE", 1, {}), EDatabaseError);
  ds->Close();
  EXPECT_THROW(ds->Locate("ID", 1, {}), EDatabaseError);
}

TEST(LocateTest, LocateScrollsOnlyWhenFoundAndPostsFirst) {
  auto ds = People();
  TDataSource src(nullptr);
  src.SetDataSet(ds.get());
  TRecordingLink link;
  link.SetDataSource(&src);
  Log log;
  ds->SetAfterScroll([&](TDataSet*) { log.push_back("AfterScroll"); });
  link.Log.clear();
  EXPECT_FALSE(ds->Locate("ID", 42, {}));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(link.Log, (Log{"CheckBrowseMode"}));
  link.Log.clear();
  EXPECT_TRUE(ds->Locate("ID", 4, {}));
  EXPECT_EQ(log, (Log{"AfterScroll"}));
  EXPECT_EQ(link.Log, (Log{"CheckBrowseMode", "DataSetChanged"}));
  // A pending edit is posted before searching.
  ds->Edit();
  ds->FieldByName("CITY")->SetAsString("Bergen");
  EXPECT_TRUE(ds->Locate("CITY", "Bergen", {}));
  EXPECT_EQ(Id(ds.get()), 4);
  EXPECT_EQ(ds->State(), dsBrowse);
  link.SetDataSource(nullptr);
}

TEST(LocateTest, LookupGivesValuesAndKeepsThePosition) {
  auto ds = People();
  ds->MoveBy(1);
  EXPECT_EQ(ds->Lookup("ID", 3, "CITY").AsString(), "Oslo");
  Variant v = ds->Lookup("NAME;CITY", VarArrayOf({"Anna", "Riga"}), "ID;CITY");
  ASSERT_TRUE(VarIsArray(v));
  EXPECT_EQ(VarArrayGet(v, 0).AsInteger(), 5);
  EXPECT_EQ(VarArrayGet(v, 1).AsString(), "Riga");
  EXPECT_TRUE(VarIsNull(ds->Lookup("ID", 77, "CITY")));
  EXPECT_TRUE(VarIsNull(ds->Lookup("ID", 4, "CITY")));  // found, value NULL
  EXPECT_EQ(Id(ds.get()), 2);
  // The window still shows the same records.
  ds->Next();
  EXPECT_EQ(Id(ds.get()), 3);
}

TEST(FilterTest, FilterTextAndOptions) {
  struct Case {
    const char* filter;
    TFilterOptions options;
    std::vector<int> ids;
  };
  const Case cases[] = {
      {"CITY = 'Oslo'", {}, {1, 3}},
      {"NAME = 'an*'", {}, {2}},
      {"NAME = 'an*'", {foCaseInsensitive}, {1, 2, 5}},
      {"NAME = 'an*'", {foNoPartialCompare}, {}},
      {"CITY IS NULL", {}, {4}},
      {"CITY <> 'Oslo'", {}, {2, 4, 5}},  // NULL differs from a value
      {"ID IN (2, 4) OR NAME LIKE 'A%'", {}, {1, 2, 4, 5}},
      {"NOT (ID > 2) AND CITY = 'Riga'", {}, {2}},
      {"ID * 2 >= 8", {}, {4, 5}},
      {"UPPER(NAME) = 'ANNA'", {}, {1, 5}},
      {"  ", {}, {1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    auto ds = People();
    ds->SetFilterOptions(c.options);
    ds->SetFilter(c.filter);
    ds->SetFiltered(true);
    EXPECT_EQ(Visible(ds.get()), c.ids);
    EXPECT_EQ(ds->RecordCount(), static_cast<int>(c.ids.size()));
    ds->SetFiltered(false);
    EXPECT_EQ(ds->RecordCount(), 5);
  }
}

TEST(FilterTest, OnFilterRecordAndChanges) {
  auto ds = People();
  int calls = 0;
  ds->SetOnFilterRecord([&](TDataSet* d, bool& accept) {
    ++calls;
    EXPECT_EQ(d->State(), dsFilter);
    accept = d->FieldByName("ID")->AsInteger() % 2 == 1;
  });
  ds->SetFiltered(true);
  EXPECT_EQ(Visible(ds.get()), (std::vector<int>{1, 3, 5}));
  EXPECT_GT(calls, 0);
  // Both the expression and the handler must accept.
  ds->SetFilter("CITY = 'Oslo'");
  EXPECT_EQ(Visible(ds.get()), (std::vector<int>{1, 3}));
  // A record edited out of the filter leaves the view after posting.
  ds->First();
  ds->Edit();
  ds->FieldByName("CITY")->SetAsString("Rome");
  ds->Post();
  EXPECT_EQ(Id(ds.get()), 3);
  EXPECT_EQ(Visible(ds.get()), (std::vector<int>{3}));
  // A filter text that does not parse is refused and the old one stays.
  EXPECT_THROW(ds->SetFilter("CITY = "), EDatabaseError);
  EXPECT_EQ(ds->Filter(), "CITY = 'Oslo'");
  EXPECT_EQ(Visible(ds.get()), (std::vector<int>{3}));
  ds->SetOnFilterRecord(nullptr);
  ds->SetFiltered(false);
  EXPECT_EQ(Visible(ds.get()), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(FilterTest, FilteredLocateSkipsHiddenRecords) {
  auto ds = People();
  ds->SetFilter("CITY = 'Riga'");
  ds->SetFiltered(true);
  EXPECT_FALSE(ds->Locate("ID", 1, {}));
  EXPECT_TRUE(ds->Locate("NAME", "Anna", {}));
  EXPECT_EQ(Id(ds.get()), 5);
}

}  // namespace
