#include "dataaccess/core/FIBDatabase.h"

#include <algorithm>

#include "dataaccess/core/FIBMiscellaneous.h"
#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/SysUtils.h"

TDBLoginDialogProc DBLoginDialogProc = nullptr;

namespace {

constexpr const char* kCRLF = "\r\n";
constexpr const char* kInternalTRParams[] = {"write", "isc_tpb_nowait", "read_committed", "rec_version"};
constexpr Byte kInfoDbId = isc_info_db_id;                     // 4
constexpr Byte kInfoServerVersion = isc_info_isc_version;      // 12
constexpr Byte kInfoBaseLevel = isc_info_base_level;           // 13
constexpr Byte kInfoAttachmentId = isc_info_attachment_id;     // 22
constexpr Byte kInfoODSVersion = isc_info_ods_version;         // 32
constexpr Byte kInfoODSMinorVersion = isc_info_ods_minor_version;  // 33
constexpr Byte kInfoSQLDialect = isc_info_db_sql_dialect;      // 62
constexpr Byte kInfoCharSet = frb_info_att_charset;            // 101
constexpr Byte kInfoFirebirdVersion = isc_info_firebird_version;  // 103

struct TUnitState {
  TCriticalSection connect_lock;  // serialises every attach (recursive)
  TCriticalSection list_lock;     // the database list and the default database
  std::vector<TFIBDatabase*> databases;
  TFIBDatabase* default_database = nullptr;
};

// Never destroyed: databases may outlive the unit's finalization.
TUnitState& State() {
  static TUnitState* state = new TUnitState;
  return *state;
}

// True when the component or one of its owners is being read.
bool ChainLoading(const TComponent* Component) {
  for (const TComponent* c = Component; c != nullptr; c = c->Owner()) {
    if (c->IsLoading()) return true;
  }
  return false;
}

template <class T>
void CheckListIndex(const std::vector<T>& List, int Index) {
  if (Index < 0 || Index >= static_cast<int>(List.size()))
    throw EListError("List index out of bounds (%d)", {Index});
}

// The message of the status error the calling thread's vector holds.
String StatusMessage(IIBClientLibrary* Library, TObject* Raiser) {
  try {
    RaiseStatusError(Library, Raiser);
  } catch (const Exception& e) {
    return e.Message();
  }
}

// Runs F where no exception may leave (destruction).
template <class F>
void NoThrow(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

// Idle time-out of a database or transaction: 0 frees the timer; another
// value makes it when needed and sets its interval; it runs outside a designer.
void SetIdleTimer(TFIBTimer*& Timer, Cardinal Value, const TNotifyEvent& Tick, bool Designing) {
  if (Value == 0) {
    delete Timer;
    Timer = nullptr;
    return;
  }
  if (Timer == nullptr) {
    Timer = new TFIBTimer(nullptr);
    Timer->SetEnabled(false);
    Timer->SetInterval(0);
    Timer->SetOnTimer(Tick);
  }
  Timer->SetInterval(Value);
  if (!Designing) Timer->SetEnabled(true);
}

TTransactionAction HardAction(TTransactionAction Action) {
  if (Action == TACommitRetaining) return TACommit;
  if (Action == TARollbackRetaining) return TARollback;
  return Action;
}

}  // namespace

TFIBDatabase* GlobalDefaultDatabase() {
  TCriticalSectionGuard guard(State().list_lock);
  return State().default_database;
}

std::vector<TFIBDatabase*> FIBDatabaseList() {
  TCriticalSectionGuard guard(State().list_lock);
  return State().databases;
}

// ===========================================================================
// TFIBDatabase

TFIBDatabase::TFIBDatabase(TComponent* AOwner) : TComponent(AOwner), library_name_(DefaultLibraryName) {
  db_params_ = std::make_unique<TDBParams>(this);
  db_params_->SetOnChange({this, &TFIBDatabase::DBParamsChange});
  db_params_->SetOnChanging({this, &TFIBDatabase::DBParamsChanging});
  cs_monitor_support_ = std::make_unique<TCSMonitorSupport>(this);
  connect_params_ = std::make_unique<TConnectParams>(this);

  internal_transaction_ = new TFIBTransaction(this);
  internal_transaction_->SetDefaultDatabase(this);
  internal_transaction_->SetTimeoutAction(TACommit);
  internal_transaction_->SetTimeout(1000);
  for (const char* line : kInternalTRParams) internal_transaction_->TRParams()->Add(line);

  {
    TCriticalSectionGuard guard(State().list_lock);
    State().databases.push_back(this);
  }
  after_connect_events_ = std::make_unique<TNotifyEventList>(nullptr);
  before_disconnect_events_ = std::make_unique<TNotifyEventList>(nullptr);
  before_destroy_events_ = std::make_unique<TNotifyEventList>(nullptr);
  blob_swap_support_ = std::make_unique<TBlobSwapSupport>();
}

void TFIBDatabase::BeforeDestruction() {
  Destroying();
  {
    TCriticalSectionGuard guard(State().list_lock);
    auto& list = State().databases;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (State().default_database == this) State().default_database = nullptr;
  }
  if (internal_transaction_ != nullptr) {
    TFIBTransaction* internal = internal_transaction_;
    internal_transaction_ = nullptr;
    NoThrow([&] {
      if (internal->Active()) internal->EndTransaction(TACommit, true);
    });
    delete internal;
  }
  delete timer_;
  timer_ = nullptr;
  DropConnection();  // nothing may leave a destructor
  for (int i = before_destroy_events_->Count() - 1; i >= 0; --i) {
    auto handler = before_destroy_events_->GetCallBack(i).As<void(TObject*)>();
    NoThrow([&] { handler(this); });
  }
  for (int i = ClientCount() - 1; i >= 0; --i) {
    if (i >= ClientCount()) continue;
    TFIBBase* link = clients_[static_cast<size_t>(i)];
    TFIBBaseNotifyEvent handler = link->on_database_free_;
    NoThrow([&] { handler(link); });
    link->SetDatabase(nullptr);
    link->SetTransaction(nullptr);
  }
  RemoveClients();
  RemoveTransactions();
  if (TCacheList* cache = CacheList()) cache->RemoveDatabase(this);
  TComponent::BeforeDestruction();
}

TFIBDatabase::~TFIBDatabase() = default;

void TFIBDatabase::Loaded() {
  TComponent::Loaded();
  if (design_db_options_.Contains(ddoIsDefaultDatabase)) MakeDefault();
  if (internal_transaction_ != nullptr) internal_transaction_->SetName(Name() + "_InternalTransaction");
  const bool connect = streamed_connected_;
  streamed_connected_ = false;
  if (connect && !Connected()) {
    Connect();
    TFIBTransaction* tr = default_transaction_;
    if (tr != nullptr && tr->streamed_active_ && !tr->Active()) tr->StartTransaction();
  }
}

void TFIBDatabase::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && sql_logger_ != nullptr && dynamic_cast<ISQLLogger*>(AComponent) == sql_logger_)
    sql_logger_ = nullptr;
}

// --- Connect and disconnect -------------------------------------------------

