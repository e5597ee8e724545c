#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "dataaccess/core/StrUtil.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/fb/FirebirdFixture.h"

namespace {

class Keywords : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeUnits({&unit_StrUtil}); }
};

}  // namespace

TEST_F(Keywords, ListIsSortedWithEveryWord) {
  ASSERT_NE(SQLKeywordList, nullptr);
  ASSERT_EQ(SQLKeywordList->Count(), 306);
  int rows = 0;
  for (int i = 0; i < SQLKeywordList->Count(); ++i) {
    if (i > 0) {
      EXPECT_LE(CompareKeywordItems(SQLKeywordList, i - 1, i), 0) << i;
    }
    if (SQLKeywordList->Strings(i) == "ROWS") ++rows;
    // Every word is reached through the two-letter index.
    EXPECT_TRUE(NeedQuote(SQLKeywordList->Strings(i))) << SQLKeywordList->Strings(i);
  }
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(SQLKeywordList->Strings(0), "ACTIVE");
  EXPECT_EQ(SQLKeywordList->Strings(305), "YEARDAY");
}

TEST_F(Keywords, NeedQuote) {
  struct Case {
    const char* Name;
    bool Quote;
  };
  const Case cases[] = {
      {"NAME", false},     {"COMMITTED", false}, {"ORDER", true},     {"DATE", true},
      {"COUNT", true},     {"ROWS", true},       {"COMMITED", true},  {"RESERV", true},
      {"SUBSTRING", true}, {"YEARDAY", true},    {"ACTIVE", true},    {"ACTIVES", false},
      {"A B", true},       {"_A", true},         {"1A", true},        {"Name", true},
      {"NAME#1", false},   {"A$", false},        {"X_%", false},      {"A", false},
      {"_", true},         {"A1", false},        {"\"order\"", false}, {"", false},
      {"ЖУК", true},       {"A-B", true},
      // Reserved by the server beyond the specified tables.
      {"ROW", true},       {"OFFSET", true},     {"REGR_R2", true},   {"LEADING", true},
      {"SIMILAR", true},   {"ROWSX", false},
      // Pseudo-columns: quoted, the server would look for a column of that name.
      {"RDB$DB_KEY", false}, {"RDB$RECORD_VERSION", false}, {"DB_KEY", true},
  };
  for (const Case& c : cases) EXPECT_EQ(NeedQuote(c.Name), c.Quote) << c.Name;

  const Case ci[] = {{"Name", false}, {"name", false}, {"order", true}, {"Rows", true},
                     {"row", true},   {"rdb$db_key", false}, {"Rdb$Record_Version", false},
                     {"a b", true}, {"_a", true}};
  for (const Case& c : ci) EXPECT_EQ(NeedQuoteCI(c.Name), c.Quote) << c.Name;

  EXPECT_EQ(FormatFieldName("T", "ORDER"), "T.\"ORDER\"");
  EXPECT_EQ(FormatFieldName("", "VALUE"), "\"VALUE\"");
  EXPECT_EQ(FormatFieldName("My T", "ID"), "\"My T\".ID");
  EXPECT_EQ(FormatFieldName("T", "\"Id\""), "T.\"Id\"");
}

TEST_F(Keywords, ServerTakesThePseudoColumnsAsFormatted) {
  fbtest::TTempDatabase file;
  file.Exec(std::vector<std::string>{"create table T (ID integer)", "insert into T values (1)"});
  for (const char* name : {"RDB$DB_KEY", "RDB$RECORD_VERSION"}) {
    EXPECT_EQ(file.QueryValue("select count(" + FormatFieldName("T", name) + ") from T"), "1") << name;
    EXPECT_EQ(file.QueryValue("select count(" + FormatFieldName("", name) + ") from T"), "1") << name;
  }
}

