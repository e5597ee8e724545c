// TpFIBDataSet: field attributes from the repository.
#include <algorithm>

#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Words a date or time default keeps as written.
const char* const kDateTimeWords[] = {"CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_DATE", "NULL",
                                      "NOW",          "TODAY",             "TOMORROW",     "YESTERDAY"};

// The select column of a data field, or nullptr.
TFIBXSQLVAR* SelectColumnOf(TFIBQuery* Select, TField* Field) {
  if (Field->FieldKind() != fkData || Field->FieldNo() < 1 || Field->FieldNo() > Select->Fields()->Count())
    return nullptr;
  return Select->Fields()->Vars(Field->FieldNo() - 1);
}

// DefaultFormats for a field whose own format is still empty.
void ApplyDefaultFormats(TField* Field, TFIBXSQLVAR* Column, TFormatFields* Formats) {
  auto setNumeric = [&](TNumericField* F, Integer Decimals) {
    if (F->DisplayFormat().empty()) F->SetDisplayFormat(ExpandNumericFormat(Formats->NumericDisplayFormat(), Decimals));
    if (F->EditFormat().empty()) F->SetEditFormat(ExpandNumericFormat(Formats->NumericEditFormat(), Decimals));
  };
  if (auto* bcd = dynamic_cast<TBCDField*>(Field)) {
    if (bcd->Size() > 0) setNumeric(bcd, bcd->Size());
  } else if (dynamic_cast<TIntegerField*>(Field) != nullptr || dynamic_cast<TFloatField*>(Field) != nullptr) {
    if (Column != nullptr && Column->Scale() < 0) setNumeric(static_cast<TNumericField*>(Field), -Column->Scale());
  } else if (auto* dt = dynamic_cast<TDateTimeField*>(Field); dt != nullptr && dt->DisplayFormat().empty()) {
    if (dynamic_cast<TDateField*>(Field) != nullptr) dt->SetDisplayFormat(Formats->DisplayFormatDate());
    else if (dynamic_cast<TTimeField*>(Field) != nullptr) dt->SetDisplayFormat(Formats->DisplayFormatTime());
    else dt->SetDisplayFormat(Formats->DateTimeDisplayFormat());
  }
}

// A server date, time or timestamp literal ("2020-01-31", "31.01.2020",
// "01/31/2020", a time after a blank, or a time alone) as the local text of
// Field's kind; the literal itself when it does not read.
String LocalDateTimeText(TField* Field, const String& Literal) {
  TFormatSettings server;
  const String datePart = ExtractWord(1, Literal, {' '});
  if (datePart.find('.') != String::npos && datePart.find(':') == String::npos) {
    server.DateSeparator = '.';
    server.ShortDateFormat = "dd.mm.yyyy";
  } else if (datePart.find('/') != String::npos) {
    server.ShortDateFormat = "mm/dd/yyyy";
  } else {
    server.DateSeparator = '-';
    server.ShortDateFormat = "yyyy-mm-dd";
  }
  TDateTime value;
  if (dynamic_cast<TDateField*>(Field) != nullptr)
    return TryStrToDate(Literal, value, server) ? DateToStr(value) : Literal;
  if (dynamic_cast<TTimeField*>(Field) != nullptr)
    return TryStrToTime(Literal, value, server) ? TimeToStr(value) : Literal;
  return TryStrToDateTime(Literal, value, server) ? DateTimeToStr(value) : Literal;
}

// The column's server default as Field's DefaultExpression.
void ImportDefaultValue(TField* Field, const TpFIBFieldInfo& Info) {
  const String& value = Info.DefaultValue();
  SetDefaultValueEmptyStringOf(Field, Info.DefaultValueEmptyString());
  // Text fields of either kind: a quoted text stays a quoted text, so that
  // 'USER' is the text and USER the user's name.
  if (dynamic_cast<TFIBStringField*>(Field) != nullptr || dynamic_cast<TFIBWideStringField*>(Field) != nullptr) {
    if (!value.empty()) Field->SetDefaultExpression(Info.DefaultValueQuoted() ? QuotedStr(value) : value);
    return;
  }
  if (value.empty()) return;
  if (dynamic_cast<TNumericField*>(Field) != nullptr) {
    const char separator = FormatSettings.DecimalSeparator;
    double number;
    if (separator != '.') Field->SetDefaultExpression(ReplaceStr(value, ".", String(1, separator)));
    else if (TryStrToFloat(value, number, TFormatSettings())) Field->SetDefaultExpression(value);
  } else if (dynamic_cast<TDateTimeField*>(Field) != nullptr) {
    const String word = UpperCase(Trim(value));
    const bool keep = std::any_of(std::begin(kDateTimeWords), std::end(kDateTimeWords),
                                  [&](const char* w) { return word == w; });
    Field->SetDefaultExpression(keep ? Trim(value) : LocalDateTimeText(Field, value));
  } else if (auto* flag = dynamic_cast<TFIBBooleanField*>(Field)) {
    if (value == "1") Field->SetDefaultExpression(flag->StringTrue());
    else if (value == "0") Field->SetDefaultExpression(flag->StringFalse());
  } else {
    Field->SetDefaultExpression(value);
  }
}

// FIB$FIELDS_INFO's display attributes.
void ApplyDisplayAttributes(TField* Field, const TpFIBFieldInfo& Info) {
  if (Info.DisplayWidth() != 0) Field->SetDisplayWidth(Info.DisplayWidth());
  if (!Info.DisplayLabel().empty()) Field->SetDisplayLabel(Info.DisplayLabel());
  Field->SetVisible(Info.Visible());
  if (auto* number = dynamic_cast<TNumericField*>(Field)) {
    if (!Info.DisplayFormat().empty()) number->SetDisplayFormat(Info.DisplayFormat());
    if (!Info.EditFormat().empty()) number->SetEditFormat(Info.EditFormat());
  } else if (auto* dt = dynamic_cast<TDateTimeField*>(Field)) {
    if (!Info.DisplayFormat().empty()) dt->SetDisplayFormat(Info.DisplayFormat());
  }
}

}  // namespace

