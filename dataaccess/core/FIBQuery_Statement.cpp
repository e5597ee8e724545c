// TFIBQuery: construction, properties, the SQL text and its parameters,
// output columns by name, clause helpers and the connection-tracing comment.
#include <cstdio>
#include <unordered_map>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/FormStream.h"

TFIBQueryDefaults FIBQueryDefaults;

namespace {

// "Prefix_0x" and the object's address in upper-case hexadecimal digits.
String AddressName(const char* Prefix, const void* Object) {
  char digits[2 * sizeof(void*) + 1];
  std::snprintf(digits, sizeof digits, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(Object)));
  return String(Prefix) + "_0x" + digits;
}

// A name inside the tracing comment: "*/" would end the comment early.
String CommentSafe(String Name) {
  for (size_t at = Name.find("*/"); at != String::npos; at = Name.find("*/", at + 2)) Name.insert(at + 1, " ");
  return Name;
}

String OwnerPrefix(const TComponent* Component) {
  const TComponent* owner = Component->Owner();
  return owner != nullptr ? owner->Name() + "." : String();
}

}  // namespace

// ===========================================================================
// Construction

TFIBQuery::TFIBQuery(TComponent* AOwner)
    : TComponent(AOwner),
      base_(std::make_unique<TFIBBase>(this)),
      user_params_(std::make_unique<TFIBXSQLDA>(this, true)),
      server_params_(std::make_unique<TFIBXSQLDA>(this, true)),
      fields_(std::make_unique<TFIBXSQLDA>(this, false)),
      sql_(std::make_unique<TStringList>()),
      conditions_(std::make_unique<TConditions>(this)),
      cs_monitor_support_(std::make_unique<TCSMonitorSupport>(this)),
      parser_(std::make_unique<TSQLParser>()),
      removed_params_(std::make_unique<TStringList>()) {
  sql_->SetOnChanging({this, &TFIBQuery::SQLChanging});
  sql_->SetOnChange({this, &TFIBQuery::SQLChanged});
  removed_params_->SetSorted(true);
  base_->SetOnTransactionEnding({this, &TFIBQuery::LinkTransactionEnding});
  base_->SetOnTransactionEnded({this, &TFIBQuery::LinkTransactionEnded});
  base_->SetOnDatabaseDisconnecting({this, &TFIBQuery::LinkDatabaseDisconnecting});
  base_->SetOnDatabaseFree({this, &TFIBQuery::LinkDatabaseDisconnecting});
  if (AOwner != nullptr && AOwner->IsDesigning() && !LoadingChain()) {
    param_check_ = param_check_eff_ = FIBQueryDefaults.ParamCheck;
    go_to_first_record_ = FIBQueryDefaults.GoToFirstRecordOnExecute;
    options_ = FIBQueryDefaults.Options;
    if (TFIBDatabase* db = GlobalDefaultDatabase()) SetDatabase(db);
  }
  if (auto* db = dynamic_cast<TFIBDatabase*>(AOwner)) SetDatabase(db);
  if (auto* tr = dynamic_cast<TFIBTransaction*>(AOwner)) SetTransaction(tr);
}

TFIBQuery::~TFIBQuery() {
  sql_->SetOnChanging(nullptr);
  sql_->SetOnChange(nullptr);
  try {
    if (open_) Close();
  } catch (...) {
    open_ = false;  // the server closes what is left with the statement
  }
  try {
    FreeHandle();
  } catch (...) {
    handle_ = 0;
  }
}

bool TFIBQuery::LoadingChain() const {
  for (const TComponent* c = this; c != nullptr; c = c->Owner())
    if (c->IsLoading()) return true;
  return false;
}

// ===========================================================================
// Properties

void TFIBQuery::SetDatabase(TFIBDatabase* Value) {
  if (Value == Database()) return;
  if (prepared_ || handle_ != 0) {
    if (open_) Close();
    FreeHandle();
  }
  base_->SetDatabase(Value);
}

void TFIBQuery::SetTransaction(TFIBTransaction* Value) { base_->SetTransaction(Value); }