// 1. forget the attachment's cached answers; 2.-7. under the connect lock:
// checks, connecting notifications, the login prompt, the DPB and the attach;
// 8. a failed attach raises; 9.-13. attachment id, monitor, dialect, server
// time, features (with OnConnect and the after-connect callbacks);
// 14. connected notifications; 15. the logger.
void TFIBDatabase::Connect() {
  attachment_id_ = -1;
  std::fill(std::begin(server_version_), std::end(server_version_), -1);
  db_id_item4_ = 0;
  ISC_STATUS status = 0;
  IIBClientLibrary* lib = nullptr;
  {
    TCriticalSectionGuard guard(State().connect_lock);
    CheckInactive();
    CheckDatabaseName();
    lib = GetClientLibrary();
    TFIBBase::Notify(clients_, &TFIBBase::on_database_connecting_, false);
    if (use_login_prompt_ && !Login()) RaiseClientError(fceOperationCancelled);
    if (rebuild_dpb_) {
      // Building trims the lines in place, which marks the list changed
      // again; the flag is cleared once the block is built.
      BuildDPB(db_params_.get(), dpb_, dpb_length_);
      rebuild_dpb_ = false;
    }
    const auto nameLength = db_name_.size() <= 32767 ? static_cast<short>(db_name_.size()) : short{0};
    status = CheckCall(lib->isc_attach_database(StatusVector(), nameLength, db_name_.c_str(), &handle_,
                                                dpb_length_, dpb_.data()),
                       false);
  }
  if (status > 0) {
    handle_ = 0;
    RaiseStatusError(lib, this);
  }
  GetAttachmentID();
  if (MonitoringActive()) {
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) hook->DBConnect(this);
  }
  server_time_difference_ = 0;
  const Integer ownDialect = GetDatabaseSQLDialect();
  if (ownDialect < sql_dialect_) sql_dialect_ = ownDialect;
  if (synchronize_time_ && !IsDesigning()) server_time_difference_ = Now() - QueryServerTime();
  DetectServerFeatures();
  TFIBBase::Notify(clients_, &TFIBBase::on_database_connected_, false, [this] { return !Connected(); });
  if (sql_logger_ != nullptr) WriteLog("Connect");
}

bool TFIBDatabase::Login() {
  if (DBLoginDialogProc == nullptr)
    throw Exception(String("Unable to find Database login dialog. ") +
                    "Please, add FIBDBLoginDlg into USES statement of your project.");
  auto value = [this](const char* name) {
    const int i = FindDBParamLine(name);
    if (i < 0) return String();
    const String line = db_params_->Strings(i);
    const size_t eq = line.find('=');
    return eq == String::npos ? String() : line.substr(eq + 1);
  };
  String user = value("user_name");
  String password = value("password");
  String role = value("sql_role_name");
  if (!DBLoginDialogProc(db_name_, user, password, role)) return false;
  auto put = [this](const char* name, const String& v) {
    const int i = FindDBParamLine(name);
    const String line = String(name) + "=" + v;
    if (i >= 0) db_params_->Put(i, line);
    else db_params_->Add(line);
  };
  put("user_name", user);
  put("password", password);
  put("sql_role_name", role);
  return true;
}

// 1. CheckActive; 2. BeforeDisconnect and the before-disconnect callbacks;
// 3. the attached active transactions end, forced; 4. disconnecting
// notifications; 5. the detach (a failure raises unless forced); 6. monitor;
// 7. disconnected notifications; 8. AfterDisconnect; 9. the logger.
void TFIBDatabase::Disconnect(bool Force) {
  CheckActive();
  RunDisconnectEvent(before_disconnect_, "BeforeDisconnect");
  for (int i = 0; i < before_disconnect_events_->Count(); ++i)
    before_disconnect_events_->GetCallBack(i).As<void(TObject*)>()(this);
  Detach(Force);
}

void TFIBDatabase::Detach(bool Force) {
  for (size_t i = 0; i < transactions_.size(); ++i) {
    TFIBTransaction* tr = transactions_[i];
    if (tr != nullptr && tr->Active()) tr->EndOnDisconnect();
  }
  TFIBBase::Notify(clients_, &TFIBBase::on_database_disconnecting_, false);
  IIBClientLibrary* lib = GetClientLibrary();
  CheckCall(lib->isc_detach_database(StatusVector(), &handle_), !Force);
  handle_ = 0;
  if (MonitoringActive()) {
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) hook->DBDisconnect(this);
  }
  TFIBBase::Notify(clients_, &TFIBBase::on_database_disconnected_, false);
  RunDisconnectEvent(after_disconnect_, "AfterDisconnect");
  if (sql_logger_ != nullptr) WriteLog("Disconnect");
}

void TFIBDatabase::DropConnection() noexcept {
  if (!Connected()) return;
  try {
    ForceClose();
    return;
  } catch (...) {
  }
  if (Connected()) NoThrow([this] { Detach(true); });
  if (!Connected()) return;
  // A step before the detach failed: the transactions end and the
  // attachment goes without further notice.
  for (TFIBTransaction* tr : transactions_) {
    if (tr != nullptr) NoThrow([&] { tr->EndOnDisconnect(); });
  }
  if (client_library_) client_library_->isc_detach_database(StatusVector(), &handle_);
  handle_ = 0;
}

void TFIBDatabase::RunDisconnectEvent(const TNotifyEvent& Event, const char* Name) {
  if (!Event.Assigned()) return;
  const char* fmt = IsDestroying()
                        ? "Error of %s.%s. Probably you are trying to get access to destroyed components. %s"
                        : "Error of %s.%s. %s";
  String message;
  try {
    Event(this);
    return;
  } catch (const Exception& e) {
    message = e.Message();
  } catch (const std::exception& e) {
    message = e.what();
  }
  throw Exception(fmt, {CmpFullName(this), Name, message});
}

void TFIBDatabase::Close() {
  if (Connected()) Disconnect(false);
  attachment_id_ = -1;
}

void TFIBDatabase::WriteLog(const String& Operation) {
  sql_logger_->WriteData(CmpFullName(this), Operation, String(), lfConnect);
}

// --- Properties ---------------------------------------------------------------

void TFIBDatabase::SetConnected(bool Value) {
  if (IsLoading()) {
    streamed_connected_ = Value;
    return;
  }
  if (Value) Connect();
  else Close();
}

bool TFIBDatabase::IsConnectedStored() const {
  return Connected() && design_db_options_.Contains(ddoStoreConnected);
}

bool TFIBDatabase::IsLibraryNameStored() const { return library_name_ != DefaultLibraryName; }

void TFIBDatabase::SetDBName(const String& Value) {
  if (Value == db_name_) return;
  if (IsDesigning()) Close();
  else CheckInactive();
  db_name_ = Value;
}

void TFIBDatabase::SetDBParams(TStrings* Value) { db_params_->Assign(Value); }

void TFIBDatabase::DBParamsChanging(TObject*) {
  if (!IsDesigning()) CheckInactive();
}

void TFIBDatabase::DBParamsChange(TObject*) { rebuild_dpb_ = true; }

void TFIBDatabase::SetDefaultTransaction(TFIBTransaction* Value) {
  if (Value != nullptr && Value != default_transaction_) {
    Value->AddDatabase(this);
    if (Value->default_database_ == nullptr) Value->default_database_ = this;
  }
  default_transaction_ = Value;
}

void TFIBDatabase::SetDefaultUpdateTransaction(TFIBTransaction* Value) {
  if (Value != nullptr && Value != default_update_transaction_) {
    Value->AddDatabase(this);
    if (Value->default_database_ == nullptr) Value->default_database_ = this;
  }
  default_update_transaction_ = Value;
}

void TFIBDatabase::SetSQLDialect(Integer Value) {
  if (Value < 1) RaiseClientError(fceInvalidSQLDialect);
  if (Connected() && Value > GetDatabaseSQLDialect()) RaiseClientError(fceInvalidSQLDialect);
  sql_dialect_ = Value;
}

