// The parameter scanner and the text sent to the server.
#include <string_view>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"

namespace {

constexpr std::string_view kWhereEnd[] = {"FOR", "GROUP", "HAVING", "ORDER", "PLAN",     "START",
                                          "UNION", "ROWS", "OFFSET", "FETCH", "WITH LOCK"};

inline bool IsAsciiLetter(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }
inline bool IsParamNameChar(char C) {
  return IsAsciiLetter(C) || (C >= '0' && C <= '9') || C == '_' || C == '#' || C == '$' || C == '%' || C == '.';
}
inline bool IsLineBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }
// Ends a one-character literal name.
inline bool EndsLiteral(char C) { return IsLineBlank(C) || C == '\0'; }
// May follow the word AS that opens an EXECUTE BLOCK's body.
inline bool AfterAs(char C) {
  return C == '\0' || IsLineBlank(C) || C == '"' || C == '(' || C == '-' || C == '/' || C == ';';
}

constexpr size_t kMaxLiteralName = 255;

[[noreturn]] void ParseError(const String& StatementName, const char* Detail) {
  RaiseClientError(fceSQLParseError, {StatementName, Detail});
}

// The lexical walk over a text. Visit(i) is called for each byte in plain
// text and returns the index to continue from; quoted runs and comments are
// copied over unless Out is null.
class TMarkerScanner {
 public:
  TMarkerScanner(const String& Text, TSQLKind Kind, char LiteralChar, const String& StatementName)
      : s_(Text), n_(Text.size()), kind_(Kind), literal_(LiteralChar), name_(StatementName) {}

  // Markers ":" and "?" count here (not in DDL, not in an EXECUTE BLOCK's body).
  bool MarkersAllowed() const { return kind_ != skDDL && !(kind_ == skExecuteBlock && passed_as_); }
  bool TracksWhere() const { return kind_ != skExecuteProc && kind_ != skExecuteBlock; }
  bool InWhere() const { return in_where_; }

  // Skips a quoted run or comment starting at i (returns the index after it),
  // or returns i when none starts there.
  size_t SkipNonPlain(size_t i) const {
    const char c = s_[i];
    if (c == '\'' || c == '"') {
      size_t e = s_.find(c, i + 1);
      if (e == String::npos) ParseError(name_, "EOF in string detected");
      return e + 1;
    }
    if (c == '/' && i + 1 < n_ && s_[i + 1] == '*') {
      size_t e = s_.find("*/", i + 2);
      if (e == String::npos) ParseError(name_, "EOF in comment detected");
      return e + 2;
    }
    if (c == '-' && i + 1 < n_ && s_[i + 1] == '-') {
      size_t e = i + 2;
      while (e < n_ && s_[e] != '\0' && s_[e] != '\n' && s_[e] != '\r') ++e;
      return e;
    }
    return i;
  }

  // Plain-text bookkeeping of the byte at i: the EXECUTE BLOCK's AS and the
  // WHERE clause with its bracket depth.
  void Track(size_t i) {
    const char c = s_[i];
    const int pos = static_cast<int>(i) + 1;
    if (kind_ == skExecuteBlock && !passed_as_ && (c == 'A' || c == 'a') && i + 1 < n_ &&
        (s_[i + 1] == 'S' || s_[i + 1] == 's') && (i + 2 >= n_ || AfterAs(s_[i + 2])) &&
        (i == 0 || !IsParamNameChar(s_[i - 1])))
      passed_as_ = true;
    if (!TracksWhere()) return;
    if (!in_where_) {
      if ((c == 'W' || c == 'w') && IsSQLKeywordAt(s_, pos, "WHERE")) {
        in_where_ = true;
        depth_ = 0;
      }
      return;
    }
    if (c == '(') {
      ++depth_;
    } else if (c == ')') {
      if (--depth_ < 0) in_where_ = false;
    } else if (IsAsciiLetter(c)) {
      for (std::string_view w : kWhereEnd)
        if ((c & ~0x20) == w[0] && IsSQLKeywordAt(s_, pos, w)) {
          in_where_ = false;
          break;
        }
    }
  }

  bool IsMarkerStart(size_t i) const {
    const char c = s_[i];
    return ((c == ':' || c == '?') && MarkersAllowed()) || (literal_ != '\0' && c == literal_);
  }