void TFIBQuery::SetSQL(TStrings* Value) {
  if (Value != sql_.get()) sql_->Assign(Value);
}

void TFIBQuery::SetParamCheck(bool Value) {
  FreeHandle();
  param_check_ = param_check_eff_ = Value;
  if (!Value) {
    user_params_->SetCount(0);
    server_params_->SetCount(0);
    text_to_prepare_ = parser_->SQLText();
  }
  text_rewritten_ = false;
  if (Value) ReadText();
}

void TFIBQuery::SetLiteralChar(char Value) {
  if (Value == literal_char_) return;
  literal_char_ = Value;
  ReadText();
}

// ===========================================================================
// SQL text

void TFIBQuery::SQLChanging(TObject* /*Sender*/) {
  if (open_) {
    if (!IsDesigning()) RaiseClientError(fceDatasetOpen, {"change sql text", CmpFullName(this)});
    Close();
  }
  // A text set from outside replaces one with conditions applied: the text
  // kept for the conditions is dropped with it.
  if (!conditions_->ChangingSQL()) {
    conditions_->ClearSavedSQL();
    if (conditions_->Applied()) conditions_->RestoreSQL();
  }
  on_sql_changing_(this);
  FreeHandle();
  literal_values_changed_ = false;
}

void TFIBQuery::SQLChanged(TObject* /*Sender*/) {
  parser_->SetSQLText(sql_->Text());
  if (update_counter_ > 0) return;
  ReadText();
}

void TFIBQuery::EndModifySQLText() {
  if (update_counter_ > 0 && --update_counter_ == 0) ReadText();
}

void TFIBQuery::ReadText() {
  FreeHandle();
  ++text_change_counter_;
  cached_key_ = "-1";
  aliases_read_ = false;
  param_check_eff_ = param_check_;
  text_parsed_ = false;
  text_rewritten_ = false;
  const String& text = parser_->SQLText();
  if (param_check_eff_ && !text.empty() && HasParamMarkers(text, parser_->SQLKind(), literal_char_)) {
    ParseParams(false);
    server_params_->SetCount(0);
    text_to_prepare_ = user_params_->Count() == 0 ? text : String();
  } else {
    user_params_->SetCount(0);
    server_params_->SetCount(0);
    text_to_prepare_ = text;
  }
  text_parsed_ = true;
}

// Builds the user area from the parser's text, or the server area from the
// text to prepare (which then gets its markers as "?"). Values of the area
// it replaces stay with their names.
void TFIBQuery::ParseParams(bool ServerMode) {
  const String& text = ServerMode ? text_to_prepare_ : parser_->SQLText();
  TSQLParamScan scan;
  ScanSQLParams(text, parser_->SQLKind(), literal_char_, ServerMode, LoadingChain(), CmpFullName(this), scan);
  std::unique_ptr<TFIBXSQLDA>& slot = ServerMode ? server_params_ : user_params_;
  std::unordered_map<String, TFIBXSQLVAR*> previous;
  for (Integer i = 0; i < slot->Count(); ++i) previous.emplace(slot->Vars(i)->Name(), slot->Vars(i));

  auto area = std::make_unique<TFIBXSQLDA>(this, true);
  const auto count = static_cast<Integer>(scan.Markers.size());
  area->SetCount(count);
  for (Integer i = 0; i < count; ++i) {
    const TSQLParamMarker& m = scan.Markers[static_cast<size_t>(i)];
    area->AddName(m.Name, i, m.Quoted);
    TFIBXSQLVAR* var = area->Vars(i);
    var->SetPositions(m.StartPos, m.EndPos);
    var->SetInWhereClause(m.InWhereClause);
    var->SetStandsAlone(m.StandsAlone);
    if (m.Literal) {
      var->SetAsString(m.DefaultText);
      var->SetIsLiteral(true);
      var->SetIsQuotedLiteral(m.QuotedLiteral);
      var->SetDefaultText(m.DefaultText);
    }
    auto old = previous.find(var->Name());
    if (old != previous.end() && old->second->HasValue() && !old->second->IsNull() &&
        old->second->SQLType() != SQL_BLOB) {
      var->Assign(old->second);
      var->SetOldValue(old->second->OldValue());
    }
  }
  slot = std::move(area);
  if (ServerMode) text_to_prepare_ = scan.Text;
  literal_values_changed_ = false;
}

