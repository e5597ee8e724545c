// TFIBQuery: preparation, execution, fetching and closing, statement
// information, and the reports to the monitor, logger and statistics.
#include <algorithm>
#include <cstring>
#include <exception>

#include "dataaccess/core/FIBMiscellaneous.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/pFIBArray.h"

namespace {

constexpr const char* kCRLF = "\r\n";
// Fetch status "no more rows"; 335544572: the cursor was closed under us.
constexpr ISC_STATUS kFetchEnd = 100;
constexpr ISC_STATUS kCursorNotOpen = 335544572;
constexpr ISC_STATUS kBadStatementHandle = 335544485;
constexpr ISC_STATUS kCursorAlreadyClosed = 335544577;

// Sets a flag for the duration of a scope.
class TModeFlag {
 public:
  explicit TModeFlag(bool& Flag) : flag_(Flag) { flag_ = true; }
  ~TModeFlag() { flag_ = false; }
  TModeFlag(const TModeFlag&) = delete;
  TModeFlag& operator=(const TModeFlag&) = delete;

 private:
  bool& flag_;
};

// Bytes of a described entry's data buffer.
Integer DataSizeOf(const XSQLVAR& Rec) {
  switch (Rec.sqltype & ~1) {
    case SQL_VARYING:
      return Rec.sqllen + 2;
    case SQL_NULL:
      return 0;
    default:
      return Rec.sqllen;
  }
}

// The monitor's name of a statement: its dataset's, when a dataset owns it.
TComponent* OwningDataSet(const TFIBQuery* Query) {
  TComponent* owner = Query->Owner();
  return dynamic_cast<IFIBStatementDataSet*>(owner) != nullptr ? owner : nullptr;
}

// Statement types whose parameters and columns are described, and that
// have a plan.
bool IsDescribed(TFIBSQLTypes Type) {
  switch (Type) {
    case SQLSelect:
    case SQLInsert:
    case SQLUpdate:
    case SQLDelete:
    case SQLExecProcedure:
    case SQLSelectForUpdate:
      return true;
    default:
      return false;
  }
}

Integer InfoInteger(IIBClientLibrary* Lib, const char* P, Integer Length) {
  return Lib->isc_vax_integer(P, static_cast<short>(Length));
}

}  // namespace

IIBClientLibrary* TFIBQuery::Lib() const { return Database()->GetClientLibrary(); }

unsigned short TFIBQuery::Dialect() const { return static_cast<unsigned short>(Database()->SQLDialect()); }

// ===========================================================================
// The text to prepare

bool TFIBQuery::NullRewriteOn() const { return executing_ && !options_.Contains(qoNoForceIsNull); }

bool TFIBQuery::NullCandidate(TFIBXSQLVAR* Var) const {
  return !Var->IsLiteral() && Var->InWhereClause() && Var->StandsAlone();
}

bool TFIBQuery::RebuildNeeded() const {
  if (!prepared_ || literal_values_changed_) return true;
  const bool nullOn = NullRewriteOn();
  for (Integer i = 0; i < user_params_->Count(); ++i) {
    TFIBXSQLVAR* var = user_params_->Vars(i);
    if (var->IsLiteral()) {
      if (VarToStr(var->AsVariant()) != VarToStr(var->OldValue())) return true;
    } else if (nullOn && NullCandidate(var) && var->IsNull() != VarIsNull(var->OldValue())) {
      return true;
    }
  }
  return false;
}

