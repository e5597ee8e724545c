#include "dataaccess/core/SqlTxtRtns.h"

#include <algorithm>
#include <span>
#include <vector>

#include "dataaccess/core/StrUtil.h"

namespace {

constexpr const char* kCRLF = "\r\n";

constexpr CharSet kBlanks{'\0', '\t', '\n', '\r', ' '};
constexpr CharSet kSpaces{'\t', '\n', '\r', ' '};
constexpr CharSet kKeywordBefore{'\t', '\n', '\r', ' ', '"', ')'};
constexpr CharSet kKeywordAfter{'\0', '\t', '\n', '\r', ' ', '"', '(', '-', '/', ';'};

inline char UpAscii(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C; }
inline bool IsLowByte(char C) { return static_cast<unsigned char>(C) < 33; }
inline bool EndsWithLF(const String& S) { return !S.empty() && S.back() == '\n'; }

// Letters of Word (upper case) at 0-based I of S, either case.
bool LettersAt(const String& S, size_t I, std::string_view Word) {
  if (I + Word.size() > S.size()) return false;
  for (size_t k = 0; k < Word.size(); ++k)
    if (UpAscii(S[I + k]) != Word[k]) return false;
  return true;
}

// Word (upper case) at 1-based Pos followed by a keyword delimiter or the end.
bool WordAt(const String& S, int Pos, std::string_view Word) {
  if (Pos < 1 || !LettersAt(S, static_cast<size_t>(Pos - 1), Word)) return false;
  size_t after = static_cast<size_t>(Pos - 1) + Word.size();
  return after >= S.size() || kKeywordAfter.Contains(S[after]);
}

// Skips blanks and comments (and "(" and ";" with Brackets) from 1-based Pos
// within the first N bytes of S; gives the first position not skipped.
int SkipLeading(const String& S, int N, int Pos, bool Brackets) {
  N = std::min(N, static_cast<int>(S.size()));
  if (Pos < 1) Pos = 1;
  while (Pos <= N) {
    char c = S[Pos - 1];
    if (kBlanks.Contains(c) || (Brackets && (c == '(' || c == ';'))) {
      ++Pos;
    } else if (c == '-' && Pos < N && S[Pos] == '-') {
      Pos += 2;  // up to, not past, the line end
      while (Pos <= N && S[Pos - 1] != '\n' && S[Pos - 1] != '\r') ++Pos;
    } else if (c == '/' && Pos < N && S[Pos] == '*') {
      size_t e = S.find("*/", static_cast<size_t>(Pos + 1));
      Pos = e == String::npos || static_cast<int>(e) + 2 > N ? N + 1 : static_cast<int>(e) + 3;
    } else {
      break;
    }
  }
  return Pos;
}

// Skips blanks and comments (not brackets or semicolons) from 1-based Pos.
int SkipSpaceAndComments(const String& S, int Pos) {
  return SkipLeading(S, static_cast<int>(S.size()), Pos, false);
}

// Whether the text ends inside a "--" comment (so nothing may follow on its line).
bool EndsInLineComment(const String& S) {
  TSQLParser p(S);
  p.ResetScan();
  p.Scan(1, [](int, bool) { return false; });
  return p.State() == TSQLParser::ssLineComment;
}

// End (0-based, one past the closing quote) of the quoted run starting at I.
size_t QuotedRunEnd(const String& S, size_t I) {
  size_t e = S.find(S[I], I + 1);
  return e == String::npos ? S.size() : e + 1;
}

// Calls Visit(i, depth) for each byte of S from From on that stands outside
// double- and single-quoted runs (the quote bytes included), depth being the
// bracket depth after that byte (stray ")" leave it at 0). Stops when Visit
// returns true and gives that index; npos when the walk ends.
template <class F>
size_t WalkOutsideQuotes(const String& S, size_t From, F Visit) {
  char quote = 0;
  int depth = 0;
  for (size_t i = From; i < S.size(); ++i) {
    const char c = S[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    if (c == '(') ++depth;
    else if (c == ')' && depth > 0) --depth;
    if (Visit(i, depth)) return i;
  }
  return String::npos;
}

// 0-based position of the first comma at depth 0 from From on, npos when none.
size_t TopLevelComma(const String& S, size_t From) {
  return WalkOutsideQuotes(S, From, [&S](size_t i, int depth) { return S[i] == ',' && depth == 0; });
}

// Splits at commas outside quotes and brackets.
std::vector<String> SplitTopLevel(const String& S) {
  std::vector<String> items;
  size_t start = 0;
  for (size_t comma = TopLevelComma(S, 0); comma != String::npos; comma = TopLevelComma(S, start)) {
    items.push_back(S.substr(start, comma - start));
    start = comma + 1;
  }
  items.push_back(S.substr(start));
  return items;
}

using TWords = std::span<const std::string_view>;

// Keyword sets. ROWS, OFFSET, FETCH and WITH LOCK are Firebird 3 clauses that
// may follow every clause the parser rewrites.
constexpr std::string_view kFrom[] = {"FROM"};
constexpr std::string_view kBy[] = {"BY"};
constexpr std::string_view kInto[] = {"INTO"};
constexpr std::string_view kOrder[] = {"ORDER"};
constexpr std::string_view kGroup[] = {"GROUP"};
constexpr std::string_view kFromEnd[] = {"HAVING", "ORDER", "PLAN",   "UNION", "WHERE",
                                         "ROWS",   "OFFSET", "FETCH", "WITH LOCK"};
constexpr std::string_view kFromEndBlank[] = {"FOR", "GROUP"};  // need a blank after them
constexpr std::string_view kWhereEnd[] = {"FOR",  "GROUP",  "HAVING", "ORDER", "PLAN",     "START",
                                          "UNION", "ROWS", "OFFSET", "FETCH", "WITH LOCK"};
constexpr std::string_view kGroupEnd[] = {"HAVING", "PLAN",   "ORDER", "FOR",
                                          "ROWS",   "OFFSET", "FETCH", "WITH LOCK"};
constexpr std::string_view kPlanEnd[] = {"ORDER", "FOR", "ROWS", "OFFSET", "FETCH", "WITH LOCK"};
constexpr std::string_view kTail[] = {"FOR", "ROWS", "OFFSET", "FETCH", "WITH LOCK"};

}  // namespace

// ---------------------------------------------------------------------------
// Free helpers

bool IsSQLKeywordAt(const String& Text, int Pos, std::string_view Word) {
  if (Pos < 1 || Pos > static_cast<int>(Text.size()) || Word.empty() || UpAscii(Text[Pos - 1]) != Word[0])
    return false;
  size_t space = Word.find(' ');
  std::string_view first = Word.substr(0, space);
  if (Pos < 1 || !LettersAt(Text, static_cast<size_t>(Pos - 1), first)) return false;
  if (Pos > 1 && !kKeywordBefore.Contains(Text[Pos - 2])) return false;
  size_t after = static_cast<size_t>(Pos - 1) + first.size();
  if (after < Text.size() && !kKeywordAfter.Contains(Text[after])) return false;
  if (space == std::string_view::npos) return true;
  // Words separated by blanks ("WITH LOCK").
  size_t next = after;
  while (next < Text.size() && kSpaces.Contains(Text[next])) ++next;
  if (next == after) return false;
  return IsSQLKeywordAt(Text, static_cast<int>(next) + 1, Word.substr(space + 1));
}

void SkipBlanksAndComments(const String& Text, int Length, int& Pos) {
  Pos = SkipLeading(Text, Length, Pos, true);
}

String StripSQLComments(const String& Text) {
  String r;
  r.reserve(Text.size());
  size_t i = 0, n = Text.size();
  while (i < n) {
    char c = Text[i];
    if (c == '"' || c == '\'') {
      size_t e = QuotedRunEnd(Text, i);
      r.append(Text, i, e - i);
      i = e;
    } else if (c == '-' && i + 1 < n && Text[i + 1] == '-') {
      i += 2;
      while (i < n && Text[i] != '\r' && Text[i] != '\n') ++i;
      if (i < n && Text[i] == '\r') ++i;
      if (i < n && Text[i] == '\n') ++i;
      r += ' ';
    } else if (c == '/' && i + 1 < n && Text[i + 1] == '*') {
      size_t e = Text.find("*/", i + 2);
      i = e == String::npos ? n : e + 2;
      r += ' ';
    } else {
      r += c;
      ++i;
    }
  }
  return r;
}

bool EquelNames(const String& Name1, const String& Name2) {
  if (Name1.empty() || Name2.empty()) return false;
  bool q1 = Name1[0] == '"', q2 = Name2[0] == '"';
  if (q1) {
    if (q2) return Name1 == Name2;
    String inner = Name1.size() >= 2 ? Name1.substr(1, Name1.size() - 2) : String();
    return inner == FastUpperCase(Name2);
  }
  if (q2) return "\"" + Name1 + "\"" == Name2 || "\"" + FastUpperCase(Name1) + "\"" == Name2;
  return FastUpperCase(Name1) == FastUpperCase(Name2);
}

// ---------------------------------------------------------------------------
// TSQLParser: text, kind, scanner

TSQLParser::TSQLParser(const String& SQLText) { SetSQLText(SQLText); }

TSQLParser::~TSQLParser() = default;

void TSQLParser::SetSQLText(const String& Text) {
  FText = Text;
  FLen = static_cast<int>(FText.size());
  FTables.reset();
  FStartPos = 1;
  SkipBlanksAndComments(FText, FLen, FStartPos);
  FKind = DetectKind();
  FNotDDL = FKind != skDDL;
  ResetScan();
}

String TSQLParser::Copy(int From, int Count) const { return FastCopy(FText, From, Count); }

bool TSQLParser::IsKeywordAt(int Pos, std::string_view Word) const {
  return IsSQLKeywordAt(FText, Pos, Word);
}

TSQLKind TSQLParser::DetectKind() const {
  int p = FStartPos;
  auto word = [this](int Pos, std::string_view W) { return WordAt(FText, Pos, W); };
  if (word(p, "SELECT") || word(p, "MERGE")) return skSelect;
  if (word(p, "UPDATE")) return skUpdate;
  if (word(p, "DELETE")) return skDelete;
  if (word(p, "INSERT")) return skInsert;
  if (word(p, "EXECUTE")) {
    int q = SkipSpaceAndComments(FText, p + 7);
    if (q > p + 7) {
      if (word(q, "PROCEDURE")) return skExecuteProc;
      if (word(q, "BLOCK")) return skExecuteBlock;
    }
  }
  for (std::string_view w : {"ALTER", "CREATE", "COMMENT", "DECLARE", "DROP", "RECREATE"})
    if (word(p, w)) return skDDL;
  if (word(p, "SET")) {
    int q = SkipSpaceAndComments(FText, p + 3);
    if (q > p + 3 && word(q, "GENERATOR")) return skDDL;
  }
  return skUnknown;
}

void TSQLParser::ResetScan() {
  FState = ssPlain;
  FPos = 0;
  FFound = 0;
  FDepth = 0;
  FStartDepth = 0;
  FStopAtBracket = false;
  FStopPos = 0;
  FWanted = 0;
  FCounter = 0;
}

int TSQLParser::Scan(int From, const TScanPredicate& Predicate) {
  FFound = 0;
  FStopPos = 0;
  FStartDepth = FDepth;
  const char* s = FText.data();
  int closedAt = 0;  // position of the "/" that closed the last block comment
  bool stopped = false;
  for (FPos = std::max(From, 1); FPos <= FLen; ++FPos) {
    const int p = FPos;
    const char c = s[p - 1];
    switch (c) {
      case '"':
        if (FState == ssPlain) FState = ssQuotedName;
        else if (FState == ssQuotedName) FState = ssPlain;
        break;
      case '\'':
        if (FState == ssPlain) FState = ssString;
        else if (FState == ssString) FState = ssPlain;
        break;
      case '(':
        if (FState == ssPlain) ++FDepth;
        break;
      case ')':
        if (FState == ssPlain) {
          if (FStopAtBracket && FDepth - 1 < FStartDepth) {
            FStopPos = p;
            stopped = true;
          } else {
            --FDepth;
          }
        }
        break;
      case '*':
        if (FState == ssPlain) {
          if (p > 1 && s[p - 2] == '/' && p - 1 != closedAt) FState = ssBlockComment;
        } else if (FState == ssBlockComment && p < FLen && s[p] == '/') {
          FState = ssPlain;
          closedAt = p + 1;
        }
        break;
      case '-':
        if (FState == ssPlain && p < FLen && s[p] == '-') FState = ssLineComment;
        break;
      default:
        if (FState == ssPlain) {
          if (Predicate(p, false)) FFound = p;
        } else if (FState == ssLineComment && (c == '\r' || c == '\n')) {
          FState = ssPlain;
        }
        break;
    }
    if (FFound != 0 || stopped) break;
  }
  if (FFound == 0 && !stopped && FState == ssPlain && FLen > 0 && Predicate(FLen, true)) {
    FFound = FLen;
    FPos = FLen + 1;  // marks a find at the end of the text
  }
  FWanted = 0;
  return FFound;
}

bool TSQLParser::KeywordIn(int Pos, std::span<const std::string_view> Words) const {
  char c = UpAscii(At(Pos));
  for (std::string_view w : Words)
    if (w[0] == c && IsKeywordAt(Pos, w)) return true;
  return false;
}

int TSQLParser::ScanKeywords(int From, std::span<const std::string_view> Words) {
  return Scan(From, [this, Words](int Pos, bool AtEnd) {
    return !AtEnd && FDepth == FStartDepth && KeywordIn(Pos, Words);
  });
}

int TSQLParser::ScanClauseEnd(int From, std::span<const std::string_view> Words, bool StopAtBracket) {
  FStopAtBracket = StopAtBracket;
  int found = Scan(From, [this, Words](int Pos, bool AtEnd) {
    return AtEnd || (FDepth == FStartDepth && KeywordIn(Pos, Words));
  });
  FStopAtBracket = false;
  if (found != 0 && FPos <= FLen) return found - 1;  // before the keyword
  if (FStopPos != 0) return FStopPos - 1;            // before the closing bracket
  return FLen;                                       // end of the text
}

// ---------------------------------------------------------------------------
// FROM clause, tables, modify table

TSQLClause TSQLParser::GetFromPos() {
  ResetScan();
  int f = ScanKeywords(FStartPos, kFrom);
  if (f == 0) return {};
  // The scan goes on right after the keyword so that a bracket or quote
  // glued to it is seen.
  FStopAtBracket = false;
  int found = Scan(f + 4, [this](int Pos, bool AtEnd) {
    if (AtEnd) return true;
    if (FDepth != FStartDepth) return false;
    for (std::string_view w : kFromEndBlank)
      if (IsKeywordAt(Pos, w) && kSpaces.Contains(At(Pos + static_cast<int>(w.size())))) return true;
    return KeywordIn(Pos, kFromEnd);
  });
  int end = found != 0 && FPos <= FLen ? found - 1 : FLen;
  return {f, end, Copy(f, end - f + 1)};
}

String TSQLParser::ReadName(int& Pos) const {
  int start = Pos;
  if (At(Pos) == '"') {
    ++Pos;
    while (Pos <= FLen && At(Pos) != '"') ++Pos;
    if (Pos <= FLen) ++Pos;
  } else {
    while (Pos <= FLen) {
      char c = At(Pos);
      if (kBlanks.Contains(c) || c == '(' || c == ')' || c == ';') break;
      if ((c == '-' && At(Pos + 1) == '-') || (c == '/' && At(Pos + 1) == '*')) break;
      ++Pos;
    }
  }
  return Copy(start, Pos - start);
}

String TSQLParser::GetModifyTable() {
  static const String kUnknown = "Unknown";
  // The name at Pos and, unless it is one of Stop, the alias after it.
  auto nameAndAlias = [this](int Pos, std::initializer_list<const char*> Stop) {
    String name = ReadName(Pos);
    if (name.empty()) return kUnknown;
    int p = SkipSpaceAndComments(FText, Pos);
    String word = ReadName(p);
    if (FastUpperCase(word) == "AS") {
      p = SkipSpaceAndComments(FText, p);
      word = ReadName(p);
    }
    String upper = FastUpperCase(word);
    if (word.empty() || std::any_of(Stop.begin(), Stop.end(), [&](const char* s) { return upper == s; }))
      return name;
    return name + " " + word;
  };
  // The position after Keyword (scanned for at the top level), or 0.
  auto afterKeyword = [this](TWords Keyword) {
    ResetScan();
    int k = ScanKeywords(FStartPos, Keyword);
    return k == 0 ? 0 : SkipSpaceAndComments(FText, k + static_cast<int>(Keyword[0].size()));
  };
  // An INSERT names its table alone: what follows is a column list,
  // VALUES, SELECT or DEFAULT VALUES.
  auto insertTable = [this, &afterKeyword] {
    int p = afterKeyword(kInto);
    if (p == 0) return kUnknown;
    String name = ReadName(p);
    return name.empty() ? kUnknown : name;
  };
  switch (FKind) {
    case skUpdate: {
      int p = SkipSpaceAndComments(FText, FStartPos + 6);
      int q = p;
      // UPDATE OR INSERT INTO table
      if (FastUpperCase(ReadName(q)) == "OR" &&
          WordAt(FText, SkipSpaceAndComments(FText, q), "INSERT"))
        return insertTable();
      return nameAndAlias(p, {"SET"});
    }
    case skInsert:
      return insertTable();
    case skDelete: {
      int p = afterKeyword(kFrom);
      return p == 0 ? kUnknown : nameAndAlias(p, {"WHERE", "PLAN", "ORDER", "ROWS", "RETURNING"});
    }
    default:
      return kUnknown;
  }
}

void TSQLParser::ParseFromTables(TStrings* List) {
  List->Clear();
  TSQLClause from = GetFromPos();
  if (from.Start == 0) return;
  String text = StripSQLComments(Copy(from.Start + 4, from.End - from.Start - 3));
  // Runs of blanks outside quotes become one blank.
  String collapsed;
  collapsed.reserve(text.size());
  char quote = 0;
  for (char c : text) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (kBlanks.Contains(c)) {
      if (collapsed.empty() || collapsed.back() != ' ') collapsed += ' ';
      continue;
    }
    collapsed += c;
  }
  for (String& item : SplitTopLevel(RemoveBracketed(JoinsToCommaList(collapsed), true))) {
    DoTrim(item);
    if (!item.empty()) List->Add(item);
  }
}

