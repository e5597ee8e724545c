// SQL text parser: finds clauses of one statement text by keyword (honouring
// quoted names, string literals, comments and brackets), detects the
// statement kind, lists the tables of the FROM clause, and rewrites single
// clauses (WHERE, ORDER BY, GROUP BY, PLAN, select list, count statement).
//
// Positions are 1-based. Rewriting operations return a new text and leave the
// parser's text unchanged. Nothing here raises.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "platform/rtl/StringList.h"
#include "platform/rtl/System.h"

enum TSQLKind : Byte {
  skUnknown = 0,
  skSelect = 1,  // SELECT or MERGE
  skUpdate = 2,
  skInsert = 3,
  skDelete = 4,
  skExecuteProc = 5,
  skDDL = 6,
  skExecuteBlock = 7,
};

// A clause found in a text: Start is the position of its keyword (0 when
// absent), End its last position, Text its text.
struct TSQLClause {
  int Start = 0;
  int End = 0;
  String Text;
};

class TSQLParser : public TObject {
 public:
  // Lexical states of the scanner.
  enum TScanState : Byte { ssPlain = 0, ssQuotedName = 1, ssBlockComment = 2, ssLineComment = 3, ssString = 4 };
  // Called at each plain-text position; AtEnd marks the one extra call at the
  // end of the text. Returns true to report a find at Pos.
  using TScanPredicate = std::function<bool(int Pos, bool AtEnd)>;

  explicit TSQLParser(const String& SQLText = String());
  ~TSQLParser() override;

  void SetSQLText(const String& Text);
  const String& SQLText() const { return FText; }
  TSQLKind SQLKind() const { return FKind; }
  // False for DDL statements.
  bool NotDDL() const { return FNotDDL; }
  // First position after leading blanks, brackets, semicolons and comments.
  int StartPos() const { return FStartPos; }

  // Scanner. ResetScan puts it at plain text, depth 0. Scan walks from From,
  // carrying the lexical state and depth over from the previous scan, and
  // returns the found position (0 when nothing was found).
  void ResetScan();
  int Scan(int From, const TScanPredicate& Predicate);
  int Depth() const { return FDepth; }
  int StartDepth() const { return FStartDepth; }
  TScanState State() const { return FState; }
  // Keyword Word (upper case) at Pos under the keyword rules.
  bool IsKeywordAt(int Pos, std::string_view Word) const;

  // FROM clause: Start at the F, End at the blank before the keyword that
  // ends it, or at the end of the text; Text from the F to End.
  TSQLClause GetFromPos();
  // Tables of the FROM clause (table name, blank, alias), or the modify
  // table; filled on first use, owned by the parser.
  TStrings* GetTables();
  // Fills List with the items of the FROM clause, whatever the statement kind.
  void ParseFromTables(TStrings* List);
  // Table of an UPDATE, INSERT or DELETE (with its alias when written);
  // "Unknown" when there is none.
  String GetModifyTable();

  // WHERE clauses
  int WhereCount();
  TSQLClause GetWherePos(int N);
  int MainWhereIndex();
  TSQLClause GetMainWhere();
  String SetWhere(int N, const String& Condition);
  String SetMainWhere(const String& Condition);
  String AddWhereCondition(const String& Condition, bool Indent);

  // ORDER BY, GROUP BY, PLAN
  TSQLClause GetOrderByPos();
  String SetOrderBy(const String& Order);
  // The sort fields of ORDER BY, one per line (List is cleared first).
  void GetOrderFields(TStrings* List);
  TSQLClause GetGroupByPos();
  String SetGroupBy(const String& Group);
  TSQLClause GetPlanPos();
  String SetPlan(const String& Plan);

  // Position of the first trailing clause (FOR UPDATE, ROWS, OFFSET, FETCH,
  // WITH LOCK) at depth 0 after FROM; 0 when there is none.
  int TailPos();

  // Select list and count statement
  String SetSelectFields(const String& Fields);
  String CountSQL();

