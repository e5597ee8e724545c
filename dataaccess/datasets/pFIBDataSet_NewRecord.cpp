// TpFIBDataSet: generator values and default values of new records.
#include <cmath>

#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The key field a generator fills: the field named KeyFields as a whole.
TField* GeneratorKeyField(TpFIBDataSet* DataSet) {
  return DataSet->FindField(DataSet->AutoUpdateOptions()->KeyFields());
}

// The server's time for the defaults of one new record, read when a
// default first asks for it (most records need none).
class TServerNow {
 public:
  explicit TServerNow(TFIBDatabase* Database) : db_(Database) {}
  TDateTime operator()() {
    if (!read_) value_ = Now() - (db_ != nullptr ? db_->ServerTimeDifference() : 0);
    read_ = true;
    return value_;
  }

 private:
  TFIBDatabase* db_;
  bool read_ = false;
  TDateTime value_ = 0;
};

// Fixed words of default expressions for date and time fields.
bool DefaultDateTime(const String& Word, TServerNow& ServerNow, TDateTime& Value) {
  if (Word == "NOW" || Word == "CURRENT_TIME" || Word == "CURRENT_TIMESTAMP") Value = ServerNow();
  else if (Word == "TODAY" || Word == "CURRENT_DATE") Value = std::trunc(ServerNow());
  else if (Word == "TOMORROW") Value = std::trunc(ServerNow()) + 1;
  else if (Word == "YESTERDAY") Value = std::trunc(ServerNow()) - 1;
  else return false;
  return true;
}

// Field's value from its DefaultExpression, unless a container or the
// dataset's handler supplies it or the expression is NULL. Text fields of
// either kind (a Unicode connection gives wide ones) read the fixed words
// and quoted texts.
void ApplyDefaultExpression(TpFIBDataSet* DataSet, TField* Field, TServerNow& ServerNow) {
  const String& expression = Field->DefaultExpression();
  const String trimmed = FastTrim(expression);
  if (trimmed.empty()) return;
  bool applied = false;
  DataSet->DoApplyDefaultValue(Field, applied);
  if (applied) return;
  const String word = RemoveQuotes(FastUpperCase(trimmed));
  const bool text = dynamic_cast<TFIBStringField*>(Field) != nullptr || dynamic_cast<TFIBWideStringField*>(Field) != nullptr;
  // A quoted text is a text, whatever word it spells.
  if (text && trimmed[0] == '\'') {
    Field->SetAsString(AnsiDequotedStr(trimmed, '\''));
    return;
  }
  if (word == "NULL") return;

  if (dynamic_cast<TDateTimeField*>(Field) != nullptr) {
    TDateTime value;
    if (DefaultDateTime(word, ServerNow, value)) Field->SetAsDateTime(value);
    else Field->SetAsString(expression);
  } else if (text) {
    TFIBDatabase* db = DataSet->Database();
    if (word == "USER" || word == "CURRENT_USER")
      Field->SetAsString(db != nullptr ? db->GetDPBParamValue(isc_dpb_user_name) : String());
    else if (word == "ROLE" || word == "CURRENT_ROLE")
      Field->SetAsString(db != nullptr ? db->GetDPBParamValue(isc_dpb_sql_role_name) : String());
    else Field->SetAsString(expression);
  } else {
    Field->SetAsString(expression);
  }
}

}  // namespace

void TpFIBDataSet::ApplyGeneratorValue() {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  if (options->WhenGetGenID() == wgNever) return;
  if (Database() == nullptr) RaiseClientError(fceDatabaseNotAssigned, {CmpFullName(this)});
  TField* key = GeneratorKeyField(this);
  if (dynamic_cast<TNumericField*>(key) == nullptr || !key->IsNull()) return;
  // BCD and large-integer fields hold the value whole; the others take it
  // when it fits them and raise their range error otherwise (never wrapped).
  key->SetAsLargeInt(NextGeneratorValue());
}

