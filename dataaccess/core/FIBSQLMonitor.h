// The SQL monitor channel: database work traced as texts into a shared block
// that outside monitor programs read.
//
// Callers test cheaply, then report:
//   if (MonitoringActive())
//     if (TFIBSQLMonitorHook* hook = GetMonitorHook()) hook->DBConnect(this);
//
// The hook frames each text with the program's name and queues it; one
// writer thread per process hands the queued texts, escaped and cut into
// chunks, to the readers through the named objects below (shared by every
// writer and reader using the same names):
//   <prefix>Mutex               recursive, robust mutex serialising writers
//   <prefix>SharedMem           the 2048-byte block (TMonitorBlock)
//   <prefix>WriteEvent          a chunk is in the block
//   <prefix>WriteFinishedEvent  the writer is done with the chunk
//   <prefix>ReadEvent           the readers are ready for a chunk
//   <prefix>ReadFinishedEvent   the readers have read the chunk
// The readers keep the counters of the block: how many are attached, how
// many still read the current chunk, and per kind how many want its texts.
//
// The objects are per user: the platform adds the user's id to each name
// ("<prefix>SharedMem.uid1000" in /dev/shm, see platform/os/NamedObjects.h)
// and opens only objects that belong to the user and to nobody else (texts
// carry parameter values). Each user's programs and monitors meet on a
// channel of their own, which no other user's objects can disable.
// The channel lives while a process has it open: once every writer and
// reader has ended, even killed, the next one finds it afresh (a block with
// zero counters, the events in their first states), so nothing a dead peer
// left counts any more. While a writer runs, a reader that stops answering
// is counted off by the writer's handshake; the last one counted off takes
// the wanted kinds and the pending readers with it.
#pragma once

#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/UnitInit.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class TComponent;
class TFIBDatabase;
class TFIBQuery;
class TFIBTransaction;
class TNamedEvent;
class TNamedMutex;
class TNamedSharedMemory;

extern const TUnit unit_FIBSQLMonitor;

// Kind of a trace text (one byte in a trace object, 32 bits in the block).
enum TMonitorDataKind : Byte {
  mdkPrepare,      // 0
  mdkExecute,      // 1
  mdkFetch,        // 2
  mdkConnect,      // 3: connect and disconnect
  mdkTransaction,  // 4: start, commit, rollback, savepoint
  mdkService,      // 5: attach, detach, query, start
};

// Prefix of the channel's object names; "FIB.SQL.MONITOR." unless set. A new
// prefix applies to the channel opened after it is set (tests keep away from
// a real monitor this way).
inline constexpr const char* kDefaultMonitorNamePrefix = "FIB.SQL.MONITOR.";
void SetMonitorNamePrefix(const String& Prefix);
String MonitorNamePrefix();

// ---------------------------------------------------------------------------
// The shared block: 2048 bytes, 32-bit little-endian integers, no gaps. The
// counters are read and changed atomically (other processes change them);
// the chunk fields are written only while the mutex is held.

class TMonitorBlock {
 public:
  static_assert(std::endian::native == std::endian::little, "the block is little-endian");
  static constexpr size_t kSize = 2048;
  static constexpr size_t kTextSize = 2002;  // offset 0; 2002 and 2003 are reserved
  static constexpr size_t kTimeStamp = 2004;  // double, unaligned
  enum TCounter : size_t {
    TransactionReaders = 2012,
    ConnectReaders = 2016,
    FetchReaders = 2020,
    ExecuteReaders = 2024,
    PrepareReaders = 2028,
    ReadersPending = 2040,
    ReaderCount = 2044,
  };
  static constexpr size_t kChunkLength = 2032;
  static constexpr size_t kKind = 2036;

  explicit TMonitorBlock(void* Memory) : memory_(static_cast<char*>(Memory)) {}