 private:
  char At(int Pos) const { return Pos >= 1 && Pos <= FLen ? FText[Pos - 1] : '\0'; }
  String Copy(int From, int Count) const;
  String CopyFrom(int From) const { return Copy(From, FLen - From + 1); }
  TSQLKind DetectKind() const;
  bool KeywordIn(int Pos, std::span<const std::string_view> Words) const;
  // First of Words at the start depth, scanning from From.
  int ScanKeywords(int From, std::span<const std::string_view> Words);
  // Last position of a clause whose text starts at From: before the first of
  // Words at the start depth, before a closing bracket that leaves the depth
  // (with StopAtBracket), or the end of the text.
  int ScanClauseEnd(int From, std::span<const std::string_view> Words, bool StopAtBracket);
  int FindWhere(int N);
  // "<Keyword> BY" at depth 0: Start at the keyword, Text from after BY to
  // before the first of EndWords (trailing blanks dropped) or to the end of
  // the text (dropped there too with TrimAtEnd).
  TSQLClause GetByClause(std::span<const std::string_view> Keyword,
                         std::span<const std::string_view> EndWords, bool TrimAtEnd);
  String ReadName(int& Pos) const;

  String FText;
  int FLen = 0;
  int FStartPos = 1;
  TSQLKind FKind = skUnknown;
  bool FNotDDL = true;
  // Scanner state
  TScanState FState = ssPlain;
  int FPos = 0;
  int FFound = 0;
  int FDepth = 0;
  int FStartDepth = 0;
  bool FStopAtBracket = false;
  int FStopPos = 0;  // position of the bracket that stopped the scan
  int FWanted = 0;
  int FCounter = 0;
  std::unique_ptr<TStringList> FTables;  // null until GetTables
};

// Keyword Word (upper case) at Pos of Text: the letters match in either case,
// the byte before is a blank, double quote or ")" (or Pos starts the text) and
// the byte after is a blank, byte 0, double quote, "(", "-", "/" or ";" (or
// the keyword ends the text).
bool IsSQLKeywordAt(const String& Text, int Pos, std::string_view Word);

// Free helpers
void SkipBlanksAndComments(const String& Text, int Length, int& Pos);
// The text without comments; each removed comment leaves one blank.
String StripSQLComments(const String& Text);
bool EquelNames(const String& Name1, const String& Name2);

// One call on a temporary parser
String GetModifyTableName(const String& SQLText);
int MainWhereIndexOf(const String& SQLText);
int WhereClausesCount(const String& SQLText);
TSQLClause GetWherePos(const String& SQLText, int N);
String GetWhereClause(const String& SQLText);
String GetWhereClause(const String& SQLText, int& StartPos, int& EndPos);
String AddToWhere(const String& SQLText, const String& Condition, bool Indent);
TSQLClause GetOrderByPos(const String& SQLText);
String SetOrderByText(const String& SQLText, const String& Order);
void GetOrderFields(const String& SQLText, TStrings* List);
String MakeCountSQL(const String& SQLText);
// List := the parser's table list (GetTables) / the FROM items
// (ParseFromTables), aliases cut unless KeepAliases.
void GetTablesOfSQL(const String& SQLText, TStrings* List, bool KeepAliases);
void GetFromTables(const String& SQLText, TStrings* List, bool KeepAliases);

// Joins, aliases, parameters
String JoinsToCommaList(const String& FromText);
String RemoveBracketed(const String& Text, bool KeepItems);
int PosAliasDelimiter(const String& Item);
String CutAlias(const String& Item);
String ExtractAlias(const String& Item);
void StripAliases(TStrings* List);
String AliasForTable(const String& SelectText, const String& TableName);
String TableByAlias(const String& SelectText, const String& Alias);
String TableByQualifiedField(const String& SelectText, const String& QualifiedField);
String FieldNameForParam(const String& SelectText, const String& ParamName);
String ReverseOrderBy(const String& OrderText);