Cardinal TFIBDatabase::Timeout() const { return timer_ != nullptr ? timer_->Interval() : 0; }

void TFIBDatabase::SetTimeout(Cardinal Value) {
  SetIdleTimer(timer_, Value, {this, &TFIBDatabase::IdleTimerTick}, IsDesigning());
}

void TFIBDatabase::IdleTimerTick(TObject*) {
  if (!Connected()) return;
  if (idle_) {
    ForceClose();
    on_timeout_(this);
  } else {
    idle_ = true;
  }
}

void TFIBDatabase::SetDesignDBOptions(TDesignDBOptions Value) {
  design_db_options_ = Value;
  if (Value.Contains(ddoIsDefaultDatabase)) {
    MakeDefault();
    return;
  }
  TCriticalSectionGuard guard(State().list_lock);
  if (State().default_database == this) State().default_database = nullptr;
}

// The database that held the default role loses its flag; a database being
// read takes the role in Loaded.
void TFIBDatabase::MakeDefault() {
  TCriticalSectionGuard guard(State().list_lock);
  TFIBDatabase*& current = State().default_database;
  if (current != nullptr && current != this) current->design_db_options_.Exclude(ddoIsDefaultDatabase);
  if (!IsLoading()) current = this;
}

void TFIBDatabase::SetLibraryName(const String& Value) {
  CheckInactive();
  if (Value == library_name_) return;
  client_library_.reset();
  library_name_ = Value;
}

void TFIBDatabase::SetSQLLogger(ISQLLogger* Value) {
  if (Value != nullptr) {
    Value->RegisterDatabase(this);
    if (auto* component = dynamic_cast<TComponent*>(Value)) FreeNotification(component);
  }
  sql_logger_ = Value;
}

// --- Client library and checks ---------------------------------------------------

void TFIBDatabase::LoadClientLibrary() {
  if (!client_library_) client_library_ = SharedClientLibrary(library_name_);
}

IIBClientLibrary* TFIBDatabase::GetClientLibrary() {
  LoadClientLibrary();
  return client_library_.get();
}

ISC_STATUS TFIBDatabase::CheckCall(ISC_STATUS Status, bool Raise) {
  idle_ = false;
  if (timer_ != nullptr && timer_->Enabled()) {
    timer_->SetEnabled(false);
    timer_->SetEnabled(true);
  }
  if (Raise && Status > 0) RaiseStatusError(GetClientLibrary(), this);
  return Status;
}

void TFIBDatabase::CheckActive() {
  if (streamed_connected_ && !Connected()) Loaded();
  if (Connected()) return;
  if (!IsDesigning()) RaiseClientError(fceDatabaseNotOpen, {CmpFullName(this)});
  const bool saved = use_login_prompt_;
  const bool prompt = connect_params_->Password().empty();
  use_login_prompt_ = prompt;
  try {
    Connect();
  } catch (...) {
    if (!prompt) {
      use_login_prompt_ = true;
      NoThrow([this] { Connect(); });
    }
  }
  use_login_prompt_ = saved;
}

void TFIBDatabase::CheckInactive() {
  if (Connected()) RaiseClientError(fceDatabaseOpen);
}

void TFIBDatabase::CheckDatabaseName() {
  if (db_name_.empty()) RaiseClientError(fceDatabaseNameMissing);
}

// --- Links and transactions -----------------------------------------------------

TFIBBase* TFIBDatabase::Clients(int Index) const {
  CheckListIndex(clients_, Index);
  return clients_[static_cast<size_t>(Index)];
}

int TFIBDatabase::AddClient(TFIBBase* Client) {
  clients_.push_back(Client);
  return static_cast<int>(clients_.size()) - 1;
}

void TFIBDatabase::RemoveClient(int Index) {
  TFIBBase::LeaveList(clients_, Index, &TFIBBase::database_index_)->database_ = nullptr;
}

void TFIBDatabase::RemoveClients() {
  while (!clients_.empty()) RemoveClient(ClientCount() - 1);
}

TFIBTransaction* TFIBDatabase::Transactions(int Index) const {
  CheckListIndex(transactions_, Index);
  return transactions_[static_cast<size_t>(Index)];
}

int TFIBDatabase::FindTransaction(TFIBTransaction* Transaction) const {
  if (Transaction == nullptr) return -1;
  auto it = std::find(transactions_.begin(), transactions_.end(), Transaction);
  return it == transactions_.end() ? -1 : static_cast<int>(it - transactions_.begin());
}

int TFIBDatabase::ActiveTransactionCount() const {
  return static_cast<int>(std::count_if(transactions_.begin(), transactions_.end(),
                                        [](TFIBTransaction* tr) { return tr != nullptr && tr->Active(); }));
}

TFIBTransaction* TFIBDatabase::FirstActiveTransaction() const {
  for (TFIBTransaction* tr : transactions_) {
    if (tr != nullptr && tr->Active()) return tr;
  }
  return nullptr;
}

int TFIBDatabase::AddTransaction(TFIBTransaction* Transaction) {
  if (Transaction == nullptr) return -1;
  int i = FindTransaction(Transaction);
  if (i >= 0) return i;
  auto empty = std::find(transactions_.begin(), transactions_.end(), nullptr);
  if (empty != transactions_.end()) {
    *empty = Transaction;
    return static_cast<int>(empty - transactions_.begin());
  }
  transactions_.push_back(Transaction);
  return static_cast<int>(transactions_.size()) - 1;
}

void TFIBDatabase::RemoveTransaction(int Index) {
  CheckListIndex(transactions_, Index);
  TFIBTransaction* tr = transactions_[static_cast<size_t>(Index)];
  if (tr == nullptr) return;
  transactions_[static_cast<size_t>(Index)] = nullptr;
  tr->Unlink(this);
  const int j = tr->FindDatabase(this);
  if (j >= 0) tr->RemoveDatabase(j);
}

void TFIBDatabase::RemoveTransactions() {
  for (int i = TransactionCount() - 1; i >= 0; --i) {
    if (i < TransactionCount()) RemoveTransaction(i);
  }
  transactions_.clear();
}

// --- DBParams helpers -------------------------------------------------------------

int TFIBDatabase::FindDBParamLine(const String& Name) const {
  const String name = UpperCase(Name);
  if (name.empty()) return -1;
  // The name, with or without the prefix, followed by "=", a blank or the
  // end: "password" does not find a "password_enc" line.
  auto matchesAt = [&name](const String& line, size_t at) {
    if (line.compare(at, name.size(), name) != 0) return false;
    const size_t next = at + name.size();
    return next == line.size() || line[next] == '=' || static_cast<unsigned char>(line[next]) <= ' ';
  };
  for (int i = 0; i < db_params_->Count(); ++i) {
    const String line = UpperCase(db_params_->Strings(i));
    if (matchesAt(line, 0) || (line.compare(0, 8, "ISC_DPB_") == 0 && matchesAt(line, 8))) return i;
  }
  return -1;
}

String TFIBDatabase::GetDPBParamValue(Integer Item) const {
  const char* name = DPBParamName(Item);
  if (name == nullptr) return String();
  const int i = FindDBParamLine(name);
  if (i < 0) return String();
  const String line = db_params_->Strings(i);
  const size_t eq = line.find('=');
  return eq == String::npos ? String() : line.substr(eq + 1);
}