Int64 TpFIBDataSet::NextGeneratorValue() {
  TFIBDatabase* db = Database();
  if (db == nullptr) RaiseClientError(fceDatabaseNotAssigned, {CmpFullName(this)});
  TAutoUpdateOptions* options = AutoUpdateOptions();
  generator_sql_ = db->GeneratorSQL(options->GeneratorName(), options->GeneratorStep());
  return db->GeneratorValue(options->GeneratorName(), Transaction(), options->GeneratorStep());
}

void TpFIBDataSet::DoApplyDefaultValue(TField* Field, bool& Applied) {
  Applied = false;
  EachContainer([&](TDataSetsContainer* c) { c->ApplyDefaultValue(this, Field, Applied); });
  if (on_apply_default_value_.Assigned()) on_apply_default_value_(this, Field, Applied);
}

void TpFIBDataSet::FillParamsToFieldsLinks(TStrings* Links) {
  const String select = SelectQuery()->SQL()->Text();
  TFIBXSQLDA* params = SelectQuery()->Params();
  for (Integer i = 0; i < params->Count(); ++i) {
    const String paramName = params->Vars(i)->Name();
    const String compared = FastTrim(FieldNameForParam(select, paramName));
    if (compared.empty()) continue;
    // alias.column names the alias's table, a bare column one of any table
    // (the origin's unquoted parts are taken upper-cased).
    String origin = compared;
    if (const size_t dot = compared.find('.'); dot != String::npos)
      origin = TableByAlias(select, FastTrim(compared.substr(0, dot))) + "." + compared.substr(dot + 1);
    if (TField* field = FindFieldByOrigin(origin)) Links->SetValues(field->FieldName(), paramName);
  }
}

void TpFIBDataSet::DoOnNewRecord() {
  TAutoUpdateOptions* options = AutoUpdateOptions();
  const TWhenGetGenID whenGenID = options->WhenGetGenID();
  TField* key = whenGenID != wgNever ? GeneratorKeyField(this) : nullptr;
  if (whenGenID == wgOnNewRecord) ApplyGeneratorValue();
  // The value comes just before the post.
  else if (whenGenID == wgBeforePost && key != nullptr) key->SetRequired(false);

  TServerNow serverNow(Database());
  TStrings* links = options->ParamsToFieldsLinks();
  if (linked_params_.size() != static_cast<size_t>(FieldCount())) ResetLinkedParams();
  for (int i = 0; i < FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    if (field == key) continue;
    if (DefaultValueEmptyStringOf(field)) {
      field->SetAsString(String());
      continue;
    }
    if (auto* guid = field->DataType() == ftGuid ? dynamic_cast<TFIBGuidField*>(field) : nullptr) {
      TGUID value;
      CreateGUID(value);
      guid->SetAsGuid(value);
      continue;
    }
    TFIBXSQLVAR*& param = linked_params_[static_cast<size_t>(i)];
    if (!linked_params_valid_) {
      param = nullptr;
      if (links->Count() > 0)
        if (const String name = links->Values(field->FieldName()); !name.empty())
          param = SelectQuery()->FindParam(name);
    }
    if (param != nullptr) field->SetAsVariant(param->AsVariant());
    else ApplyDefaultExpression(this, field, serverNow);
  }

  NotifyContainers(deOnNewRecord);
  linked_params_valid_ = true;
  TFIBDataSet::DoOnNewRecord();
}

void TpFIBDataSet::ResetLinkedParams() {
  linked_params_.assign(static_cast<size_t>(FieldCount()), nullptr);
  linked_params_valid_ = false;
}

void TpFIBDataSet::FreeLinkedParams() {
  linked_params_ = {};
  linked_params_valid_ = false;
}

void TpFIBDataSet::ReleaseGeneratorQuery() {
  TFIBDatabase* db = Database();
  if (db == nullptr || !db->Connected() || generator_sql_.empty()) return;
  // Called from the destructor: a server that refuses to drop the handle
  // leaves it to the end of the attachment.
  try {
    FreeCachedQueryHandle(db, generator_sql_);
  } catch (const Exception&) {
  }
}
