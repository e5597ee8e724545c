// TpFIBDataSet: generated modifying SQL.
//
// One generator writes the four statements of the update table in both
// forms: with parameters (NEW_/OLD_ + field name, a five-blank indent) and,
// for batches, with the literal values of the current record (a one-blank
// indent). Names take the identifier form of the database: the update table
// as the options give it, server names (columns, relations) exactly as
// stored, and names that stand in the select text (aliases, FROM items) as
// SQL, where an unquoted name is folded to upper case.
#include <memory>
#include <vector>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kCRLF = "\r\n";
constexpr const char* kNoAction = "No Action";
constexpr const char* kNoKeyFields = "%s: unable to generate %s because fields for \"%s\" do not exist in dataset.";

enum : Integer { kUpdate = 0, kInsert = 1, kDelete = 2, kRefresh = 3 };
enum : Integer { kAllFields = 0, kNoBlobFields = 1, kOnlyBlobFields = 2 };

// Name in identifier form in the database's dialect (3 without one).
String NameForm(TFIBDatabase* Database, const String& Name, bool CaseInsensitive) {
  return IdentifierForm(Name, Database != nullptr ? Database->SQLDialect() : 3, CaseInsensitive);
}

// The alias the select text gives the table Table (identifier form); "" when
// the text names it without one, or not at all.
String SelectAliasOf(TFIBDatabase* Database, const String& SelectText, const String& Table) {
  TStringList items;
  GetFromTables(SelectText, &items, true);
  for (int i = 0; i < items.Count(); ++i)
    if (NameForm(Database, CutAlias(items.Strings(i)), true) == Table) return ExtractAlias(items.Strings(i));
  return String();
}

// The select text a refresh statement starts from: its literal parameters
// written in, no NULL comparison rewritten.
String RefreshSelectText(TFIBQuery* Select) {
  std::vector<TSQLTextParam> literals;
  TFIBXSQLDA* params = Select->Params();
  for (Integer i = 0; i < params->Count(); ++i) {
    TFIBXSQLVAR* var = params->Vars(i);
    if (!var->IsLiteral()) continue;
    TSQLTextParam& p = literals.emplace_back();
    p.StartPos = var->StartPos();
    p.EndPos = var->EndPos();
    p.Literal = true;
    p.QuotedLiteral = var->IsQuotedLiteral();
    if (!var->IsNull()) p.Value = var->AsString();
  }
  return TrimRight(BuildExecSQLText(Select->SQL()->Text(), literals));
}

// Sets Query's text when it differs, without the dataset's SQL-changing
// handler: storing a generated text keeps the cached key condition.
void StoreSQL(TFIBQuery* Query, const String& Text) {
  TStringList lines;
  lines.SetText(Text);
  if (Query->SQL()->Text() == lines.Text()) return;
  const TNotifyEvent handler = Query->OnSQLChanging();
  Query->SetOnSQLChanging(TNotifyEvent());
  try {
    Query->SQL()->SetText(Text);
  } catch (...) {
    Query->SetOnSQLChanging(handler);
    throw;
  }
  Query->SetOnSQLChanging(handler);
}

// A key the engine can compare: neither a BLOB nor an array field.
bool EngineKeyField(TField* Field) { return !Field->IsBlob() && dynamic_cast<TFIBArrayField*>(Field) == nullptr; }

}  // namespace

// How a statement writes a value: parameters or literals.
struct TpFIBDataSet::TSQLValueForm {
  const char* Indent;
  // The text of Field's value (its old value with UseOld); false when it has
  // none.
  TSQLLiteralWriter Value;
  // Parameters: "No Action" for an update or insert without a column, and
  // the key condition cached in the options.
  bool Parameters;
  // Every field, whatever UpdateOnlyModifiedFields says.
  bool AllFields = false;
};

// The table a statement is generated for.
struct TpFIBDataSet::TGenerationTable {
  String Table;         // identifier form
  String Alias;         // identifier form; the table itself without one
  String WrittenAlias;  // the alias as written after the table name
  std::shared_ptr<TpFIBTableInfo> Info;
};

// Brings the field definitions up to date; a dataset without fields gets
// default fields made from them for the time of a generation.
class TpFIBDataSet::TGenerationFields {
 public:
  explicit TGenerationFields(TpFIBDataSet* DataSet) : data_set_(DataSet) {
    data_set_->FieldDefs()->Update();
    if (data_set_->TDataSet::FieldCount() != 0) return;
    try {
      data_set_->CreateFields();
    } catch (...) {
      data_set_->DestroyFields();
      throw;
    }
    made_ = true;
  }
  ~TGenerationFields() {
    if (made_) data_set_->DestroyFields();
  }
  TGenerationFields(const TGenerationFields&) = delete;
  TGenerationFields& operator=(const TGenerationFields&) = delete;

