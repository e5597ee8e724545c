// Database and transaction components and the statement link.
//
// TFIBDatabase is one attachment to one database; TFIBTransaction one server
// transaction over one or more databases; TFIBBase the link through which a
// statement or dataset reaches both and hears of their lifecycle.
//
// Client calls. Every call into the client library goes through the
// database's binding and passes the calling thread's status vector first;
// the database or transaction that makes it checks the result with its
// CheckCall, which resets the idle state and, with Raise, raises the
// server's error (EFIBInterBaseError with the component as raiser) when the
// status is 1 or more:
//
//   IIBClientLibrary* lib = db->GetClientLibrary();
//   db->CheckCall(lib->isc_dsql_alloc_statement2(StatusVector(), link->GetDBHandle(), &stmt), true);
//   tr->CheckCall(lib->isc_dsql_execute(StatusVector(), link->GetTRHandle(), &stmt, 3, nullptr), true);
//
// Without Raise the caller inspects the status itself and raises later with
// RaiseStatusError(lib, raiser) (fib.h). The floating-point control word the
// original design restores after each call is left alone on x86-64 (see
// IB_Intf.h).
//
// Links. A TFIBBase joins the client lists of its database and transaction
// through SetDatabase/SetTransaction and keeps its index there (a removed
// link's slot takes the last link). Notifications reach its ten slots:
// connecting, connected, disconnecting, disconnected and started/starting in
// list order; ending, ended and the two free notifications from the last
// link to the first.
//
// All databases of the process are in one thread-safe list; one of them may
// be the process-wide default database. One recursive lock serialises every
// attach of the process, the login prompt included.
#pragma once

#include <bitset>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "dataaccess/core/IB_Intf.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/ibase.h"
#include "dataaccess/core/pFIBEventLists.h"
#include "dataaccess/core/pFIBInterfaces.h"
#include "dataaccess/core/pFIBProps.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

class TFIBBase;
class TFIBBlobStream;
class TFIBDatabase;
class TFIBTimer;
class TFIBTransaction;

extern const TUnit unit_FIBDatabase;

RTL_ENUM(TDesignDBOption, ddoIsDefaultDatabase, ddoStoreConnected, ddoNotSavePassword);
using TDesignDBOptions = Set<TDesignDBOption>;
RTL_ENUM(TFIBUseRepository, urFieldsInfo, urDataSetInfo, urErrorMessagesInfo);
using TFIBUseRepositories = Set<TFIBUseRepository>;
RTL_ENUM(TTransactionAction, TARollback, TARollbackRetaining, TACommit, TACommitRetaining);

using TEndTrEvent = Event<void(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force)>;
using TFIBBaseNotifyEvent = Event<void(TFIBBase* Sender)>;

// Events of the BLOB disk cache, fired by a BLOB stream of a dataset record
// with its table, field and key values. The "before" events may change the
// cache file's name and refuse the load or save.
using TBeforeLoadBlobFromSwap = Event<void(const String& TableName, const String& FieldName,
                                           std::span<const Variant> RecordKeyValues, String& FileName,
                                           bool& CanLoad)>;
using TBeforeSaveBlobToSwap =
    Event<void(const String& TableName, const String& FieldName, std::span<const Variant> RecordKeyValues,
               TFIBBlobStream* Stream, String& FileName, bool& CanSave)>;
using TAfterSaveLoadBlobSwap = Event<void(const String& TableName, const String& FieldName,
                                          std::span<const Variant> RecordKeyValues, const String& FileName)>;

// Kinds of the transaction's handler lists.
enum TTransactionEventKind : int {
  tekBeforeStart = 0,  // TNotifyEvent
  tekAfterStart = 1,   // TNotifyEvent
  tekBeforeEnd = 2,    // TEndTrEvent
  tekAfterEnd = 3,     // TEndTrEvent
  tekBeforeDestroy = 4,  // TNotifyEvent
};

