#include "dataaccess/core/pFIBProps.h"

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StrUtil.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr Integer kItemUserName = 28;
constexpr Integer kItemPassword = 29;
constexpr Integer kItemCharSet = 48;
constexpr Integer kItemRoleName = 60;
constexpr Integer kItemInstanceName = 75;
constexpr const char* kCRLF = "\r\n";
constexpr const char* kAndSeparator = "\r\n and ";  // 7 characters
constexpr const char* kFieldSeparator = "#$#$";
constexpr const char* kDeletedMarker = "#@DELETED";
constexpr const char* kEmptyText = "'";     // an empty text in "Data"
constexpr const char* kInheritedText = "0";  // "as the ancestor's" in "Data"

bool IsBlankText(const String& S) { return Trim(S).empty(); }

// BeginUpdate for the guard's lifetime.
class TUpdateGuard {
 public:
  explicit TUpdateGuard(TStrings* Lines) : lines_(Lines) { lines_->BeginUpdate(); }
  ~TUpdateGuard() { lines_->EndUpdate(); }
  TUpdateGuard(const TUpdateGuard&) = delete;
  TUpdateGuard& operator=(const TUpdateGuard&) = delete;

 private:
  TStrings* lines_;
};

// The streamed list of texts replaces the lines.
void ReadLines(TStrings* Lines, TReader& Reader) {
  TUpdateGuard update(Lines);
  Lines->Clear();
  Reader.ReadListBegin();
  while (!Reader.EndOfList()) Lines->Add(Reader.ReadString());
  Reader.ReadListEnd();
}

String GetItem(TComponent* Owner, Integer Item) {
  auto* db = dynamic_cast<TFIBDatabase*>(Owner);
  return db != nullptr ? db->GetDPBParamValue(Item) : String();
}

void SetItem(TComponent* Owner, Integer Item, const String& Value) {
  if (auto* db = dynamic_cast<TFIBDatabase*>(Owner)) db->SetDPBParamValue(Item, Value);
}

}  // namespace

// ---------------------------------------------------------------------------
// TDBParams

bool TDBParams::HasStreamData(TStrings* Ancestor) const {
  if (Ancestor != nullptr) return !Ancestor->Equals(const_cast<TDBParams*>(this));
  return Count() > 0;
}

void TDBParams::ReadStreamData(TReader& Reader) { ReadLines(this, Reader); }

void TDBParams::WriteStreamData(TWriter& Writer) {
  const bool hidePassword =
      owner_ != nullptr && owner_->DesignDBOptions().Contains(ddoNotSavePassword);
  String password;
  // Moving the password line is no change of the parameters: it bypasses the
  // check that refuses changes while the database is connected.
  TNotifyEvent changing = OnChanging();
  SetOnChanging(nullptr);
  try {
    if (hidePassword) {
      password = owner_->ConnectParams()->Password();
      owner_->ConnectParams()->SetPassword(String());
    }
    Writer.WriteListBegin();
    for (int i = 0; i < Count(); ++i) Writer.WriteString(Strings(i));
    Writer.WriteListEnd();
    if (hidePassword) owner_->ConnectParams()->SetPassword(password);
  } catch (...) {
    if (hidePassword) owner_->ConnectParams()->SetPassword(password);
    SetOnChanging(changing);
    throw;
  }
  SetOnChanging(changing);
}

// ---------------------------------------------------------------------------
// TConnectParams

String TIBConnectParams::InstanceName() const { return GetItem(owner_, kItemInstanceName); }
void TIBConnectParams::SetInstanceName(const String& Value) { SetItem(owner_, kItemInstanceName, Value); }

TConnectParams::TConnectParams(TComponent* Owner)
    : owner_(Owner), ib2007_(std::make_unique<TIBConnectParams>(Owner)) {}

TConnectParams::~TConnectParams() = default;

