#include "dataaccess/core/SqlTxtRtns.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TextCase {
  const char* In;
  const char* Out;
};

using Strings = std::vector<String>;

Strings Lines(TStrings* List) {
  Strings lines;
  for (int i = 0; i < List->Count(); ++i) lines.push_back(List->Strings(i));
  return lines;
}

Strings TablesOf(const String& Sql, bool KeepAliases) {
  TStringList list;
  list.Add("stale");
  GetTablesOfSQL(Sql, &list, KeepAliases);
  return Lines(&list);
}

}  // namespace

TEST(SqlParser, KindAndStartPosition) {
  struct Case {
    const char* Text;
    TSQLKind Kind;
    int StartPos;
  };
  const Case cases[] = {
      {"SELECT * FROM T", skSelect, 1},
      {"  /* c */ (\r\n select 1 from t)", skSelect, 15},
      {"-- note\nSELECT 1 FROM T", skSelect, 9},  // a line comment ends at LF
      {"-- note\rselect 1 from t", skSelect, 9},
      {";(MERGE INTO T USING U ON 1=1", skSelect, 3},
      {"update T set A = 1", skUpdate, 1},
      {"DELETE FROM T", skDelete, 1},
      {"Insert into T values (1)", skInsert, 1},
      {"EXECUTE PROCEDURE P(1)", skExecuteProc, 1},
      {"execute\n  block (x int = ?) as begin end", skExecuteBlock, 1},
      {"CREATE TABLE T (A INT)", skDDL, 1},
      {"recreate view V as select 1 from t", skDDL, 1},
      {"COMMENT ON TABLE T IS 'x'", skDDL, 1},
      {"set /* g */ generator G to 1", skDDL, 1},
      {"SET TRANSACTION", skUnknown, 1},
      {"SELECTED", skUnknown, 1},
      {"EXECUTEPROCEDURE P", skUnknown, 1},
      {"-SELECT 1", skUnknown, 1},  // a lone "-" or "/" ends the skipping
      {"/SELECT 1", skUnknown, 1},
      {"", skUnknown, 1},
      {"/* never closed", skUnknown, 16},
  };
  for (const Case& c : cases) {
    TSQLParser p(c.Text);
    EXPECT_EQ(p.SQLKind(), c.Kind) << c.Text;
    EXPECT_EQ(p.StartPos(), c.StartPos) << c.Text;
    EXPECT_EQ(p.NotDDL(), c.Kind != skDDL) << c.Text;
  }
  TSQLParser p("SELECT 1 FROM T");
  p.SetSQLText("DROP TABLE T");
  EXPECT_EQ(p.SQLKind(), skDDL);
  EXPECT_FALSE(p.NotDDL());
}

TEST(SqlParser, KeywordRules) {
  const String text = "A)WHERE\"X\"WHERE(WHERE-WHERE XWHERE WHERE_ where";
  EXPECT_TRUE(IsSQLKeywordAt(text, 3, "WHERE"));    // after ")" and before a quote
  EXPECT_TRUE(IsSQLKeywordAt(text, 11, "WHERE"));   // after a quote, before "("
  EXPECT_FALSE(IsSQLKeywordAt(text, 17, "WHERE"));  // after "("
  EXPECT_FALSE(IsSQLKeywordAt(text, 30, "WHERE"));  // glued to a letter
  EXPECT_FALSE(IsSQLKeywordAt(text, 36, "WHERE"));  // "_" after it
  EXPECT_TRUE(IsSQLKeywordAt(text, 43, "WHERE"));   // lower case, at the end
  EXPECT_TRUE(IsSQLKeywordAt("WITH \r\n LOCK", 1, "WITH LOCK"));
  EXPECT_FALSE(IsSQLKeywordAt("WITH LOCKS", 1, "WITH LOCK"));
  EXPECT_FALSE(IsSQLKeywordAt("WHERE", 2, "WHERE"));
}