void TFIBQuery::BuildTextToPrepare() {
  const Integer count = user_params_->Count();
  const bool nullOn = NullRewriteOn();
  std::vector<TSQLTextParam> params(static_cast<size_t>(count));
  for (Integer i = 0; i < count; ++i) {
    TFIBXSQLVAR* var = user_params_->Vars(i);
    TSQLTextParam& p = params[static_cast<size_t>(i)];
    p.StartPos = var->StartPos();
    p.EndPos = var->EndPos();
    p.Literal = var->IsLiteral();
    p.QuotedLiteral = var->IsQuotedLiteral();
    if (p.Literal && !var->IsNull()) p.Value = var->AsString();
    p.NullComparison = nullOn && NullCandidate(var) && var->IsNull();
  }
  text_to_prepare_ = BuildExecSQLText(parser_->SQLText(), params);
  text_rewritten_ = false;
  for (Integer i = 0; i < count; ++i) {
    const TSQLTextParam& p = params[static_cast<size_t>(i)];
    if (!p.Written) continue;
    text_rewritten_ = true;
    user_params_->Vars(i)->SetOldValue(p.Literal ? Variant(p.Value) : Null());
  }
  ParseParams(true);
  removed_params_->Clear();
  for (Integer i = 0; i < count; ++i) {
    const String& name = user_params_->Vars(i)->Name();
    bool kept = false;
    for (Integer k = 0; k < server_params_->Count() && !kept; ++k) kept = server_params_->Vars(k)->Name() == name;
    if (!kept && removed_params_->IndexOf(name) < 0) removed_params_->Add(name);
  }
  literal_values_changed_ = false;
}

void TFIBQuery::RebuildLiteralText() {
  if (!IsDesigning()) {
    if (open_) Close();
    FreeHandle();
    BuildTextToPrepare();
  }
  literal_values_changed_ = false;
}

// ===========================================================================
// Prepare

void TFIBQuery::Prepare() {
  TModeFlag preparing(preparing_);
  if (open_) Close();
  base_->CheckDatabase();
  AppendCSMonitorCommentToParser();
  TFIBTransaction* tr = Transaction();
  if (options_.Contains(qoStartTransaction) && tr != nullptr && !tr->Active()) tr->StartTransaction();
  base_->CheckTransaction();
  if (param_check_eff_ && !text_parsed_) ReadText();
  if (param_check_eff_ && user_params_->Count() > 0) {
    if (RebuildNeeded()) {
      FreeHandle();
      BuildTextToPrepare();
    }
  } else {
    AppendCSMonitorComment(text_to_prepare_);
  }
  if (prepared_) return;
  if (IsBlank(text_to_prepare_)) RaiseClientError(fceQueryEmpty, {"Prepare"});
  DoPrepare();
}

void TFIBQuery::DoPrepare() {
  IIBClientLibrary* lib = Lib();
  TFIBDatabase* db = Database();
  TFIBTransaction* tr = Transaction();
  try {
    db->CheckCall(lib->isc_dsql_alloc_statement2(StatusVector(), base_->GetDBHandle(), &handle_));
    fields_->SetCount(1);
    const auto length = text_to_prepare_.size() <= 0xFFFF ? static_cast<unsigned short>(text_to_prepare_.size()) : 0;
    tr->CheckCall(lib->isc_dsql_prepare(StatusVector(), base_->GetTRHandle(), &handle_, length,
                                        text_to_prepare_.c_str(), Dialect(), fields_->AsXSQLDA()));
    const char item = isc_info_sql_stmt_type;
    char answer[8] = {};
    db->CheckCall(lib->isc_dsql_sql_info(StatusVector(), &handle_, 1, &item, sizeof answer, answer));
    if (answer[0] != isc_info_sql_stmt_type) RaiseClientError(fceUnknownError);
    const Integer size = InfoInteger(lib, answer + 1, 2);
    sql_type_ = static_cast<TFIBSQLTypes>(InfoInteger(lib, answer + 3, std::clamp(size, 0, 4)));
    if (sql_type_ == SQLSelectForUpdate) {
      if (cursor_name_.empty()) cursor_name_ = RandomDigits(10);
      db->CheckCall(lib->isc_dsql_set_cursor_name(StatusVector(), &handle_, cursor_name_.c_str(), 0));
    }
    switch (sql_type_) {
      case SQLGetSegment:
      case SQLPutSegment:
      case SQLStartTransaction:
        FreeHandle();
        RaiseClientError(fceNotPermitted);
      default:
        break;
    }
    if (IsDescribed(sql_type_) && (server_params_->Count() > 0 || user_params_->Count() > 0)) {
      Describe(server_params_.get(), true);
      server_params_->BuildNameIndex();
      if (text_rewritten_) server_params_->ClearValues();
      else AdaptUserParams();
    }
    if (sql_type_ == SQLSelect || sql_type_ == SQLExecProcedure || sql_type_ == SQLSelectForUpdate) {
      Describe(fields_.get(), false);
      fields_->BuildNameIndex();
    } else {
      fields_->SetCount(0);
    }
    CreateArrays();
    record_count_ = 0;
    prepared_ = true;
    ++prepare_count_;
    aliases_read_ = false;
  } catch (const std::exception& e) {
    if (MonitoringActive())
      if (TFIBSQLMonitorHook* hook = GetMonitorHook(); hook != nullptr && hook->KindMonitored(mdkPrepare))
        hook->WriteSQLData((Owner() != nullptr ? Owner()->Name() + "." : String()) + Name() + ": [Prepare] " + e.what(), mdkPrepare);
    if (ISQLLogger* logger = db->SQLLogger())
      logger->WriteData(CmpFullName(this), "Error on Prepare:", text_to_prepare_, lfQPrepare);
    if (handle_ != 0) lib->isc_dsql_free_statement(StatusVector(), &handle_, DSQL_drop);
    handle_ = 0;
    prepared_ = false;
    throw;
  }
  if (MonitoringActive())
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) hook->SQLPrepare(this);
  StatPrepare();
  if (ISQLLogger* logger = db->SQLLogger())
    logger->WriteData(CmpFullName(this), "Prepare:", text_to_prepare_, lfQPrepare);
}