String TConnectParams::UserName() const { return GetItem(owner_, kItemUserName); }
void TConnectParams::SetUserName(const String& Value) { SetItem(owner_, kItemUserName, Value); }
String TConnectParams::RoleName() const { return GetItem(owner_, kItemRoleName); }
void TConnectParams::SetRoleName(const String& Value) { SetItem(owner_, kItemRoleName, Value); }
String TConnectParams::Password() const { return GetItem(owner_, kItemPassword); }
void TConnectParams::SetPassword(const String& Value) { SetItem(owner_, kItemPassword, Value); }
String TConnectParams::CharSet() const { return GetItem(owner_, kItemCharSet); }
void TConnectParams::SetCharSet(const String& Value) { SetItem(owner_, kItemCharSet, UpperCase(Value)); }

void TConnectParams::SetIB2007(TIBConnectParams* Value) { ib2007_->Assign(Value); }

// ---------------------------------------------------------------------------
// TCSMonitorSupport

TCSMonitorSupport::TCSMonitorSupport(TComponent* Owner) : owner_(Owner) {
  if (dynamic_cast<TFIBDatabase*>(Owner) != nullptr) enabled_ = csmeDisabled;
  else if (dynamic_cast<TFIBTransaction*>(Owner) != nullptr) enabled_ = csmeDatabaseDriven;
  else enabled_ = csmeTransactionDriven;
}

void TCSMonitorSupport::SetEnabled(TCSMonitorEnabled Value) {
  const bool refused =
      (dynamic_cast<TFIBTransaction*>(owner_) != nullptr && Value == csmeTransactionDriven) ||
      (dynamic_cast<TFIBDatabase*>(owner_) != nullptr &&
       (Value == csmeDatabaseDriven || Value == csmeTransactionDriven));
  if (refused) throw EFIBCSMonitorError("This object cannot use this value");
  enabled_ = Value;
  Changed();
}

void TCSMonitorSupport::SetIncludeDatasetDescription(bool Value) {
  include_dataset_description_ = Value;
  Changed();
}

void TCSMonitorSupport::Changed() {
  if (auto* owner = dynamic_cast<ICSMonitorSupportOwner*>(owner_)) owner->CSMonitorSupportChanged();
}

// ---------------------------------------------------------------------------
// TCondition

TCondition::~TCondition() {
  if (destroying_) return;
  destroying_ = true;
  const int i = Index();
  if (i >= 0) owner_->TStringList::Delete(i);
}

int TCondition::Index() const { return owner_->IndexOfObject(const_cast<TCondition*>(this)); }

String TCondition::Name() const {
  const int i = Index();
  return i >= 0 ? owner_->Names(i) : String();
}

String TCondition::Text() const {
  const int i = Index();
  if (i < 0) return String();
  const String line = owner_->Strings(i);
  const size_t eq = line.find('=');
  return eq == String::npos ? String() : line.substr(eq + 1);
}

void TCondition::SetText(const String& Value) {
  const int i = Index();
  if (i < 0) return;
  const String line = Name() + "=" + Value;
  if (line == owner_->Strings(i)) return;
  owner_->TStringList::Put(i, line);
  text_from_stream_ = false;
}

void TCondition::SetEnabled(bool Value) {
  if (Value == Enabled()) return;
  owner_->applied_ = false;
  enabled_ = Value ? 1 : 0;
  enabled_from_stream_ = false;
}

void TCondition::SetTextFromStream(const String& Value) {
  SetText(Value);
  text_from_stream_ = true;
}

void TCondition::SetEnabledFromStream(bool Value) {
  SetEnabled(Value);
  enabled_from_stream_ = true;
}

// ---------------------------------------------------------------------------
// TConditions

TConditions::~TConditions() {
  for (int i = Count() - 1; i >= 0; --i) {
    if (i < Count()) delete GetCondition(i);
  }
}

bool TConditions::OwnsFree(TCondition* Condition) const {
  return Condition != nullptr && Condition->owner_ == this && !Condition->destroying_ &&
         IndexOfObject(Condition) < 0;
}

void TConditions::InsertItem(int Index, const String& S, TObject* AObject) {
  auto* condition = dynamic_cast<TCondition*>(AObject);
  if (!OwnsFree(condition)) {
    auto* fresh = new TCondition(this);
    if (condition != nullptr) fresh->enabled_ = condition->enabled_;
    condition = fresh;
  }
  try {
    TStringList::InsertItem(Index, S, condition);
  } catch (...) {
    if (condition != AObject) {
      condition->destroying_ = true;
      delete condition;
    }
    throw;
  }
}