String TFIBQuery::CachedSQLKey() {
  if (cached_key_ == "-1") cached_key_ = GetModifyTableName(sql_->Text());
  return cached_key_;
}

template <class F>
void TFIBQuery::ChangeClause(F Rewrite) {
  const bool applied = conditions_->Applied();
  if (applied) {
    conditions_->CancelApply();
    conditions_->ClearSavedSQL();
  }
  TSQLParser parser(sql_->Text());
  sql_->SetText(Rewrite(parser));
  if (applied) conditions_->Apply();
}

String TFIBQuery::MainWhereClause() const { return GetWhereClause(sql_->Text()); }

void TFIBQuery::SetMainWhereClause(const String& Value) {
  ChangeClause([&Value](TSQLParser& p) { return p.SetMainWhere(Value); });
}

String TFIBQuery::WhereClause(Integer N) const { return GetWherePos(sql_->Text(), N).Text; }

void TFIBQuery::SetWhereClause(Integer N, const String& Value) {
  ChangeClause([N, &Value](TSQLParser& p) { return p.SetWhere(N, Value); });
}

void TFIBQuery::SetPlanClause(const String& Value) {
  ChangeClause([&Value](TSQLParser& p) { return p.SetPlan(Value); });
}

String TFIBQuery::OrderClause() const { return ::GetOrderByPos(sql_->Text()).Text; }

void TFIBQuery::SetOrderClause(const String& Value) {
  ChangeClause([&Value](TSQLParser& p) { return p.SetOrderBy(Value); });
}

// ===========================================================================
// Parameters

TFIBXSQLDA* TFIBQuery::Params() {
  if (!text_parsed_ && user_params_->AsXSQLDA() == nullptr) ReadText();
  return user_params_.get();
}

TFIBXSQLVAR* TFIBQuery::FindParam(const String& Name) { return Params()->ByName(Name); }

TFIBXSQLVAR* TFIBQuery::ParamByName(const String& Name) {
  if (TFIBXSQLVAR* var = FindParam(Name)) return var;
  if (StartsWith(FastUpperCase(FastTrim(sql_->Text())), "EXECUTE "))
    if (TFIBXSQLVAR* var = fields_->ByName(Name)) return var;
  throw Exception("Parameter \"%s\" does not exist in %s", {Name, CmpFullName(this)});
}

bool TFIBQuery::FindParamIndex(const String& Name, Integer& Index) {
  TFIBXSQLVAR* var = FindParam(Name);
  Index = var != nullptr && var->Parent() == user_params_.get() ? var->Index() : -1;
  return Index >= 0;
}

Integer TFIBQuery::ParamCount() { return Params()->Count(); }

String TFIBQuery::ParamName(Integer Index) { return Params()->Vars(Index)->Name(); }

Variant TFIBQuery::ParamValue(const String& Name) { return ParamByName(Name)->AsVariant(); }

void TFIBQuery::SetParamValue(const String& Name, const Variant& Value) { ParamByName(Name)->SetAsVariant(Value); }

Variant TFIBQuery::ParamValueByIndex(Integer Index) { return Params()->Vars(Index)->AsVariant(); }

void TFIBQuery::SetParamValue(Integer Index, const Variant& Value) { Params()->Vars(Index)->SetAsVariant(Value); }

// ===========================================================================
// Output columns

TFIBXSQLVAR* TFIBQuery::Fields(Integer Index) {
  if (Index < 0 || Index >= fields_->Count()) RaiseClientError(fceFieldNotFound, {"Field No: " + IntToStr(Index)});
  return fields_->Vars(Index);
}

TFIBXSQLVAR* TFIBQuery::FindField(const String& Name) { return fields_->ByName(Name); }