// Describes the parameters or the output columns into Area, sized to what
// the server reports.
void TFIBQuery::Describe(TFIBXSQLDA* Area, bool Bind) {
  IIBClientLibrary* lib = Lib();
  const auto describe = [&] {
    const ISC_STATUS status = Bind ? lib->isc_dsql_describe_bind(StatusVector(), &handle_, Dialect(), Area->AsXSQLDA())
                                   : lib->isc_dsql_describe(StatusVector(), &handle_, Dialect(), Area->AsXSQLDA());
    Database()->CheckCall(status);
  };
  if (Area->Count() == 0) Area->SetCount(1);
  describe();
  const Integer described = Area->AsXSQLDA()->sqld;
  if (described > Area->Count()) {
    Area->SetCount(described);
    describe();
  } else if (described < Area->Count()) {
    Area->SetCount(described);
  }
}

// The user parameters sent as they are: a NULL one takes the server's
// description, a value for a BLOB parameter becomes BLOB content.
void TFIBQuery::AdaptUserParams() {
  const Integer count = std::min(user_params_->Count(), server_params_->Count());
  for (Integer i = 0; i < count; ++i) {
    TFIBXSQLVAR* user = user_params_->Vars(i);
    const XSQLVAR* server = server_params_->Vars(i)->AsXSQLVAR();
    const Integer type = server->sqltype & ~1;
    user->SetDeclared(type, server->sqlsubtype, server->sqlscale);
    if (user->IsNull()) {
      XSQLVAR* rec = user->AsXSQLVAR();
      rec->sqltype = static_cast<ISC_SHORT>(server->sqltype | 1);
      rec->sqlscale = server->sqlscale;
      rec->sqlsubtype = server->sqlsubtype;
      rec->sqllen = server->sqllen;
      user->SetDataSize(DataSizeOf(*server));
      user->SetIsNull(true);
    } else if ((type == SQL_BLOB || type == SQL_ARRAY) && !user->IsBlobOrArray()) {
      const XSQLVAR* rec = user->AsXSQLVAR();
      const String text = (rec->sqltype & ~1) == SQL_TEXT ? String(rec->sqldata, static_cast<size_t>(rec->sqllen))
                                                           : user->AsString();
      user->SetAsString(text);
    }
  }
}