String ExpandNumericFormat(const String& Format, Integer Decimals) {
  const size_t n = Format.size();
  const size_t count = static_cast<size_t>(std::max<Integer>(Decimals, 0));
  if (n == 0) return Format;
  if (Format[n - 1] == '.') return Format + String(count, '0');
  if (n >= 2 && Format.find('.') == n - 2) return Format.substr(0, n - 1) + String(count, Format[n - 1]);
  return Format;
}

void TpFIBDataSet::ApplyFieldRepository() {
  const TpPrepareOptions prepare = PrepareOptions();
  TFIBDatabase* db = Database();
  const bool withRepository =
      prepare.Contains(psApplyRepositary) && db != nullptr && db->UseRepositories().Contains(urFieldsInfo);
  const bool dress = withRepository || prepare.Contains(pfSetRequiredFields) || prepare.Contains(pfSetReadOnlyFields) ||
                     prepare.Contains(pfImportDefaultValues) || prepare.Contains(psUseBooleanField);
  TpFIBTableInfoCollect* infos = ListTableInfo();
  const bool connected = infos != nullptr && db != nullptr && db->Connected();

  const bool rewrite = AutoUpdateOptions()->AutoReWriteSqls();
  const bool byOrigin =
      prepare.Contains(pfSetReadOnlyFields) && (rewrite || !(CachedUpdates() && OnUpdateRecord().Assigned()));
  // With byOrigin: the table whose fields stay writable.
  String updateTable, updateAlias;
  if (byOrigin && rewrite) {
    GetUpdateTableAndAlias(updateTable, updateAlias);
  } else if (byOrigin) {
    TStrings* modifying = IsEmptyStrings(UpdateSQL()) ? InsertSQL() : UpdateSQL();
    updateTable = IdentifierForm(CutAlias(GetModifyTableName(modifying->Text())), true);
  }

  TFIBQuery* select = SelectQuery();
  for (int i = 0; i < TDataSet::FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    TFIBXSQLVAR* column = SelectColumnOf(select, field);
    if (Options().Contains(poAutoFormatFields)) ApplyDefaultFormats(field, column, DefaultFormats());
    auto* memo = dynamic_cast<TFIBMemoField*>(field);
    if (!connected || !(dress || (memo != nullptr && prepare.Contains(psSupportUnicodeBlobs)))) continue;

    const String relation = column != nullptr ? column->RelationName() : String();
    const String sourceColumn = column != nullptr ? GetFieldSQLName(field) : String();
    if (column != nullptr && byOrigin) {
      bool readOnly = IdentifierForm(relation, true) != updateTable;
      if (!readOnly && rewrite && AutoUpdateOptions()->UpdateTableHasAlias()) {
        String alias = select->FieldRelationAlias(column->Index());
        if (alias.empty()) alias = relation;
        readOnly = !EquelNames(alias, updateAlias);
      }
      if (readOnly) field->SetReadOnly(true);
    }

    std::shared_ptr<TpFIBFieldInfo> aliasInfo =
        withRepository ? infos->GetFieldInfo(db, "ALIAS", true, field->FieldName()) : nullptr;
    std::shared_ptr<TpFIBFieldInfo> columnInfo =
        !relation.empty() && !sourceColumn.empty() ? infos->GetFieldInfo(db, relation, withRepository, sourceColumn)
                                                   : nullptr;
    if (!columnInfo && !aliasInfo) continue;
    // The server's metadata comes from the column; the repository's
    // display attributes from an "ALIAS" row when there is one.
    const TpFIBFieldInfo& info = columnInfo ? *columnInfo : *aliasInfo;
    TpFIBFieldInfo* shown = aliasInfo ? aliasInfo.get() : columnInfo.get();

    if (memo != nullptr && column != nullptr && (prepare.Contains(psSupportUnicodeBlobs) || db->IsUnicodeCharSet()))
      memo->SetCharSetID(column->Scale());  // a text BLOB's character set
    if (prepare.Contains(pfImportDefaultValues)) ImportDefaultValue(field, info);
    if (column != nullptr) {
      if (prepare.Contains(pfSetReadOnlyFields) && !prepare.Contains(psCanEditComputedFields) && info.IsComputed())
        field->SetReadOnly(true);
      const bool notNull = (column->AsXSQLVAR()->sqltype & 1) == 0;
      const bool hasDefault = !info.DefaultValue().empty() || info.DefaultValueEmptyString();
      if (prepare.Contains(pfSetRequiredFields) && notNull && !hasDefault && !shown->Triggered())
        field->SetRequired(true);
    }
    if (withRepository && shown->Loaded()) ApplyDisplayAttributes(field, *shown);
    ContainersApplyFieldRepository(field, shown);
  }
}

void TpFIBDataSet::SetPrepareOptions(TpPrepareOptions Value) {
  const bool added = Value.Contains(psApplyRepositary) && !PrepareOptions().Contains(psApplyRepositary);
  TFIBDataSet::SetPrepareOptions(Value);
  // An inactive dataset applies it when it opens.
  if (added && Active()) ApplyFieldRepository();
}

void TpFIBDataSet::InternalOpen() {
  TFIBDataSet::InternalOpen();
  ApplyFieldRepository();
}