TFIBXSQLVAR* TFIBQuery::FieldByName(const String& Name) {
  TFIBXSQLVAR* var = FindField(Name);
  if (var == nullptr) RaiseClientError(fceFieldNotFound, {Name});
  return var;
}

Integer TFIBQuery::FieldIndex(const String& Name) {
  TFIBXSQLVAR* var = FindField(Name);
  return var != nullptr ? var->Index() : -1;
}

bool TFIBQuery::FieldExist(const String& Name, Integer& Index) {
  Index = FieldIndex(Name);
  return Index >= 0;
}

String TFIBQuery::FieldName(Integer Index) { return Fields(Index)->Name(); }

Variant TFIBQuery::FieldValue(const String& Name, bool /*Old*/) { return FieldByName(Name)->AsVariant(); }

Variant TFIBQuery::FieldValueByIndex(Integer Index, bool /*Old*/) { return Fields(Index)->AsVariant(); }

TFIBXSQLVAR* TFIBQuery::FieldByOrigin(const String& Relation, const String& Column) {
  TFIBDatabase* db = Database();
  const bool upper = db != nullptr && (db->SQLDialect() < 3 || db->UpperOldNames());
  const String relation = upper ? FastUpperCase(Relation) : Relation;
  const String column = upper ? FastUpperCase(Column) : Column;
  for (Integer i = 0; i < fields_->Count(); ++i) {
    TFIBXSQLVAR* var = fields_->Vars(i);
    if (var->RelationName() == relation && var->SqlName() == column) return var;
  }
  return nullptr;
}

String TFIBQuery::FieldFullName(const String& Name) {
  if (!prepared_) Prepare();
  TFIBXSQLVAR* var = FindField(Name);
  if (var == nullptr || var->RelationName().empty()) return String();
  return FormatFieldName(FieldRelationAlias(var->Index()), var->SqlName());
}

String TFIBQuery::FieldRelationAlias(const String& Name) {
  if (!prepared_) Prepare();
  TFIBXSQLVAR* var = FindField(Name);
  return var != nullptr ? FieldRelationAlias(var->Index()) : String();
}

// ===========================================================================
// Connection-tracing comment

String TFIBQuery::BuildCSMonitorComment() const {
  const TCSMonitorEnabled mine = cs_monitor_support_->Enabled();
  TFIBDatabase* db = Database();
  TFIBTransaction* tr = Transaction();
  if (mine == csmeDisabled || db == nullptr || tr == nullptr) return String();
  const TCSMonitorEnabled trs = tr->CSMonitorSupport()->Enabled();
  const TCSMonitorEnabled dbs = db->CSMonitorSupport()->Enabled();
  const bool wanted = mine == csmeEnabled || (mine == csmeTransactionDriven && trs == csmeEnabled) ||
                      (mine == csmeDatabaseDriven && dbs == csmeEnabled) ||
                      (mine == csmeTransactionDriven && trs == csmeDatabaseDriven && dbs == csmeEnabled);
  if (!wanted) return String();

  const String connection = OwnerPrefix(db) + (IsBlank(db->Name()) ? AddressName("DB", db) : db->Name());
  const String transaction = OwnerPrefix(tr) + (IsBlank(tr->Name()) ? AddressName("Trans", tr) : tr->Name());
  String statement = IsBlank(Name()) ? AddressName("Query", this) : Name();
  if (const TComponent* owner = Owner()) {
    const auto* dataSet = dynamic_cast<const IFIBStatementDataSet*>(owner);
    const String description = dataSet != nullptr ? dataSet->DataSetDescription() : String();
    if (!IsBlank(description) && cs_monitor_support_->IncludeDatasetDescription())
      statement = owner->Name() + ":[" + description + "]." + statement;
    else
      statement = owner->Name() + "." + statement;
    if (dataSet != nullptr) statement = OwnerPrefix(owner) + statement;
  }
  return " /* CSMON$CON_NAME=" + CommentSafe(connection) + "; CSMON$TR_NAME=" + CommentSafe(transaction) +
         "; CSMON$ST_NAME=" + CommentSafe(statement) + ";  */";
}

