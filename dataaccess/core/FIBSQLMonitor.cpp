#include "dataaccess/core/FIBSQLMonitor.h"

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/fib.h"
#include "platform/os/NamedObjects.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SysUtils.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>

namespace {

constexpr const char* kCRLF = "\r\n";
constexpr Cardinal kHandshakeTimeout = 1000;  // ms per wait on a reader
constexpr Cardinal kIdlePoll = 50;            // ms

// Client error 54 with the system's error code.
[[noreturn]] void RaiseSharedResourceError(int Code) { RaiseClientError(fceCannotCreateSharedResource, {Code}); }

struct TUnitState {
  // Guards the creation of the hook, the opening of the channel and the
  // creation and freeing of the writer thread. The writer never takes it.
  TCriticalSection lock;
  std::atomic<TFIBSQLMonitorHook*> hook{nullptr};
  TMonitorWriterThread* writer = nullptr;  // under lock
  std::atomic<bool> closing{false};
  std::atomic<bool> monitoring{true};  // nothing in the system turns it off
  std::atomic<TMonitorChannel*> channel{nullptr};
  std::mutex prefix_lock;
  String prefix = kDefaultMonitorNamePrefix;
};

// Never destroyed: threads may still look at it while the program exits.
TUnitState& State() {
  static TUnitState* state = new TUnitState;
  return *state;
}

// Under the unit's lock.
void FreeWriter() {
  TMonitorWriterThread* writer = State().writer;
  State().writer = nullptr;
  delete writer;  // terminates it and waits for it
}

// Opens the named objects once; raises client error 54 when one of them
// cannot be created, opened or mapped.
void InitMonitorIPC() {
  TUnitState& state = State();
  TCriticalSectionGuard guard(state.lock);
  if (state.channel.load() != nullptr) return;
  std::unique_ptr<TMonitorChannel> channel;
  try {
    channel = std::make_unique<TMonitorChannel>(MonitorNamePrefix());
  } catch (const ENamedObjectError& e) {
    RaiseSharedResourceError(e.ErrorCode());
  }
  TMonitorBlock& block = channel->Block();
  for (auto counter : {TMonitorBlock::ReaderCount, TMonitorBlock::ReadersPending}) {
    Integer seen = block.Get(counter);
    while (seen < 0 && !block.Counter(counter).compare_exchange_weak(seen, 0)) {
    }
  }
  state.channel.store(channel.release(), std::memory_order_release);
}

TMonitorChannel* Channel() { return State().channel.load(std::memory_order_acquire); }

const String& ProgramFileName() {
  static const String name = [] {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    if (n <= 0) return String(program_invocation_short_name);
    const String full(path, static_cast<size_t>(n));
    return full.substr(full.rfind('/') + 1);
  }();
  return name;
}

}  // namespace

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitUnit() {
  TUnitState& state = State();
  state.closing.store(false);
  state.monitoring.store(true);
}

void FinalUnit() {
  TUnitState& state = State();
  state.closing.store(true);
  TCriticalSectionGuard guard(state.lock);
  if (state.writer != nullptr) {
    state.writer->Stop();
    FreeWriter();
  }
  delete state.hook.exchange(nullptr);
}

}  // namespace

constinit const TUnit unit_FIBSQLMonitor("FIBSQLMonitor", InitUnit, FinalUnit);

void SetMonitorNamePrefix(const String& Prefix) {
  std::lock_guard guard(State().prefix_lock);
  State().prefix = Prefix;
}

String MonitorNamePrefix() {
  std::lock_guard guard(State().prefix_lock);
  return State().prefix;
}

TFIBSQLMonitorHook* GetMonitorHook() {
  TUnitState& state = State();
  TFIBSQLMonitorHook* hook = state.hook.load(std::memory_order_acquire);
  if (hook != nullptr || state.closing.load()) return hook;
  TCriticalSectionGuard guard(state.lock);
  hook = state.hook.load();
  if (hook == nullptr && !state.closing.load()) {
    hook = new TFIBSQLMonitorHook;
    state.hook.store(hook, std::memory_order_release);
  }
  return hook;
}