// The login prompt a database runs when UseLoginPrompt is set: the database
// name and the user name, password and role of its DBParams; true when the
// user accepted (the three values may then have changed). Installed by the
// unit FIBDBLoginDlg; empty until then.
using TDBLoginDialogProc = bool (*)(const String& DBName, String& UserName, String& Password, String& RoleName);
extern TDBLoginDialogProc DBLoginDialogProc;

// The process-wide default database (nullptr when none) and a snapshot of
// the list of all databases.
TFIBDatabase* GlobalDefaultDatabase();
std::vector<TFIBDatabase*> FIBDatabaseList();

// Reads major, minor, release and build from a server version string: from
// its 5th character to the next-to-last, each run of digits ends at the next
// non-digit and fills the next number (an empty run gives 0); the numbers
// the string does not reach keep their values.
void ParseServerVersionText(const String& Version, Integer (&Numbers)[4]);

// Fills each parameter of Target from Sources, in order, every source
// visited (nullptr skipped) so that a later one overrides: a source column of
// the parameter's name (without a "NEW_" or "OLD_" prefix; "OLD_" takes the
// column's old value), else a source parameter of the full name.
void AssignParamsFromSources(ISQLObject* Target, std::span<ISQLObject* const> Sources);

// Character-set ids 0-255.
using TCharSetIDs = std::bitset<256>;

// ---------------------------------------------------------------------------
// TFIBDatabase

class TFIBDatabase : public TComponent {
 public:
  explicit TFIBDatabase(TComponent* AOwner);
  ~TFIBDatabase() override;
  void BeforeDestruction() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Attach and detach (see FIBDatabase.cpp for the steps and their order).
  virtual void Disconnect(bool Force);
  virtual void Connect();
  // Disconnect(False) when connected; the cached attachment id is reset.
  void Close();
  void ForceClose() { Disconnect(true); }