void TFIBQuery::AppendCSMonitorComment(String& Text) const {
  if (Text.find("/* CSMON$") != String::npos) return;
  Text += BuildCSMonitorComment();
}

void TFIBQuery::AppendCSMonitorCommentToParser() {
  const String& text = parser_->SQLText();
  if (text.find("/* CSMON$") != String::npos) return;
  const String comment = BuildCSMonitorComment();
  if (!comment.empty()) parser_->SetSQLText(text + comment);
}

// ===========================================================================
// Link notifications

void TFIBQuery::LinkTransactionEnding(TFIBBase* /*Sender*/) { on_transaction_ending_(this); }

void TFIBQuery::LinkTransactionEnded(TFIBBase* /*Sender*/) {
  // Only a hard end closes the server's cursors; the retaining ones keep them.
  TFIBTransaction* tr = Transaction();
  if (open_ && close_on_tr_end_ && (tr == nullptr || !tr->Active())) Close();
  on_transaction_ended_(this);
}

void TFIBQuery::LinkDatabaseDisconnecting(TFIBBase* /*Sender*/) {
  try {
    if (open_) Close();
    FreeHandle();
  } catch (...) {
    // The detach that follows drops the statement on the server anyway.
    open_ = false;
    handle_ = 0;
    prepared_ = false;
  }
}

// ===========================================================================
// Unit

namespace {

void DefineOption(TClassBuilder<TFIBQuery>& Builder, const char* Name, TpFIBQueryOption Option) {
  Builder.Defined(
      Name,
      [Option](TFIBQuery* q, TReader& r) {
        TpFIBQueryOptions options = q->Options();
        if (r.ReadBoolean()) options.Include(Option);
        else options.Exclude(Option);
        q->SetOptions(options);
      },
      [](TFIBQuery*, TWriter& w) { w.WriteBoolean(true); },
      [Option](TFIBQuery* q) { return q->Options().Contains(Option); });
}

void InitFIBQuery() {
  auto builder =
      RegisterClass<TFIBQuery, TComponent>("TFIBQuery")
          .Object("Conditions", &TFIBQuery::Conditions)
          .Prop("Transaction", &TFIBQuery::Transaction, &TFIBQuery::SetTransaction)
          .Prop("Database", &TFIBQuery::Database, &TFIBQuery::SetDatabase)
          .Prop("GoToFirstRecordOnExecute", &TFIBQuery::GoToFirstRecordOnExecute,
                &TFIBQuery::SetGoToFirstRecordOnExecute, true)
          .Prop("ParamCheck", &TFIBQuery::ParamCheck, &TFIBQuery::SetParamCheck, true)
          .Prop("SQL", &TFIBQuery::SQL, &TFIBQuery::SetSQL)
          .Event("OnSQLChanging", &TFIBQuery::OnSQLChanging, &TFIBQuery::SetOnSQLChanging)
          .Prop("Options", &TFIBQuery::Options, &TFIBQuery::SetOptions)
          .Stored(false)
          .Event("OnBatching", &TFIBQuery::OnBatching, &TFIBQuery::SetOnBatching)
          .Event("OnBatchError", &TFIBQuery::OnBatchError, &TFIBQuery::SetOnBatchError)
          .Event("TransactionEnding", &TFIBQuery::TransactionEnding, &TFIBQuery::SetTransactionEnding)
          .Event("TransactionEnded", &TFIBQuery::TransactionEnded, &TFIBQuery::SetTransactionEnded)
          .Object("CSMonitorSupport", &TFIBQuery::CSMonitorSupport);
  DefineOption(builder, "AutoCommit", qoAutoCommit);
  DefineOption(builder, "StartTransaction", qoStartTransaction);
  DefineOption(builder, "TrimCharFields", qoTrimCharFields);
  DefineOption(builder, "NoForceIsNull", qoNoForceIsNull);
}

constexpr const TUnit* kUses[] = {&unit_FIBDatabase, &unit_StrUtil};

}  // namespace

constinit const TUnit unit_FIBQuery("FIBQuery", kUses, InitFIBQuery, nullptr);
