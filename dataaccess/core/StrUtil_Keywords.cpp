// The SQL keyword list, its two-letter index and the identifier-quoting tests.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "dataaccess/core/StrUtil.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kFunctionNames[] = {"AVG", "CAST",  "COUNT", "GEN_ID", "MAX",
                                          "MIN", "SUM",   "UPPER", "IIF",    "SUBSTRING"};

constexpr const char* kReservedWords[] = {
    "ACTIVE", "ADD", "AFTER", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "ASCENDING", "AT", "AUTO",
    "AUTODDL", "BASED", "BASENAME", "BASE_NAME", "BEFORE", "BEGIN", "BETWEEN", "BLOBEDIT",
    "BUFFER", "BY", "CASE", "CACHE", "CHARACTER_LENGTH", "CHAR_LENGTH", "CHECK",
    "CHECK_POINT_LEN", "CHECK_POINT_LENGTH", "COLLATE", "COLLATION", "COLUMN", "COMMIT",
    "COMMITED", "COMPILETIME", "COMPUTED", "CROSS", "CLOSE", "CONDITIONAL", "CONNECT",
    "CONSTRAINT", "CONTAINING", "CONTINUE", "CREATE", "CURRENT", "CURRENT_DATE", "CURRENT_TIME",
    "CURRENT_TIMESTAMP", "CURSOR", "DATABASE", "DAY", "DB_KEY", "DEBUG", "DEC", "DECLARE",
    "DEFAULT", "DELETE", "DESC", "DESCENDING", "DESCRIBE", "DESCRIPTOR", "DISCONNECT", "DISTINCT",
    "DO", "DOMAIN", "DROP", "ECHO", "EDIT", "ELSE", "END", "ENTRY_POINT", "ESCAPE", "EVENT",
    "EXCEPTION", "EXECUTE", "EXISTS", "EXIT", "EXTERN", "EXTERNAL", "EXTRACT", "FALSE", "FETCH",
    "FILE", "FILTER", "FOR", "FOREIGN", "FOUND", "FROM", "FULL", "FUNCTION", "GDSCODE",
    "GENERATOR", "GLOBAL", "GOTO", "GRANT", "GROUP", "GROUP_COMMIT_WAIT",
    "GROUP_COMMIT_WAIT_TIME", "HAVING", "HELP", "HOUR", "IF", "IMMEDIATE", "IN", "INACTIVE",
    "INDEX", "INDICATOR", "INIT", "INNER", "INPUT", "INPUT_TYPE", "INSERT", "INT", "INTO", "IS",
    "ISOLATION", "ISQL", "JOIN", "KEY", "LC_MESSAGES", "LC_TYPE", "LEFT", "LENGTH", "LEV", "LEVEL",
    "LIKE", "LOGFILE", "LOG_BUFFER_SIZE", "LOG_BUF_SIZE", "LONG", "MANUAL", "MAXIMUM",
    "MAXIMUM_SEGMENT", "MAX_SEGMENT", "MERGE", "MESSAGE", "MINIMUM", "MINUTE", "MODULE_NAME",
    "MONTH", "NAMES", "NATIONAL", "NATURAL", "NCHAR", "NO", "NOAUTO", "NOT", "NULL",
    "NUM_LOG_BUFFS", "NUM_LOG_BUFFERS", "OCTET_LENGTH", "OF", "ON", "ONLY", "OPEN", "OPTION", "OR",
    "ORDER", "OUTER", "OUTPUT", "OUTPUT_TYPE", "OVERFLOW", "PAGE", "PAGELENGTH", "PAGES",
    "PAGE_SIZE", "PARAMETER", "PASSWORD", "PLAN", "POSITION", "POST_EVENT", "PRECISION",
    "PREPARE", "PROCEDURE", "PROTECTED", "PRIMARY", "PRIVILEGES", "PUBLIC", "QUIT",
    "RAW_PARTITIONS", "READ", "REAL", "RECORD_VERSION", "REFERENCES", "RELEASE", "RESERV",
    "RESERVING", "RETAIN", "RETURN", "RETURNING_VALUES", "RETURNS", "REVOKE", "RIGHT", "ROLLBACK",
    "ROWS", "RUNTIME", "SAVEPOINT", "SCHEMA", "SECOND", "SEGMENT", "SELECT", "SEQUENCE", "SET",
    "SHADOW", "SHARED", "SHELL", "SHOW", "SINGULAR", "SIZE", "SNAPSHOT", "SOME", "SORT", "SQL",
    "SQLCODE", "SQLERROR", "SQLWARNING", "STABILITY", "STARTING", "STARTS", "STATEMENT", "STATIC",
    "STATISTICS", "SUB_TYPE", "SUSPEND", "TABLE", "TERMINATOR", "THEN", "TO", "TRANSACTION",
    "TRANSLATE", "TRANSLATION", "TRIGGER", "TRIM", "TRUE", "TYPE", "UNCOMMITTED", "UNION",
    "UNIQUE", "UNKNOWN", "UPDATE", "USER", "USING", "VALUE", "VALUES", "VARIABLE", "VARYING",
    "VERSION", "VIEW", "WAIT", "WEEKDAY", "WHEN", "WHENEVER", "WHERE", "WHILE", "WITH", "WORK",
    "WRITE", "YEAR", "YEARDAY", "FIRST", "SKIP", "RECREATE", "CURRENT_USER", "CURRENT_ROLE",
    "PLANONLY", "LIMIT", "SECONDS", "ROWS", "PERCENT", "TIES", "NEW", "OLD", "CURRENT_CONNECTION",
    "CURRENT_TRANSACTION", "INSERTING", "UPDATING", "DELETING", "ROW_COUNT", "FREE_IT"};

