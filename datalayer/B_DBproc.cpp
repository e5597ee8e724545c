// Dataset factory and SQL-text helpers (delete and save: B_DBproc_Save.cpp).
#include "datalayer/B_DBproc.h"

#include <memory>

#include "dataaccess/core/SqlTxtRtns.h"
#include "datalayer/B_DBFBPlus.h"
#include "framework/B_PF.h"
#include "platform/db/DBTables.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------
// Dataset factory

TDataSet* CreateQueryFor(TComponent* AOwner, TDataSet* DataSet, const String& SQLText) {
  if (auto* engine = dynamic_cast<TDBDataSet*>(DataSet)) {
    if (DBEngine() == nullptr) throw EDBEngineError(DBERR_ENGINENOTAVAILABLE, SEngineNotAvailable);
    auto query = std::make_unique<TQuery>(AOwner);
    query->SetDatabaseName(engine->DatabaseName());
    query->SQL()->SetText(SQLText);
    return query.release();
  }
  if (auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet)) {
    auto query = std::make_unique<TB_Query>(AOwner);
    if (fib->Database() != nullptr) query->SetDatabase(fib->Database());
    query->SQL()->SetText(SQLText);
    return query.release();
  }
  return nullptr;
}

void SetDataSetDataSource(TDataSet* DataSet, TDataSource* DataSource) {
  if (auto* query = dynamic_cast<TQuery*>(DataSet)) query->SetDataSource(DataSource);
  else if (auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet)) fib->SetDataSource(DataSource);
}

void CopyParamValues(TDataSet* Source, TDataSet* Target) {
  if (auto* source = dynamic_cast<TQuery*>(Source)) {
    auto* target = dynamic_cast<TQuery*>(Target);
    if (target == nullptr) return;
    for (int i = 0; i < target->ParamCount(); ++i) {
      TParam* param = target->Params()->Items(i);
      if (TParam* from = source->Params()->FindParam(param->Name())) param->SetValue(from->Value());
    }
  } else if (auto* fibSource = dynamic_cast<TpFIBDataSet*>(Source)) {
    auto* target = dynamic_cast<TpFIBDataSet*>(Target);
    if (target == nullptr) return;
    for (Integer i = 0; i < target->ParamCount(); ++i) {
      Integer index = -1;
      if (fibSource->ParamExist(target->ParamName(i), index))
        target->SetParamValue(i, fibSource->ParamValueByIndex(index));
    }
  }
}

String GetDataSetSQL(TDataSet* DataSet) {
  if (auto* query = dynamic_cast<TQuery*>(DataSet)) return query->SQL()->Text();
  if (auto* query = dynamic_cast<TB_Query*>(DataSet)) return query->SQL()->Text();
  if (auto* fib = dynamic_cast<TpFIBDataSet*>(DataSet)) return fib->SelectSQL()->Text();
  return String();
}

// ---------------------------------------------------------------------------
// SQL text

String GetFieldCondition(const String& FieldName, const Variant& Value) {
  if (FieldName.empty()) return String();
  if (VarIsBlank(Value)) return "(" + FieldName + " is Null)";
  return "(" + QuotedStr(ConstArrayToStr({Value})) + " = " + FieldName + ")";
}

String GetKeyCondition(const String& FieldNames, const Variant& Values) {
  if (!VarIsArray(Values)) return GetFieldCondition(GetListItem(FieldNames, 0), Values);
  const Integer low = VarArrayLowBound(Values, 1);
  const Integer high = VarArrayHighBound(Values, 1);
  Integer separators = 0;
  for (char c : FieldNames)
    if (c == ';') ++separators;
  String result;
  for (Integer i = 0; i <= separators && low + i <= high; ++i) {
    const String condition = GetFieldCondition(GetListItem(FieldNames, i), VarArrayGet(Values, low + i));
    if (condition.empty()) continue;
    if (!result.empty()) result += " and ";
    result += condition;
  }
  return result;
}

String ReplaceSelectFields(const String& SQLText, const String& Fields) {
  TSQLParser parser(SQLText);
  return parser.SetSelectFields(Fields);
}

String GetFieldOriginOrName(TDataSet* DataSet, const String& FieldName, bool UseName) {
  String origin;
  if (auto* fib = dynamic_cast<TFIBCustomDataSet*>(DataSet)) origin = fib->GetFieldOrigin(FieldName);
  if (origin.empty() && UseName) return FieldName;
  return origin;
}

bool DataSetHasFields(TDataSet* DataSet, const String& FieldNames) {
  if (DataSet == nullptr) return false;
  const std::vector<String> names = GetListItems(FieldNames);
  if (names.empty()) return false;
  for (const String& name : names)
    if (DataSet->FindField(name) == nullptr) return false;
  return true;
}

namespace {

bool IsParamNameChar(char C) {
  return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
}

// The end (one past) of the literal, quoted name or comment at Pos, or Pos
// when none starts there. One left open runs to the end of the text.
size_t SkipQuotedOrComment(const String& Text, size_t Pos) {
  const size_t n = Text.size();
  const char c = Text[Pos];
  if (c == '\'' || c == '"') {
    for (size_t i = Pos + 1; i < n; ++i) {
      if (Text[i] != c) continue;
      if (i + 1 < n && Text[i + 1] == c) {
        ++i;  // a doubled quote inside
        continue;
      }
      return i + 1;
    }
    return n;
  }
  if (Pos + 1 < n && c == '/' && Text[Pos + 1] == '*') {
    const size_t end = Text.find("*/", Pos + 2);
    return end == String::npos ? n : end + 2;
  }
  if (Pos + 1 < n && c == '-' && Text[Pos + 1] == '-') {
    const size_t end = Text.find('\n', Pos + 2);
    return end == String::npos ? n : end;
  }
  return Pos;
}

}  // namespace

String SubstituteFieldValues(TDataSource* DataSource, const String& Text) {
  TDataSet* dataSet = DataSource != nullptr ? DataSource->DataSet() : nullptr;
  if (dataSet == nullptr || !dataSet->Active() || dataSet->IsEmpty()) return Text;
  String result;
  result.reserve(Text.size());
  size_t pos = 0;
  while (pos < Text.size()) {
    const size_t skipped = SkipQuotedOrComment(Text, pos);
    if (skipped != pos) {
      result.append(Text, pos, skipped - pos);
      pos = skipped;
      continue;
    }
    if (Text[pos] != ':') {
      result += Text[pos++];
      continue;
    }
    size_t end = pos + 1;
    while (end < Text.size() && IsParamNameChar(Text[end])) ++end;
    const String name = Text.substr(pos + 1, end - pos - 1);
    TField* field = name.empty() ? nullptr : dataSet->FindField(name);
    if (field == nullptr) result += ":" + name;
    else if (field->IsNull()) result += " NULL ";
    else result += QuotedStr(field->AsString());
    pos = end;
  }
  return result;
}