void TFIBDatabase::SetDBParamValue(const String& Name, const String& Value) {
  const int i = FindDBParamLine(Name);
  if (Value.empty()) {
    if (i >= 0) db_params_->Delete(i);
    return;
  }
  const String line = Name + "=" + Value;
  if (i >= 0) db_params_->Put(i, line);
  else db_params_->Add(line);
}

void TFIBDatabase::SetDPBParamValue(Integer Item, const String& Value) {
  if (const char* name = DPBParamName(Item)) SetDBParamValue(name, Value);
}

// --- BLOB filters -------------------------------------------------------------------

void TFIBDatabase::StoreCachedItem(void*& Buffer, Integer& Size, bool Read, Integer SubType) {
  if (blob_filters_) blob_filters_->ApplyFilter(Buffer, Size, Read, SubType);
}

bool TFIBDatabase::FindCachedItem(Integer SubType) const {
  int position = 0;
  return blob_filters_ && blob_filters_->Find(SubType, position);
}

// --- Server information ---------------------------------------------------------------

Integer TFIBDatabase::GetIntegerInfo(Byte Item, bool& Answered) {
  CheckActive();
  IIBClientLibrary* lib = GetClientLibrary();
  const char item = static_cast<char>(Item);
  char answer[512] = {};
  CheckCall(lib->isc_database_info(StatusVector(), &handle_, 1, &item, sizeof answer, answer), true);
  Answered = static_cast<Byte>(answer[0]) == Item;
  if (!Answered) return 0;
  const auto length = static_cast<short>(lib->isc_vax_integer(answer + 1, 2));
  if (length <= 0 || length > 4) return 0;
  return static_cast<Integer>(lib->isc_vax_integer(answer + 3, length));
}

String TFIBDatabase::GetStringInfo(Byte Item, int BufferSize, bool& Answered) {
  CheckActive();
  IIBClientLibrary* lib = GetClientLibrary();
  const char item = static_cast<char>(Item);
  std::vector<char> answer(static_cast<size_t>(BufferSize), 0);
  CheckCall(lib->isc_database_info(StatusVector(), &handle_, 1, &item, static_cast<short>(BufferSize), answer.data()),
            true);
  Answered = static_cast<Byte>(answer[0]) == Item;
  if (!Answered) return String();
  const size_t length = static_cast<Byte>(answer[4]);
  return String(answer.data() + 5, std::min(length, answer.size() - 5));
}

Integer TFIBDatabase::GetAttachmentID() {
  if (!Connected()) return -1;
  if (attachment_id_ == -1) {
    bool answered = false;
    const Integer id = GetIntegerInfo(kInfoAttachmentId, answered);
    attachment_id_ = answered ? id : -1;
  }
  return attachment_id_;
}

Integer TFIBDatabase::GetDatabaseSQLDialect() {
  bool answered = false;
  const Integer dialect = GetIntegerInfo(kInfoSQLDialect, answered);
  return answered ? dialect : 1;
}

String TFIBDatabase::GetServerVersion() {
  bool answered = false;
  return GetStringInfo(kInfoServerVersion, 1024, answered);
}

String TFIBDatabase::GetFirebirdVersion() {
  bool answered = false;
  return GetStringInfo(kInfoFirebirdVersion, 512, answered);
}

Integer TFIBDatabase::GetODSVersion() {
  bool answered = false;
  return GetIntegerInfo(kInfoODSVersion, answered);
}

Integer TFIBDatabase::GetODSMinorVersion() {
  bool answered = false;
  return GetIntegerInfo(kInfoODSMinorVersion, answered);
}

Integer TFIBDatabase::GetAttachmentCharSetID() {
  bool answered = false;
  const Integer id = GetIntegerInfo(kInfoCharSet, answered);
  return answered ? id : -1;
}

Integer TFIBDatabase::GetBaseLevel() {
  bool answered = false;
  return GetIntegerInfo(kInfoBaseLevel, answered);
}

void ParseServerVersionText(const String& Version, Integer (&Numbers)[4]) {
  String digits;
  int part = 0;
  for (size_t i = 4; i + 1 < Version.size() && part < 4; ++i) {
    const char c = Version[i];
    if (c >= '0' && c <= '9') {
      digits += c;
    } else {
      Numbers[part++] = digits.empty() ? 0 : StrToIntDef(digits, 0);
      digits.clear();
    }
  }
}

void TFIBDatabase::ParseServerVersion() {
  ParseServerVersionText(is_firebird_ ? GetFirebirdVersion() : GetServerVersion(), server_version_);
}

Integer TFIBDatabase::GetServerMajorVersion() {
  if (server_version_[0] == -1) ParseServerVersion();
  return server_version_[0];
}

Integer TFIBDatabase::GetServerMinorVersion() {
  if (server_version_[0] == -1) ParseServerVersion();
  return server_version_[1];
}

Integer TFIBDatabase::GetServerRelease() {
  if (server_version_[0] == -1) ParseServerVersion();
  return server_version_[2];
}

Integer TFIBDatabase::GetServerBuild() {
  if (server_version_[0] == -1) ParseServerVersion();
  return server_version_[3];
}

void TFIBDatabase::DetectServerFeatures() {
  LoadClientLibrary();
  bool answered = false;
  GetStringInfo(kInfoFirebirdVersion, 512, answered);
  is_firebird_ = answered;
  is_ib8_ = !is_firebird_ && GetServerMajorVersion() >= 8;
  if (is_firebird_ && GetServerMajorVersion() >= 2) {
    const Integer charset = GetAttachmentCharSetID();
    unicode_attachment_ = charset >= 0 && charset < 256 && UnicodeCharSetIDs().test(static_cast<size_t>(charset));
    unicode_or_none_ = unicode_attachment_ || charset == 0;
    const Integer major = GetServerMajorVersion(), minor = GetServerMinorVersion();
    const Integer ods = GetODSVersion(), odsMinor = GetODSMinorVersion();
    is_ods11_1_ = unicode_or_none_ && (major > 2 || (major == 2 && minor >= 1)) &&
                  (ods > 11 || (ods == 11 && odsMinor >= 1));
  } else {
    const String charset = UpperCase(connect_params_->CharSet());
    unicode_attachment_ = charset == "UNICODE_FSS" || charset == "UTF8";
    unicode_or_none_ = unicode_attachment_ || charset == "NONE" || charset.empty();
    is_ods11_1_ = false;
  }
  if (!IsDesigning() && blob_swap_support_->Active() && !blob_swap_support_->GetSwapDir().empty())
    StartValidateBlobCache(this);
  on_connect_(this);
  for (int i = 0; i < after_connect_events_->Count() && Connected(); ++i)
    after_connect_events_->GetCallBack(i).As<void(TObject*)>()(this);
}

TCharSetIDs TFIBDatabase::UnicodeCharSetIDs() const {
  TCharSetIDs ids;
  ids.set(3);
  if (!Connected()) return ids;
  if (is_firebird_) {
    ids.set(4);
  } else if (is_ib8_) {
    ids.set(8);
    ids.set(59);
    ids.set(64);
  }
  return ids;
}

Integer TFIBDatabase::BytesPerCharacter(Integer CharSetID) const {
  if (CharSetID == 3) return 3;
  if (!Connected()) return 1;
  if (is_firebird_) return CharSetID == 4 ? 4 : 1;
  if (is_ib8_) {
    switch (CharSetID) {
      case 8:
      case 64:
        return 2;
      case 59:
        return 4;
      default:
        return 1;
    }
  }
  return 1;
}