  // Reads the marker at i into M; returns the index after it, or npos when
  // the name is missing.
  size_t ReadMarker(size_t i, TSQLParamMarker& M, int& Positional) const {
    const char c = s_[i];
    M.StartPos = static_cast<int>(i) + 1;
    if (literal_ != '\0' && c == literal_) return ReadLiteral(i, M);
    size_t j = i + 1;
    if (j < n_ && s_[j] == '"') {
      // A quoted name; a doubled quote stands for one quote of the name.
      size_t close = s_.find('"', j + 1);
      while (close != String::npos && close + 1 < n_ && s_[close + 1] == '"') close = s_.find('"', close + 2);
      if (close == String::npos) ParseError(name_, "EOF in string detected");
      if (close == j + 1) return String::npos;
      M.Name = UnquoteIdentifier(s_.substr(j, close - j + 1));
      M.Quoted = true;
      j = close + 1;
    } else {
      while (j < n_ && IsParamNameChar(s_[j])) ++j;
      if (j == i + 1) {
        if (c != '?') return String::npos;
        M.Name = "?" + std::to_string(++Positional);
      } else {
        M.Name = s_.substr(i + 1, j - i - 1);
      }
    }
    M.EndPos = static_cast<int>(j);
    M.StandsAlone = StandsAlone(j);
    return j;
  }

 private:
  size_t ReadLiteral(size_t i, TSQLParamMarker& M) const {
    size_t first = i + 1;
    size_t end;   // index after the marker
    size_t stop;  // index after the collected name
    if (first < n_ && s_[first] == literal_) {
      ++first;
      size_t close = s_.find(literal_, first);
      if (close == String::npos) ParseError(name_, "EOF in string detected");
      stop = close;
      end = close + 1;
    } else {
      stop = first;
      while (stop < n_ && !EndsLiteral(s_[stop])) ++stop;
      end = stop;
    }
    String collected = s_.substr(first, stop - first);
    size_t percent = collected.find('%');
    String name = collected.substr(0, percent);
    if (name.empty()) return String::npos;
    M.Name = name.substr(0, kMaxLiteralName);
    M.Literal = true;
    if (percent != String::npos) {
      M.DefaultText = collected.substr(percent + 1);
      if (!M.DefaultText.empty() && M.DefaultText[0] == '#') {
        M.QuotedLiteral = true;
        M.DefaultText.erase(0, 1);
      }
    }
    M.EndPos = static_cast<int>(end);
    M.StandsAlone = StandsAlone(end);
    return end;
  }

  bool StandsAlone(size_t j) const {
    while (j < n_ && IsLineBlank(s_[j])) ++j;
    if (j >= n_) return true;
    const char c = s_[j];
    const char next = j + 1 < n_ ? s_[j + 1] : '\0';
    if (c == '*' || c == '+' || c == '|') return false;
    if (c == '-') return next == '-';
    if (c == '/') return next == '*';
    return true;
  }

  const String& s_;
  const size_t n_;
  const TSQLKind kind_;
  const char literal_;
  const String& name_;
  bool passed_as_ = false;
  bool in_where_ = false;
  int depth_ = 0;
};

bool IsWellFormedQuoted(const String& V) {
  if (V.size() < 2 || V.front() != '\'' || V.back() != '\'') return false;
  for (size_t i = 1; i + 1 < V.size(); ++i) {
    if (V[i] != '\'') continue;
    if (i + 2 >= V.size() || V[i + 1] != '\'') return false;
    ++i;
  }
  return true;
}

// Skipped backwards between a comparison operator and its NULL parameter.
inline bool SkippedBeforeMarker(char C) {
  return C == '\0' || IsLineBlank(C) || C == '"' || C == '(' || C == '-' || C == '/' || C == ';';
}