  std::atomic_ref<int32_t> Counter(TCounter Which) const {
    return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(memory_ + Which));
  }
  Integer Get(TCounter Which) const { return Counter(Which).load(); }
  // Counts the counter down unless it is 0 or less; returns its value now.
  Integer CountDown(TCounter Which) const;
  // The counter of the readers that want texts of Kind; for services, which
  // have none of their own, the reader count.
  static TCounter KindCounter(TMonitorDataKind Kind);

  char* Text() const { return memory_; }
  Integer ChunkLength() const { return Read<Integer>(kChunkLength); }
  void SetChunkLength(Integer Value) { Write(kChunkLength, Value); }
  Integer Kind() const { return Read<Integer>(kKind); }
  void SetKind(Integer Value) { Write(kKind, Value); }
  TDateTime TimeStamp() const { return Read<TDateTime>(kTimeStamp); }
  void SetTimeStamp(TDateTime Value) { Write(kTimeStamp, Value); }

 private:
  template <class T>
  T Read(size_t Offset) const {
    T value;
    std::memcpy(&value, memory_ + Offset, sizeof value);
    return value;
  }
  template <class T>
  void Write(size_t Offset, T Value) {
    std::memcpy(memory_ + Offset, &Value, sizeof Value);
  }

  char* memory_;
};

// The channel's six named objects under one prefix, created or opened (the
// block is zero-filled when created). Raises ENamedObjectError.
class TMonitorChannel {
 public:
  explicit TMonitorChannel(const String& Prefix);
  ~TMonitorChannel();
  TMonitorChannel(const TMonitorChannel&) = delete;
  TMonitorChannel& operator=(const TMonitorChannel&) = delete;

  // True when this channel made the block afresh (no other process had the
  // channel open): every counter is zero.
  bool Created() const;
  TMonitorBlock& Block() { return block_; }
  TNamedMutex& Mutex() { return *mutex_; }
  TNamedEvent& WriteEvent() { return *write_; }
  TNamedEvent& WriteFinishedEvent() { return *write_finished_; }
  TNamedEvent& ReadEvent() { return *read_; }
  TNamedEvent& ReadFinishedEvent() { return *read_finished_; }

  // The object names under Prefix, in the order of the table above.
  static std::vector<String> ObjectNames(const String& Prefix);

 private:
  std::unique_ptr<TNamedMutex> mutex_;
  std::unique_ptr<TNamedEvent> write_, write_finished_, read_, read_finished_;
  std::unique_ptr<TNamedSharedMemory> memory_;
  TMonitorBlock block_;
};

// ---------------------------------------------------------------------------
// Trace texts, composed from the values each operation reports. CRLF is
// carriage return plus line feed.

// Name ": [Prepare] " SQL CRLF "  Plan: " plan; when Plan raises, the text
// ends with "  Plan: Can't retrieve plan " instead.
String SQLPrepareText(const String& Name, const String& SQL, const std::function<String()>& Plan);

// One input parameter of the execute text. Value gives its text (see
// MonitorParamValue); when it raises, "<Can't print value>" stands instead.
struct TMonitorParam {
  String Name;
  std::function<String()> Value;
};
// The text of a parameter value by SQL type (nullable bit ignored): "<NULL>",
// CHAR and VARCHAR quoted, "<BLOB> (BLOB_ID=high,low)", "<ARRAY>", or
// AsString() for the other types. AsString is called only when needed.
String MonitorParamValue(Integer SQLType, bool IsNull, const std::function<String()>& AsString,
                         Integer BlobIDHigh = 0, Cardinal BlobIDLow = 0);
// Name ": [Execute] " SQL, then CRLF "  " name " = " value per parameter,
// CRLF "Rows Affected:  " n for statement types 2 to 4 (insert, update,
// delete), and CRLF "Execute tick count " TickCount.
String SQLExecuteText(const String& Name, const String& SQL, std::span<const TMonitorParam> Params,
                      Integer StatementType, Integer RowsAffected, Cardinal TickCount);

// One output column of the fetch text; no value means NULL.
struct TMonitorColumn {
  String Name;
  std::optional<String> Value;
};
// CRLF name ": [Fetch] " SQL, then name " = " value CRLF per column, then
// CRLF "  End of file reached" when the statement is at its end.
String SQLFetchText(const String& Name, const String& SQL, std::span<const TMonitorColumn> Columns, bool Eof);

String DBConnectText(const String& DatabaseName);
String DBDisconnectText(const String& DatabaseName);

enum TMonitorTRAction { mtaStart, mtaCommit, mtaCommitRetaining, mtaRollback, mtaRollbackRetaining };
// Name ": [Start transaction](" id ")" and so on by action.
String TransactionText(const String& Name, TMonitorTRAction Action, Int64 TransactionID);
// Name ": Transaction(" id ") -" then, by Operation, 0 set, 1 roll back to,
// 2 release the savepoint; other operations add nothing.
String SavepointText(const String& Name, Int64 TransactionID, const String& SavepointName, Byte Operation);