TStrings* TSQLParser::GetTables() {
  if (!FTables) {
    FTables = std::make_unique<TStringList>();
    if (FKind == skSelect)
      ParseFromTables(FTables.get());
    else
      FTables->Add(GetModifyTable());
  }
  return FTables.get();
}

// ---------------------------------------------------------------------------
// Free routines on a temporary parser

String GetModifyTableName(const String& SQLText) { return TSQLParser(SQLText).GetModifyTable(); }

void GetTablesOfSQL(const String& SQLText, TStrings* List, bool KeepAliases) {
  TSQLParser p(SQLText);
  List->Assign(p.GetTables());
  if (!KeepAliases) StripAliases(List);
}

void GetFromTables(const String& SQLText, TStrings* List, bool KeepAliases) {
  TSQLParser(SQLText).ParseFromTables(List);
  if (!KeepAliases) StripAliases(List);
}

// ---------------------------------------------------------------------------
// WHERE clauses

int TSQLParser::FindWhere(int N) {
  ResetScan();
  FWanted = N > 0 ? N : 0;
  return Scan(FStartPos, [this](int Pos, bool AtEnd) {
    if (AtEnd || !IsKeywordAt(Pos, "WHERE")) return false;
    ++FCounter;
    return FWanted == 0 || FCounter == FWanted;
  });
}