void TFIBQuery::CreateArrays() {
  ReleaseArrays();
  const auto make = [this](XSQLVAR* Rec) -> TpFIBArray* {
    const String relation(Rec->relname, static_cast<size_t>(std::clamp<ISC_SHORT>(Rec->relname_length, 0, 32)));
    const String column(Rec->sqlname, static_cast<size_t>(std::clamp<ISC_SHORT>(Rec->sqlname_length, 0, 32)));
    if (relation.empty() || column.empty()) return nullptr;
    arrays_.push_back(
        std::make_unique<TpFIBArray>(Lib(), relation, column, base_->GetDBHandle(), base_->GetTRHandle(), Rec));
    return arrays_.back().get();
  };
  for (Integer i = 0; i < fields_->Count(); ++i)
    if (TFIBXSQLVAR* var = fields_->Vars(i); var->SQLType() == SQL_ARRAY) var->SetFIBArray(make(var->AsXSQLVAR()));
  for (Integer i = 0; i < server_params_->Count(); ++i) {
    TFIBXSQLVAR* var = server_params_->Vars(i);
    if ((var->AsXSQLVAR()->sqltype & ~1) != SQL_ARRAY) continue;
    TpFIBArray* array = make(var->AsXSQLVAR());
    var->SetFIBArray(array);
    // The user's parameter of that marker writes its arrays through it.
    TFIBXSQLVAR* user = nullptr;
    if (!text_rewritten_ && i < user_params_->Count()) user = user_params_->Vars(i);
    for (Integer k = 0; k < user_params_->Count() && user == nullptr; ++k)
      if (user_params_->Vars(k)->Name() == var->Name()) user = user_params_->Vars(k);
    if (user != nullptr) user->SetFIBArray(array);
  }
}

void TFIBQuery::ReleaseArrays() {
  if (arrays_.empty()) return;
  for (TFIBXSQLDA* area : {fields_.get(), server_params_.get(), user_params_.get()})
    for (Integer i = 0; i < area->Count(); ++i) area->Vars(i)->SetFIBArray(nullptr);
  arrays_.clear();
}

// ===========================================================================
// Execution

void TFIBQuery::BeforeExecution() {
  before_execute_(this);
  TFIBTransaction* tr = Transaction();
  if (tr == nullptr) RaiseClientError(fceTransactionNotAssigned, {CmpFullName(this)});
  fields_->ClearValues();
  if (options_.Contains(qoStartTransaction) && !tr->Active()) tr->StartTransaction();
  tr->DoOnSQLExec(this, 0);
}

void TFIBQuery::ExecQuery() {
  TModeFlag executing(executing_);
  if (parser_->SQLKind() == skDDL) {
    ExecImmediate();
    return;
  }
  BeforeExecution();
  if ((param_check_eff_ && ParamCount() > 0) || !prepared_) Prepare();
  TFIBXSQLDA* in = SendArea();
  start_time_ = GetTickCount();
  try {
    ExecuteByType(in != nullptr && in->Count() > 0 ? in->AsXSQLDA() : nullptr);
    elapsed_ = GetTickCount() - start_time_;
    SaveOldValues();
    AfterExecution();
  } catch (const std::exception& e) {
    elapsed_ = GetTickCount() - start_time_;
    ReportExecuteError(e);
    throw;
  }
  if (!open_ && options_.Contains(qoFreeHandleAfterExecute)) FreeHandle();
}

// The area whose values go to the server, with BLOB contents written first.
TFIBXSQLDA* TFIBQuery::SendArea() {
  if (text_rewritten_) {
    if (blob_params_to_write_) WriteBlobParams(user_params_.get());
    server_params_->AssignValues(user_params_.get());
    if (blob_params_to_write_) WriteBlobParams(server_params_.get());
    return server_params_.get();
  }
  // Texts assigned before the types were known take them first: a BLOB
  // parameter's content must be final before it is written.
  if (user_params_->TypesPending()) user_params_->ApplyDeclaredTypes();
  if (blob_params_to_write_) WriteBlobParams(user_params_.get());
  return user_params_.get();
}

void TFIBQuery::WriteBlobParams(TFIBXSQLDA* Area) {
  for (Integer i = 0; i < Area->Count(); ++i) {
    TFIBXSQLVAR* var = Area->Vars(i);
    TMemoryStream* content = var->ValueStream();
    if (content == nullptr) continue;
    TFIBTransaction* tr = Transaction();
    if (options_.Contains(qoStartTransaction) && !tr->Active()) tr->StartTransaction();
    TFIBBlobStream blob;
    blob.SetMode(bmWrite);
    blob.SetDatabase(Database());
    blob.SetTransaction(tr);
    blob.SetBlobSubType(var->DeclaredSubType() != 0 ? var->DeclaredSubType() : var->SQLSubtype());
    blob.WriteBuffer(content->Memory(), content->Size());
    blob.Finalize();
    var->FreeValueStream();
    var->SetIsNull(false);
    var->SetAsQuad(blob.BlobID());
  }
  blob_params_to_write_ = false;
}