 private:
  TpFIBDataSet* data_set_;
  bool made_ = false;
};

String TpFIBDataSet::IdentifierForm(const String& Name, bool TableName) {
  TFIBDatabase* db = Database();
  return NameForm(db, Name, TableName && db != nullptr && db->UseUpperNames());
}

String TpFIBDataSet::GenerationTableName(const String& TableName) {
  return IdentifierForm(PosAliasDelimiter(TableName) > 0 ? CutAlias(TableName) : TableName, true);
}

TpFIBDataSet::TGenerationTable TpFIBDataSet::ResolveGenerationTable(const String& TableName) {
  TGenerationTable result;
  result.Table = GenerationTableName(TableName);
  String alias;
  if (PosAliasDelimiter(TableName) > 0)
    alias = result.WrittenAlias = ExtractAlias(TableName);
  else if (TableName == AutoUpdateOptions()->UpdateTableName())
    alias = SelectAliasOf(Database(), SelectSQL()->Text(), result.Table);
  // The alias stands in the select text as SQL: unquoted, it is folded.
  result.Alias = alias.empty() ? result.Table : NameForm(Database(), alias, true);
  return result;
}

void TpFIBDataSet::GetUpdateTableAndAlias(String& Table, String& Alias) {
  const TGenerationTable t = ResolveGenerationTable(AutoUpdateOptions()->UpdateTableName());
  Table = t.Table;
  Alias = t.Alias;
}

void TpFIBDataSet::KeyFieldsToList(std::vector<TField*>& List, const String& KeyFields) {
  List.clear();
  for (size_t pos = 0; pos < KeyFields.size();)
    if (const String name = ExtractFieldName(KeyFields, pos); !name.empty())
      if (TField* field = FindField(name)) List.push_back(field);
}

String TpFIBDataSet::FieldsOfTable(const String& TableName) {
  if (TableName.empty()) return String();
  TGenerationFields fields(this);
  const String table = IdentifierForm(CutAlias(TableName), true);
  String result;
  for (int i = 0; i < TDataSet::FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    if (field->FieldKind() != fkData || field->IsBlob() || IdentifierForm(GetFieldRelationName(field)) != table)
      continue;
    if (!result.empty()) result += ";";
    result += field->FieldName();
  }
  return result;
}

String TpFIBDataSet::PrimaryKeyFields(const String& TableName) { return ::PrimaryKeyFields(Database(), TableName); }

// ===========================================================================
// The generator

bool TpFIBDataSet::FieldOfTable(TField* Field, const TGenerationTable& Table) {
  const String relation = IdentifierForm(GetFieldRelationName(Field));
  if (relation != Table.Table) return false;
  const Integer column = Field->FieldNo() >= 1 ? Field->FieldNo() - 1 : SelectQuery()->FieldIndex(Field->FieldName());
  const String alias = column >= 0 ? SelectQuery()->FieldRelationAlias(column) : String();
  if ((alias.empty() ? relation : IdentifierForm(alias)) == Table.Alias) return true;
  return !Table.WrittenAlias.empty() && EquelNames(alias, Table.WrittenAlias);
}

bool TpFIBDataSet::FieldChanged(TField* Field) {
  if (Field->IsBlob()) return IsBlobFieldModified(Field);
  if (auto* bcd = dynamic_cast<TFIBBCDField*>(Field)) return bcd->IsValueChanged();
  if (auto* large = dynamic_cast<TFIBLargeIntField*>(Field))
    return large->IsNull() != VarIsNull(large->OldValue()) || large->AsLargeInt() != large->OldAsLargeInt();
  if (dynamic_cast<TBytesField*>(Field) != nullptr) return true;
  return Field->Value() != Field->OldValue();
}

bool TpFIBDataSet::FieldWritable(TField* Field, const TGenerationTable& Table, Integer FieldFilter) {
  if (Field->FieldKind() != fkData) return false;
  if (FieldFilter == kNoBlobFields ? Field->IsBlob() : FieldFilter == kOnlyBlobFields && !Field->IsBlob()) return false;
  if (!FieldOfTable(Field, Table)) return false;
  const TpFIBFieldInfo* info = Table.Info->FieldInfo(GetFieldSQLName(Field));
  return info == nullptr || !info->IsComputed() || PrepareOptions().Contains(psCanEditComputedFields);
}