  // --- Published properties
  bool Connected() const { return handle_ != 0; }
  // While read from a form resource only the value is kept (for Loaded).
  void SetConnected(bool Value);
  TBlobSwapSupport* BlobSwapSupport() const { return blob_swap_support_.get(); }
  void SetBlobSwapSupport(TBlobSwapSupport* Value) { blob_swap_support_->Assign(Value); }
  const String& DBName() const { return db_name_; }
  // Client error 13 while connected (a designer closes it instead).
  void SetDBName(const String& Value);
  TDBParams* DBParams() const { return db_params_.get(); }
  void SetDBParams(TStrings* Value);
  TFIBTransaction* DefaultTransaction() const { return default_transaction_; }
  void SetDefaultTransaction(TFIBTransaction* Value);
  TFIBTransaction* DefaultUpdateTransaction() const { return default_update_transaction_; }
  void SetDefaultUpdateTransaction(TFIBTransaction* Value);
  Integer SQLDialect() const { return sql_dialect_; }
  // Client error 61 below 1, and while connected above the database's own dialect.
  void SetSQLDialect(Integer Value);
  // Idle disconnect time in ms; 0 = none.
  Cardinal Timeout() const;
  void SetTimeout(Cardinal Value);
  bool UseLoginPrompt() const { return use_login_prompt_; }
  void SetUseLoginPrompt(bool Value) { use_login_prompt_ = Value; }
  const TNotifyEvent& OnTimeout() const { return on_timeout_; }
  void SetOnTimeout(TNotifyEvent Value) { on_timeout_ = std::move(Value); }
  bool UpperOldNames() const { return upper_old_names_; }
  void SetUpperOldNames(bool Value) { upper_old_names_ = Value; }
  const TNotifyEvent& BeforeDisconnect() const { return before_disconnect_; }
  void SetBeforeDisconnect(TNotifyEvent Value) { before_disconnect_ = std::move(Value); }
  const TNotifyEvent& AfterDisconnect() const { return after_disconnect_; }
  void SetAfterDisconnect(TNotifyEvent Value) { after_disconnect_ = std::move(Value); }
  TConnectParams* ConnectParams() const { return connect_params_.get(); }
  bool SynchronizeTime() const { return synchronize_time_; }
  void SetSynchronizeTime(bool Value) { synchronize_time_ = Value; }
  TDesignDBOptions DesignDBOptions() const { return design_db_options_; }
  void SetDesignDBOptions(TDesignDBOptions Value);
  const TNotifyEvent& OnConnect() const { return on_connect_; }
  void SetOnConnect(TNotifyEvent Value) { on_connect_ = std::move(Value); }
  const TBeforeSaveBlobToSwap& BeforeSaveBlobToSwap() const { return before_save_blob_to_swap_; }
  void SetBeforeSaveBlobToSwap(TBeforeSaveBlobToSwap Value) { before_save_blob_to_swap_ = std::move(Value); }
  const TAfterSaveLoadBlobSwap& AfterSaveBlobToSwap() const { return after_save_blob_to_swap_; }
  void SetAfterSaveBlobToSwap(TAfterSaveLoadBlobSwap Value) { after_save_blob_to_swap_ = std::move(Value); }
  const TAfterSaveLoadBlobSwap& AfterLoadBlobFromSwap() const { return after_load_blob_from_swap_; }
  void SetAfterLoadBlobFromSwap(TAfterSaveLoadBlobSwap Value) { after_load_blob_from_swap_ = std::move(Value); }
  const TBeforeLoadBlobFromSwap& BeforeLoadBlobFromSwap() const { return before_load_blob_from_swap_; }
  void SetBeforeLoadBlobFromSwap(TBeforeLoadBlobFromSwap Value) { before_load_blob_from_swap_ = std::move(Value); }
  TFIBUseRepositories UseRepositories() const { return use_repositories_; }
  void SetUseRepositories(TFIBUseRepositories Value) { use_repositories_ = Value; }
  const String& LibraryName() const { return library_name_; }
  // Client error 13 while connected; a new name drops the loaded binding.
  void SetLibraryName(const String& Value);
  ISQLLogger* SQLLogger() const { return sql_logger_; }
  void SetSQLLogger(ISQLLogger* Value);
  bool UseBlrToTextFilter() const { return use_blr_to_text_filter_; }
  void SetUseBlrToTextFilter(bool Value) { use_blr_to_text_filter_ = Value; }
  TCSMonitorSupport* CSMonitorSupport() const { return cs_monitor_support_.get(); }

  // Stored-conditions of the form resource.
  bool IsConnectedStored() const;
  bool IsLibraryNameStored() const;

  // --- Client library, handle and checks
  // Loads the binding on first use.
  IIBClientLibrary* GetClientLibrary();
  isc_db_handle Handle() const { return handle_; }
  isc_db_handle* HandlePtr() { return &handle_; }
  // Run after every client call of the database: ends the idle state,
  // restarts a running idle timer and, with Raise and Status >= 1, raises
  // the server's error with this database as raiser. Returns Status.
  ISC_STATUS CheckCall(ISC_STATUS Status, bool Raise = true);
  // Client error 12 when not connected (a pending streamed Connected runs
  // Loaded first; a designer tries to connect instead).
  void CheckActive();
  void CheckInactive();  // client error 13 when connected
  void CheckDatabaseName();  // client error 14 for an empty DBName

  // --- Links and transactions
  int ClientCount() const { return static_cast<int>(clients_.size()); }
  TFIBBase* Clients(int Index) const;
  void RemoveClient(int Index);
  void RemoveClients();
  // Transactions keep their slots; removed ones leave an empty slot (nullptr)
  // that the next added transaction takes.
  int TransactionCount() const { return static_cast<int>(transactions_.size()); }
  TFIBTransaction* Transactions(int Index) const;
  int FindTransaction(TFIBTransaction* Transaction) const;
  int ActiveTransactionCount() const;
  TFIBTransaction* FirstActiveTransaction() const;
  int AddTransaction(TFIBTransaction* Transaction);
  void RemoveTransaction(int Index);
  void RemoveTransactions();
  TFIBTransaction* GetInternalTransaction() const { return internal_transaction_; }