int TConditions::AddObject(const String& S, TObject* AObject) {
  if (AObject != nullptr && dynamic_cast<TCondition*>(AObject) == nullptr) return -1;
  return TStringList::AddObject(S, AObject);
}

void TConditions::PutObject(int Index, TObject* AObject) {
  auto* current = dynamic_cast<TCondition*>(GetObject(Index));  // raises outside the list
  auto* condition = dynamic_cast<TCondition*>(AObject);
  if (condition == nullptr || condition == current) return;
  if (!OwnsFree(condition)) {
    // Another line's or another list's condition: this line takes its switch.
    if (current != nullptr) current->enabled_ = condition->enabled_;
    return;
  }
  TStringList::PutObject(Index, condition);
  if (current != nullptr) {
    current->destroying_ = true;  // its line now belongs to the new condition
    delete current;
  }
}

void TConditions::Put(int Index, const String& S) {
  if (Index == Count()) Add(S);
  else TStringList::Put(Index, S);
}

void TConditions::Clear() {
  TUpdateGuard update(this);
  for (int i = Count() - 1; i >= 0; --i) {
    if (i < Count()) delete GetCondition(i);
  }
  TStringList::Clear();
}

void TConditions::Delete(int Index) {
  TCondition* condition = GetCondition(Index);
  if (condition != nullptr) delete condition;  // takes its line with it
  else TStringList::Delete(Index);
}

TCondition* TConditions::GetCondition(int Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return dynamic_cast<TCondition*>(Objects(Index));
}

TCondition* TConditions::AddCondition(const String& Name, const String& Text, bool Enabled) {
  int i = IndexOfName(Name);
  if (i >= 0) GetCondition(i)->SetText(Text);
  else i = Add(Name + "=" + Text);
  TCondition* condition = GetCondition(i);
  condition->enabled_ = Enabled ? 1 : 0;
  if (Enabled) applied_ = false;
  return condition;
}

TCondition* TConditions::FindCondition(const String& Name) const { return GetCondition(IndexOfName(Name)); }

void TConditions::RemoveCondition(const String& Name) {
  const int i = IndexOfName(Name);
  if (i < 0) return;
  Delete(i);
  applied_ = false;
}

String TConditions::BuildWhereText() const {
  String result;
  for (int i = 0; i < Count(); ++i) {
    TCondition* condition = GetCondition(i);
    if (condition == nullptr || !condition->Enabled() || IsBlankText(Strings(i))) continue;
    result += "(" + condition->Text() + ")" + kCRLF;
    result += kAndSeparator;
  }
  if (!IsBlankText(result)) result.erase(result.size() - std::char_traits<char>::length(kAndSeparator));
  return result;
}

void TConditions::Apply() {
  statement_->BeginModifySQLText();
  state_ |= kApplying;
  try {
    const String conditions = BuildWhereText();
    if (!has_saved_sql_) {
      saved_sql_ = statement_->GetSQLText();
      has_saved_sql_ = true;
    } else {
      RestoreSQL();
    }
    if (!IsBlankText(conditions)) {
      TSQLParser parser(statement_->GetSQLText());
      const TSQLClause where = parser.GetMainWhere();
      const String text = where.Start > 0 ? where.Text + kCRLF + "and " + conditions : conditions;
      statement_->SetSQLText(parser.SetMainWhere(text));
    }
    applied_ = true;
  } catch (...) {
    state_ &= static_cast<Byte>(~kApplying);
    statement_->EndModifySQLText();
    throw;
  }
  state_ &= static_cast<Byte>(~kApplying);
  statement_->EndModifySQLText();
}

void TConditions::CancelApply() {
  if (!applied_ || state_ != 0) return;
  state_ |= kCancelling;
  try {
    RestoreSQL();
  } catch (...) {
    state_ &= static_cast<Byte>(~kCancelling);
    throw;
  }
  state_ &= static_cast<Byte>(~kCancelling);
}

void TConditions::RestoreSQL() {
  state_ |= kRestoring;
  applied_ = false;
  try {
    if (has_saved_sql_ && saved_sql_ != statement_->GetSQLText()) statement_->SetSQLText(saved_sql_);
  } catch (...) {
    state_ &= static_cast<Byte>(~kRestoring);
    throw;
  }
  state_ &= static_cast<Byte>(~kRestoring);
}