int TSQLParser::WhereCount() {
  ResetScan();
  Scan(FStartPos, [this](int Pos, bool AtEnd) {
    if (!AtEnd && IsKeywordAt(Pos, "WHERE")) ++FCounter;
    return false;
  });
  return FCounter;
}

TSQLClause TSQLParser::GetWherePos(int N) {
  if (N < 0) return {};
  int w = FindWhere(N);
  if (w == 0) return {};
  int start = w + 5;
  while (start <= FLen && (IsLowByte(At(start)) || At(start) == ';')) ++start;
  int end = ScanClauseEnd(start, kWhereEnd, FDepth > 0);
  while (end >= start && (IsLowByte(At(end)) || At(end) == '-' || At(end) == ';')) --end;
  if (end < start) end = start - 1;
  return {w, end, Copy(start, end - start + 1)};
}

int TSQLParser::MainWhereIndex() {
  ResetScan();
  int found = Scan(FStartPos, [this](int Pos, bool AtEnd) {
    if (AtEnd || !IsKeywordAt(Pos, "WHERE")) return false;
    ++FCounter;
    return FDepth == 0;
  });
  return found != 0 ? FCounter : -1;
}

TSQLClause TSQLParser::GetMainWhere() {
  int n = MainWhereIndex();
  return n < 1 ? TSQLClause{} : GetWherePos(n);
}