  // --- DBParams helpers
  // Index of the line of the parameter Name ("user_name"), written with or
  // without the "isc_dpb_" prefix in any case; -1 when absent.
  int FindDBParamLine(const String& Name) const;
  // The text after the first "=" of connection item Item's line ("" when absent).
  String GetDPBParamValue(Integer Item) const;
  // Deletes the line for an empty Value, else replaces it with
  // Name "=" Value or appends that line.
  void SetDBParamValue(const String& Name, const String& Value);
  void SetDPBParamValue(Integer Item, const String& Value);

  // --- BLOB filters: a list set from outside (freed with the database).
  TBlobFilterList* BlobFilters() const { return blob_filters_.get(); }
  void SetBlobFilters(std::unique_ptr<TBlobFilterList> Value) { blob_filters_ = std::move(Value); }
  void StoreCachedItem(void*& Buffer, Integer& Size, bool Read, Integer SubType);
  bool FindCachedItem(Integer SubType) const;

  // --- Callback lists, each called with the database.
  TNotifyEventList* AfterConnectEvents() const { return after_connect_events_.get(); }
  TNotifyEventList* BeforeDisconnectEvents() const { return before_disconnect_events_.get(); }
  TNotifyEventList* BeforeDestroyEvents() const { return before_destroy_events_.get(); }

  ISQLStatMaker* StatisticsMaker() const { return stat_maker_; }
  void SetStatisticsMaker(ISQLStatMaker* Value) { stat_maker_ = Value; }

  // Local time minus the server's time, measured at connect (0 without
  // SynchronizeTime).
  TDateTime ServerTimeDifference() const { return server_time_difference_; }
  // Replaces the measured difference until the next connect (a server clock
  // known to be off).
  void SetServerTimeDifference(TDateTime Value) { server_time_difference_ = Value; }

  // --- Server information
  // The attachment id, cached until the next connect or close; -1 when not
  // connected.
  Integer GetAttachmentID();
  // An integer information item; Answered tells whether the server gave it.
  Integer GetIntegerInfo(Byte Item, bool& Answered);
  Integer GetDatabaseSQLDialect();  // 1 when the server does not answer
  String GetServerVersion();        // item 12
  String GetFirebirdVersion();      // item 103; "" when not given
  Integer GetODSVersion();
  Integer GetODSMinorVersion();
  Integer GetAttachmentCharSetID();  // -1 when not given
  Integer GetBaseLevel();
  // The server version parsed once per connect ("LI-V3.0.11.33637 ..." gives
  // 3, 0, 11, 33637); -1 for a number the string did not give.
  Integer GetServerMajorVersion();
  Integer GetServerMinorVersion();
  Integer GetServerRelease();
  Integer GetServerBuild();
  // False when not connected; otherwise one information request: true when
  // it succeeds. TestConnected also closes a database whose request fails,
  // forced and whatever its BeforeDisconnect handler does.
  bool IsConnectionAlive();
  bool TestConnected();
  // Item 4 (cached until the next connect) is 4: a remote attachment.
  bool IsDBIdItem4();
  bool IsFirebirdConnect() const { return is_firebird_; }
  bool IsIB8Connect() const { return is_ib8_; }
  bool IsODS11_1() const { return is_ods11_1_; }
  TCharSetIDs UnicodeCharSetIDs() const;
  Integer BytesPerCharacter(Integer CharSetID) const;
  bool IsUnicodeCharSet() const;
  bool NeedUnicodeConvert() const;
  // Names compare and are written upper-cased without quotes.
  bool UseUpperNames() const { return sql_dialect_ < 3 || upper_old_names_; }
  // The server's current date and time, read on the internal transaction.
  TDateTime QueryServerTime();