bool TFIBDatabase::IsUnicodeCharSet() const {
  if (Connected()) return unicode_or_none_;
  const String charset = UpperCase(connect_params_->CharSet());
  return charset == "UNICODE_FSS" || charset == "NONE" || charset == "UTF8" || charset.empty();
}

bool TFIBDatabase::NeedUnicodeConvert() const {
  if (Connected()) return unicode_attachment_;
  const String charset = UpperCase(connect_params_->CharSet());
  return charset == "UNICODE_FSS" || charset == "UTF8";
}

bool TFIBDatabase::IsConnectionAlive() {
  if (!Connected()) return false;
  try {
    GetBaseLevel();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TFIBDatabase::TestConnected() {
  if (IsConnectionAlive()) return true;
  DropConnection();
  return false;
}

bool TFIBDatabase::IsDBIdItem4() {
  CheckActive();
  if (db_id_item4_ == 0) {
    IIBClientLibrary* lib = GetClientLibrary();
    const char item = static_cast<char>(kInfoDbId);
    char answer[512] = {};
    CheckCall(lib->isc_database_info(StatusVector(), &handle_, 1, &item, sizeof answer, answer), true);
    db_id_item4_ = static_cast<Byte>(answer[3]);
  }
  return db_id_item4_ == 4;
}

// ===========================================================================
// TFIBTransaction

TFIBTransaction::TFIBTransaction(TComponent* AOwner) : TComponent(AOwner) {
  cs_monitor_support_ = std::make_unique<TCSMonitorSupport>(this);
  tr_params_ = std::make_unique<TStringList>();
  tr_params_->SetOnChanging({this, &TFIBTransaction::TRParamsChanging});
  tr_params_->SetOnChange({this, &TFIBTransaction::TRParamsChange});
  for (auto& list : handlers_) list = std::make_unique<TCallBackList>(nullptr);
  // Placed in a designer: the process-wide default database.
  if (AOwner != nullptr && AOwner->IsDesigning() && !ChainLoading(AOwner)) {
    if (TFIBDatabase* db = GlobalDefaultDatabase()) SetDefaultDatabase(db);
  }
}

void TFIBTransaction::BeforeDestruction() {
  Destroying();
  delete timer_;
  timer_ = nullptr;
  if (Active()) {
    try {
      EndOnDisconnect();
    } catch (...) {
      // A handler refused: the transaction still ends (nothing may leave a
      // destructor).
      if (Active() && client_library_) client_library_->isc_rollback_transaction(StatusVector(), &handle_);
      handle_ = 0;
    }
  }
  TCallBackList* beforeDestroy = handlers_[tekBeforeDestroy].get();
  for (int i = beforeDestroy->Count() - 1; i >= 0; --i) {
    auto handler = beforeDestroy->GetCallBack(i).As<void(TObject*)>();
    NoThrow([&] { handler(this); });
  }
  for (int i = ClientCount() - 1; i >= 0; --i) {
    if (i >= ClientCount()) continue;
    TFIBBase* link = clients_[static_cast<size_t>(i)];
    TFIBBaseNotifyEvent handler = link->on_transaction_free_;
    NoThrow([&] { handler(link); });
    link->transaction_ = nullptr;
    link->transaction_index_ = -1;
  }
  clients_.clear();
  RemoveDatabases();
  TComponent::BeforeDestruction();
}

TFIBTransaction::~TFIBTransaction() = default;

void TFIBTransaction::Loaded() {
  TComponent::Loaded();
  const bool start = streamed_active_;
  streamed_active_ = false;
  if (start && !Active()) StartTransaction();
}

// 1. checks; 2. the TPB; 3. one TEB entry per database (each database
// checked active; its own parameter text when it has one); 4. starting
// notifications; 5. before-start handlers (last first), the start, after-start
// handlers (last first); 6. started notifications; 7. monitor; 8. logger.
void TFIBTransaction::StartTransaction() {
  CheckNotInTransaction();
  CheckDatabasesInList();
  if (rebuild_tpb_) {
    BuildTPB(tr_params_.get(), tpb_, tpb_length_);
    rebuild_tpb_ = false;
  }
  // The client's transaction existence block entry.
  struct TTEB {
    isc_db_handle* Database;
    int TPBLength;
    const char* TPB;
  };
  const size_t count = databases_.size();
  std::vector<TTEB> teb(count);
  std::vector<String> ownTPB(count);
  for (size_t i = 0; i < count; ++i) {
    TFIBDatabase* db = databases_[i];
    db->CheckActive();
    SmallInt ownLength = 0;
    if (!database_tr_params_[i].empty()) {
      TStringList lines;
      lines.SetText(database_tr_params_[i]);
      BuildTPB(&lines, ownTPB[i], ownLength);
    }
    teb[i].Database = db->HandlePtr();
    if (ownLength > 0) {
      teb[i].TPBLength = ownLength;
      teb[i].TPB = ownTPB[i].data();
    } else {
      teb[i].TPBLength = tpb_length_;
      teb[i].TPB = tpb_.data();
    }
  }
  TFIBBase::Notify(clients_, &TFIBBase::on_transaction_starting_, false);
  if (!Active()) {
    CallStartHandlers(handlers_[tekBeforeStart].get());
    IIBClientLibraryRef lib(MainDatabase()->GetClientLibrary());
    const ISC_STATUS status =
        CheckCall(lib->isc_start_multiple(StatusVector(), &handle_, static_cast<short>(count), teb.data()), false);
    if (status > 0) {
      handle_ = 0;
      RaiseStatusError(lib.get(), this);
    }
    client_library_ = lib;
    CallStartHandlers(handlers_[tekAfterStart].get());
  }
  TFIBBase::Notify(clients_, &TFIBBase::on_transaction_started_, false);
  if (MonitoringActive()) {
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) hook->TRStart(this);
  }
  if (TFIBDatabase* db = MainDatabase(); db != nullptr && db->SQLLogger() != nullptr)
    WriteLog("StartTransaction(TransactionID=" + IntToStr(TransactionID()) + ")");
}

// 1. CheckInTransaction; 2. logger; 3./4. ending notifications (last first),
// before-end handlers (in order), the end, ended notifications, after-end
// handlers; 5. monitor; 6. (designer only: statements free their handles);
// 7. the cached id is cleared.
void TFIBTransaction::EndTransaction(TTransactionAction Action, bool Force) {
  static constexpr const char* kWords[] = {"RollBack", "RollBackRetianing", "Commit", "CommitRetianing"};
  CheckInTransaction();
  if (TFIBDatabase* db = MainDatabase(); db != nullptr && db->SQLLogger() != nullptr)
    WriteLog(kWords[Action] + String("(TransactionID=") + IntToStr(TransactionID()) + ") ");
  // The monitor's texts name the id, which a hard end takes away.
  if (MonitoringActive()) TransactionID();
  IIBClientLibraryRef lib = client_library_;
  if (!lib) lib = IIBClientLibraryRef(MainDatabase()->GetClientLibrary());

  const bool was_ending = ending_;
  const TTransactionAction was_action = ending_action_;
  ending_ = true;
  ending_action_ = Action;
  struct TEndingReset {
    TFIBTransaction* tr;
    bool ending;
    TTransactionAction action;
    ~TEndingReset() { tr->ending_ = ending, tr->ending_action_ = action; }
  } ending_reset{this, was_ending, was_action};
  TFIBBase::Notify(clients_, &TFIBBase::on_transaction_ending_, true);
  CallEndHandlers(handlers_[tekBeforeEnd].get(), Action, Force);
  String forcedRollback;
  bool rolledBack = false;
  switch (Action) {
    case TACommitRetaining:
      CheckCall(lib->isc_commit_retaining(StatusVector(), &handle_), true);
      break;
    case TARollbackRetaining:
      CheckCall(lib->isc_rollback_retaining(StatusVector(), &handle_), true);
      break;
    case TACommit:
    case TARollback: {
      const ISC_STATUS status =
          CheckCall(Action == TACommit ? lib->isc_commit_transaction(StatusVector(), &handle_)
                                       : lib->isc_rollback_transaction(StatusVector(), &handle_),
                    false);
      if (status > 0) {
        if (!Force) RaiseStatusError(lib.get(), this);
        if (Action == TACommit) forcedRollback = StatusMessage(lib.get(), this);
        rolledBack = lib->isc_rollback_transaction(StatusVector(), &handle_) == 0;
      }
      if (Force) handle_ = 0;
      break;
    }
  }
  TFIBBase::Notify(clients_, &TFIBBase::on_transaction_ended_, true);
  CallEndHandlers(handlers_[tekAfterEnd].get(), Action, Force);
  if (!forcedRollback.empty()) {
    ReportForcedRollback(forcedRollback + (rolledBack ? "" : "The rollback failed as well.\r\n"));
  } else if (MonitoringActive()) {
    if (TFIBSQLMonitorHook* hook = GetMonitorHook()) {
      switch (Action) {
        case TARollback:
          hook->TRRollback(this);
          break;
        case TARollbackRetaining:
          hook->TRRollbackRetaining(this);
          break;
        case TACommit:
          hook->TRCommit(this);
          break;
        case TACommitRetaining:
          hook->TRCommitRetaining(this);
          break;
      }
    }
  }
  transaction_id_ = 0;
}

// A forced commit that the server refused ended in a rollback: the monitor
// and the logger hear of it instead of a commit.
void TFIBTransaction::ReportForcedRollback(const String& Message) {
  const String text = "Commit failed, transaction rolled back:\r\n" + Message;
  if (MonitoringActive()) {
    TFIBSQLMonitorHook* hook = GetMonitorHook();
    if (hook != nullptr && default_database_ != nullptr && hook->KindMonitored(mdkTransaction))
      hook->WriteSQLData(TransactionText(Name(), mtaRollback, transaction_id_) + kCRLF + text, mdkTransaction);
  }
  if (TFIBDatabase* db = MainDatabase(); db != nullptr && db->SQLLogger() != nullptr)
    db->SQLLogger()->WriteData(CmpFullName(this), "RollBack(TransactionID=" + IntToStr(transaction_id_) + ") ", text,
                               lfTransact);
}

void TFIBTransaction::WriteLog(const String& Operation) {
  MainDatabase()->SQLLogger()->WriteData(CmpFullName(this), Operation,
                                         "TransactionParams:\r\n" + tr_params_->Text(), lfTransact);
}

void TFIBTransaction::EndOnDisconnect() {
  if (Active()) EndTransaction(HardAction(timeout_action_), true);
}

void TFIBTransaction::CallStartHandlers(TCallBackList* List) {
  for (int i = List->Count() - 1; i >= 0; --i) List->GetCallBack(i).As<void(TObject*)>()(this);
}

void TFIBTransaction::CallEndHandlers(TCallBackList* List, TTransactionAction Action, bool Force) {
  for (int i = 0; i < List->Count(); ++i)
    List->GetCallBack(i).As<TEndTrEvent::Signature>()(this, Action, Force);
}

// --- Properties ---------------------------------------------------------------

void TFIBTransaction::SetActive(bool Value) {
  if (IsLoading()) {
    streamed_active_ = Value;
    return;
  }
  if (Value && !Active()) StartTransaction();
  else if (!Value && Active()) Rollback();
}

bool TFIBTransaction::IsActiveStored() const {
  TFIBDatabase* db = MainDatabase();
  return Active() && db != nullptr && db->IsConnectedStored();
}

void TFIBTransaction::SetDefaultDatabase(TFIBDatabase* Value) {
  if (Value == default_database_) return;
  CheckNotInTransaction();
  if (Value != nullptr) {
    if (default_database_ != nullptr && FindDatabase(default_database_) >= 0) ReplaceDatabase(default_database_, Value);
    else AddDatabase(Value);
  }
  default_database_ = Value;
}

Cardinal TFIBTransaction::Timeout() const { return timer_ != nullptr ? timer_->Interval() : 0; }

void TFIBTransaction::SetTimeout(Cardinal Value) {
  SetIdleTimer(timer_, Value, {this, &TFIBTransaction::IdleTimerTick}, IsDesigning());
}

void TFIBTransaction::IdleTimerTick(TObject*) {
  if (!Active()) return;
  if (idle_) {
    EndTransaction(timeout_action_, true);
    on_timeout_(this);
  } else {
    idle_ = true;
  }
}

void TFIBTransaction::SetTRParams(TStrings* Value) { tr_params_->Assign(Value); }

void TFIBTransaction::TRParamsChanging(TObject*) { CheckNotInTransaction(); }

void TFIBTransaction::TRParamsChange(TObject*) { rebuild_tpb_ = true; }

// --- Checks -------------------------------------------------------------------------

ISC_STATUS TFIBTransaction::CheckCall(ISC_STATUS Status, bool Raise) {
  for (TFIBDatabase* db : databases_) db->idle_ = false;
  idle_ = false;
  if (Raise && Status > 0) {
    IIBClientLibrary* lib = client_library_.get();
    if (lib == nullptr && !databases_.empty()) lib = databases_.front()->GetClientLibrary();
    if (lib == nullptr) RaiseClientError(fceUnknownError);
    RaiseStatusError(lib, this);
  }
  return Status;
}

void TFIBTransaction::CheckInTransaction() {
  if (streamed_active_ && !Active()) Loaded();
  if (Active()) return;
  if (IsDesigning()) StartTransaction();
  else RaiseClientError(fceTransactionNotActive, {CmpFullName(this)});
}

void TFIBTransaction::CheckNotInTransaction() {
  if (Active()) RaiseClientError(fceTransactionActive, {CmpFullName(this)});
}

void TFIBTransaction::CheckDatabasesInList() {
  if (databases_.empty()) RaiseClientError(fceNoDatabasesInTransaction, {CmpFullName(this)});
}

Int64 TFIBTransaction::TransactionID() {
  if (transaction_id_ >= 1) return transaction_id_;
  if (!Active()) return 0;
  IIBClientLibrary* lib = client_library_.get();
  const char item = isc_info_tra_id;
  char answer[32] = {};
  CheckCall(lib->isc_transaction_info(StatusVector(), &handle_, 1, &item, sizeof answer, answer), true);
  if (answer[0] == isc_info_tra_id) {
    const auto length = static_cast<short>(lib->isc_vax_integer(answer + 1, 2));
    if (length > 0 && length <= 8)
      transaction_id_ = lib->isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(answer + 3), length);
  }
  return transaction_id_;
}