void TFIBQuery::ExecuteByType(XSQLDA* In) {
  IIBClientLibrary* lib = Lib();
  TFIBTransaction* tr = Transaction();
  const bool select = sql_type_ == SQLSelect || sql_type_ == SQLSelectForUpdate;
  if (select && open_) Close();
  StatExecuteStart();
  ISC_STATUS status = 0;  // a procedure's failure is raised after the reports
  switch (sql_type_) {
    case SQLExecProcedure:
      status = lib->isc_dsql_execute2(StatusVector(), base_->GetTRHandle(), &handle_, Dialect(), In,
                                      fields_->Count() > 0 ? fields_->AsXSQLDA() : nullptr);
      tr->CheckCall(status, false);
      break;
    case SQLCommit:
      tr->Commit();
      break;
    case SQLRollback:
      tr->Rollback();
      break;
    default:
      tr->CheckCall(lib->isc_dsql_execute(StatusVector(), base_->GetTRHandle(), &handle_, Dialect(), In));
      break;
  }
  elapsed_ = GetTickCount() - start_time_;
  StatExecuteEnd();
  if (select) {
    open_ = true;
    bof_ = true;
    eof_ = false;
    record_count_ = 0;
    fields_->ClearValues();
  }
  LogExecute("Execute query:");
  if (status > 0) RaiseStatusError(lib, tr);
  if (sql_type_ == SQLExecProcedure) single_row_ = true;
  if (select && go_to_first_record_) FetchNext();
}

void TFIBQuery::SaveOldValues() {
  if (!param_check_eff_) return;
  for (Integer i = 0; i < user_params_->Count(); ++i) {
    TFIBXSQLVAR* var = user_params_->Vars(i);
    // A BLOB's content stays out of it: only literals compare whole values.
    if (var->IsNull()) var->SetOldValue(Null());
    else if (var->IsBlobOrArray()) var->SetOldValue(Variant("(BLOB)"));
    else var->SetOldValue(var->AsVariant());
  }
}

void TFIBQuery::AfterExecution() {
  after_execute_(this);
  TFIBTransaction* tr = Transaction();
  tr->DoOnSQLExec(this, 1);
  user_params_->ResetModified();
  literal_values_changed_ = false;
  for (Integer i = 0; i < user_params_->Count(); ++i) user_params_->Vars(i)->FreeValueStream();
  blob_params_to_write_ = false;
  if (MonitoringActive())
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) hook->SQLExecute(this);
  if (options_.Contains(qoAutoCommit) && tr->Active()) {
    if (tr->TimeoutAction() == TACommitRetaining) tr->CommitRetaining();
    // A hard commit would close the cursor just opened: it waits for the
    // caller, who still has rows to read.
    else if (!open_) tr->Commit();
  }
}

void TFIBQuery::ExecImmediate() {
  BeforeExecution();
  AppendCSMonitorCommentToParser();
  if (param_check_eff_ && !text_parsed_) ReadText();
  if (text_to_prepare_.empty() || literal_values_changed_) BuildTextToPrepare();
  AppendCSMonitorComment(text_to_prepare_);
  if (IsBlank(text_to_prepare_)) RaiseClientError(fceQueryEmpty, {"ExecQuery"});
  TFIBXSQLDA* in = SendArea();
  FreeHandle();
  sql_type_ = SQLDDL;
  IIBClientLibrary* lib = Lib();
  start_time_ = GetTickCount();
  try {
    StatExecuteStart();
    Transaction()->CheckCall(lib->isc_dsql_execute_immediate(
        StatusVector(), base_->GetDBHandle(), base_->GetTRHandle(), 0, text_to_prepare_.c_str(), Dialect(),
        in != nullptr && in->Count() > 0 ? in->AsXSQLDA() : nullptr));
    elapsed_ = GetTickCount() - start_time_;
    StatExecuteEnd();
    LogExecute("Execute query:");
    AfterExecution();
  } catch (const std::exception& e) {
    elapsed_ = GetTickCount() - start_time_;
    ReportExecuteError(e);
    throw;
  }
}