  // --- Query helpers (statements of the prepared-statement cache)
  // Runs SQL on Transaction, or on the internal transaction (committed
  // afterwards) when nullptr, starting it when needed. The first parameters
  // take ParamValues in order (Empty values are skipped). Gives column
  // FieldIndex of the first row, or for FieldIndex < 0 a variant array of all
  // its columns (BLOB columns as text); False when the statement has no
  // columns. A failure rolls the statement's transaction back and raises.
  // The statement goes back to the cache when KeepPrepared and either a
  // parameter was passed or all columns were read; otherwise it is freed.
  Variant QueryValues(const String& SQL, Integer FieldIndex, std::span<const Variant> ParamValues,
                      TFIBTransaction* Transaction = nullptr, bool KeepPrepared = true);
  // QueryValues with the one parameter value 0.
  Variant QueryValue(const String& SQL, Integer FieldIndex, TFIBTransaction* Transaction = nullptr,
                     bool KeepPrepared = true);
  // gen_id(Name, Step) from a cached statement (GeneratorSQL), on the
  // database's first active transaction, else on Transaction, else on the
  // internal one; a transaction started here is committed after a success.
  Int64 GeneratorValue(const String& Name, TFIBTransaction* Transaction, Int64 Step);
  // The text GeneratorValue runs. Name is written upper-cased in dialect 1,
  // as given when empty or already quoted, else in double quotes when the
  // identifier rules ask for them (lower-case letters need none when
  // UseUpperNames) and upper-cased otherwise.
  String GeneratorSQL(const String& Name, Int64 Step) const;

 protected:
  // Runs the login prompt on DBParams; false when the user cancelled.
  bool Login();
  void IdleTimerTick(TObject* Sender);

 private:
  friend class TFIBTransaction;
  friend class TFIBBase;

  void MakeDefault();
  int AddClient(TFIBBase* Client);
  void LoadClientLibrary();
  void DetectServerFeatures();
  void ParseServerVersion();
  String GetStringInfo(Byte Item, int BufferSize, bool& Answered);
  void RunDisconnectEvent(const TNotifyEvent& Event, const char* Name);
  // Steps 3-9 of Disconnect: everything after the before-disconnect handlers.
  void Detach(bool Force);
  // A forced close that no handler can stop: when a before-disconnect
  // handler raises, the remaining steps still run, and the attachment goes
  // even when one of them fails. Errors on the way are dropped.
  void DropConnection() noexcept;
  void WriteLog(const String& Operation);
  void DBParamsChanging(TObject* Sender);
  void DBParamsChange(TObject* Sender);

  // Client state
  IIBClientLibraryRef client_library_;
  isc_db_handle handle_ = 0;
  String dpb_;
  SmallInt dpb_length_ = 0;
  bool rebuild_dpb_ = true;
  std::vector<TFIBBase*> clients_;
  std::vector<TFIBTransaction*> transactions_;
  TFIBTransaction* internal_transaction_ = nullptr;
  TFIBTimer* timer_ = nullptr;
  bool idle_ = false;
  TDateTime server_time_difference_ = 0;
  bool streamed_connected_ = false;

  // Server information
  Integer attachment_id_ = -1;
  Integer server_version_[4] = {-1, -1, -1, -1};
  Byte db_id_item4_ = 0;
  bool is_firebird_ = false;
  bool is_ib8_ = false;
  bool unicode_attachment_ = false;
  bool unicode_or_none_ = false;
  bool is_ods11_1_ = false;