// --- Databases ------------------------------------------------------------------------

TFIBDatabase* TFIBTransaction::Databases(int Index) const {
  CheckListIndex(databases_, Index);
  return databases_[static_cast<size_t>(Index)];
}

TFIBDatabase* TFIBTransaction::MainDatabase() const {
  if (default_database_ != nullptr) return default_database_;
  return databases_.empty() ? nullptr : databases_.front();
}

int TFIBTransaction::FindDatabase(TFIBDatabase* Database) const {
  if (Database == nullptr) return -1;
  auto it = std::find(databases_.begin(), databases_.end(), Database);
  return it == databases_.end() ? -1 : static_cast<int>(it - databases_.begin());
}

int TFIBTransaction::AddDatabase(TFIBDatabase* Database) {
  if (Database == nullptr) return -1;
  const int i = FindDatabase(Database);
  if (i >= 0) return i;
  if (!databases_.empty() && databases_.front()->LibraryName() != Database->LibraryName())
    throw Exception("%s.\r\nTransaction can't work with different client library.", {CmpFullName(this)});
  Database->AddTransaction(this);
  databases_.push_back(Database);
  database_tr_params_.emplace_back();
  return static_cast<int>(databases_.size()) - 1;
}

void TFIBTransaction::Unlink(TFIBDatabase* Database) {
  if (Database->default_transaction_ == this) Database->default_transaction_ = nullptr;
  if (Database->default_update_transaction_ == this) Database->default_update_transaction_ = nullptr;
  if (default_database_ == Database) default_database_ = nullptr;
}