std::optional<String> TpFIBDataSet::BuildModifyingSQL(const String& TableName, const String& KeyFields,
                                                      Integer FieldFilter, Integer Kind, const TSQLValueForm& Form) {
  if (TableName.empty() || Kind < kUpdate || Kind > kRefresh) return String();
  TAutoUpdateOptions* options = AutoUpdateOptions();
  // With only the modified fields an insert leaves its NULL fields to the
  // server's defaults; one that leaves them all still makes the row.
  const bool onlyModified = !Form.AllFields && options->UpdateOnlyModifiedFields();
  if (TDataSet::FieldCount() == 0 && onlyModified) return String();
  TGenerationFields fields(this);
  TGenerationTable t = ResolveGenerationTable(TableName);
  t.Info = ListTableInfo()->GetTableInfo(Database(), t.Table, false, Transaction());
  if (t.Info == nullptr || t.Info->FieldCount() == 0) return String();

  // The key condition, last key field first; the options keep the one of
  // their own table and keys.
  const bool cached = Form.Parameters && TableName == options->UpdateTableName() && KeyFields == options->KeyFields();
  String condition, selectText;
  if (cached && !options->KeyCondition().empty()) {
    condition = options->KeyCondition();
    selectText = options->ConditionSelectText();
  } else {
    std::vector<TField*> keys;
    KeyFieldsToList(keys, KeyFields);
    if (keys.empty()) return String();
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
      TField* key = *it;
      if (IdentifierForm(GetFieldRelationName(key)) != t.Table) continue;
      const TpFIBFieldInfo* info = t.Info->FieldInfo(GetFieldSQLName(key));
      if (!(info != nullptr ? info->CanBeKey() : EngineKeyField(key))) continue;
      String value;
      if (!Form.Value(key, true, value)) return std::nullopt;
      if (!condition.empty()) condition += " and ";
      condition += t.Alias + "." + IdentifierForm(GetFieldSQLName(key)) + "=" + value;
    }
    if (condition.empty())
      throw Exception(Format(kNoKeyFields, {CmpFullName(this), StatementKindName(Kind), TableName}));
    if (Form.Parameters) selectText = RefreshSelectText(SelectQuery());
    if (cached) {
      options->SetKeyCondition(condition);
      options->SetConditionSelectText(selectText);
    }
  }

  switch (Kind) {
    case kDelete:
      return "Delete from " + t.Table + " " + t.Alias + kCRLF + "where " + condition;
    case kRefresh:
      return SetOrderByText(AddToWhere(selectText, condition, false), String());
    default:
      break;
  }
  String columns, values;
  bool nullsLeftOut = false;
  for (int i = 0; i < TDataSet::FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    if (!FieldWritable(field, t, FieldFilter)) continue;
    if (onlyModified && Kind == kInsert && field->IsNull()) {
      nullsLeftOut = true;
      continue;
    }
    if (onlyModified && Kind == kUpdate && !FieldChanged(field)) continue;
    String value;
    if (!Form.Value(field, false, value)) return std::nullopt;
    const String line = String(columns.empty() ? "" : ",") + kCRLF + Form.Indent;
    const String column = IdentifierForm(GetFieldSQLName(field));
    columns += line + (Kind == kUpdate ? column + "=" + value : column);
    values += line + value;
  }
  if (columns.empty() && Kind == kInsert && nullsLeftOut) return "Insert into " + t.Table + " default values";
  if (columns.empty()) return String(Form.Parameters ? kNoAction : "");
  if (Kind == kUpdate) return "Update " + t.Table + " " + t.Alias + " Set" + columns + kCRLF + "where " + condition;
  return "Insert into " + t.Table + "(" + columns + kCRLF + ")" + kCRLF + "values (" + values + kCRLF + ")";
}

String TpFIBDataSet::GenerateSQL(const String& TableName, const String& KeyFields, Integer FieldFilter, Integer Kind) {
  return GenerateParameterSQL(TableName, KeyFields, FieldFilter, Kind, false);
}

String TpFIBDataSet::GenerateParameterSQL(const String& TableName, const String& KeyFields, Integer FieldFilter,
                                          Integer Kind, bool AllFields) {
  const TSQLValueForm parameters{"     ",
                                 [this](TField* Field, bool UseOld, String& Text) {
                                   Text = "?" + IdentifierForm((UseOld ? "OLD_" : "NEW_") + Field->FieldName());
                                   return true;
                                 },
                                 true, AllFields};
  return BuildModifyingSQL(TableName, KeyFields, FieldFilter, Kind, parameters).value_or(String());
}

std::optional<String> TpFIBDataSet::GenerateLiteralSQL(Integer Kind, const TSQLLiteralWriter& Literal) {
  if (Kind < kUpdate || Kind > kDelete) return String();
  TAutoUpdateOptions* options = AutoUpdateOptions();
  return BuildModifyingSQL(options->UpdateTableName(), options->KeyFields(), kAllFields, Kind, {" ", Literal, false});
}

