#include "dataaccess/core/pFIBProps.h"

#include "dataaccess/core/FIBDatabase.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr Integer kItemUserName = 28;
constexpr Integer kItemPassword = 29;
constexpr Integer kItemCharSet = 48;
constexpr Integer kItemRoleName = 60;
constexpr Integer kItemInstanceName = 75;

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

void TDBParams::ReadStreamData(TReader& Reader) {
  BeginUpdate();
  try {
    Clear();
    Reader.ReadListBegin();
    while (!Reader.EndOfList()) Add(Reader.ReadString());
    Reader.ReadListEnd();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

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
  RegisterClass<TCSMonitorSupport, TPersistent>("TCSMonitorSupport")
      .Prop("Enabled", &TCSMonitorSupport::Enabled, &TCSMonitorSupport::SetEnabled, csmeDisabled)
      .Prop("IncludeDatasetDescription", &TCSMonitorSupport::IncludeDatasetDescription,
            &TCSMonitorSupport::SetIncludeDatasetDescription, true);
}

void FinalpFIBProps() {
  for (const char* name : {"TCSMonitorSupport", "TConnectParams", "TIBConnectParams", "TDBParams"})
    UnregisterClass(name);
}

constexpr const TUnit* kUses[] = {&unit_TypInfo, &unit_fib};

}  // namespace

constinit const TUnit unit_pFIBProps("pFIBProps", kUses, InitpFIBProps, FinalpFIBProps);