void TFIBTransaction::RemoveDatabase(int Index) {
  CheckListIndex(databases_, Index);
  TFIBDatabase* db = databases_[static_cast<size_t>(Index)];
  databases_.erase(databases_.begin() + Index);
  database_tr_params_.erase(database_tr_params_.begin() + Index);
  Unlink(db);
  const int j = db->FindTransaction(this);
  if (j >= 0) db->RemoveTransaction(j);
}

void TFIBTransaction::ReplaceDatabase(TFIBDatabase* OldDatabase, TFIBDatabase* NewDatabase) {
  const int i = FindDatabase(OldDatabase);
  if (i < 0) {
    AddDatabase(NewDatabase);
    return;
  }
  if (NewDatabase == nullptr || FindDatabase(NewDatabase) >= 0) {
    RemoveDatabase(i);
    return;
  }
  for (TFIBDatabase* db : databases_) {
    if (db != OldDatabase && db->LibraryName() != NewDatabase->LibraryName())
      throw Exception("%s.\r\nTransaction can't work with different client library.", {CmpFullName(this)});
  }
  NewDatabase->AddTransaction(this);
  databases_[static_cast<size_t>(i)] = NewDatabase;
  database_tr_params_[static_cast<size_t>(i)].clear();
  Unlink(OldDatabase);
  const int j = OldDatabase->FindTransaction(this);
  if (j >= 0) OldDatabase->RemoveTransaction(j);
}

void TFIBTransaction::RemoveDatabases() {
  while (!databases_.empty()) RemoveDatabase(DatabaseCount() - 1);
}

const String& TFIBTransaction::DatabaseTRParams(int Index) const {
  CheckListIndex(database_tr_params_, Index);
  return database_tr_params_[static_cast<size_t>(Index)];
}

void TFIBTransaction::SetDatabaseTRParams(int Index, const String& Text) {
  CheckListIndex(database_tr_params_, Index);
  database_tr_params_[static_cast<size_t>(Index)] = Text;
}

// --- Links -------------------------------------------------------------------------------

TFIBBase* TFIBTransaction::Clients(int Index) const {
  CheckListIndex(clients_, Index);
  return clients_[static_cast<size_t>(Index)];
}

int TFIBTransaction::AddClient(TFIBBase* Client) {
  clients_.push_back(Client);
  return static_cast<int>(clients_.size()) - 1;
}

void TFIBTransaction::RemoveClient(int Index) {
  TFIBBase::LeaveList(clients_, Index, &TFIBBase::transaction_index_)->transaction_ = nullptr;
}

void TFIBTransaction::RemoveClients() {
  while (!clients_.empty()) RemoveClient(ClientCount() - 1);
}

// --- Handlers ---------------------------------------------------------------------------

TCallBackList* TFIBTransaction::HandlerList(int Kind) const {
  if (Kind < tekBeforeStart || Kind > tekBeforeDestroy)
    AssertionFailed("Invalid transaction event kind", __FILE__, __LINE__);
  return handlers_[Kind].get();
}

void TFIBTransaction::AddTransactionEvent(int Kind, const TNotifyEvent& Handler) {
  if (Kind == tekBeforeEnd || Kind == tekAfterEnd)
    AssertionFailed("Invalid transaction event kind", __FILE__, __LINE__);
  HandlerList(Kind)->AddCallBack(Handler);
}

void TFIBTransaction::RemoveTransactionEvent(int Kind, const TNotifyEvent& Handler) {
  if (Kind == tekBeforeEnd || Kind == tekAfterEnd)
    AssertionFailed("Invalid transaction event kind", __FILE__, __LINE__);
  HandlerList(Kind)->RemoveCallBack(Handler);
}

void TFIBTransaction::AddEndTransactionEvent(int Kind, const TEndTrEvent& Handler) {
  if (Kind != tekBeforeEnd && Kind != tekAfterEnd)
    AssertionFailed("Invalid transaction event kind", __FILE__, __LINE__);
  HandlerList(Kind)->AddCallBack(Handler);
}

void TFIBTransaction::RemoveEndTransactionEvent(int Kind, const TEndTrEvent& Handler) {
  if (Kind != tekBeforeEnd && Kind != tekAfterEnd)
    AssertionFailed("Invalid transaction event kind", __FILE__, __LINE__);
  HandlerList(Kind)->RemoveCallBack(Handler);
}

// ===========================================================================
// TFIBBase

TFIBBase::~TFIBBase() {
  SetDatabase(nullptr);
  SetTransaction(nullptr);
}

String TFIBBase::OwnerName() const {
  auto* component = dynamic_cast<TComponent*>(owner_);
  return component != nullptr ? CmpFullName(component) : String();
}

void TFIBBase::CheckDatabase() {
  if (database_ == nullptr) RaiseClientError(fceDatabaseNotAssigned, {OwnerName()});
  database_->CheckActive();
}

void TFIBBase::CheckTransaction() {
  if (transaction_ == nullptr) RaiseClientError(fceTransactionNotAssigned, {OwnerName()});
  transaction_->CheckInTransaction();
}

void TFIBBase::SetDatabase(TFIBDatabase* Value) {
  if (Value == database_) return;
  if (database_ != nullptr) database_->RemoveClient(database_index_);
  database_ = Value;
  if (Value == nullptr) return;
  database_index_ = Value->AddClient(this);
  auto* owner = dynamic_cast<TComponent*>(owner_);
  if (transaction_ == nullptr && owner_ != nullptr && !(owner != nullptr && ChainLoading(owner)))
    SetTransaction(Value->DefaultTransaction());
}

void TFIBBase::SetTransaction(TFIBTransaction* Value) {
  if (Value == transaction_) return;
  if (transaction_ != nullptr) transaction_->RemoveClient(transaction_index_);
  transaction_ = Value;
  if (Value == nullptr) return;
  transaction_index_ = Value->AddClient(this);
  if (database_ != nullptr && Value->FindDatabase(database_) >= 0) return;
  if (Value->DatabaseCount() > 0) SetDatabase(Value->MainDatabase());
}

TFIBBase* TFIBBase::LeaveList(std::vector<TFIBBase*>& List, int Index, int TFIBBase::*Slot) {
  CheckListIndex(List, Index);
  TFIBBase* link = List[static_cast<size_t>(Index)];
  TFIBBase* last = List.back();
  List[static_cast<size_t>(Index)] = last;
  last->*Slot = Index;
  List.pop_back();
  link->*Slot = -1;
  return link;
}