// ===========================================================================
// When generation runs

Integer TpFIBDataSet::ModifyingFieldFilter() const {
  return AutoUpdateOptions()->SeparateBlobUpdate() ? kNoBlobFields : kAllFields;
}

void TpFIBDataSet::StoreGeneratedSQL(TFIBQuery* Query, Integer FieldFilter, Integer Kind, bool AllFields) {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  StoreSQL(Query, GenerateParameterSQL(options->UpdateTableName(), options->KeyFields(), FieldFilter, Kind, AllFields));
}

void TpFIBDataSet::FindKeyFields() {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  if (!options->KeyFields().empty() || options->UpdateTableName().empty()) return;
  String keys = PrimaryKeyFields(GenerationTableName(options->UpdateTableName()));
  if (keys == kDeferredPrimaryKey) keys.clear();
  if (keys.empty()) keys = FieldsOfTable(options->UpdateTableName());
  if (!keys.empty()) options->SetKeyFields(keys);
}

void TpFIBDataSet::PrepareAutoSQLs() {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  if (FieldDefs()->Count() == 0) FieldDefs()->Update();
  FindKeyFields();
  if (options->KeyFields().empty()) return;
  auto generate = [&](TFIBQuery* Query, Integer FieldFilter, Integer Kind) {
    if (options->CanChangeSQLs() || IsEmptyStrings(Query->SQL())) StoreGeneratedSQL(Query, FieldFilter, Kind);
  };
  generate(DeleteQuery(), kAllFields, kDelete);
  generate(UpdateQuery(), ModifyingFieldFilter(), kUpdate);
  generate(InsertQuery(), ModifyingFieldFilter(), kInsert);
  PrepareSeparateBlobUpdate();
  generate(RefreshQuery(), kAllFields, kRefresh);
}

void TpFIBDataSet::PrepareSeparateBlobUpdate() {
  bool blobs = false;
  for (int i = 0; i < TDataSet::FieldCount() && !blobs; ++i) blobs = Fields()->Fields(i)->IsBlob();
  if (!AutoUpdateOptions()->SeparateBlobUpdate() || !blobs) {
    // An object made before does not run while nothing asks for it.
    if (blob_update_object_ != nullptr) blob_update_object_->SetActive(false);
    return;
  }
  if (blob_update_object_ == nullptr) blob_update_object_ = new TpFIBUpdateObject(this);
  TpFIBUpdateObject* update = blob_update_object_;
  update->SetDatabase(Database());
  update->SetTransaction(UpdateTransaction());
  update->SetExecuteOrder(oeAfterDefault);
  update->SetKindUpdate(ukModify);
  update->SetDataSet(this);
  StoreGeneratedSQL(update, kOnlyBlobFields, kUpdate);
  // Active exactly while it has a statement to run.
  update->SetActive(fibdataset_internal::IsRunnableSQL(update->SQL()));
}

void TpFIBDataSet::RegenerateModifyingSQL(TDataSetState State) {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  if (!options->UpdateOnlyModifiedFields() || options->KeyFields().empty() || options->UpdateTableName().empty())
    return;
  if (State == dsEdit)
    StoreGeneratedSQL(UpdateQuery(), ModifyingFieldFilter(), kUpdate);
  else if (State == dsInsert)
    StoreGeneratedSQL(InsertQuery(), ModifyingFieldFilter(), kInsert);
  else
    return;
  PrepareSeparateBlobUpdate();
}

void TpFIBDataSet::GenerateSQLsAfterOpen() {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  if (IsDesigning() || !SQLChanged() || !options->AutoReWriteSqls()) return;
  if (!options->UpdateOnlyModifiedFields()) {
    PrepareAutoSQLs();
    return;
  }
  if (options->UpdateTableName().empty()) return;
  FindKeyFields();
  StoreGeneratedSQL(RefreshQuery(), kAllFields, kRefresh);
  StoreGeneratedSQL(DeleteQuery(), kAllFields, kDelete);
}

void TpFIBDataSet::GenerateForProtectedEdit() {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  const bool onlyModified = options->UpdateOnlyModifiedFields();
  if (!options->AutoReWriteSqls() && !onlyModified) return;
  if (IsEmptyStrings(RefreshSQL())) StoreGeneratedSQL(RefreshQuery(), kAllFields, kRefresh);
  if (!IsEmptyStrings(UpdateSQL())) return;
  // Nothing is modified before the edit: the statement takes every field.
  StoreGeneratedSQL(UpdateQuery(), ModifyingFieldFilter(), kUpdate, true);
}