enum TMonitorServiceAction { msaAttach, msaDetach, msaQuery, msaStart };
String ServiceText(const String& Name, TMonitorServiceAction Action);

// The text as it goes into the block: bytes 0-8, 11, 12 and 14-31 become
// "#$" and two upper-case hexadecimal digits; all other bytes stay.
String EscapeMonitorText(const String& Text);

// ---------------------------------------------------------------------------

class TFIBTraceObject : public TObject {
 public:
  // TimeStamp is the current local time.
  TFIBTraceObject(const String& Msg, TMonitorDataKind DataType);

  Byte DataType() const { return data_type_; }
  const String& Msg() const { return msg_; }
  TDateTime TimeStamp() const { return time_stamp_; }

 private:
  Byte data_type_;
  String msg_;
  TDateTime time_stamp_;
};

class TFIBSQLMonitorHook : public TObject {
 public:
  // Opens the channel; when that fails the hook stays disabled.
  TFIBSQLMonitorHook();
  ~TFIBSQLMonitorHook() override;

  virtual void SQLPrepare(TFIBQuery* Statement);
  virtual void SQLExecute(TFIBQuery* Statement);
  virtual void SQLFetch(TFIBQuery* Statement);
  virtual void DBConnect(TFIBDatabase* Database);
  virtual void DBDisconnect(TFIBDatabase* Database);
  virtual void TRStart(TFIBTransaction* Transaction);
  virtual void TRCommit(TFIBTransaction* Transaction);
  virtual void TRSavepoint(TFIBTransaction* Transaction, const String& SavepointName, Byte Operation);
  virtual void TRCommitRetaining(TFIBTransaction* Transaction);
  virtual void TRRollback(TFIBTransaction* Transaction);
  virtual void TRRollbackRetaining(TFIBTransaction* Transaction);
  virtual void ServiceAttach(TComponent* Service);
  virtual void ServiceDetach(TComponent* Service);
  virtual void ServiceQuery(TComponent* Service);
  virtual void ServiceStart(TComponent* Service);

  // The gate of the operations: enabled, monitoring on, a reader attached
  // and, except for services, a reader that wants texts of Kind.
  bool KindMonitored(TMonitorDataKind Kind) const;

  // Frames Text with the program's name and queues it for the writer
  // thread; dropped when no reader is attached.
  void WriteSQLData(const String& Text, TMonitorDataKind DataType);

  bool Enabled() const { return enabled_.load(); }
  // Disabling stops and frees the writer thread.
  void SetEnabled(bool Value);

 private:
  void WriteServiceText(TComponent* Service, TMonitorServiceAction Action);
  void WriteTransactionText(TFIBTransaction* Transaction, TMonitorTRAction Action);

  std::atomic<bool> enabled_{true};
};

// Writes the queued texts into the block, one process-wide thread.
class TMonitorWriterThread : public TThread {
 public:
  // Starts running when created with Create<TMonitorWriterThread>.
  explicit TMonitorWriterThread(TMonitorChannel* Channel);
  ~TMonitorWriterThread() override;

  // Queues the text with the current time while a reader is attached; false
  // (nothing queued) when none is.
  bool AddToQueue(const String& Text, TMonitorDataKind DataType);
  // Ends the loop at once, dropping what is queued.
  void Stop() { stop_.store(true); }

 protected:
  void Execute() override;
  // Hands the oldest queued text to the readers, chunk by chunk.
  void WriteToBuffer();
  // One chunk: waits for the readers, signals the chunk and waits until
  // they have read it; ends by releasing the chunk's nested lock.
  void MonitorHandshake();
  bool LockMonitor();
  void UnlockMonitor();

 private:
  TFIBTraceObject* Oldest();
  void RemoveOldest();
  void ClearQueue();
  bool QueueEmpty();

  TMonitorChannel* channel_;
  std::atomic<bool> stop_{false};
  TCriticalSection queue_lock_;
  std::deque<std::unique_ptr<TFIBTraceObject>> queue_;  // oldest first
};

// The process-wide hook, created on first use; none once the unit's
// finalization has begun (then the existing one, if any).
TFIBSQLMonitorHook* GetMonitorHook();
// False when monitoring is switched off; true until the block is mapped;
// then true exactly while a reader is attached.
bool MonitoringActive();