TEST_F(Keywords, QuotesInsideNamesAreDoubled) {
  struct Case {
    const char* Name;
    const char* Form;
  };
  const Case cases[] = {
      {"A\"B", "\"A\"\"B\""},   {"\"A", "\"\"\"A\""},          {"\"Sum\"", "\"Sum\""},
      {"\"A\"\"B\"", "\"A\"\"B\""}, {"\"A\"B\"", "\"\"\"A\"\"B\"\"\""}, {"Name", "\"Name\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IdentifierForm(c.Name, 3, false), c.Form) << c.Name;
    // A quoted identifier stands for the name it was made from.
    EXPECT_EQ(UnquoteIdentifier(QuoteIdentifier(c.Name)), c.Name);
  }
  EXPECT_TRUE(IsQuotedIdentifier("\"A\"\"B\""));
  EXPECT_FALSE(IsQuotedIdentifier("\"A\"B\""));
  EXPECT_EQ(UnquoteIdentifier("\"A\"B\""), "\"A\"B\"");
  EXPECT_EQ(FormatFieldName("Q\"T", "C\"D"), "\"Q\"\"T\".\"C\"\"D\"");
  // The server takes them.
  fbtest::TTempDatabase file;
  file.Exec(std::vector<std::string>{"create table \"Q\"\"T\" (\"C\"\"D\" integer)",
                                     "insert into \"Q\"\"T\" values (1)"});
  EXPECT_EQ(file.QueryValue("select count(" + FormatFieldName("Q\"T", "C\"D") + ") from " +
                            IdentifierForm("Q\"T", 3, false)),
            "1");
}

TEST_F(Keywords, LookupsRunOnAnyThreadWithoutLock) {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&wrong] {
      for (int i = 0; i < 2000; ++i)
        if (!NeedQuote("ORDER") || NeedQuoteCI("name") || !NeedQuoteCI("row")) ++wrong;
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

TEST_F(Keywords, FindInRange) {
  auto makeList = [](std::initializer_list<const char*> Lines) {
    auto list = std::make_unique<TStringList>();
    for (const char* s : Lines) list->Add(s);
    return list;
  };
  int at = -1;
  auto list = makeList({"apple", "banana", "cherry", "Ёлка", "жук"});
  EXPECT_TRUE(FindInRange(list.get(), "BANANA", 0, at, false, 100));  // ASCII letters folded
  EXPECT_EQ(at, 1);
  EXPECT_TRUE(FindInRange(list.get(), "жук", 0, at, false, 4));
  EXPECT_EQ(at, 4);
  EXPECT_FALSE(FindInRange(list.get(), "blueberry", -5, at, false, 3));
  EXPECT_EQ(at, 2);  // where it would be inserted
  EXPECT_FALSE(FindInRange(list.get(), "apple", 1, at, false, 3));  // outside the range
  EXPECT_EQ(at, 1);

  auto dups = makeList({"apple", "Banana", "banana", "BANANA", "cherry"});
  dups->SetDuplicates(dupAccept);
  EXPECT_TRUE(FindInRange(dups.get(), "banana", 0, at, false, 4));
  EXPECT_EQ(at, 1);  // the first of the equal entries

  auto exact = makeList({"B", "a", "b"});  // ordinal order: "B" (66) first
  exact->SetCaseSensitive(true);
  EXPECT_TRUE(FindInRange(exact.get(), "b", 0, at, false, 2));
  EXPECT_EQ(at, 2);
  EXPECT_FALSE(FindInRange(exact.get(), "A", 0, at, false, 2));

  // Under the locale Cyrillic compares by letter ("ё" before "ж"), ignoring case.
  auto ru = makeList({"ёлка", "жук", "Яблоко"});
  EXPECT_TRUE(FindInRange(ru.get(), "ЖУК", 0, at, true, 2));
  EXPECT_EQ(at, 1);
  EXPECT_FALSE(FindInRange(ru.get(), "зебра", 0, at, true, 2));
  EXPECT_EQ(at, 2);
  ru->SetCaseSensitive(true);
  EXPECT_FALSE(FindInRange(ru.get(), "ЖУК", 0, at, true, 2));
}