String TSQLParser::SetWhere(int N, const String& Condition) {
  TSQLClause w = GetWherePos(N);
  if (w.Start == 0) return FText;
  String before = Copy(1, w.Start - 1), after = CopyFrom(w.End + 1);
  if (IsBlank(Condition)) return before + kCRLF + after;
  String r = before;
  if (!EndsWithLF(r)) r += kCRLF;
  r += "WHERE ";
  r += Condition;
  if (after.empty() || after[0] != '\r') r += kCRLF;
  r += after;
  return r;
}

String TSQLParser::SetMainWhere(const String& Condition) {
  int n = MainWhereIndex();
  return n < 1 ? AddWhereCondition(Condition, false) : SetWhere(n, Condition);
}

String TSQLParser::AddWhereCondition(const String& Condition, bool Indent) {
  if (IsBlank(Condition)) return FText;
  const String indent = Indent ? "\r\n    " : "";
  int n = MainWhereIndex();
  if (n < 1) {
    // Without a FROM clause (UPDATE ... SET ...) the condition goes at the end.
    TSQLClause from = GetFromPos();
    int end = from.Start != 0 ? from.End : FLen;
    return Copy(1, end) + kCRLF + " WHERE " + indent + Condition + kCRLF + CopyFrom(end + 1);
  }
  TSQLClause w = GetWherePos(n);
  String old = Copy(w.Start + 5, w.End - w.Start - 4);
  String r = Copy(1, w.Start + 4) + "( " + old;
  // A "--" comment at the end of either condition would swallow the bracket.
  if (EndsInLineComment(old)) r += kCRLF;
  r += indent + " ) and ( " + Condition;
  if (EndsInLineComment(Condition)) r += kCRLF;
  r += " )" + indent + CopyFrom(w.End + 1);
  return r;
}