constexpr const char* kTypeNames[] = {"BLOB",     "CHAR",      "CHARACTER", "DATE",    "DECIMAL",
                                      "DOUBLE",   "FLOAT",     "INTEGER",   "NUMERIC", "SMALLINT",
                                      "TIME",     "TIMESTAMP", "VARCHAR",   "INT64",   "BIGINT",
                                      "BOOLEAN",  "CSTRING"};

static_assert(std::size(kFunctionNames) == 10);
static_assert(std::size(kReservedWords) == 279);
static_assert(std::size(kTypeNames) == 17);

// Words the Firebird 3 server rejects as unquoted identifiers beyond the
// tables above; sorted, upper case. The pseudo-columns RDB$DB_KEY and
// RDB$RECORD_VERSION, reserved too, are left out: they are only ever
// written unquoted (quoted, they would name a column that does not exist).
constexpr std::string_view kServerReservedWords[] = {
    "ADMIN", "BIT_LENGTH", "BOTH", "CORR", "COVAR_POP", "COVAR_SAMP", "DETERMINISTIC",
    "INSENSITIVE", "LEADING", "LOWER", "OFFSET", "OVER",
    "RECURSIVE", "REGR_AVGX", "REGR_AVGY", "REGR_COUNT", "REGR_INTERCEPT", "REGR_R2",
    "REGR_SLOPE", "REGR_SXX", "REGR_SXY", "REGR_SYY", "ROW", "SCROLL", "SENSITIVE", "SIMILAR",
    "SQLSTATE", "START", "STDDEV_POP", "STDDEV_SAMP", "TRAILING", "VAR_POP", "VAR_SAMP"};

}  // namespace

TStringList* SQLKeywordList = nullptr;