// Replaces the comparison before the marker at 0-based [Start, End) when
// there is one; false when none fits.
bool RewriteNullComparison(String& Text, size_t Start, size_t End) {
  size_t k = Start;
  int brackets = 0;
  while (k > 0 && SkippedBeforeMarker(Text[k - 1])) {
    if (Text[k - 1] == '(') ++brackets;
    --k;
  }
  if (k == 0) return false;
  const char op = Text[k - 1];
  const char before = k >= 2 ? Text[k - 2] : '\0';
  size_t from;
  bool negated;
  if (op == '=') {
    if (before == '<' || before == '>') return false;
    negated = before == '!' || before == '^' || before == '~';
    from = negated ? k - 2 : k - 1;
  } else if (op == '>' && before == '<') {
    negated = true;
    from = k - 2;
  } else {
    return false;
  }
  // Brackets opened between the operator and the marker are closed after it.
  size_t to = End;
  for (; brackets > 0; --brackets) {
    while (to < Text.size() && IsLineBlank(Text[to])) ++to;
    if (to >= Text.size() || Text[to] != ')') return false;
    ++to;
  }
  Text.replace(from, to - from, negated ? " IS NOT NULL " : " IS NULL ");
  return true;
}

}  // namespace

void ScanSQLParams(const String& Text, TSQLKind Kind, char LiteralChar, bool ServerMode, bool Loading,
                   const String& StatementName, TSQLParamScan& Result) {
  Result.Markers.clear();
  Result.Text.clear();
  Result.Text.reserve(Text.size());
  Result.Complete = true;
  TMarkerScanner scan(Text, Kind, LiteralChar, StatementName);
  int positional = 0;
  const size_t n = Text.size();
  size_t i = 0;
  while (i < n) {
    size_t next = scan.SkipNonPlain(i);
    if (next != i) {
      Result.Text.append(Text, i, next - i);
      i = next;
      continue;
    }
    if (!scan.IsMarkerStart(i)) {
      scan.Track(i);
      Result.Text += Text[i++];
      continue;
    }
    TSQLParamMarker m;
    m.InWhereClause = scan.InWhere();
    next = scan.ReadMarker(i, m, positional);
    if (next == String::npos) {
      if (Loading) {
        Result.Complete = false;
        Result.Text.append(Text, i, String::npos);
        return;
      }
      ParseError(StatementName, "Parameter name expected");
    }
    if (m.Literal && ServerMode) {
      Result.Text.append(Text, i, next - i);
    } else {
      Result.Text += m.Quoted ? "? " : "?";
      Result.Markers.push_back(std::move(m));
    }
    i = next;
  }
}

bool HasParamMarkers(const String& Text, TSQLKind Kind, char LiteralChar) {
  const String noName;
  TMarkerScanner scan(Text, Kind, LiteralChar, noName);
  const size_t n = Text.size();
  size_t i = 0;
  while (i < n) {
    size_t next;
    try {
      next = scan.SkipNonPlain(i);
    } catch (const EFIBClientError&) {
      return false;  // an unclosed run: nothing after it counts
    }
    if (next != i) {
      i = next;
      continue;
    }
    if (i > 0 && scan.IsMarkerStart(i)) return true;
    scan.Track(i++);
  }
  return false;
}

String QuoteLiteralValue(const String& Value) {
  if (Value.empty()) return "''";
  if (Value[0] == '\'' && IsWellFormedQuoted(Value)) return Value;
  String result = "'";
  result.reserve(Value.size() + 2);
  for (size_t i = Value[0] == '#' ? 1 : 0; i < Value.size(); ++i) {
    if (Value[i] == '\'') result += '\'';
    result += Value[i];
  }
  result += '\'';
  return result;
}

String BuildExecSQLText(const String& Text, std::span<TSQLTextParam> Params) {
  String result = Text;
  std::ptrdiff_t delta = 0;  // length difference so far
  for (TSQLTextParam& p : Params) {
    p.Written = false;
    const auto start = static_cast<size_t>(p.StartPos - 1 + delta);
    const auto end = static_cast<size_t>(p.EndPos + delta);  // one past the marker
    if (p.StartPos < 1 || p.EndPos < p.StartPos || end > result.size()) continue;
    const size_t before = result.size();
    if (p.Literal) {
      result.replace(start, end - start, p.QuotedLiteral ? QuoteLiteralValue(p.Value) : p.Value);
      p.Written = true;
    } else if (p.NullComparison) {
      p.Written = RewriteNullComparison(result, start, end);
    }
    delta += static_cast<std::ptrdiff_t>(result.size()) - static_cast<std::ptrdiff_t>(before);
  }
  return result;
}