// ---------------------------------------------------------------------------
// ORDER BY, GROUP BY, PLAN

int TSQLParser::TailPos() {
  ResetScan();
  int from = FStartPos;
  if (int f = ScanKeywords(FStartPos, kFrom); f != 0) from = f + 4;
  return ScanKeywords(from, kTail);
}

TSQLClause TSQLParser::GetByClause(std::span<const std::string_view> Keyword,
                                    std::span<const std::string_view> EndWords, bool TrimAtEnd) {
  ResetScan();
  int k = ScanKeywords(FStartPos, Keyword);
  if (k == 0) return {};
  int by = ScanKeywords(k + static_cast<int>(Keyword[0].size()), kBy);
  if (by == 0) return {};
  int start = by + 2, end = FLen;
  int e = ScanKeywords(start, EndWords);
  if (e != 0) end = e - 1;
  if (e != 0 || TrimAtEnd)
    while (end >= start && IsLowByte(At(end))) --end;
  return {k, end, Copy(start, end - start + 1)};
}

TSQLClause TSQLParser::GetOrderByPos() { return GetByClause(kOrder, kTail, false); }

String TSQLParser::SetOrderBy(const String& Order) {
  String order = FastTrim(Order);
  TSQLClause o = GetOrderByPos();
  if (o.Start != 0) {
    String r = Copy(1, o.Start - 1);
    if (!order.empty()) {
      if (!EndsWithLF(r)) r += kCRLF;
      r += "ORDER BY " + Order;
    }
    return r + CopyFrom(o.End + 1);
  }
  if (order.empty()) return FText;
  if (int tail = TailPos(); tail != 0)
    return FastTrim(Copy(1, tail - 1)) + kCRLF + "ORDER BY " + order + kCRLF + CopyFrom(tail);
  return FastTrim(FText) + kCRLF + "ORDER BY " + order;
}

void TSQLParser::GetOrderFields(TStrings* List) {
  static constexpr CharSet kWordDelims{'\t', '\n', '\r', ' '};
  List->Clear();
  TSQLClause o = GetOrderByPos();
  if (o.Start == 0) return;
  for (String item : SplitTopLevel(StripSQLComments(o.Text))) {
    DoTrim(item);
    // T . F -> T.F (the first full stop outside quotes and brackets)
    size_t dot = WalkOutsideQuotes(item, 0, [&item](size_t i, int depth) { return item[i] == '.' && depth == 0; });
    if (dot != String::npos) item = FastTrim(item.substr(0, dot)) + "." + FastTrim(item.substr(dot + 1));
    // Cut before the first direction, NULLS or COLLATE word outside quotes.
    size_t cut = WalkOutsideQuotes(item, 0, [&item](size_t i, int) {
      if (i == 0 || !kWordDelims.Contains(item[i - 1])) return false;
      for (std::string_view w : {"NULLS", "DESCENDING", "DESC", "ASCENDING", "ASC", "COLLATE"}) {
        size_t e = i + w.size();
        if (LettersAt(item, i, w) && (e == item.size() || kWordDelims.Contains(item[e]))) return true;
      }
      return false;
    });
    item = FastTrim(item.substr(0, cut));
    if (!item.empty()) List->Add(item);
  }
}