bool MonitoringActive() {
  if (!State().monitoring.load()) return false;
  TMonitorChannel* channel = Channel();
  return channel == nullptr || channel->Block().Get(TMonitorBlock::ReaderCount) > 0;
}

// ---------------------------------------------------------------------------
// TMonitorBlock, TMonitorChannel

Integer TMonitorBlock::CountDown(TCounter Which) const {
  std::atomic_ref<int32_t> counter = Counter(Which);
  Integer seen = counter.load();
  while (seen > 0 && !counter.compare_exchange_weak(seen, seen - 1)) {
  }
  return seen > 0 ? seen - 1 : seen;
}

TMonitorBlock::TCounter TMonitorBlock::KindCounter(TMonitorDataKind Kind) {
  switch (Kind) {
    case mdkPrepare:
      return PrepareReaders;
    case mdkExecute:
      return ExecuteReaders;
    case mdkFetch:
      return FetchReaders;
    case mdkConnect:
      return ConnectReaders;
    case mdkTransaction:
      return TransactionReaders;
    case mdkService:
      break;
  }
  return ReaderCount;
}

std::vector<String> TMonitorChannel::ObjectNames(const String& Prefix) {
  return {Prefix + "Mutex",       Prefix + "SharedMem",         Prefix + "WriteEvent", Prefix + "WriteFinishedEvent",
          Prefix + "ReadEvent", Prefix + "ReadFinishedEvent"};
}

// Every object is created or opened on its own; the block comes last, so a
// process that finds the block finds the others complete as well.
TMonitorChannel::TMonitorChannel(const String& Prefix)
    : mutex_(std::make_unique<TNamedMutex>(Prefix + "Mutex")),
      write_(std::make_unique<TNamedEvent>(Prefix + "WriteEvent", false)),
      write_finished_(std::make_unique<TNamedEvent>(Prefix + "WriteFinishedEvent", true)),
      read_(std::make_unique<TNamedEvent>(Prefix + "ReadEvent", false)),
      read_finished_(std::make_unique<TNamedEvent>(Prefix + "ReadFinishedEvent", false)),
      memory_(std::make_unique<TNamedSharedMemory>(Prefix + "SharedMem", TMonitorBlock::kSize)),
      block_(memory_->Memory()) {}

TMonitorChannel::~TMonitorChannel() = default;

bool TMonitorChannel::Created() const { return memory_->Created(); }

// ---------------------------------------------------------------------------
// Texts

String SQLPrepareText(const String& Name, const String& SQL, const std::function<String()>& Plan) {
  String text = Name + ": [Prepare] " + SQL + kCRLF;
  try {
    text += "  Plan: " + Plan();
  } catch (...) {
    text += "  Plan: Can't retrieve plan ";
  }
  return text;
}

String MonitorParamValue(Integer SQLType, bool IsNull, const std::function<String()>& AsString, Integer BlobIDHigh,
                         Cardinal BlobIDLow) {
  if (IsNull) return "<NULL>";
  switch (SQLType & ~1) {
    case 448:  // VARCHAR
    case 452:  // CHAR
      return "'" + AsString() + "'";
    case 520:  // BLOB
      return "<BLOB> (BLOB_ID=" + std::to_string(BlobIDHigh) + "," + std::to_string(BlobIDLow) + ")";
    case 540:  // ARRAY
      return "<ARRAY>";
    default:
      return AsString();
  }
}