  // Published state
  String db_name_;
  std::unique_ptr<TDBParams> db_params_;
  std::unique_ptr<TConnectParams> connect_params_;
  std::unique_ptr<TCSMonitorSupport> cs_monitor_support_;
  TFIBTransaction* default_transaction_ = nullptr;
  TFIBTransaction* default_update_transaction_ = nullptr;
  Integer sql_dialect_ = 1;
  bool use_login_prompt_ = false;
  bool upper_old_names_ = false;
  bool synchronize_time_ = true;
  bool use_blr_to_text_filter_ = false;
  TDesignDBOptions design_db_options_{ddoStoreConnected};
  TFIBUseRepositories use_repositories_{urFieldsInfo, urDataSetInfo, urErrorMessagesInfo};
  String library_name_;
  ISQLLogger* sql_logger_ = nullptr;
  ISQLStatMaker* stat_maker_ = nullptr;
  TNotifyEvent on_timeout_, before_disconnect_, after_disconnect_, on_connect_;
  std::unique_ptr<TBlobSwapSupport> blob_swap_support_;
  TBeforeSaveBlobToSwap before_save_blob_to_swap_;
  TAfterSaveLoadBlobSwap after_save_blob_to_swap_;
  TAfterSaveLoadBlobSwap after_load_blob_from_swap_;
  TBeforeLoadBlobFromSwap before_load_blob_from_swap_;

  std::unique_ptr<TBlobFilterList> blob_filters_;
  std::unique_ptr<TNotifyEventList> after_connect_events_;
  std::unique_ptr<TNotifyEventList> before_disconnect_events_;
  std::unique_ptr<TNotifyEventList> before_destroy_events_;
};

// ---------------------------------------------------------------------------
// TFIBTransaction

class TFIBTransaction : public TComponent {
 public:
  explicit TFIBTransaction(TComponent* AOwner);
  ~TFIBTransaction() override;
  void BeforeDestruction() override;
  void Loaded() override;

  virtual void EndTransaction(TTransactionAction Action, bool Force);
  // Called by a statement before (Kind 0) and after (Kind 1) it runs; does
  // nothing here.
  virtual void DoOnSQLExec(TComponent* /*Query*/, Integer /*Kind*/) {}
  virtual void StartTransaction();
  virtual void Commit() { EndTransaction(TACommit, false); }
  virtual void CommitRetaining() { EndTransaction(TACommitRetaining, false); }
  virtual void Rollback() { EndTransaction(TARollback, false); }
  virtual void RollbackRetaining() { EndTransaction(TARollbackRetaining, false); }

  // --- Published properties
  bool Active() const { return handle_ != 0; }
  // True starts an inactive transaction, False rolls an active one back;
  // while read from a form resource only the value is kept.
  void SetActive(bool Value);
  TFIBDatabase* DefaultDatabase() const { return default_database_; }
  // Client error 16 when active; the new database takes the old one's place
  // in the database list.
  void SetDefaultDatabase(TFIBDatabase* Value);
  Cardinal Timeout() const;
  void SetTimeout(Cardinal Value);
  TTransactionAction TimeoutAction() const { return timeout_action_; }
  void SetTimeoutAction(TTransactionAction Value) { timeout_action_ = Value; }
  TStrings* TRParams() const { return tr_params_.get(); }
  void SetTRParams(TStrings* Value);
  const TNotifyEvent& OnTimeout() const { return on_timeout_; }
  void SetOnTimeout(TNotifyEvent Value) { on_timeout_ = std::move(Value); }
  TCSMonitorSupport* CSMonitorSupport() const { return cs_monitor_support_.get(); }
  bool IsActiveStored() const;

  // --- Handle and checks
  isc_tr_handle Handle() const { return handle_; }
  isc_tr_handle* HandlePtr() { return &handle_; }
  // Run after every client call of the transaction: ends the idle state of
  // the transaction and of its databases and, with Raise and Status >= 1,
  // raises the server's error with this transaction as raiser.
  ISC_STATUS CheckCall(ISC_STATUS Status, bool Raise = true);
  // Client error 15 when not active (a pending streamed Active runs Loaded
  // first; a designer starts the transaction instead).
  void CheckInTransaction();
  void CheckNotInTransaction();  // client error 16 when active
  void CheckDatabasesInList();   // client error 18 without databases
  // The server's id of the running transaction (cached); 0 when not active.
  Int64 TransactionID();
  // While EndTransaction runs (from before the links hear of the end until
  // the after-end handlers are done): true, with the action carried out.
  bool Ending() const { return ending_; }
  TTransactionAction EndingAction() const { return ending_action_; }