TSQLClause TSQLParser::GetGroupByPos() { return GetByClause(kGroup, kGroupEnd, true); }

String TSQLParser::SetGroupBy(const String& Group) {
  String group = FastTrim(Group);
  TSQLClause g = GetGroupByPos();
  if (g.Start == 0) {
    if (group.empty()) return FText;
    ResetScan();
    int k = ScanKeywords(FStartPos, kGroupEnd);
    if (k != 0) return FastTrim(Copy(1, k - 1)) + kCRLF + "GROUP BY " + group + kCRLF + CopyFrom(k);
    return FastTrim(FText) + kCRLF + "GROUP BY " + group;
  }
  String r = Copy(1, g.Start - 1);
  if (!group.empty()) {
    if (!EndsWithLF(r)) r += kCRLF;
    r += "GROUP BY " + group;
  }
  return r + CopyFrom(g.End + 1);
}

TSQLClause TSQLParser::GetPlanPos() {
  ResetScan();
  int plan = Scan(FStartPos, [this](int Pos, bool AtEnd) {
    if (AtEnd || !IsKeywordAt(Pos, "PLAN")) return false;
    ++FCounter;
    return FDepth == 0;
  });
  if (plan == 0) return {};
  int start = plan + 4;
  for (;;) {
    int next = SkipSpaceAndComments(FText, start);
    while (next <= FLen && (IsLowByte(At(next)) || At(next) == ';')) ++next;
    if (next == start) break;
    start = next;
  }
  int end = FLen;
  if (int e = ScanKeywords(start, kPlanEnd); e != 0) end = e - 1;
  while (end >= start && IsLowByte(At(end))) --end;
  return {plan, end, Copy(start, end - start + 1)};
}

String TSQLParser::SetPlan(const String& Plan) {
  TSQLClause p = GetPlanPos();
  if (p.Start != 0) {
    if (IsBlank(Plan)) return Copy(1, p.Start - 1) + CopyFrom(p.End + 1);
    int textStart = p.End - static_cast<int>(p.Text.size()) + 1;
    return Copy(1, textStart - 1) + Plan + CopyFrom(p.End + 1);
  }
  if (IsBlank(Plan)) return FText;
  int at = GetOrderByPos().Start;
  if (at == 0) at = TailPos();
  String r = at != 0 ? Copy(1, at - 1) : FText;
  if (!EndsWithLF(r)) r += kCRLF;
  r += "PLAN " + Plan;
  if (at != 0) r += kCRLF + CopyFrom(at);
  return r;
}

// ---------------------------------------------------------------------------
// Select list and count statement

String TSQLParser::SetSelectFields(const String& Fields) {
  if (FKind != skSelect || !WordAt(FText, FStartPos, "SELECT")) return FText;
  TSQLClause from = GetFromPos();
  if (from.Start == 0) return FText;
  return Copy(1, FStartPos + 5) + kCRLF + Fields + kCRLF + CopyFrom(from.Start);
}

String TSQLParser::CountSQL() {
  if (FKind != skSelect) return String();
  TSQLClause from = GetFromPos();
  if (from.Start == 0) return String();
  String r = "Select Count(*) " + from.Text;
  TSQLClause where = GetMainWhere();
  if (!where.Text.empty()) r += kCRLF + String(" WHERE ") + where.Text;
  return r;
}

// ---------------------------------------------------------------------------
// Free routines on a temporary parser

int MainWhereIndexOf(const String& SQLText) { return TSQLParser(SQLText).MainWhereIndex(); }
int WhereClausesCount(const String& SQLText) { return TSQLParser(SQLText).WhereCount(); }
TSQLClause GetWherePos(const String& SQLText, int N) { return TSQLParser(SQLText).GetWherePos(N); }

String GetWhereClause(const String& SQLText) { return TSQLParser(SQLText).GetMainWhere().Text; }

String GetWhereClause(const String& SQLText, int& StartPos, int& EndPos) {
  TSQLClause w = TSQLParser(SQLText).GetMainWhere();
  StartPos = w.Start;
  EndPos = w.End;
  return w.Text;
}

String AddToWhere(const String& SQLText, const String& Condition, bool Indent) {
  return TSQLParser(SQLText).AddWhereCondition(Condition, Indent);
}

TSQLClause GetOrderByPos(const String& SQLText) { return TSQLParser(SQLText).GetOrderByPos(); }

String SetOrderByText(const String& SQLText, const String& Order) {
  TSQLParser p(SQLText);
  TSQLClause o = p.GetOrderByPos();
  if (o.Start == 0) {
    if (IsBlank(Order)) return SQLText;
    int tail = p.TailPos();
    if (tail == 0) return SQLText + " ORDER BY " + Order;
    String before = FastCopy(SQLText, 1, tail - 1);
    DoTrimRight(before);
    return before + " ORDER BY " + Order + " " + FastCopy(SQLText, tail, static_cast<int>(SQLText.size()));
  }
  String after = FastCopy(SQLText, o.End + 1, static_cast<int>(SQLText.size()));
  if (IsBlank(Order)) return FastCopy(SQLText, 1, o.Start - 1) + " " + after;
  // Replace the old ORDER BY text, in place.
  int textStart = o.End - static_cast<int>(o.Text.size()) + 1;
  return FastCopy(SQLText, 1, textStart - 1) + " " + Order + " " + after;
}