String SQLExecuteText(const String& Name, const String& SQL, std::span<const TMonitorParam> Params,
                      Integer StatementType, Integer RowsAffected, Cardinal TickCount) {
  String text = Name + ": [Execute] " + SQL;
  for (const TMonitorParam& param : Params) {
    text += kCRLF;
    text += "  " + param.Name + " = ";
    try {
      text += param.Value();
    } catch (...) {
      text += "<Can't print value>";
    }
  }
  if (StatementType >= 2 && StatementType <= 4) text += kCRLF + String("Rows Affected:  ") + std::to_string(RowsAffected);
  text += kCRLF + String("Execute tick count ") + std::to_string(TickCount);
  return text;
}

String SQLFetchText(const String& Name, const String& SQL, std::span<const TMonitorColumn> Columns, bool Eof) {
  String text = kCRLF + Name + ": [Fetch] " + SQL;
  for (const TMonitorColumn& column : Columns) text += column.Name + " = " + column.Value.value_or("NULL") + kCRLF;
  if (Eof) text += kCRLF + String("  End of file reached");
  return text;
}

String DBConnectText(const String& DatabaseName) { return DatabaseName + ": [Connect]"; }

String DBDisconnectText(const String& DatabaseName) { return DatabaseName + ": [Disconnect]"; }

String TransactionText(const String& Name, TMonitorTRAction Action, Int64 TransactionID) {
  static constexpr const char* kActions[] = {
      ": [Start transaction](",
      ": [Commit (Hard commit)](",
      ": [Commit retaining (Soft commit)](",
      ": [Rollback](",
      ": [Rollback retaining (Soft rollback)](",
  };
  return Name + kActions[Action] + std::to_string(TransactionID) + ")";
}

String SavepointText(const String& Name, Int64 TransactionID, const String& SavepointName, Byte Operation) {
  static constexpr const char* kOperations[] = {" [SetSavePoint(", " [RollBackToSavePoint(", " [ReleaseSavePoint("};
  String text = Name + ": Transaction(" + std::to_string(TransactionID) + ") -";
  if (Operation < std::size(kOperations)) text += kOperations[Operation] + String("\"") + SavepointName + "\")]";
  return text;
}

String ServiceText(const String& Name, TMonitorServiceAction Action) {
  static constexpr const char* kActions[] = {": [Attach]", ": [Detach]", ": [Query]", ": [Start]"};
  return Name + kActions[Action];
}