  // --- Databases
  int DatabaseCount() const { return static_cast<int>(databases_.size()); }
  TFIBDatabase* Databases(int Index) const;
  // DefaultDatabase, else the first listed, else nullptr.
  TFIBDatabase* MainDatabase() const;
  int FindDatabase(TFIBDatabase* Database) const;
  // The database's index (also when already listed); -1 for nullptr. A
  // database with another LibraryName than the first one is refused.
  int AddDatabase(TFIBDatabase* Database);
  void RemoveDatabase(int Index);
  void ReplaceDatabase(TFIBDatabase* OldDatabase, TFIBDatabase* NewDatabase);
  void RemoveDatabases();
  // Parameter lines of one listed database; a non-empty text gives that
  // database its own TPB.
  const String& DatabaseTRParams(int Index) const;
  void SetDatabaseTRParams(int Index, const String& Text);

  // --- Links
  int ClientCount() const { return static_cast<int>(clients_.size()); }
  TFIBBase* Clients(int Index) const;
  int AddClient(TFIBBase* Client);
  void RemoveClient(int Index);
  void RemoveClients();

  // --- Handlers (kinds 0, 1, 4 take TNotifyEvent, 2 and 3 TEndTrEvent; a
  // handler is registered once; another kind fails an assertion).
  void AddTransactionEvent(int Kind, const TNotifyEvent& Handler);
  void RemoveTransactionEvent(int Kind, const TNotifyEvent& Handler);
  void AddEndTransactionEvent(int Kind, const TEndTrEvent& Handler);
  void RemoveEndTransactionEvent(int Kind, const TEndTrEvent& Handler);

  // Ends an active transaction, forced, with TimeoutAction (retaining
  // actions in their hard form): run for each attached transaction when a
  // database disconnects.
  void EndOnDisconnect();

 protected:
  void IdleTimerTick(TObject* Sender);

 private:
  friend class TFIBDatabase;
  friend class TFIBBase;

  TCallBackList* HandlerList(int Kind) const;
  void CallStartHandlers(TCallBackList* List);
  void CallEndHandlers(TCallBackList* List, TTransactionAction Action, bool Force);
  void ReportForcedRollback(const String& Message);
  void WriteLog(const String& Operation);
  void TRParamsChanging(TObject* Sender);
  void TRParamsChange(TObject* Sender);
  // Drops the database's references to this transaction and back.
  void Unlink(TFIBDatabase* Database);

  isc_tr_handle handle_ = 0;
  std::vector<TFIBDatabase*> databases_;
  std::vector<String> database_tr_params_;
  std::vector<TFIBBase*> clients_;
  String tpb_;
  SmallInt tpb_length_ = 0;
  bool rebuild_tpb_ = true;
  TFIBTimer* timer_ = nullptr;
  bool idle_ = false;
  Int64 transaction_id_ = 0;
  bool streamed_active_ = false;
  bool ending_ = false;
  TTransactionAction ending_action_ = TARollback;

  TFIBDatabase* default_database_ = nullptr;
  TTransactionAction timeout_action_ = TARollback;
  std::unique_ptr<TStringList> tr_params_;
  std::unique_ptr<TCSMonitorSupport> cs_monitor_support_;
  TNotifyEvent on_timeout_;
  std::unique_ptr<TCallBackList> handlers_[5];
  IIBClientLibraryRef client_library_;  // the binding the transaction was started through
};

// ---------------------------------------------------------------------------
// TFIBBase: the link of one statement or dataset

class TFIBBase : public TObject {
 public:
  explicit TFIBBase(TObject* Owner) : owner_(Owner) {}
  ~TFIBBase() override;

  // Client error 21 without database (naming the owner), then the
  // database's CheckActive.
  virtual void CheckDatabase();
  // Client error 22 without transaction, then the transaction's
  // CheckInTransaction.
  virtual void CheckTransaction();