void GetOrderFields(const String& SQLText, TStrings* List) { TSQLParser(SQLText).GetOrderFields(List); }
String MakeCountSQL(const String& SQLText) { return TSQLParser(SQLText).CountSQL(); }

// ---------------------------------------------------------------------------
// Joins and aliases

namespace {

constexpr CharSet kJoinDelims{'\0', '\t', '\n', '\r', ' ', '(', ')', ','};

// Positions (0-based) of the whole word Word (upper case) outside quotes.
std::vector<size_t> WholeWordPositions(const String& S, std::string_view Word) {
  std::vector<size_t> found;
  WalkOutsideQuotes(S, 0, [&](size_t i, int) {
    if ((i == 0 || kJoinDelims.Contains(S[i - 1])) && LettersAt(S, i, Word) &&
        (i + Word.size() == S.size() || kJoinDelims.Contains(S[i + Word.size()])))
      found.push_back(i);
    return false;
  });
  return found;
}

}  // namespace

String JoinsToCommaList(const String& FromText) {
  std::vector<size_t> joins = WholeWordPositions(FromText, "JOIN");
  if (joins.empty()) return FromText;
  String s = FromText;
  size_t j = joins.front();
  s.replace(j, j + 4 < s.size() && s[j + 4] == ' ' ? 5 : 4, ", ");
  for (const char* w : {" LEFT ", " RIGHT ", " FULL ", " INNER ", " OUTER ", " CROSS ", " NATURAL "})
    s = ReplaceStrCase(s, w, " ", true);
  s = ReplaceStrCase(s, " JOIN ", " , ", true);
  // Drop each join condition (ON ... or USING (...)) up to the next item.
  std::vector<size_t> cuts = WholeWordPositions(s, "ON");
  std::vector<size_t> usings = WholeWordPositions(s, "USING");
  cuts.insert(cuts.end(), usings.begin(), usings.end());
  std::sort(cuts.begin(), cuts.end());
  for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
    String before = s.substr(0, *it);
    DoTrimRight(before);
    size_t comma = TopLevelComma(s, *it);
    s = comma == String::npos ? before : before + " " + s.substr(comma);
  }
  return s;
}

String RemoveBracketed(const String& Text, bool KeepItems) {
  String s = Text;
  for (;;) {
    // First "(" outside quotes and its matching ")".
    size_t open = String::npos;
    size_t close = WalkOutsideQuotes(s, 0, [&](size_t i, int depth) {
      if (s[i] == '(' && depth == 1 && open == String::npos) open = i;
      return s[i] == ')' && depth == 0 && open != String::npos;
    });
    if (open == String::npos) return s;
    if (close == String::npos) close = s.size() - 1;
    if (KeepItems) {
      s.erase(open, close - open + 1);
      continue;
    }
    // The whole comma-separated item holding the brackets.
    size_t before = String::npos;
    WalkOutsideQuotes(s, 0, [&](size_t i, int) {
      if (i >= open) return true;
      if (s[i] == ',') before = i;
      return false;
    });
    size_t after = TopLevelComma(s, close + 1);
    if (before != String::npos)
      s.erase(before, (after == String::npos ? s.size() : after) - before);
    else
      s.erase(0, after == String::npos ? s.size() : after + 1);
  }
}

namespace {

// First blank outside quotes after the item's leading blanks (0 when none),
// and the last position of the blanks and comments that follow it.
void AliasDelimiter(const String& Item, int& First, int& Last) {
  const int n = static_cast<int>(Item.size());
  First = Last = 0;
  size_t lead = 0;
  while (lead < Item.size() && kSpaces.Contains(Item[lead])) ++lead;
  size_t blank = WalkOutsideQuotes(Item, lead, [&Item](size_t i, int) { return kSpaces.Contains(Item[i]); });
  if (blank == String::npos) return;
  const int i = static_cast<int>(blank) + 1;
  int next = SkipSpaceAndComments(Item, i);
  if (next > n) return;  // nothing follows: no alias
  First = i;
  Last = next - 1;
}

String RemoveDoubleQuotes(const String& S) {
  if (S.size() >= 2 && S.front() == '"' && S.back() == '"') return S.substr(1, S.size() - 2);
  return S;
}

}  // namespace

int PosAliasDelimiter(const String& Item) {
  int first, last;
  AliasDelimiter(Item, first, last);
  return last;
}

String CutAlias(const String& Item) {
  int first, last;
  AliasDelimiter(Item, first, last);
  return first == 0 ? FastTrim(Item) : FastTrim(FastCopy(Item, 1, first - 1));
}

String ExtractAlias(const String& Item) {
  int first, last;
  AliasDelimiter(Item, first, last);
  if (first == 0) return String();
  String alias = FastTrim(Item.substr(static_cast<size_t>(last)));
  if (alias.size() > 2 && LettersAt(alias, 0, "AS") && kSpaces.Contains(alias[2]))
    alias = FastTrim(alias.substr(3));
  return alias;
}

void StripAliases(TStrings* List) {
  for (int i = 0; i < List->Count(); ++i) List->SetStrings(i, CutAlias(List->Strings(i)));
}

