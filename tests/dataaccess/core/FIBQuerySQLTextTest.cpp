#include <gtest/gtest.h>

#include <vector>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/UnitInit.h"

namespace {

class SQLParamScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeUnits({&unit_fib}); }
  static void TearDownTestSuite() { FinalizeUnits(); }

  static TSQLParamScan Scan(const String& Text, bool ServerMode = false, bool Loading = false) {
    TSQLParamScan result;
    ScanSQLParams(Text, TSQLParser(Text).SQLKind(), '@', ServerMode, Loading, "Form1.Q", result);
    return result;
  }

  static std::vector<String> Names(const TSQLParamScan& Scan) {
    std::vector<String> names;
    for (const TSQLParamMarker& m : Scan.Markers) names.push_back(m.Name);
    return names;
  }

  // The text to prepare with every parameter NULL (and literal values from
  // Values, in marker order).
  static String ExecText(const String& Text, const std::vector<String>& Values = {}) {
    TSQLParamScan scan = Scan(Text);
    std::vector<TSQLTextParam> params;
    size_t next = 0;
    for (const TSQLParamMarker& m : scan.Markers) {
      TSQLTextParam p;
      p.StartPos = m.StartPos;
      p.EndPos = m.EndPos;
      p.Literal = m.Literal;
      p.QuotedLiteral = m.QuotedLiteral;
      if (m.Literal) p.Value = next < Values.size() ? Values[next++] : m.DefaultText;
      p.NullComparison = !m.Literal && m.InWhereClause && m.StandsAlone;
      params.push_back(p);
    }
    return BuildExecSQLText(Text, params);
  }
};

TEST_F(SQLParamScan, MarkersOutsideStringsNamesAndComments) {
  struct Case {
    const char* Text;
    std::vector<String> Names;
    const char* ServerText;
  };
  const Case cases[] = {
      {"select * from T where A = :A and B = :b", {"A", "b"}, "select * from T where A = ? and B = ?"},
      {"select ':X', \":Y\" from T /* :Z */ -- :W\nwhere C = :C_1", {"C_1"},
       "select ':X', \":Y\" from T /* :Z */ -- :W\nwhere C = ?"},
      {"select 'it''s :X' from T where C=:C", {"C"}, "select 'it''s :X' from T where C=?"},
      {"select a from t where x = ? and y = ?", {"?1", "?2"}, "select a from t where x = ? and y = ?"},
      {"select a from t where x = ?X and y = ?", {"X", "?1"}, "select a from t where x = ? and y = ?"},
      {"update T set A = :\"Mixed Name\" where ID=:ID", {"Mixed Name", "ID"}, "update T set A = ?  where ID=?"},
      // A doubled quote inside a quoted name is one quote of the name.
      {"update T set \"A\"\"B\" = ?\"NEW_A\"\"B\" where ID=?ID", {"NEW_A\"B", "ID"},
       "update T set \"A\"\"B\" = ?  where ID=?"},
      {"insert into T values (:A.B, :$X, :#Y, :Z%)", {"A.B", "$X", "#Y", "Z%"}, "insert into T values (?, ?, ?, ?)"},
      {"execute procedure P :A, :A", {"A", "A"}, "execute procedure P ?, ?"},
      {"execute block (x int = :x) returns (y int) as begin y = :x; suspend; end", {"x"},
       "execute block (x int = ?) returns (y int) as begin y = :x; suspend; end"},
      {"execute block (alias int = :x) as declare v int; begin v = :x; end", {"x"},
       "execute block (alias int = ?) as declare v int; begin v = :x; end"},
      {"create procedure P as declare v int; begin v = :y; end", {}, nullptr},
      {"select @@COND%1=1@ from @TBL where A = @V%#it's", {}, nullptr},
  };
  for (const Case& c : cases) {
    TSQLParamScan scan = Scan(c.Text, true);
    EXPECT_EQ(Names(scan), c.Names) << c.Text;
    EXPECT_EQ(scan.Text, c.ServerText ? c.ServerText : c.Text) << c.Text;
  }
}

TEST_F(SQLParamScan, LiteralMarkers) {
  TSQLParamScan scan = Scan("select @@COND%1 = 1@ from @TBL where A = @V%#it's\r\nand B = :B");
  ASSERT_EQ(Names(scan), (std::vector<String>{"COND", "TBL", "V", "B"}));
  const TSQLParamMarker& cond = scan.Markers[0];
  EXPECT_TRUE(cond.Literal);
  EXPECT_FALSE(cond.QuotedLiteral);
  EXPECT_EQ(cond.DefaultText, "1 = 1");
  EXPECT_EQ(cond.StartPos, 8);
  EXPECT_EQ(cond.EndPos, 20);  // the closing "@"
  EXPECT_EQ(scan.Markers[1].DefaultText, "");
  EXPECT_TRUE(scan.Markers[2].QuotedLiteral);
  EXPECT_EQ(scan.Markers[2].DefaultText, "it's");
  EXPECT_FALSE(scan.Markers[3].Literal);

  String longName(300, 'N');
  EXPECT_EQ(Scan("select @" + longName).Markers[0].Name, String(255, 'N'));
}