  TObject* Owner() const { return owner_; }
  TFIBDatabase* Database() const { return database_; }
  // Joins the database's client list; a link without transaction whose
  // owner is not being loaded takes the database's DefaultTransaction.
  void SetDatabase(TFIBDatabase* Value);
  TFIBTransaction* Transaction() const { return transaction_; }
  // Joins the transaction's client list; a database that the transaction
  // does not list is replaced by the transaction's main database.
  void SetTransaction(TFIBTransaction* Value);
  // Checked handles for client calls.
  isc_db_handle* GetDBHandle();
  isc_tr_handle* GetTRHandle();

  // Notification slots, each called with the link.
  const TFIBBaseNotifyEvent& OnDatabaseConnecting() const { return on_database_connecting_; }
  void SetOnDatabaseConnecting(TFIBBaseNotifyEvent Value) { on_database_connecting_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnDatabaseConnected() const { return on_database_connected_; }
  void SetOnDatabaseConnected(TFIBBaseNotifyEvent Value) { on_database_connected_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnDatabaseDisconnecting() const { return on_database_disconnecting_; }
  void SetOnDatabaseDisconnecting(TFIBBaseNotifyEvent Value) { on_database_disconnecting_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnDatabaseDisconnected() const { return on_database_disconnected_; }
  void SetOnDatabaseDisconnected(TFIBBaseNotifyEvent Value) { on_database_disconnected_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnDatabaseFree() const { return on_database_free_; }
  void SetOnDatabaseFree(TFIBBaseNotifyEvent Value) { on_database_free_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnTransactionEnding() const { return on_transaction_ending_; }
  void SetOnTransactionEnding(TFIBBaseNotifyEvent Value) { on_transaction_ending_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnTransactionEnded() const { return on_transaction_ended_; }
  void SetOnTransactionEnded(TFIBBaseNotifyEvent Value) { on_transaction_ended_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnTransactionStarting() const { return on_transaction_starting_; }
  void SetOnTransactionStarting(TFIBBaseNotifyEvent Value) { on_transaction_starting_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnTransactionStarted() const { return on_transaction_started_; }
  void SetOnTransactionStarted(TFIBBaseNotifyEvent Value) { on_transaction_started_ = std::move(Value); }
  const TFIBBaseNotifyEvent& OnTransactionFree() const { return on_transaction_free_; }
  void SetOnTransactionFree(TFIBBaseNotifyEvent Value) { on_transaction_free_ = std::move(Value); }

 private:
  friend class TFIBDatabase;
  friend class TFIBTransaction;

  String OwnerName() const;
  // The client lists of databases and transactions: each link keeps its
  // index there in Slot, and a removed link's place takes the last link.
  static TFIBBase* LeaveList(std::vector<TFIBBase*>& List, int Index, int TFIBBase::*Slot);
  // Fires Slot of every link, from the first (stopping once Stop holds) or
  // from the last.
  static void Notify(const std::vector<TFIBBase*>& List, TFIBBaseNotifyEvent TFIBBase::*Slot, bool Reverse,
                     const std::function<bool()>& Stop = nullptr);

  TFIBDatabase* database_ = nullptr;
  int database_index_ = -1;
  TFIBTransaction* transaction_ = nullptr;
  int transaction_index_ = -1;
  TObject* owner_;
  TFIBBaseNotifyEvent on_database_connecting_;
  TFIBBaseNotifyEvent on_database_connected_;
  TFIBBaseNotifyEvent on_database_disconnecting_;
  TFIBBaseNotifyEvent on_database_disconnected_;
  TFIBBaseNotifyEvent on_database_free_;
  TFIBBaseNotifyEvent on_transaction_ending_;
  TFIBBaseNotifyEvent on_transaction_ended_;
  TFIBBaseNotifyEvent on_transaction_starting_;
  TFIBBaseNotifyEvent on_transaction_started_;
  TFIBBaseNotifyEvent on_transaction_free_;
};