String EscapeMonitorText(const String& Text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  String escaped;
  escaped.reserve(Text.size());
  for (char c : Text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 && b != 9 && b != 10 && b != 13) {
      escaped += "#$";
      escaped += kHex[b >> 4];
      escaped += kHex[b & 15];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// ---------------------------------------------------------------------------
// TFIBTraceObject

TFIBTraceObject::TFIBTraceObject(const String& Msg, TMonitorDataKind DataType)
    : data_type_(DataType), msg_(Msg), time_stamp_(Now()) {}

// ---------------------------------------------------------------------------
// TFIBSQLMonitorHook

TFIBSQLMonitorHook::TFIBSQLMonitorHook() {
  try {
    InitMonitorIPC();
  } catch (const std::exception&) {
    SetEnabled(false);
  }
}

TFIBSQLMonitorHook::~TFIBSQLMonitorHook() {
  TCriticalSectionGuard guard(State().lock);
  FreeWriter();  // it writes into the channel closed below
  delete State().channel.exchange(nullptr);
}

void TFIBSQLMonitorHook::SetEnabled(bool Value) {
  enabled_.store(Value);
  if (Value) return;
  TCriticalSectionGuard guard(State().lock);
  FreeWriter();
}

bool TFIBSQLMonitorHook::KindMonitored(TMonitorDataKind Kind) const {
  if (!enabled_.load() || !State().monitoring.load()) return false;
  TMonitorChannel* channel = Channel();
  if (channel == nullptr) return false;
  const TMonitorBlock& block = channel->Block();
  return block.Get(TMonitorBlock::ReaderCount) >= 1 && block.Get(TMonitorBlock::KindCounter(Kind)) >= 1;
}

void TFIBSQLMonitorHook::WriteSQLData(const String& Text, TMonitorDataKind DataType) {
  if (Channel() == nullptr) {
    try {
      InitMonitorIPC();
    } catch (const std::exception&) {
      SetEnabled(false);
      return;
    }
  }
  const String framed = kCRLF + String("[Application: ") + ProgramFileName() + "]" + kCRLF + Text;
  TUnitState& state = State();
  TCriticalSectionGuard guard(state.lock);
  TMonitorChannel* channel = Channel();
  // Nobody listens: drop the text, and with it any writer, without starting
  // a thread for nothing.
  if (channel == nullptr || channel->Block().Get(TMonitorBlock::ReaderCount) == 0) {
    FreeWriter();
    return;
  }
  try {
    if (state.writer == nullptr) state.writer = Create<TMonitorWriterThread>(channel);
  } catch (const std::exception&) {
    return;  // no thread to be had: the text is lost, the caller goes on
  }
  if (!state.writer->AddToQueue(framed, DataType)) FreeWriter();
}

void TFIBSQLMonitorHook::WriteServiceText(TComponent* Service, TMonitorServiceAction Action) {
  if (KindMonitored(mdkService)) WriteSQLData(ServiceText(Service->Name(), Action), mdkService);
}

void TFIBSQLMonitorHook::ServiceAttach(TComponent* Service) { WriteServiceText(Service, msaAttach); }
void TFIBSQLMonitorHook::ServiceDetach(TComponent* Service) { WriteServiceText(Service, msaDetach); }
void TFIBSQLMonitorHook::ServiceQuery(TComponent* Service) { WriteServiceText(Service, msaQuery); }
void TFIBSQLMonitorHook::ServiceStart(TComponent* Service) { WriteServiceText(Service, msaStart); }

void TFIBSQLMonitorHook::SQLPrepare(TFIBQuery* Statement) {
  if (KindMonitored(mdkPrepare))
    WriteSQLData(SQLPrepareText(MonitorStatementName(Statement, false), Statement->ReadySQLText(),
                                [Statement] { return Statement->Plan(); }),
                 mdkPrepare);
}

void TFIBSQLMonitorHook::SQLExecute(TFIBQuery* Statement) {
  if (!KindMonitored(mdkExecute)) return;
  TFIBXSQLDA* params = Statement->Params();
  std::vector<TMonitorParam> values;
  for (Integer i = 0; i < params->Count(); ++i) {
    TFIBXSQLVAR* var = params->Vars(i);
    values.push_back({var->Name(), [var] {
                        ISC_QUAD id{};
                        if (var->SQLType() == SQL_BLOB && !var->IsNull()) id = var->AsQuad();
                        return MonitorParamValue(var->SQLType(), var->IsNull(), [var] { return var->AsString(); },
                                                 id.gds_quad_high, id.gds_quad_low);
                      }});
  }
  Integer rows = 0;
  const Integer type = Statement->SQLType();
  if (type >= SQLInsert && type <= SQLDelete) {
    try {
      rows = Statement->RowsAffected();
    } catch (const std::exception&) {
      rows = 0;  // the text goes without the count rather than failing the statement
    }
  }
  WriteSQLData(SQLExecuteText(MonitorStatementName(Statement, true), Statement->ReadySQLText(), values, type, rows,
                              Statement->LastExecuteTime()),
               mdkExecute);
}

void TFIBSQLMonitorHook::SQLFetch(TFIBQuery* Statement) {
  if (!KindMonitored(mdkFetch)) return;
  TFIBXSQLDA* fields = Statement->Fields();
  std::vector<TMonitorColumn> columns;
  for (Integer i = 0; i < fields->Count(); ++i) {
    TFIBXSQLVAR* var = fields->Vars(i);
    TMonitorColumn column{var->Name(), std::nullopt};
    try {
      if (!var->IsNull()) column.Value = var->AsString();
    } catch (const std::exception&) {
      column.Value = "<Can't print value>";
    }
    columns.push_back(std::move(column));
  }
  WriteSQLData(SQLFetchText(MonitorStatementName(Statement, false), Statement->ReadySQLText(), columns,
                            Statement->AtEnd()),
               mdkFetch);
}

void TFIBSQLMonitorHook::DBConnect(TFIBDatabase* Database) {
  if (KindMonitored(mdkConnect)) WriteSQLData(DBConnectText(Database->DBName()), mdkConnect);
}

void TFIBSQLMonitorHook::DBDisconnect(TFIBDatabase* Database) {
  if (KindMonitored(mdkConnect)) WriteSQLData(DBDisconnectText(Database->DBName()), mdkConnect);
}

void TFIBSQLMonitorHook::WriteTransactionText(TFIBTransaction* Transaction, TMonitorTRAction Action) {
  if (Transaction->DefaultDatabase() != nullptr && KindMonitored(mdkTransaction))
    WriteSQLData(TransactionText(Transaction->Name(), Action, Transaction->TransactionID()), mdkTransaction);
}

void TFIBSQLMonitorHook::TRStart(TFIBTransaction* Transaction) { WriteTransactionText(Transaction, mtaStart); }
void TFIBSQLMonitorHook::TRCommit(TFIBTransaction* Transaction) { WriteTransactionText(Transaction, mtaCommit); }
void TFIBSQLMonitorHook::TRCommitRetaining(TFIBTransaction* Transaction) {
  WriteTransactionText(Transaction, mtaCommitRetaining);
}
void TFIBSQLMonitorHook::TRRollback(TFIBTransaction* Transaction) { WriteTransactionText(Transaction, mtaRollback); }
void TFIBSQLMonitorHook::TRRollbackRetaining(TFIBTransaction* Transaction) {
  WriteTransactionText(Transaction, mtaRollbackRetaining);
}

void TFIBSQLMonitorHook::TRSavepoint(TFIBTransaction* Transaction, const String& SavepointName, Byte Operation) {
  if (Transaction->DefaultDatabase() != nullptr && KindMonitored(mdkTransaction))
    WriteSQLData(SavepointText(Transaction->Name(), Transaction->TransactionID(), SavepointName, Operation),
                 mdkTransaction);
}

// ---------------------------------------------------------------------------
// TMonitorWriterThread

TMonitorWriterThread::TMonitorWriterThread(TMonitorChannel* Channel) : TThread(false), channel_(Channel) {}

// The thread has ended before this runs (TThread::BeforeDestruction); the
// queue frees what is left.
TMonitorWriterThread::~TMonitorWriterThread() = default;

bool TMonitorWriterThread::AddToQueue(const String& Text, TMonitorDataKind DataType) {
  if (channel_->Block().Get(TMonitorBlock::ReaderCount) == 0) return false;
  auto text = std::make_unique<TFIBTraceObject>(Text, DataType);
  TCriticalSectionGuard guard(queue_lock_);
  queue_.push_back(std::move(text));
  return true;
}

TFIBTraceObject* TMonitorWriterThread::Oldest() {
  TCriticalSectionGuard guard(queue_lock_);
  return queue_.empty() ? nullptr : queue_.front().get();
}

// Only this thread removes texts, so the oldest stays put while it is written.
void TMonitorWriterThread::RemoveOldest() {
  std::unique_ptr<TFIBTraceObject> text;
  TCriticalSectionGuard guard(queue_lock_);
  if (queue_.empty()) return;
  text = std::move(queue_.front());
  queue_.pop_front();
}

void TMonitorWriterThread::ClearQueue() {
  std::deque<std::unique_ptr<TFIBTraceObject>> dropped;
  TCriticalSectionGuard guard(queue_lock_);
  dropped.swap(queue_);
}

bool TMonitorWriterThread::QueueEmpty() {
  TCriticalSectionGuard guard(queue_lock_);
  return queue_.empty();
}

void TMonitorWriterThread::Execute() {
  TMonitorBlock& block = channel_->Block();
  while (!stop_.load() && ((!Terminated() && !State().closing.load()) || !QueueEmpty())) {
    if (block.Get(TMonitorBlock::ReaderCount) == 0) {
      ClearQueue();
      Sleep(kIdlePoll);
    } else if (QueueEmpty()) {
      Sleep(kIdlePoll);
    } else {
      WriteToBuffer();
    }
  }
}

bool TMonitorWriterThread::LockMonitor() {
  const TWaitResult result = channel_->Mutex().Acquire(INFINITE);
  return result == wrSignaled || result == wrAbandoned;
}

void TMonitorWriterThread::UnlockMonitor() { channel_->Mutex().Release(); }

void TMonitorWriterThread::WriteToBuffer() {
  TMonitorBlock& block = channel_->Block();
  if (!LockMonitor()) {
    // A broken mutex: drop the text rather than let the queue grow.
    RemoveOldest();
    Sleep(kIdlePoll);
    return;
  }
  TFIBTraceObject* text = Oldest();
  if (text == nullptr || block.Get(TMonitorBlock::ReaderCount) == 0) {
    RemoveOldest();
    UnlockMonitor();
    return;
  }
  const String escaped = EscapeMonitorText(text->Msg());
  for (size_t pos = 0; pos < escaped.size(); pos += TMonitorBlock::kTextSize) {
    if (!LockMonitor()) break;
    const size_t length = std::min(escaped.size() - pos, TMonitorBlock::kTextSize);
    block.SetKind(text->DataType());
    block.SetTimeStamp(text->TimeStamp());
    block.SetChunkLength(static_cast<Integer>(length));
    std::memcpy(block.Text(), escaped.data() + pos, length);
    MonitorHandshake();
  }
  RemoveOldest();
  UnlockMonitor();
}

void TMonitorWriterThread::MonitorHandshake() {
  TMonitorBlock& block = channel_->Block();
  TMonitorChannel& ch = *channel_;
  // 1. The readers are ready; one that does not answer within a second is
  // counted as gone.
  while (ch.ReadEvent().WaitFor(kHandshakeTimeout) == wrTimeout) {
    // With the last reader counted off, what the readers asked for goes too
    // (readers attach and detach only under the mutex, held here). It goes
    // first, so that whoever sees no reader sees none of it either.
    if (block.Get(TMonitorBlock::ReaderCount) <= 1)
      for (auto counter : {TMonitorBlock::ReadersPending, TMonitorBlock::PrepareReaders,
                           TMonitorBlock::ExecuteReaders, TMonitorBlock::FetchReaders, TMonitorBlock::ConnectReaders,
                           TMonitorBlock::TransactionReaders})
        block.Counter(counter).store(0);
    const Integer count = block.CountDown(TMonitorBlock::ReaderCount);
    if (block.Get(TMonitorBlock::ReadersPending) == count - 1 || count <= 0) ch.ReadEvent().SetEvent();
  }
  // 2. The chunk is there. The readiness is used up with it, so that a reader
  // that died after signalling it is not taken as ready for the next chunk.
  ch.WriteFinishedEvent().ResetEvent();
  ch.ReadFinishedEvent().ResetEvent();
  ch.ReadEvent().ResetEvent();
  ch.WriteEvent().SetEvent();
  // 3. The readers have read it; each silent second counts one pending
  // reader off.
  while (ch.ReadFinishedEvent().WaitFor(kHandshakeTimeout) == wrTimeout) {
    if (block.Get(TMonitorBlock::ReadersPending) > 0 &&
        block.CountDown(TMonitorBlock::ReadersPending) > 0)
      continue;
    ch.ReadFinishedEvent().SetEvent();
  }
  // 4.
  ch.WriteEvent().ResetEvent();
  ch.WriteFinishedEvent().SetEvent();
  UnlockMonitor();
}
