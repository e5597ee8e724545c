// libFuzzer target for the SQL text scanner and the clause operations.
// Input: an SQL text, optionally followed by byte 1 and an argument text used
// as condition, order, group, plan, field list, parameter or name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StrUtil.h"
#include "platform/rtl/UnitInit.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

void CheckClause(const TSQLClause& C, int Length) {
  Check(C.Start >= 0 && C.Start <= Length);
  if (C.Start == 0) return;
  Check(C.End <= Length);
  Check(static_cast<int>(C.Text.size()) <= Length);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeUnits({&unit_StrUtil});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  const size_t split = input.find('\x01');
  const String sql = input.substr(0, split);
  const String arg = split == std::string::npos ? String("A = 1") : input.substr(split + 1);
  const int len = static_cast<int>(sql.size());

  TSQLParser p(sql);
  Check(p.StartPos() >= 1 && p.StartPos() <= len + 1);
  CheckClause(p.GetFromPos(), len);
  p.GetTables();
  p.GetModifyTable();
  const int count = p.WhereCount();
  Check(count >= 0);
  for (int n = 0; n <= count + 1 && n <= 8; ++n) {
    CheckClause(p.GetWherePos(n), len);
    p.SetWhere(n, arg);
    p.SetWhere(n, String());
  }
  const int main = p.MainWhereIndex();
  Check(main == -1 || (main >= 1 && main <= count));
  CheckClause(p.GetMainWhere(), len);
  p.SetMainWhere(arg);
  p.AddWhereCondition(arg, false);
  p.AddWhereCondition(arg, true);
  CheckClause(p.GetOrderByPos(), len);
  p.SetOrderBy(arg);
  p.SetOrderBy(String());
  TStringList fields;
  p.GetOrderFields(&fields);
  CheckClause(p.GetGroupByPos(), len);
  p.SetGroupBy(arg);
  p.SetGroupBy(String());
  CheckClause(p.GetPlanPos(), len);
  p.SetPlan(arg);
  p.SetPlan(String());
  p.SetSelectFields(arg);
  p.CountSQL();
  Check(p.SQLText() == sql);  // rewriting never changes the parser's text

  SetOrderByText(sql, arg);
  SetOrderByText(sql, String());
  StripSQLComments(sql);
  JoinsToCommaList(sql);
  RemoveBracketed(sql, true);
  RemoveBracketed(sql, false);
  Check(PosAliasDelimiter(sql) <= len);
  CutAlias(sql);
  ExtractAlias(sql);
  ReverseOrderBy(sql);
  FieldNameForParam(sql, arg);
  AliasForTable(sql, arg);
  TableByAlias(sql, arg);
  TableByQualifiedField(sql, arg);
  EquelNames(sql, arg);
  NeedQuote(arg);
  NeedQuoteCI(arg);
  FormatFieldName(sql, arg);
  int pos = 1;
  SkipBlanksAndComments(sql, len, pos);
  Check(pos >= 1 && pos <= len + 1);
  return 0;
}