void TFIBBase::Notify(const std::vector<TFIBBase*>& List, TFIBBaseNotifyEvent TFIBBase::*Slot, bool Reverse,
                      const std::function<bool()>& Stop) {
  // A handler may take links out of the list: every step looks again.
  auto fire = [Slot](TFIBBase* link) {
    TFIBBaseNotifyEvent handler = link->*Slot;
    if (handler) handler(link);
  };
  if (Reverse) {
    for (int i = static_cast<int>(List.size()) - 1; i >= 0; --i) {
      if (i < static_cast<int>(List.size())) fire(List[static_cast<size_t>(i)]);
    }
  } else {
    for (size_t i = 0; i < List.size(); ++i) {
      if (Stop && Stop()) break;
      fire(List[i]);
    }
  }
}

isc_db_handle* TFIBBase::GetDBHandle() {
  CheckDatabase();
  return database_->HandlePtr();
}

isc_tr_handle* TFIBBase::GetTRHandle() {
  CheckTransaction();
  return transaction_->HandlePtr();
}

// ===========================================================================
// Unit

namespace {

void InitFIBDatabase() {
  RegisterClass<TFIBDatabase, TComponent>("TFIBDatabase")
      .Prop("Connected", &TFIBDatabase::Connected, &TFIBDatabase::SetConnected)
      .Stored(&TFIBDatabase::IsConnectedStored)
      .Prop("BlobSwapSupport", &TFIBDatabase::BlobSwapSupport, &TFIBDatabase::SetBlobSwapSupport)
      .Prop("DBName", &TFIBDatabase::DBName, &TFIBDatabase::SetDBName)
      .Prop("DBParams", &TFIBDatabase::DBParams, &TFIBDatabase::SetDBParams)
      .Prop("DefaultTransaction", &TFIBDatabase::DefaultTransaction, &TFIBDatabase::SetDefaultTransaction)
      .Prop("DefaultUpdateTransaction", &TFIBDatabase::DefaultUpdateTransaction,
            &TFIBDatabase::SetDefaultUpdateTransaction)
      .Prop("SQLDialect", &TFIBDatabase::SQLDialect, &TFIBDatabase::SetSQLDialect)
      .Prop("Timeout", &TFIBDatabase::Timeout, &TFIBDatabase::SetTimeout, Cardinal{0})
      .Prop("UseLoginPrompt", &TFIBDatabase::UseLoginPrompt, &TFIBDatabase::SetUseLoginPrompt, false)
      .Event("OnTimeout", &TFIBDatabase::OnTimeout, &TFIBDatabase::SetOnTimeout)
      .Prop("UpperOldNames", &TFIBDatabase::UpperOldNames, &TFIBDatabase::SetUpperOldNames, false)
      .Event("BeforeDisconnect", &TFIBDatabase::BeforeDisconnect, &TFIBDatabase::SetBeforeDisconnect)
      .Event("AfterDisconnect", &TFIBDatabase::AfterDisconnect, &TFIBDatabase::SetAfterDisconnect)
      .Object("ConnectParams", &TFIBDatabase::ConnectParams)
      .Stored(false)
      .Prop("SynchronizeTime", &TFIBDatabase::SynchronizeTime, &TFIBDatabase::SetSynchronizeTime, true)
      .Prop("DesignDBOptions", &TFIBDatabase::DesignDBOptions, &TFIBDatabase::SetDesignDBOptions,
            TDesignDBOptions{ddoStoreConnected})
      .Event("OnConnect", &TFIBDatabase::OnConnect, &TFIBDatabase::SetOnConnect)
      .Stored(false)
      .Event("BeforeSaveBlobToSwap", &TFIBDatabase::BeforeSaveBlobToSwap, &TFIBDatabase::SetBeforeSaveBlobToSwap)
      .Event("AfterSaveBlobToSwap", &TFIBDatabase::AfterSaveBlobToSwap, &TFIBDatabase::SetAfterSaveBlobToSwap)
      .Event("AfterLoadBlobFromSwap", &TFIBDatabase::AfterLoadBlobFromSwap, &TFIBDatabase::SetAfterLoadBlobFromSwap)
      .Event("BeforeLoadBlobFromSwap", &TFIBDatabase::BeforeLoadBlobFromSwap,
             &TFIBDatabase::SetBeforeLoadBlobFromSwap)
      .Prop("UseRepositories", &TFIBDatabase::UseRepositories, &TFIBDatabase::SetUseRepositories,
            TFIBUseRepositories{urFieldsInfo, urDataSetInfo, urErrorMessagesInfo})
      .Prop("LibraryName", &TFIBDatabase::LibraryName, &TFIBDatabase::SetLibraryName)
      .Stored(&TFIBDatabase::IsLibraryNameStored)
      // A reference to a component that implements ISQLLogger.
      .Prop(
          "SQLLogger",
          [](TFIBDatabase* db) -> TComponent* { return dynamic_cast<TComponent*>(db->SQLLogger()); },
          [](TFIBDatabase* db, TComponent* logger) {
            auto* value = dynamic_cast<ISQLLogger*>(logger);
            if (logger != nullptr && value == nullptr) throw EPropertyError("Invalid property value");
            db->SetSQLLogger(value);
          })
      .Prop("UseBlrToTextFilter", &TFIBDatabase::UseBlrToTextFilter, &TFIBDatabase::SetUseBlrToTextFilter, false)
      .Object("CSMonitorSupport", &TFIBDatabase::CSMonitorSupport);
  RegisterClass<TFIBTransaction, TComponent>("TFIBTransaction")
      .Prop("Active", &TFIBTransaction::Active, &TFIBTransaction::SetActive)
      .Stored(&TFIBTransaction::IsActiveStored)
      .Prop("DefaultDatabase", &TFIBTransaction::DefaultDatabase, &TFIBTransaction::SetDefaultDatabase)
      .Prop("Timeout", &TFIBTransaction::Timeout, &TFIBTransaction::SetTimeout, Cardinal{0})
      .Prop("TimeoutAction", &TFIBTransaction::TimeoutAction, &TFIBTransaction::SetTimeoutAction)
      .Prop("TRParams", &TFIBTransaction::TRParams, &TFIBTransaction::SetTRParams)
      .Event("OnTimeout", &TFIBTransaction::OnTimeout, &TFIBTransaction::SetOnTimeout)
      .Object("CSMonitorSupport", &TFIBTransaction::CSMonitorSupport);
}

// Stops the BLOB-cache validators (their databases are in the list too),
// then closes every database still open (a failing close is forced).
void FinalFIBDatabase() {
  StopValidateBlobCacheThreads();
  TUnitState& state = State();
  TCriticalSectionGuard guard(state.list_lock);
  for (size_t i = 0; i < state.databases.size(); ++i) {
    TFIBDatabase* db = state.databases[i];
    try {
      db->Close();
    } catch (...) {
      NoThrow([db] {
        if (db->Connected()) db->ForceClose();
      });
    }
  }
  state.default_database = nullptr;
}

constexpr const TUnit* kUses[] = {&unit_fib,     &unit_IB_Intf,          &unit_pFIBProps, &unit_FIBSQLMonitor,
                                  &unit_TypInfo, &unit_pFIBCacheQueries, &unit_StdFuncs};

}  // namespace

constinit const TUnit unit_FIBDatabase("FIBDatabase", kUses, InitFIBDatabase, FinalFIBDatabase);