void TFIBQuery::ReportExecuteError(const std::exception& E) {
  if (MonitoringActive())
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) {
      hook->SQLExecute(this);
      if (hook->KindMonitored(mdkExecute))
        hook->WriteSQLData(CmpFullName(this) + ": [Execute] " + E.what(), mdkExecute);
    }
  LogExecute(String("Error on execute query. Error message: \"") + E.what() + "\"");
}

// ===========================================================================
// Cursor

TFIBXSQLDA* TFIBQuery::FetchNext() {
  if (eof_) return nullptr;
  if (!open_) RaiseClientError(fceDatasetClosed, {"fetch next record", CmpFullName(this)});
  if (fetch_callback_) {
    bool stop = false;
    fetch_callback_(record_count_, stop);
    if (stop && !LoadingChain()) Abort();
  }
  TFIBXSQLDA* result = nullptr;
  const ISC_STATUS status = Lib()->isc_dsql_fetch(StatusVector(), &handle_, Dialect(), fields_->AsXSQLDA());
  if (status == kFetchEnd) {
    eof_ = true;
  } else if (status > 0) {
    if (!StatusVectorHasCode({kCursorNotOpen})) RaiseFetchError();
    eof_ = true;
  } else {
    ++record_count_;
    bof_ = false;
    result = fields_.get();
  }
  if (MonitoringActive())
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) hook->SQLFetch(this);
  if (ISQLLogger* logger = Database()->SQLLogger(); logger != nullptr && logger->LogFlags().Contains(lfQFetch))
    LogFetch();
  return result;
}

// The server's error of a failed fetch, raised after the cursor is closed.
void TFIBQuery::RaiseFetchError() {
  std::exception_ptr error;
  try {
    RaiseStatusError(Lib(), Transaction());
  } catch (...) {
    error = std::current_exception();
  }
  try {
    Close();
  } catch (...) {
    open_ = false;
  }
  std::rethrow_exception(error);
}

bool TFIBQuery::Eof() {
  if (eof_ && open_ && options_.Contains(qoFreeHandleAfterExecute)) FreeHandle();
  return eof_ || !open_;
}

void TFIBQuery::Close() {
  if (handle_ != 0 && open_ && (sql_type_ == SQLSelect || sql_type_ == SQLSelectForUpdate)) {
    IIBClientLibrary* lib = Lib();
    const ISC_STATUS status = lib->isc_dsql_free_statement(StatusVector(), &handle_, DSQL_close);
    if (status > 0 && !StatusVectorHasCode({kBadStatementHandle, kCursorAlreadyClosed})) {
      open_ = false;
      Database()->CheckCall(status);
    }
  }
  eof_ = false;
  bof_ = false;
  open_ = false;
  single_row_ = false;
  if (options_.Contains(qoFreeHandleAfterExecute)) FreeHandle();
}

void TFIBQuery::FreeHandle() {
  ReleaseArrays();
  fields_->SetCount(0);
  // Dropping the statement ends its cursor too.
  open_ = false;
  bof_ = false;
  single_row_ = false;
  if (handle_ != 0) {
    TFIBDatabase* db = Database();
    const ISC_STATUS status =
        db != nullptr ? db->GetClientLibrary()->isc_dsql_free_statement(StatusVector(), &handle_, DSQL_drop) : 0;
    handle_ = 0;
    prepared_ = false;
    eof_ = true;
    if (status > 0 && !StatusVectorHasCode({kBadStatementHandle})) db->CheckCall(status);
  }
  prepared_ = false;
  handle_ = 0;
  aliases_read_ = false;
}

// ===========================================================================
// Statement information

Integer TFIBQuery::RowsAffected() {
  if (handle_ == 0) return 0;
  IIBClientLibrary* lib = Lib();
  const char item = isc_info_sql_records;
  char answer[255] = {};
  Database()->CheckCall(lib->isc_dsql_sql_info(StatusVector(), &handle_, 1, &item, sizeof answer, answer));
  if (answer[0] != isc_info_sql_records) return 0;
  Integer counts[4] = {};  // select, insert, update, delete
  const char* end = answer + sizeof answer;
  for (const char* p = answer + 3; p < end && *p != isc_info_end;) {
    const char sub = *p;
    if (sub < isc_info_req_select_count || sub > isc_info_req_delete_count) RaiseClientError(fceUnknownError);
    const Integer length = InfoInteger(lib, p + 1, 2);
    counts[sub - isc_info_req_select_count] = InfoInteger(lib, p + 3, length);
    p += 3 + length;
  }
  switch (sql_type_) {
    case SQLSelect:
      return counts[0];
    case SQLInsert:
      return counts[1];
    case SQLUpdate:
      return counts[2];
    case SQLDelete:
      return counts[3];
    default:
      return counts[0] + counts[1] + counts[2] + counts[3];
  }
}