TEST(SqlParser, MainWhereIgnoresStringsNamesCommentsAndBrackets) {
  const TextCase cases[] = {
      {"SELECT 'WHERE x' FROM T WHERE A=1", "A=1"},
      {"SELECT \"WHERE\" FROM T WHERE A=1", "A=1"},
      {"SELECT /* WHERE */ A FROM T WHERE A=1", "A=1"},
      {"SELECT -- WHERE\n A FROM T WHERE A=1", "A=1"},
      {"SELECT (SELECT B FROM U WHERE U.X = T.X) FROM T WHERE A=1", "A=1"},
      {"SELECT A FROM (SELECT 1 A FROM U)WHERE A=1", "A=1"},
      {"SELECT A FROM T\"\"WHERE A=1", "A=1"},
      {"SELECT A FROM TWHERE A=1", ""},
      {"SELECT A FROM T WHERE A = 'it''s' ORDER BY A", "A = 'it''s'"},
      {"SELECT A FROM T WHERE  \r\n A=1 \r\n GROUP BY A", "A=1"},
      {"SELECT A FROM T WHERE A=1;", "A=1"},
      {"SELECT A FROM T WHERE A=1 ROWS 10", "A=1"},
      {"SELECT A FROM T WHERE A=1 OFFSET 5 ROWS", "A=1"},
      {"SELECT A FROM T WHERE A=1 FETCH FIRST 1 ROWS ONLY", "A=1"},
      {"SELECT A FROM T WHERE A=1 WITH LOCK", "A=1"},
      {"SELECT A FROM T WHERE A STARTING WITH 'x' FOR UPDATE", "A STARTING WITH 'x'"},
      {"SELECT A FROM T WHERE A=1 UNION SELECT B FROM U WHERE B=2", "A=1"},
      {"SELECT A FROM T", ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(GetWhereClause(c.In), c.Out) << c.In;
}

TEST(SqlParser, WhereClausesByNumber) {
  const String sql = "SELECT (SELECT B FROM U WHERE U.X = T.X ) FROM T WHERE A=1 ORDER BY A";
  EXPECT_EQ(WhereClausesCount(sql), 2);
  EXPECT_EQ(MainWhereIndexOf(sql), 2);
  TSQLClause inner = GetWherePos(sql, 1);
  EXPECT_EQ(inner.Start, 25);
  EXPECT_EQ(inner.Text, "U.X = T.X");  // stops at the bracket that closes its level
  EXPECT_EQ(inner.End, 39);
  EXPECT_EQ(GetWherePos(sql, 2).Text, "A=1");
  EXPECT_EQ(GetWherePos(sql, 0).Start, 25);  // no number: the first
  EXPECT_EQ(GetWherePos(sql, 3).Start, 0);
  EXPECT_EQ(GetWherePos(sql, -1).Start, 0);
  EXPECT_EQ(MainWhereIndexOf("SELECT A FROM T"), -1);
  EXPECT_EQ(MainWhereIndexOf("SELECT A FROM (SELECT 1 A FROM U WHERE 1=1) X"), -1);

  int start = 0, end = 0;
  EXPECT_EQ(GetWhereClause("SELECT * FROM T WHERE A = 1 ", start, end), "A = 1");
  EXPECT_EQ(start, 17);
  EXPECT_EQ(end, 27);
}

TEST(SqlParser, FromClause) {
  struct Case {
    const char* Text;
    int Start, End;
  };
  const Case cases[] = {
      {"SELECT * FROM T WHERE A = 1 ORDER BY B", 10, 16},
      {"SELECT * FROM T", 10, 15},
      {"SELECT * FROM\"T\" WHERE A=1", 10, 17},
      {"SELECT * FROM(SELECT A FROM U WHERE B=1) X WHERE A=1", 10, 43},
      {"SELECT EXTRACT(YEAR FROM D) FROM T GROUP BY 1", 29, 35},
      {"SELECT * FROM T FOR UPDATE", 10, 16},
      {"SELECT * FROM FORMS", 10, 19},
      {"SELECT * FROM T ROWS 1", 10, 16},
      {"SELECT 1", 0, 0},
  };
  for (const Case& c : cases) {
    TSQLClause from = TSQLParser(c.Text).GetFromPos();
    EXPECT_EQ(from.Start, c.Start) << c.Text;
    EXPECT_EQ(from.End, c.End) << c.Text;
  }
}

TEST(SqlParser, ModifyTable) {
  const TextCase cases[] = {
      {"UPDATE T1 SET A = 1", "T1"},
      {"update T1 x set A = 1", "T1 x"},
      {"UPDATE T1 AS X SET A = 1", "T1 X"},
      {"UPDATE \"My Table\" SET A = 1", "\"My Table\""},
      {"DELETE FROM T1 X WHERE A = 1", "T1 X"},
      {"DELETE FROM T1 WHERE A = 1", "T1"},
      {"DELETE FROM T1", "T1"},
      {"DELETE FROM T1 RETURNING A", "T1"},
      {"DELETE T1", "Unknown"},
      {"INSERT INTO T(A) VALUES (1)", "T"},
      {"INSERT INTO /* c */ T;", "T"},
      {"INSERT T VALUES (1)", "Unknown"},
      {"UPDATE OR INSERT INTO T (A) VALUES (1) MATCHING (A)", "T"},
      // Without a column list nothing after the table is an alias.
      {"INSERT INTO T VALUES (1)", "T"},
      {"insert into T\r\nvalues (1)", "T"},
      {"INSERT INTO T SELECT * FROM S", "T"},
      {"INSERT INTO T DEFAULT VALUES", "T"},
      {"INSERT INTO \"My Table\" VALUES (1)", "\"My Table\""},
      {"UPDATE OR INSERT INTO T VALUES (1, 2) MATCHING (A)", "T"},
      {"update or insert into T values (1)", "T"},
      {"SELECT * FROM T", "Unknown"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(GetModifyTableName(c.In), c.Out) << c.In;
}

TEST(SqlParser, Tables) {
  const String sql =
      "SELECT * FROM A a /* x, y */ JOIN B b ON a.ID = b.ID\r\n"
      "  LEFT OUTER JOIN C c ON c.X = F(a.Y, 1), PROC(1, 2) P, (SELECT 1 FROM X) D\r\n"
      "WHERE 1 = 1";
  EXPECT_EQ(TablesOf(sql, true), (Strings{"A a", "B b", "C c", "PROC P", "D"}));
  EXPECT_EQ(TablesOf(sql, false), (Strings{"A", "B", "C", "PROC", "D"}));
  EXPECT_EQ(TablesOf("SELECT * FROM \"T  1\"\r\n X CROSS JOIN U", true), (Strings{"\"T  1\" X", "U"}));
  EXPECT_EQ(TablesOf("UPDATE T1 X SET A = 1", true), (Strings{"T1 X"}));
  EXPECT_EQ(TablesOf("SELECT 1", true), Strings{});
  TStringList list;
  GetFromTables("DELETE FROM T1 X WHERE A = 1", &list, false);
  EXPECT_EQ(Lines(&list), (Strings{"T1"}));
  TSQLParser p("SELECT * FROM A X");
  EXPECT_EQ(Lines(p.GetTables()), (Strings{"A X"}));
  p.SetSQLText("SELECT * FROM B");
  EXPECT_EQ(Lines(p.GetTables()), (Strings{"B"}));
}

TEST(SqlParser, StripSQLComments) {
  const TextCase cases[] = {
      {"A/*x*/FROM", "A FROM"},
      {"A--x\nFROM", "A FROM"},
      {"A -- x\r\nFROM", "A  FROM"},
      {"A -- x\rFROM", "A  FROM"},
      {"\"--x\" = '/*y*/'", "\"--x\" = '/*y*/'"},
      {"A /* never closed", "A  "},
      {"A -- last", "A  "},
  };
  for (const TextCase& c : cases) EXPECT_EQ(StripSQLComments(c.In), c.Out) << c.In;
}

TEST(SqlParser, EquelNames) {
  struct Case {
    const char* A;
    const char* B;
    bool Equal;
  };
  const Case cases[] = {
      {"abc", "ABC", true},     {"\"ABC\"", "abc", true},   {"\"Abc\"", "Abc", false},
      {"\"Abc\"", "\"Abc\"", true}, {"Abc", "\"Abc\"", true}, {"abc", "\"ABC\"", true},
      {"abc", "\"Abc\"", false}, {"", "", false},            {"A", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(EquelNames(c.A, c.B), c.Equal) << c.A << " " << c.B;
}

// ---------------------------------------------------------------------------
// Clause rewriting

TEST(SqlClauses, AddToWhere) {
  struct Case {
    const char* Text;
    const char* Condition;
    bool Indent;
    const char* Out;
  };
  const Case cases[] = {
      {"SELECT * FROM T WHERE A = 1", "B = 2", false,
       "SELECT * FROM T WHERE(  A = 1 ) and ( B = 2 )"},
      {"SELECT * FROM T ORDER BY B", "C = 3", false,
       "SELECT * FROM T \r\n WHERE C = 3\r\nORDER BY B"},
      {"SELECT * FROM T WHERE A = 1 ORDER BY B", "C = 3", true,
       "SELECT * FROM T WHERE(  A = 1\r\n     ) and ( C = 3 )\r\n     ORDER BY B"},
      {"SELECT * FROM T", "C = 3", true, "SELECT * FROM T\r\n WHERE \r\n    C = 3\r\n"},
      // A top-level OR keeps its meaning inside the brackets.
      {"SELECT * FROM T WHERE A=1 OR B=2", "C=3", false,
       "SELECT * FROM T WHERE(  A=1 OR B=2 ) and ( C=3 )"},
      // The subselect's WHERE is not the main one.
      {"SELECT (SELECT 1 FROM U WHERE U.A = T.A) X FROM T", "B = 1", false,
       "SELECT (SELECT 1 FROM U WHERE U.A = T.A) X FROM T\r\n WHERE B = 1\r\n"},
      {"SELECT * FROM T WHERE a=1 ROWS 10", "C", false,
       "SELECT * FROM T WHERE(  a=1 ) and ( C ) ROWS 10"},
      {"SELECT * FROM T ROWS 10", "C", false, "SELECT * FROM T \r\n WHERE C\r\nROWS 10"},
      {"SELECT * FROM T WHERE a=1 WITH LOCK", "C", false,
       "SELECT * FROM T WHERE(  a=1 ) and ( C ) WITH LOCK"},
      // A "--" comment at the end of a condition must not swallow the bracket.
      {"SELECT * FROM T WHERE a=1 -- note", "C", false,
       "SELECT * FROM T WHERE(  a=1 -- note\r\n ) and ( C )"},
      {"SELECT * FROM T WHERE a=1", "C -- why", false,
       "SELECT * FROM T WHERE(  a=1 ) and ( C -- why\r\n )"},
      // Without a FROM clause the condition goes at the end.
      {"UPDATE T SET A = 1", "ID = 5", false, "UPDATE T SET A = 1\r\n WHERE ID = 5\r\n"},
      {"SELECT * FROM T WHERE A = 1", " \r\n", false, "SELECT * FROM T WHERE A = 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(AddToWhere(c.Text, c.Condition, c.Indent), c.Out) << c.Text;
}

TEST(SqlClauses, SetWhereAndMainWhere) {
  const String sql = "SELECT * FROM T WHERE A = 1 ORDER BY B";
  TSQLParser p(sql);
  EXPECT_EQ(p.SetWhere(1, "X = 2"), "SELECT * FROM T \r\nWHERE X = 2\r\n ORDER BY B");
  EXPECT_EQ(p.SetWhere(1, ""), "SELECT * FROM T \r\n ORDER BY B");
  EXPECT_EQ(p.SetWhere(2, "X = 2"), sql);
  EXPECT_EQ(p.SetMainWhere("X = 2"), "SELECT * FROM T \r\nWHERE X = 2\r\n ORDER BY B");
  EXPECT_EQ(p.SQLText(), sql);  // rewriting leaves the parser's text alone

  EXPECT_EQ(TSQLParser("SELECT *\nFROM T\nWHERE A = 1\r\nORDER BY B").SetMainWhere("C"),
            "SELECT *\nFROM T\nWHERE C\r\nORDER BY B");
  EXPECT_EQ(TSQLParser("SELECT * FROM T").SetMainWhere("C"), "SELECT * FROM T\r\n WHERE C\r\n");
  // Inside brackets the clause ends at the bracket that closes its level.
  EXPECT_EQ(TSQLParser("SELECT * FROM (SELECT * FROM U WHERE A=1) X").SetWhere(1, "B=2"),
            "SELECT * FROM (SELECT * FROM U \r\nWHERE B=2\r\n) X");
}

TEST(SqlClauses, OrderBy) {
  const String sql = "SELECT * FROM T WHERE A = 1 ORDER BY B";
  TSQLClause o = GetOrderByPos(sql);
  EXPECT_EQ(o.Start, 29);
  EXPECT_EQ(o.End, 38);
  EXPECT_EQ(o.Text, " B");

  struct Case {
    const char* Text;
    const char* Order;
    const char* Out;
  };
  const Case setOrder[] = {
      {"SELECT * FROM T WHERE A = 1 ORDER BY B", " C DESC", "SELECT * FROM T WHERE A = 1 \r\nORDER BY  C DESC"},
      {"SELECT * FROM T\nORDER BY B", "C", "SELECT * FROM T\nORDER BY C"},
      {"SELECT * FROM T ORDER BY B, C", "  ", "SELECT * FROM T "},
      {" SELECT * FROM T ", " C ", "SELECT * FROM T\r\nORDER BY C"},
      {"SELECT * FROM T", "", "SELECT * FROM T"},
      {"SELECT * FROM T ORDER BY B ROWS 1 TO 10", "C", "SELECT * FROM T \r\nORDER BY C ROWS 1 TO 10"},
      {"SELECT * FROM T ORDER BY B FOR UPDATE", "", "SELECT * FROM T  FOR UPDATE"},
      {"SELECT * FROM T WHERE A=1 FOR UPDATE WITH LOCK", "C",
       "SELECT * FROM T WHERE A=1\r\nORDER BY C\r\nFOR UPDATE WITH LOCK"},
      // ORDER BY inside an aggregate's brackets is not the statement's.
      {"SELECT LIST(A ORDER BY A) FROM T", "B", "SELECT LIST(A ORDER BY A) FROM T\r\nORDER BY B"},
  };
  for (const Case& c : setOrder) EXPECT_EQ(TSQLParser(c.Text).SetOrderBy(c.Order), c.Out) << c.Text;

  const Case setOrderText[] = {
      {"SELECT * FROM T WHERE A = 1 ORDER BY B", "C", "SELECT * FROM T WHERE A = 1 ORDER BY C "},
      {"SELECT * FROM T WHERE A = 1 ORDER BY B", "", "SELECT * FROM T WHERE A = 1  "},
      {"SELECT * FROM T", "C", "SELECT * FROM T ORDER BY C"},
      {"SELECT * FROM T", "", "SELECT * FROM T"},
      {"SELECT * FROM T ORDER BY", "C", "SELECT * FROM T ORDER BY C "},
      {"SELECT * FROM T ROWS 5", "C", "SELECT * FROM T ORDER BY C ROWS 5"},
  };
  for (const Case& c : setOrderText) EXPECT_EQ(SetOrderByText(c.Text, c.Order), c.Out) << c.Text;
}

TEST(SqlClauses, OrderFieldsAndReverse) {
  TStringList fields;
  GetOrderFields("SELECT * FROM T ORDER BY T . A DESC, b nulls last, \"C D\" COLLATE X,"
                 " COALESCE(E, 0) ASC, /* c */ 2 descending, \"Desc\" ASCENDING",
                 &fields);
  EXPECT_EQ(Lines(&fields), (Strings{"T.A", "b", "\"C D\"", "COALESCE(E, 0)", "2", "\"Desc\""}));
  GetOrderFields("SELECT * FROM T", &fields);
  EXPECT_EQ(fields.Count(), 0);

  const TextCase cases[] = {
      {"A, B DESC", "A desc,B"},
      {"  A /* x */ ASC ,  B", "A desc,B desc"},
      {"A NULLS FIRST, B DESC NULLS LAST", "A desc  NULLS LAST,B NULLS FIRST"},
      {"A COLLATE PXW_CYRL, B", "A COLLATE PXW_CYRL desc,B desc"},
      {"\"My Field\" DESCENDING, T.A ASCENDING", "\"My Field\",T.A desc"},
      {"COALESCE(A, B) DESC", "COALESCE(A, B)"},
      {"", ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(ReverseOrderBy(c.In), c.Out) << c.In;
}

TEST(SqlClauses, GroupBy) {
  const String sql = "SELECT A, COUNT(*) FROM T GROUP BY A HAVING COUNT(*) > 1 ORDER BY 2";
  TSQLClause g = TSQLParser(sql).GetGroupByPos();
  EXPECT_EQ(g.Start, 27);
  EXPECT_EQ(g.Text, " A");
  struct Case {
    const char* Text;
    const char* Group;
    const char* Out;
  };
  const Case cases[] = {
      {sql.c_str(), " A, B ", "SELECT A, COUNT(*) FROM T \r\nGROUP BY A, B HAVING COUNT(*) > 1 ORDER BY 2"},
      {sql.c_str(), "", "SELECT A, COUNT(*) FROM T  HAVING COUNT(*) > 1 ORDER BY 2"},
      {"SELECT A FROM T\nGROUP BY A", "B", "SELECT A FROM T\nGROUP BY B"},
      {"SELECT A FROM T ORDER BY 1", "A", "SELECT A FROM T\r\nGROUP BY A\r\nORDER BY 1"},
      {"SELECT A FROM T PLAN (T NATURAL)", "A", "SELECT A FROM T\r\nGROUP BY A\r\nPLAN (T NATURAL)"},
      {" SELECT A FROM T ", "A", "SELECT A FROM T\r\nGROUP BY A"},
      {"SELECT A FROM T ROWS 5", "A", "SELECT A FROM T\r\nGROUP BY A\r\nROWS 5"},
      {"SELECT A FROM T", "", "SELECT A FROM T"},
  };
  for (const Case& c : cases) EXPECT_EQ(TSQLParser(c.Text).SetGroupBy(c.Group), c.Out) << c.Text;
}

TEST(SqlClauses, Plan) {
  const String sql = "SELECT * FROM T PLAN (T NATURAL) ORDER BY A";
  TSQLClause p = TSQLParser(sql).GetPlanPos();
  EXPECT_EQ(p.Start, 17);
  EXPECT_EQ(p.End, 32);
  EXPECT_EQ(p.Text, "(T NATURAL)");
  EXPECT_EQ(TSQLParser("SELECT * FROM T PLAN /* p */ ;(T NATURAL)").GetPlanPos().Text, "(T NATURAL)");
  struct Case {
    const char* Text;
    const char* Plan;
    const char* Out;
  };
  const Case cases[] = {
      {sql.c_str(), "(T INDEX (IX))", "SELECT * FROM T PLAN (T INDEX (IX)) ORDER BY A"},
      {sql.c_str(), " ", "SELECT * FROM T  ORDER BY A"},
      {"SELECT * FROM T PLAN  (T NATURAL)", "", "SELECT * FROM T "},
      {"SELECT * FROM T ORDER BY A", "(T NATURAL)", "SELECT * FROM T \r\nPLAN (T NATURAL)\r\nORDER BY A"},
      {"SELECT * FROM T\n", "(T NATURAL)", "SELECT * FROM T\nPLAN (T NATURAL)"},
      {"SELECT * FROM T", "(T NATURAL)", "SELECT * FROM T\r\nPLAN (T NATURAL)"},
      {"SELECT * FROM T FOR UPDATE", "(T NATURAL)", "SELECT * FROM T \r\nPLAN (T NATURAL)\r\nFOR UPDATE"},
      {"SELECT * FROM T PLAN (T NATURAL) ROWS 5", "(T ORDER IX)", "SELECT * FROM T PLAN (T ORDER IX) ROWS 5"},
      {"SELECT * FROM T", "", "SELECT * FROM T"},
  };
  for (const Case& c : cases) EXPECT_EQ(TSQLParser(c.Text).SetPlan(c.Plan), c.Out) << c.Text;
}

TEST(SqlClauses, SelectFieldsAndCount) {
  EXPECT_EQ(TSQLParser("SELECT A, B FROM T WHERE X=1").SetSelectFields("C, D"),
            "SELECT\r\nC, D\r\nFROM T WHERE X=1");
  EXPECT_EQ(TSQLParser("UPDATE T SET A=1").SetSelectFields("C"), "UPDATE T SET A=1");

  const TextCase cases[] = {
      {"SELECT A, COUNT(*) FROM T WHERE A > 1 GROUP BY A HAVING COUNT(*) > 1 ORDER BY 1",
       "Select Count(*) FROM T \r\n WHERE A > 1"},
      {"SELECT A FROM T", "Select Count(*) FROM T"},
      {"SELECT A FROM T PLAN (T NATURAL) ORDER BY A", "Select Count(*) FROM T "},
      {"select a from t\r\nwhere a in (select b from u where c = 1)", "Select Count(*) from t\r\n\r\n WHERE a in (select b from u where c = 1)"},
      {"DELETE FROM T", ""},
      {"SELECT 1", ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(MakeCountSQL(c.In), c.Out) << c.In;
}

TEST(SqlClauses, JoinsAndBrackets) {
  const TextCase joins[] = {
      {"A LEFT JOIN B ON A.ID = B.ID", "A , B"},
      {"A a join B b on a.ID = b.ID left outer join C c on (c.X = F(a.Y, 1)), D", "A a , B b , C c , D"},
      {"A INNER JOIN B USING (ID)", "A , B"},
      {"A NATURAL JOIN B", "A , B"},
      {"A, B", "A, B"},
      {"JOINS J", "JOINS J"},
  };
  for (const TextCase& c : joins) EXPECT_EQ(JoinsToCommaList(c.In), c.Out) << c.In;

  struct Case {
    const char* In;
    bool Keep;
    const char* Out;
  };
  const Case brackets[] = {
      {"A, P(1, (2)) X, B", true, "A, P X, B"},
      {"A, P(1, (2)) X, B", false, "A, B"},
      {"P(1) X, B", false, " B"},
      {"A, P(1) X", false, "A"},
      {"A, \"(x\" Y", false, "A, \"(x\" Y"},
      {"A, P(1", true, "A, P"},
  };
  for (const Case& c : brackets) EXPECT_EQ(RemoveBracketed(c.In, c.Keep), c.Out) << c.In;
}

TEST(SqlClauses, Aliases) {
  struct Case {
    const char* Item;
    int Delimiter;
    const char* Table;
    const char* Alias;
  };
  const Case cases[] = {
      {"T", 0, "T", ""},
      {"T X", 2, "T", "X"},
      {"T   X", 4, "T", "X"},
      {" T AS X ", 3, "T", "X"},
      {"T as X", 2, "T", "X"},
      {"T ASX", 2, "T", "ASX"},
      {"\"My T\" \"My X\"", 7, "\"My T\"", "\"My X\""},
      {"T /* c */ X", 10, "T", "X"},
      {"T  ", 0, "T", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PosAliasDelimiter(c.Item), c.Delimiter) << c.Item;
    EXPECT_EQ(CutAlias(c.Item), c.Table) << c.Item;
    EXPECT_EQ(ExtractAlias(c.Item), c.Alias) << c.Item;
  }
  TStringList list;
  list.Add("T X");
  list.Add("U");
  StripAliases(&list);
  EXPECT_EQ(Lines(&list), (Strings{"T", "U"}));

  const String sql = "SELECT * FROM CUSTOMER C JOIN ORDERS ON C.ID = ORDERS.CID, \"Lines\" L";
  EXPECT_EQ(AliasForTable(sql, "customer"), "C");
  EXPECT_EQ(AliasForTable(sql, "ORDERS"), "ORDERS");
  EXPECT_EQ(AliasForTable(sql, "\"Lines\""), "L");
  EXPECT_EQ(AliasForTable(sql, "NONE"), "");
  EXPECT_EQ(TableByAlias(sql, "c"), "CUSTOMER");
  EXPECT_EQ(TableByAlias(sql, "ORDERS"), "ORDERS");
  EXPECT_EQ(TableByAlias(sql, "CUSTOMER"), "");
  EXPECT_EQ(TableByQualifiedField(sql, "C . \"Name\""), "CUSTOMER.Name");
  EXPECT_EQ(TableByQualifiedField(sql, "L.QTY"), "Lines.QTY");
  EXPECT_EQ(TableByQualifiedField(sql, "NAME"), "NAME");
}

TEST(SqlClauses, FieldNameForParam) {
  struct Case {
    const char* Sql;
    const char* Param;
    const char* Field;
  };
  const Case cases[] = {
      {"SELECT * FROM T WHERE T.ID = :ID", "ID", "T.ID"},
      {"SELECT * FROM T WHERE (T.ID=:id)", "ID", "T.ID"},
      {"SELECT * FROM T WHERE A>=?X AND B = :XY", "XY", "B"},
      {"SELECT * FROM T WHERE A = :XY AND B>=?X", "X", "B"},
      {"SELECT * FROM T WHERE \"My Field\" <> :P", "P", "\"My Field\""},
      {"SELECT * FROM T WHERE :P = A", "P", ""},
      {"SELECT * FROM T WHERE A = 1", "P", ""},
      {"SELECT * FROM T WHERE A IN (SELECT B FROM U WHERE U.C = :C)", "C", "U.C"},
  };
  for (const Case& c : cases) EXPECT_EQ(FieldNameForParam(c.Sql, c.Param), c.Field) << c.Sql;
}