namespace {

// First and last list positions of the words beginning with each pair of
// letters A..Z; pairs that begin no word keep 0 in both.
struct TKeywordRange {
  uint16_t First;
  uint16_t Last;
};
TKeywordRange gIndex[26][26];

inline char UpAscii(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C; }
inline bool IsUpperLetter(char C) { return C >= 'A' && C <= 'Z'; }

// Ordinal comparison; ASCII letters folded to upper case unless CaseSensitive.
int CompareOrdinal(const String& S1, const String& S2, bool CaseSensitive) {
  size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char a = static_cast<unsigned char>(CaseSensitive ? S1[i] : UpAscii(S1[i]));
    unsigned char b = static_cast<unsigned char>(CaseSensitive ? S2[i] : UpAscii(S2[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return S1.size() < S2.size() ? -1 : S1.size() > S2.size() ? 1 : 0;
}

void BuildKeywordList() {
  auto* list = new TStringList();
  for (const char* w : kFunctionNames) list->Add(w);
  for (const char* w : kReservedWords) list->Add(w);
  for (const char* w : kTypeNames) list->Add(w);
  list->CustomSort(CompareKeywordItems);

  std::memset(gIndex, 0, sizeof gIndex);
  char c1 = 'A', c2 = 'A';
  gIndex[0][0].First = 0;
  const int count = list->Count();
  for (int i = 0; i < count; ++i) {
    const String w = list->Strings(i);
    if (w[0] == c1 && w[1] == c2) continue;
    gIndex[c1 - 'A'][c2 - 'A'].Last = static_cast<uint16_t>(i - 1);
    c1 = w[0];
    c2 = w[1];
    gIndex[c1 - 'A'][c2 - 'A'].First = static_cast<uint16_t>(i);
  }
  gIndex[c1 - 'A'][c2 - 'A'].Last = static_cast<uint16_t>(count - 1);
  SQLKeywordList = list;
}

void FreeKeywordList() { FreeAndNil(SQLKeywordList); }

bool IsServerReservedWord(const String& Name) {
  auto it = std::lower_bound(std::begin(kServerReservedWords), std::end(kServerReservedWords), Name,
                             [](std::string_view w, const String& n) { return CompareOrdinal(String(w), n, false) < 0; });
  return it != std::end(kServerReservedWords) && CompareOrdinal(String(*it), Name, false) == 0;
}

// Steps 1-7 of the quoting test; LowerOk accepts a..z as they stand.
bool NeedQuoteImpl(const String& Name, bool LowerOk) {
  if (Name.empty() || Name[0] == '"') return false;
  for (size_t i = 0; i < Name.size(); ++i) {
    char c = Name[i];
    bool ok = IsUpperLetter(c) || (c >= '0' && c <= '9') || (LowerOk && c >= 'a' && c <= 'z') ||
              (i > 0 && (c == '#' || c == '$' || c == '%' || c == '_'));
    if (!ok) return true;
  }
  if (Name[0] >= '0' && Name[0] <= '9') return true;
  if (Name.size() == 1) return false;
  const char c1 = UpAscii(Name[0]), c2 = UpAscii(Name[1]);
  if (!IsUpperLetter(c2)) return false;  // a digit or "#$%_" second: no word has such a pair
  if (SQLKeywordList == nullptr) throw EInvalidOperation("SQL keyword list is not initialised");
  const TKeywordRange& range = gIndex[c1 - 'A'][c2 - 'A'];
  int position;
  return FindInRange(SQLKeywordList, Name, range.First, position, false, range.Last) ||
         IsServerReservedWord(Name);
}

constexpr const TUnit* kUses[] = {&unit_SysUtils};

}  // namespace

constinit const TUnit unit_StrUtil("StrUtil", kUses, BuildKeywordList, FreeKeywordList);

int CompareKeywordItems(TStringList* List, int Index1, int Index2) {
  return CompareOrdinal(List->Strings(Index1), List->Strings(Index2), List->CaseSensitive());
}

bool FindInRange(TStringList* List, const String& S, int First, int& Index, bool UseLocale, int Last) {
  int lo = std::max(First, 0), hi = std::min(Last, List->Count() - 1);
  bool found = false;
  while (lo <= hi) {
    const int mid = (lo + hi) >> 1;
    const String item = List->Strings(mid);
    int c;
    if (UseLocale)
      c = List->CaseSensitive() ? AnsiCompareStr(item, S) : AnsiCompareText(item, S);
    else
      c = CompareOrdinal(item, S, List->CaseSensitive());
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (List->Duplicates() != dupAccept) lo = mid;
      }
    }
  }
  Index = lo;
  return found;
}

bool NeedQuote(const String& Name) { return NeedQuoteImpl(Name, false); }
bool NeedQuoteCI(const String& Name) { return NeedQuoteImpl(Name, true); }

bool IsQuotedIdentifier(const String& Name) {
  if (Name.size() < 2 || Name.front() != '"' || Name.back() != '"') return false;
  for (size_t i = 1; i + 1 < Name.size(); ++i) {
    if (Name[i] != '"') continue;
    if (i + 2 >= Name.size() || Name[i + 1] != '"') return false;
    ++i;
  }
  return true;
}

String QuoteIdentifier(const String& Name) {
  String quoted = "\"";
  for (char c : Name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

String UnquoteIdentifier(const String& Name) {
  if (!IsQuotedIdentifier(Name)) return Name;
  String name;
  for (size_t i = 1; i + 1 < Name.size(); ++i) {
    name += Name[i];
    if (Name[i] == '"') ++i;
  }
  return name;
}

String IdentifierForm(const String& Name, Integer Dialect, bool CaseInsensitive) {
  if (Dialect == 1) return FastUpperCase(FastTrim(Name));
  if (Name.empty() || IsQuotedIdentifier(Name)) return Name;
  // A name that begins with a quote but is no quoted identifier is a name
  // of its own: quoted, its quotes doubled.
  if (Name[0] == '"' || (CaseInsensitive ? NeedQuoteCI(Name) : NeedQuote(Name))) return QuoteIdentifier(Name);
  return FastUpperCase(Name);
}

String FormatFieldName(const String& Prefix, const String& Name) {
  auto quoted = [](const String& Part) { return NeedQuote(Part) ? QuoteIdentifier(Part) : Part; };
  return Prefix.empty() ? quoted(Name) : quoted(Prefix) + "." + quoted(Name);
}