void TConditions::ClearSavedSQL() {
  has_saved_sql_ = false;
  saved_sql_.clear();
}

// --- Text form --------------------------------------------------------------------------

void TConditions::WriteStrings(TStrings* Lines) const {
  TUpdateGuard update(Lines);
  Lines->Clear();
  for (int i = 0; i < Count(); ++i) {
    TCondition* condition = GetCondition(i);
    Lines->Add(condition->Name() + kFieldSeparator + condition->Text() + kFieldSeparator +
               (condition->Enabled() ? "1" : "0"));
  }
}

// A line without the separator is a disabled condition of that name with an
// empty text; blank lines add nothing.
void TConditions::ReadStrings(TStrings* Lines) {
  TUpdateGuard update(this);
  Clear();
  const size_t separator = std::char_traits<char>::length(kFieldSeparator);
  for (int i = 0; i < Lines->Count(); ++i) {
    const String line = Lines->Strings(i);
    if (IsBlankText(line)) continue;
    const size_t first = line.find(kFieldSeparator);
    if (first == String::npos) {
      AddCondition(line, String(), false);
      continue;
    }
    const String rest = line.substr(first + separator);
    const size_t second = rest.find(kFieldSeparator);
    const String text = rest.substr(0, second);
    const String flag = second == String::npos ? String() : Trim(rest.substr(second + separator));
    AddCondition(line.substr(0, first), text, flag == "1");
  }
}

String TConditions::SaveToStrings() const {
  TStringList lines;
  WriteStrings(&lines);
  return lines.Text();
}

void TConditions::LoadFromStrings(const String& Text) {
  TStringList lines;
  lines.SetText(Text);
  ReadStrings(&lines);
}

// --- Streaming ----------------------------------------------------------------------------

void TConditions::ReadStringsProperty(TReader& Reader) { ReadLines(this, Reader); }

// Character 2, 4, 6 ... (1-based, never the last one) switches condition
// 0, 1, 2 ...
void TConditions::ReadEnabledProperty(TReader& Reader) {
  const String flags = Reader.ReadString();
  for (size_t i = 2; i < flags.size(); i += 2) {
    TCondition* condition = GetCondition(static_cast<int>(i / 2) - 1);
    if (condition == nullptr) break;
    condition->SetEnabled(flags[i - 1] == '1');
  }
}

void TConditions::ReadDataProperty(TReader& Reader) {
  TUpdateGuard update(this);
  Reader.ReadListBegin();
  bool deleted = false;
  while (!Reader.EndOfList()) {
    const String name = Reader.ReadString();
    if (deleted) {
      RemoveCondition(name);
      continue;
    }
    if (name == kDeletedMarker) {
      deleted = true;
      continue;
    }
    String text = Reader.ReadString();
    const bool enabled = Reader.ReadBoolean();
    const bool inherited = text == kInheritedText;
    if (text == kEmptyText) text.clear();
    if (TCondition* condition = FindCondition(name)) {
      if (condition->EnabledFromStream()) condition->SetEnabledFromStream(enabled);
      if (!inherited && condition->TextFromStream()) condition->SetTextFromStream(text);
    } else if (!inherited) {
      TCondition* added = AddCondition(name, text, enabled);
      added->text_from_stream_ = true;
      added->enabled_from_stream_ = true;
    }
  }
  Reader.ReadListEnd();
}

bool TConditions::HasData(TObject* Ancestor) const {
  if (Ancestor == nullptr) return Count() > 0;
  auto* ancestor = dynamic_cast<TConditions*>(Ancestor);
  if (ancestor == nullptr) return false;
  if (!ancestor->Equals(const_cast<TConditions*>(this))) return true;
  for (int i = 0; i < Count(); ++i) {
    TCondition* mine = GetCondition(i);
    TCondition* theirs = ancestor->GetCondition(i);
    if (mine->Enabled() != theirs->Enabled() || mine->Name() != theirs->Name()) return true;
  }
  return false;
}

