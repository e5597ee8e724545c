// TpFIBDataSet: record locking and the server's record count.
#include <vector>

#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"

namespace {

const char* const kUpdateQueryEmpty = "Unable to lock record. Update query is empty";
const char* const kLockErrorPrefix = "Error of record updating:";
const char* const kCannotCountRecords = "%s unable to get number of records";

// The server's lock-conflict code (SQL code -901).
constexpr ISC_STATUS kLockConflict = 335544345;

// What ends the first word of a table text.
constexpr CharSet kTableWordDelimiters{'\0', '\t', '\n', '\r', ' ', '"', '(', '-', '/', ';'};

// Query's text becomes Text unless it already is.
void SetStatementText(TFIBQuery* Query, const String& Text) {
  if (Query->SQL()->Text() != Text + "\r\n") Query->SQL()->SetText(Text);
}

// The first column an UPDATE text assigns ("A" of "update T set A = ?A,
// ..."), as written; "" when the text has no SET list.
String FirstAssignedColumn(const String& UpdateText) {
  TSQLParser parser(UpdateText);
  if (parser.SQLKind() != skUpdate) return String();
  parser.ResetScan();
  const int set = parser.Scan(parser.StartPos(), [&](int Pos, bool AtEnd) {
    return !AtEnd && parser.Depth() == 0 && parser.IsKeywordAt(Pos, "SET");
  });
  if (set == 0) return String();
  int pos = set + 3;
  SkipBlanksAndComments(UpdateText, static_cast<int>(UpdateText.size()), pos);
  const int start = pos;
  const int length = static_cast<int>(UpdateText.size());
  if (pos <= length && UpdateText[pos - 1] == '"') {
    const int close = PosChFrom('"', UpdateText, pos + 1);
    if (close == 0) return String();
    pos = close + 1;
  } else {
    while (pos <= length && !CharSet{'\t', '\n', '\r', ' ', '='}.Contains(UpdateText[pos - 1])) ++pos;
  }
  return Copy(UpdateText, start, pos - start);
}

// The update text's table (its first word, or its quoted name) as the
// server keeps relation names: quoted names as written, others upper-cased;
// "" when there is none.
String RelationOfTableText(const String& TableText) {
  const String table = Trim(TableText);
  if (!table.empty() && table[0] == '"') {
    const int close = PosChFrom('"', table, 2);
    return close > 0 ? Copy(table, 2, close - 2) : String();
  }
  return UpperCase(ExtractWord(1, table, kTableWordDelimiters));
}

}  // namespace

// ===========================================================================
// Locking

String TpFIBDataSet::LockSQLText() {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  String table, condition;
  const bool fromKeys =
      IsEmptyStrings(UpdateSQL()) || (options->AutoReWriteSqls() && options->UpdateOnlyModifiedFields());
  if (fromKeys) {
    if (!options->AutoReWriteSqls()) throw Exception(kUpdateQueryEmpty);
    // The table and the key fields' columns as the generated statements
    // name them; the parameters are the fields.
    const String& updateTable = options->UpdateTableName();
    table = GenerationTableName(updateTable);
    if (PosAliasDelimiter(updateTable) > 0) table += " " + ExtractAlias(updateTable);
    std::vector<TField*> keys;
    KeyFieldsToList(keys, options->KeyFields());
    for (TField* key : keys) {
      if (!condition.empty()) condition += " and ";
      condition += IdentifierForm(GetFieldSQLName(key)) + "=?" + IdentifierForm(key->FieldName());
    }
    if (table.empty() || condition.empty()) throw Exception(kUpdateQueryEmpty);
  } else {
    const String text = UpdateSQL()->Text();
    table = GetModifyTableName(text);
    condition = GetWhereClause(text);
  }
  if (Options().Contains(poUseSelectForLock))
    return "SELECT 0 FROM " + table + " WHERE " + condition + " FOR UPDATE WITH LOCK";
  // The row is locked by assigning a column itself: nothing is written, so
  // a change another user committed since the fetch stays.
  String column;
  const String relation = RelationOfTableText(table);
  for (int i = 0; i < TDataSet::FieldCount() && column.empty() && !relation.empty(); ++i) {
    TField* field = Fields()->Fields(i);
    if (field->FieldKind() == fkData && GetFieldRelationName(field) == relation)
      column = IdentifierForm(GetFieldSQLName(field));
  }
  if (column.empty() && !fromKeys) column = FirstAssignedColumn(UpdateSQL()->Text());
  if (column.empty()) return String();
  return "UPDATE " + table + " SET " + column + "=" + column + " WHERE " + condition;
}