TEST_F(SQLParamScan, PositionsAndFlags) {
  const String text =
      "select :S, (select 1 from U where U.A = :U) from T where (A = :A + 1) and B = :B -- c\n"
      " and C = :C || 'x' and D = :D - 1 and E = :E -- F\n and G = :G /* c */ and H = :H/2"
      " and X in (select 1 from V where K = :K) and L = :L group by :GR";
  TSQLParamScan scan = Scan(text);
  struct Expect {
    const char* Name;
    bool InWhere;
    bool Alone;
  };
  const Expect expected[] = {{"S", false, true},  {"U", true, true},  {"A", true, false}, {"B", true, true},
                             {"C", true, false},  {"D", true, false}, {"E", true, true},  {"G", true, true},
                             {"H", true, false},  {"K", true, true},  {"L", true, true},  {"GR", false, true}};
  ASSERT_EQ(scan.Markers.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(scan.Markers[i].Name, expected[i].Name);
    EXPECT_EQ(scan.Markers[i].InWhereClause, expected[i].InWhere) << expected[i].Name;
    EXPECT_EQ(scan.Markers[i].StandsAlone, expected[i].Alone) << expected[i].Name;
  }
  const TSQLParamMarker& s = scan.Markers[0];
  EXPECT_EQ(text.substr(s.StartPos - 1, s.EndPos - s.StartPos + 1), ":S");

  // No WHERE tracking in procedure calls.
  EXPECT_FALSE(Scan("execute procedure P (select 1 from T where A = :A)").Markers[0].InWhereClause);
}

TEST_F(SQLParamScan, Errors) {
  struct Case {
    const char* Text;
    const char* Detail;
  };
  const Case cases[] = {
      {"select :A from T /* never closed", "EOF in comment detected"},
      {"select :A from T where N = 'open", "EOF in string detected"},
      {"select :\"open from T", "EOF in string detected"},
      {"select * from T where A = : A", "Parameter name expected"},
      {"select * from T where A = :", "Parameter name expected"},
      {"select * from T where A = :\"\"", "Parameter name expected"},
      {"select @%x from T", "Parameter name expected"},
      {"select @@NAME from T", "EOF in string detected"},
  };
  for (const Case& c : cases) {
    try {
      Scan(c.Text);
      ADD_FAILURE() << "no error for " << c.Text;
    } catch (const EFIBClientError& e) {
      EXPECT_EQ(e.SQLCode(), 51);
      EXPECT_NE(e.Message().find(String("SQL Parse Error in :Form1.Q \r\n\r\n") + c.Detail), String::npos)
          << e.Message();
    }
  }
  // While loading, a missing name ends the scan quietly.
  TSQLParamScan scan = Scan("select :A, : from T where B = :B", false, true);
  EXPECT_FALSE(scan.Complete);
  EXPECT_EQ(Names(scan), std::vector<String>{"A"});
}

TEST_F(SQLParamScan, MarkerTest) {
  struct Case {
    const char* Text;
    bool Has;
  };
  const Case cases[] = {
      {"select * from T where A = :A", true},
      {"select * from T where A = ?", true},
      {"select * from T where A = @A", true},
      {"select ':A' from T -- :B", false},
      {":A", false},  // the test starts at the second character
      {"create procedure P as begin x = :y; end", false},
      {"select * from T /* open :A", false},
  };
  for (const Case& c : cases) EXPECT_EQ(HasParamMarkers(c.Text, TSQLParser(c.Text).SQLKind(), '@'), c.Has) << c.Text;
}

TEST_F(SQLParamScan, NullComparisonsRewritten) {
  struct Case {
    const char* Text;
    const char* Result;
  };
  const Case cases[] = {
      {"select * from T where A = :A and B <> :B", "select * from T where A  IS NULL  and B  IS NOT NULL "},
      {"select * from T where A != :A or B ^= :B or C ~=:C", "select * from T where A  IS NOT NULL  or B  IS NOT NULL  or C  IS NOT NULL "},
      {"select * from T where A >= :A and B <= :B and C > :C", "select * from T where A >= :A and B <= :B and C > :C"},
      {"select * from T where A = :A + 1", "select * from T where A = :A + 1"},
      {"select * from T where A = (:A) and B = ( ( :B ) )", "select * from T where A  IS NULL  and B  IS NULL "},
      {"select * from T where A = (:A + 1)", "select * from T where A = (:A + 1)"},
      {"select :A from T where A like :B", "select :A from T where A like :B"},
      {"update T set A = :A where B = :B", "update T set A = :A where B  IS NULL "},
  };
  for (const Case& c : cases) EXPECT_EQ(ExecText(c.Text), c.Result) << c.Text;
}

TEST_F(SQLParamScan, LiteralValuesWrittenIn) {
  EXPECT_EQ(ExecText("select * from @TBL where N = @@V%#x@ and A = :A and @C%1=1",
                     {"PEOPLE", "O'Brien", "X = 2"}),
            "select * from PEOPLE where N = 'O''Brien' and A  IS NULL  and X = 2");
  EXPECT_EQ(ExecText("select * from T where N = @V%#default"), "select * from T where N = 'default'");
}

TEST(QuoteLiteralValue, Forms) {
  struct Case {
    const char* Value;
    const char* Quoted;
  };
  const Case cases[] = {
      {"", "''"},
      {"abc", "'abc'"},
      {"#abc", "'abc'"},
      {"'abc'", "'abc'"},
      {"'it''s'", "'it''s'"},
      {"O'Brien", "'O''Brien'"},
      {"'x' or 1=1 --", "'''x'' or 1=1 --'"},
      {"'", "''''"},
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteLiteralValue(c.Value), c.Quoted) << c.Value;
}

}  // namespace