String TFIBQuery::Plan() {
  if (!IsDescribed(sql_type_) || !prepared_ || handle_ == 0) return String();
  IIBClientLibrary* lib = Lib();
  const char item = isc_info_sql_get_plan;
  std::vector<char> answer(16385);
  Database()->CheckCall(lib->isc_dsql_sql_info(StatusVector(), &handle_, 1, &item,
                                               static_cast<short>(answer.size()), answer.data()));
  if (answer[0] != isc_info_sql_get_plan) return String();
  const auto length = static_cast<size_t>(std::clamp(InfoInteger(lib, answer.data() + 1, 2), 0, 16382));
  String plan(answer.data() + 3, length);
  size_t first = 0;
  while (first < plan.size() && static_cast<unsigned char>(plan[first]) <= ' ' &&
         (plan[first] == '\0' || plan[first] == '\t' || plan[first] == '\n' || plan[first] == '\r' ||
          plan[first] == ' '))
    ++first;
  return plan.substr(first);
}

void TFIBQuery::ReadRelationAliases() {
  relation_aliases_.assign(static_cast<size_t>(fields_->Count()), String());
  aliases_read_ = true;
  if (handle_ == 0 || fields_->Count() == 0) return;
  IIBClientLibrary* lib = Lib();
  const char items[] = {isc_info_sql_select, isc_info_sql_describe_vars, isc_info_sql_sqlda_seq,
                        isc_info_sql_relation_alias, isc_info_sql_describe_end};
  std::vector<char> answer(32767);
  Database()->CheckCall(lib->isc_dsql_sql_info(StatusVector(), &handle_, sizeof items, items,
                                               static_cast<short>(answer.size()), answer.data()));
  const char* p = answer.data();
  const char* end = p + answer.size();
  if (*p++ != isc_info_sql_select || *p++ != isc_info_sql_describe_vars) return;
  p += 2 + InfoInteger(lib, p, 2);  // the column count
  Integer seq = 0;
  while (p < end && *p != isc_info_end && *p != isc_info_truncated) {
    const char code = *p++;
    if (code == isc_info_sql_describe_end) continue;
    if (p + 2 > end) break;
    const Integer length = InfoInteger(lib, p, 2);
    p += 2;
    if (p + length > end) break;
    if (code == isc_info_sql_sqlda_seq) seq = InfoInteger(lib, p, length);
    else if (code == isc_info_sql_relation_alias && seq >= 1 && seq <= fields_->Count())
      relation_aliases_[static_cast<size_t>(seq - 1)] = String(p, static_cast<size_t>(length));
    p += length;
  }
}

String TFIBQuery::FieldRelationAlias(Integer Index) {
  if (!prepared_) Prepare();
  if (!aliases_read_ || relation_aliases_.size() != static_cast<size_t>(fields_->Count())) ReadRelationAliases();
  if (Index < 0 || static_cast<size_t>(Index) >= relation_aliases_.size()) return String();
  return relation_aliases_[static_cast<size_t>(Index)];
}

// ===========================================================================
// Statistics and logger

ISQLStatMaker* TFIBQuery::ActiveStatMaker() const {
  ISQLStatMaker* maker = Database() != nullptr ? Database()->StatisticsMaker() : nullptr;
  return maker != nullptr && maker->ActiveStatistics() ? maker : nullptr;
}

void TFIBQuery::StatPrepare() {
  ISQLStatMaker* maker = ActiveStatMaker();
  if (maker == nullptr) return;
  maker->SetStatValue(text_to_prepare_, "LastQueryName", CmpFullName(this));
  const Variant count = maker->GetStatValue(text_to_prepare_, "PrepareCount");
  maker->SetStatValue(text_to_prepare_, "PrepareCount", VarIsNull(count) || VarIsEmpty(count) ? 1 : Variant(count.AsInt64() + 1));
}