String AliasForTable(const String& SelectText, const String& TableName) {
  TSQLParser p(SelectText);
  TStrings* tables = p.GetTables();
  for (int i = 0; i < tables->Count(); ++i) {
    const String item = tables->Strings(i), name = CutAlias(item);
    if (!EquelNames(name, TableName)) continue;
    String alias = ExtractAlias(item);
    return alias.empty() ? name : alias;
  }
  return String();
}

String TableByAlias(const String& SelectText, const String& Alias) {
  TSQLParser p(SelectText);
  TStrings* tables = p.GetTables();
  for (int i = 0; i < tables->Count(); ++i) {
    const String item = tables->Strings(i), name = CutAlias(item), alias = ExtractAlias(item);
    if (EquelNames(alias.empty() ? name : alias, Alias)) return name;
  }
  return String();
}

String TableByQualifiedField(const String& SelectText, const String& QualifiedField) {
  const String& f = QualifiedField;
  size_t dot = WalkOutsideQuotes(f, 0, [&f](size_t i, int) { return f[i] == '.'; });
  if (dot == String::npos) return f;
  String table = TableByAlias(SelectText, FastTrim(f.substr(0, dot)));
  return RemoveDoubleQuotes(table) + "." + RemoveDoubleQuotes(FastTrim(f.substr(dot + 1)));
}

String FieldNameForParam(const String& SelectText, const String& ParamName) {
  static constexpr CharSet kDelims{'\t', '\n', '\r', ' ', '!', '(', ')', '*', '+',
                                   ',',  '-',  '/',  ';', '<', '=', '>'};
  // Bytes that cannot continue a parameter name.
  static constexpr CharSet kNameEnd = CharSet::Range(0, 0x7F) - CharSet::Range('0', '9') -
                                      CharSet::Range('A', 'Z') - CharSet::Range('a', 'z') -
                                      CharSet{'_', '$', '#'};
  if (ParamName.empty()) return String();
  TSQLParser p(SelectText);
  int count = p.WhereCount();
  for (int n = 1; n <= count; ++n) {
    String text = p.GetWherePos(n).Text;
    for (char marker : {':', '?'}) {
      int pos = PosWholeWord(marker + ParamName, text, kNameEnd, true, kNameEnd);
      if (pos == 0) continue;
      int i = pos - 1;
      while (i >= 1 && kDelims.Contains(text[i - 1])) --i;
      int end = i;
      while (i >= 1 && !kDelims.Contains(text[i - 1])) {
        if (text[i - 1] == '"') {  // a quoted name, blanks and all
          size_t q = i >= 2 ? text.rfind('"', static_cast<size_t>(i - 2)) : String::npos;
          i = q == String::npos ? 0 : static_cast<int>(q);
        } else {
          --i;
        }
      }
      return FastCopy(text, i + 1, end - i);
    }
  }
  return String();
}

String ReverseOrderBy(const String& OrderText) {
  const String& s = OrderText;
  const size_t n = s.size();
  size_t i = 0;
  auto skip = [&] { i = static_cast<size_t>(SkipSpaceAndComments(s, static_cast<int>(i) + 1) - 1); };
  auto commentAt = [&](size_t k) {
    return k + 1 < n && ((s[k] == '-' && s[k + 1] == '-') || (s[k] == '/' && s[k + 1] == '*'));
  };
  // A name or word: quoted runs whole, bracketed parts whole.
  auto readWord = [&] {
    String w;
    int depth = 0;
    while (i < n) {
      char c = s[i];
      if (c == '"' || c == '\'') {
        size_t e = QuotedRunEnd(s, i);
        w.append(s, i, e - i);
        i = e;
        continue;
      }
      if (depth == 0 && (IsLowByte(c) || c == ',' || commentAt(i))) break;
      if (c == '(') ++depth;
      if (c == ')' && depth > 0) --depth;
      w += c;
      ++i;
    }
    return w;
  };
  String r;
  bool any = false, lastAsc = false, lastNulls = false;
  for (;;) {
    skip();
    if (i >= n) break;
    if (s[i] == ',') {  // empty item
      ++i;
      continue;
    }
    String name = readWord(), collate, nulls;
    bool asc = true;
    for (;;) {
      skip();
      if (i >= n || s[i] == ',') break;
      String word = readWord(), upper = FastUpperCase(word);
      if (word.empty()) {
        ++i;
      } else if (upper == "COLLATE") {
        skip();
        collate = " " + word + " " + readWord();
      } else if (upper == "ASC" || upper == "ASCENDING") {
        asc = true;
      } else if (upper == "DESC" || upper == "DESCENDING") {
        asc = false;
      } else if (upper == "NULLS") {
        skip();
        String which = FastUpperCase(readWord());
        if (which == "FIRST") nulls = " NULLS LAST";
        else if (which == "LAST") nulls = " NULLS FIRST";
      }
    }
    if (any) r += lastAsc && !lastNulls ? " desc," : ",";
    r += name + collate;
    if (!nulls.empty()) r += (asc ? " desc " : "") + nulls;
    any = true;
    lastAsc = asc;
    lastNulls = !nulls.empty();
    if (i < n) ++i;  // the comma
  }
  if (any && lastAsc && !lastNulls) r += " desc";
  return r;
}