void TConditions::WriteDataProperty(TWriter& Writer, TConditions* Ancestor) const {
  Writer.WriteListBegin();
  for (int i = 0; i < Count(); ++i) {
    TCondition* condition = GetCondition(i);
    const String name = condition->Name();
    String text = condition->Text();
    TCondition* inherited = Ancestor != nullptr ? Ancestor->FindCondition(name) : nullptr;
    if (inherited != nullptr) {
      if (text == inherited->Text()) {
        if (condition->Enabled() == inherited->Enabled()) continue;
        text = kInheritedText;
      }
    } else if (text.empty()) {
      text = kEmptyText;
    }
    Writer.WriteString(name);
    Writer.WriteString(text);
    Writer.WriteBoolean(condition->Enabled());
  }
  if (Ancestor != nullptr) {
    bool marked = false;
    for (int i = 0; i < Ancestor->Count(); ++i) {
      const String name = Ancestor->GetCondition(i)->Name();
      if (FindCondition(name) != nullptr) continue;
      if (!marked) Writer.WriteString(kDeletedMarker);
      marked = true;
      Writer.WriteString(name);
    }
  }
  Writer.WriteListEnd();
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitpFIBProps() {
  RegisterClass<TDBParams, TStringList>("TDBParams")
      .Defined("Strings", &TDBParams::ReadStreamData, &TDBParams::WriteStreamData,
               [](TDBParams* p) { return p->HasStreamData(nullptr); });
  RegisterClass<TIBConnectParams, TPersistent>("TIBConnectParams")
      .Prop("InstanceName", &TIBConnectParams::InstanceName, &TIBConnectParams::SetInstanceName)
      .Stored(false);
  RegisterClass<TConnectParams, TPersistent>("TConnectParams")
      .Prop("UserName", &TConnectParams::UserName, &TConnectParams::SetUserName)
      .Stored(false)
      .Prop("RoleName", &TConnectParams::RoleName, &TConnectParams::SetRoleName)
      .Stored(false)
      .Prop("Password", &TConnectParams::Password, &TConnectParams::SetPassword)
      .Stored(false)
      .Prop("CharSet", &TConnectParams::CharSet, &TConnectParams::SetCharSet)
      .Stored(false)
      .Prop("IB2007", &TConnectParams::IB2007, &TConnectParams::SetIB2007)
      .Stored(false);
  RegisterClass<TConditions, TStringList>("TConditions")
      .Defined("Strings", &TConditions::ReadStringsProperty, nullptr, nullptr)
      .Defined("Enabled", &TConditions::ReadEnabledProperty, nullptr, nullptr)
      .Defined(
          "Data", &TConditions::ReadDataProperty,
          [](TConditions* c, TWriter& w) { c->WriteDataProperty(w, nullptr); },
          [](TConditions* c) { return c->HasData(nullptr); });
  RegisterClass<TCSMonitorSupport, TPersistent>("TCSMonitorSupport")
      .Prop("Enabled", &TCSMonitorSupport::Enabled, &TCSMonitorSupport::SetEnabled, csmeDisabled)
      .Prop("IncludeDatasetDescription", &TCSMonitorSupport::IncludeDatasetDescription,
            &TCSMonitorSupport::SetIncludeDatasetDescription, true);
  RegisterClass<TSQLs, TPersistent>("TSQLs")
      .Prop("SelectSQL", &TSQLs::SelectSQL, &TSQLs::SetSelectSQL)
      .Prop("UpdateSQL", &TSQLs::UpdateSQL, &TSQLs::SetUpdateSQL)
      .Prop("DeleteSQL", &TSQLs::DeleteSQL, &TSQLs::SetDeleteSQL)
      .Prop("InsertSQL", &TSQLs::InsertSQL, &TSQLs::SetInsertSQL)
      .Prop("RefreshSQL", &TSQLs::RefreshSQL, &TSQLs::SetRefreshSQL);
  RegisterClass<TFormatFields, TPersistent>("TFormatFields")
      .Prop("DateTimeDisplayFormat", &TFormatFields::DateTimeDisplayFormat, &TFormatFields::SetDateTimeDisplayFormat)
      .Stored(&TFormatFields::IsDateTimeDisplayFormatStored)
      .Prop("NumericDisplayFormat", &TFormatFields::NumericDisplayFormat, &TFormatFields::SetNumericDisplayFormat)
      .Stored(&TFormatFields::IsNumericDisplayFormatStored)
      .Prop("NumericEditFormat", &TFormatFields::NumericEditFormat, &TFormatFields::SetNumericEditFormat)
      .Stored(&TFormatFields::IsNumericEditFormatStored)
      .Prop("DisplayFormatDate", &TFormatFields::DisplayFormatDate, &TFormatFields::SetDisplayFormatDate)
      .Stored(&TFormatFields::IsDisplayFormatDateStored)
      .Prop("DisplayFormatTime", &TFormatFields::DisplayFormatTime, &TFormatFields::SetDisplayFormatTime)
      .Stored(&TFormatFields::IsDisplayFormatTimeStored);
  RegisterClass<TAutoUpdateOptions, TPersistent>("TAutoUpdateOptions")
      .Prop("UpdateTableName", &TAutoUpdateOptions::UpdateTableName, &TAutoUpdateOptions::SetUpdateTableName)
      .Prop("KeyFields", &TAutoUpdateOptions::KeyFields, &TAutoUpdateOptions::SetKeyFields)
      .Prop("AutoReWriteSqls", &TAutoUpdateOptions::AutoReWriteSqls, &TAutoUpdateOptions::SetAutoReWriteSqls, false)
      .Prop("CanChangeSQLs", &TAutoUpdateOptions::CanChangeSQLs, &TAutoUpdateOptions::SetCanChangeSQLs, false)
      .Prop("GeneratorName", &TAutoUpdateOptions::GeneratorName, &TAutoUpdateOptions::SetGeneratorName)
      .Prop("UpdateOnlyModifiedFields", &TAutoUpdateOptions::UpdateOnlyModifiedFields,
            &TAutoUpdateOptions::SetUpdateOnlyModifiedFields, false)
      .Prop("WhenGetGenID", &TAutoUpdateOptions::WhenGetGenID, &TAutoUpdateOptions::SetWhenGetGenID, wgNever)
      .Prop("GeneratorStep", &TAutoUpdateOptions::GeneratorStep, &TAutoUpdateOptions::SetGeneratorStep, 1)
      .Prop("ParamsToFieldsLinks", &TAutoUpdateOptions::ParamsToFieldsLinks,
            &TAutoUpdateOptions::SetParamsToFieldsLinks)
      .Prop("AutoParamsToFields", &TAutoUpdateOptions::AutoParamsToFields,
            &TAutoUpdateOptions::SetAutoParamsToFields, false)
      .Prop("SeparateBlobUpdate", &TAutoUpdateOptions::SeparateBlobUpdate,
            &TAutoUpdateOptions::SetSeparateBlobUpdate, false)
      .Prop("UseExecuteBlock", &TAutoUpdateOptions::UseExecuteBlock, &TAutoUpdateOptions::SetUseExecuteBlock, false)
      .Defined("SelectGenID", &TAutoUpdateOptions::ReadSelectGenID, nullptr, nullptr)
      .Defined("GenBeforePost", &TAutoUpdateOptions::ReadGenBeforePost, nullptr, nullptr);
  RegisterClass<TBlobSwapSupport, TPersistent>("TBlobSwapSupport")
      .Prop("Active", &TBlobSwapSupport::Active, &TBlobSwapSupport::SetActive, false)
      .Prop("SwapDir", &TBlobSwapSupport::SwapDir, &TBlobSwapSupport::SetSwapDir)
      .Stored(&TBlobSwapSupport::IsSwapDirStored)
      .Prop("MinBlobSizeToSwap", &TBlobSwapSupport::MinBlobSizeToSwap, &TBlobSwapSupport::SetMinBlobSizeToSwap, 0);
  FIBPropsDefaults() = TFIBPropsDefaults();
}

// Forgets a host's changes to the process-wide defaults.
void FinalpFIBProps() { FIBPropsDefaults() = TFIBPropsDefaults(); }

constexpr const TUnit* kUses[] = {&unit_TypInfo, &unit_fib, &unit_StrUtil};

}  // namespace

constinit const TUnit unit_pFIBProps("pFIBProps", kUses, InitpFIBProps, FinalpFIBProps);