TLockStatus TpFIBDataSet::LockRecord(bool RaiseErrors) {
  CheckDatasetOpen("lock record");
  String text;
  if (on_lock_sql_text_.Assigned()) on_lock_sql_text_(this, text);
  if (text.empty()) text = LockSQLText();
  if (!text.empty()) SetStatementText(lock_query_, text);
  else if (lock_query_->SQL()->Text() != UpdateSQL()->Text()) lock_query_->SQL()->Assign(UpdateSQL());

  lock_query_->SetDatabase(Database());
  lock_query_->SetTransaction(UpdateTransaction());
  TRecordBuffer active = ActiveBuffer();
  if (!CachedUpdates() && !dsEditModes.Contains(State()) && GetBookmarkFlag(active) == bfCurrent)
    SaveOldRecord(active);
  SetQueryParams(lock_query_, active);
  if (CachedUpdates()) {
    // The record as the server has it: the values before the cached changes.
    TFIBXSQLDA* params = lock_query_->Params();
    for (Integer i = 0; i < params->Count(); ++i) {
      TFIBXSQLVAR* param = params->Vars(i);
      TField* field = FindField(param->Name());
      if (field == nullptr || field->IsBlob()) continue;
      const Variant old = field->OldValue();
      if (VarIsNull(old) || VarIsEmpty(old)) param->SetIsNull(true);
      else if (dynamic_cast<TDateTimeField*>(field) != nullptr) param->SetAsDateTime(old.AsDateTime());
      else param->SetAsVariant(old);
    }
  }

  TLockStatus status;
  for (;;) {
    String message;
    try {
      TFIBTransaction* tr = lock_query_->Transaction();
      if (tr != nullptr && !tr->Active() && Options().Contains(poStartTransaction)) tr->StartTransaction();
      lock_query_->ExecQuery();
      Integer rows;
      if (lock_query_->Open()) {
        // A select locks the rows it fetches: a second one is a second row.
        rows = lock_query_->AtEnd() ? 0 : (lock_query_->FetchNext() != nullptr ? 2 : 1);
        lock_query_->Close();
      } else {
        rows = lock_query_->RowsAffected();
      }
      status = rows == 1 ? lsSuccess : (rows == 0 ? lsNotExist : lsMultiply);
    } catch (const EFIBError& e) {
      if (lock_query_->Open()) lock_query_->Close();
      if (e.SQLCode() == -913 || (e.SQLCode() == -901 && e.IBErrorCode() == kLockConflict)) {
        status = lsDeadLock;
      } else {
        status = lsUnknownError;
        message = e.Message();
      }
    }
    if (status == lsSuccess || !RaiseErrors) break;
    switch (status) {
      case lsDeadLock:
        message = "Deadlock detected";
        break;
      case lsNotExist:
        message = "Record does not exist";
        break;
      case lsMultiply:
        message = "Attempt to edit multiple records";
        break;
      default:
        break;
    }
    message = kLockErrorPrefix + message;
    if (DoLockError(status, message) != daRetry) break;
  }
  return status;
}

TDataAction TpFIBDataSet::DoLockError(TLockStatus Status, String& Message) {
  TDataAction action = daFail;
  if (on_lock_error_.Assigned()) on_lock_error_(this, Status, Message, action);
  if (action == daFail) throw Exception(Message);
  if (action == daAbort) Abort();
  return action;
}

void TpFIBDataSet::LockBeforeEdit() {
  if (UpdateStatus() != usUnmodified) return;
  LockRecord(true);
  GenerateForProtectedEdit();
  // The locked row as the server has it now.
  if (!IsEmptyStrings(RefreshSQL())) RefreshRecord(RefreshQuery(), ActiveBuffer());
}

// ===========================================================================
// The server's record count

Integer TpFIBDataSet::GetServerRecordCount() {
  TFIBQuery* select = SelectQuery();
  TFIBTransaction* tr = select->Transaction();
  if (tr == nullptr || !tr->Active()) return 0;
  try {
    if (count_query_->Open()) count_query_->Close();
    count_query_->SetDatabase(select->Database());
    count_query_->SetTransaction(tr);
    String text;
    if (on_ask_record_count_.Assigned()) on_ask_record_count_(this, text);
    if (text.empty()) {
      // The select's own text: its literal and NULL parameters are
      // written by the count statement from the same values.
      const String selectText = select->SQL()->Text();
      TFIBDatabase* db = select->Database();
      text = db->IsFirebirdConnect() && db->GetServerMajorVersion() >= 2
                 ? "Select Count(*) from (" + selectText + ")"
                 : MakeCountSQL(selectText);
    }
    SetStatementText(count_query_, text);
    if (IsBlank(text)) return 0;
    count_query_->Params()->AssignValues(select->Params());
    count_query_->Prepare();
    count_query_->Params()->AssignValues(select->Params());
    count_query_->ExecQuery();
    const Integer count = count_query_->AtEnd() ? 0 : count_query_->Fields(0)->AsInteger();
    count_query_->FreeHandle();
    return count;
  } catch (const std::exception& e) {
    count_query_->FreeHandle();
    throw Exception(Format(kCannotCountRecords, {CmpFullName(this)}) + "\r\n" + e.what());
  }
}

void TpFIBDataSet::UpdateRecordCount() {
  server_record_count_ = PrepareOptions().Contains(psAskRecordCount) ? GetServerRecordCount() : 0;
}