void TFIBQuery::StatExecuteStart() {
  ISQLStatMaker* maker = ActiveStatMaker();
  if (maker == nullptr) return;
  maker->SetStatValue(text_to_prepare_, "LastQueryName", CmpFullName(this));
  maker->SetStatValue(text_to_prepare_, "LastTimeExecute", static_cast<Int64>(start_time_));
  const Variant count = maker->GetStatValue(text_to_prepare_, "ExecuteCount");
  maker->SetStatValue(text_to_prepare_, "ExecuteCount", VarIsNull(count) || VarIsEmpty(count) ? 1 : Variant(count.AsInt64() + 1));
}

void TFIBQuery::StatExecuteEnd() {
  ISQLStatMaker* maker = ActiveStatMaker();
  if (maker == nullptr) return;
  const String& key = text_to_prepare_;
  const auto last = static_cast<Int64>(elapsed_);
  maker->SetStatValue(key, "LastTimeExecute", last);
  const auto read = [&](const char* Name) {
    const Variant v = maker->GetStatValue(key, Name);
    return VarIsNull(v) || VarIsEmpty(v) ? Int64{0} : v.AsInt64();
  };
  const Int64 sum = read("SumTimeExecute") + last;
  maker->SetStatValue(key, "SumTimeExecute", sum);
  const Int64 executions = std::max<Int64>(read("ExecuteCount"), 1);
  maker->SetStatValue(key, "AvgTimeExecute", static_cast<Int64>((sum + executions / 2) / executions));
  const Variant max = maker->GetStatValue(key, "MaxTimeExecute");
  if (VarIsNull(max) || VarIsEmpty(max) || last > max.AsInt64()) {
    maker->SetStatValue(key, "MaxTimeExecute", last);
    TStringList lines;
    lines.SetText(SentParamsText(""));
    maker->SetMaxTimeParams(key, &lines);
  }
}

// One line per user parameter: "Params[i]='value'", or the identifier's two
// words for BLOB and ARRAY parameters; each line after Separator.
String TFIBQuery::SentParamsText(const char* Separator) const {
  String text;
  for (Integer i = 0; i < user_params_->Count(); ++i) {
    TFIBXSQLVAR* var = user_params_->Vars(i);
    text += Separator;
    text += "Params[" + IntToStr(i) + "]=";
    try {
      if (var->IsBlobOrArray() && !var->IsNull() && var->ValueStream() == nullptr) {
        const ISC_QUAD id = var->AsQuad();
        text += "(" + IntToStr(static_cast<Int64>(id.gds_quad_high)) + "," +
                IntToStr(static_cast<Int64>(id.gds_quad_low)) + ")";
      } else {
        text += "'" + var->AsString() + "'";
      }
    } catch (const std::exception&) {
      text += "<Can't print value>";
    }
    if (*Separator == '\0') text += kCRLF;
  }
  return text;
}

void TFIBQuery::LogExecute(const String& Operation) {
  ISQLLogger* logger = Database() != nullptr ? Database()->SQLLogger() : nullptr;
  if (logger == nullptr || !logger->LogFlags().Contains(lfQExecute)) return;
  logger->WriteData(CmpFullName(this), Operation, text_to_prepare_ + SentParamsText(kCRLF), lfQExecute);
}

void TFIBQuery::LogFetch() {
  String text;
  for (Integer i = 0; i < fields_->Count(); ++i) {
    TFIBXSQLVAR* var = fields_->Vars(i);
    if (i > 0) text += kCRLF;
    text += var->Name() + " = ";
    try {
      text += var->IsNull() ? String("NULL") : var->AsString();
    } catch (const std::exception&) {
      text += "<Can't print value>";
    }
  }
  if (eof_) text += "  End of file reached";
  Database()->SQLLogger()->WriteData(CmpFullName(this), "Fetch:", text, lfQFetch);
}

// The statement's name in monitor texts: its dataset's when one owns it.
String MonitorStatementName(const TFIBQuery* Query, bool WithStatement) {
  if (TComponent* dataSet = OwningDataSet(Query))
    return WithStatement ? dataSet->Name() + "." + Query->Name() : dataSet->Name();
  return Query->Name();
}
