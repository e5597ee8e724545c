// Interfaces through which the library reaches optional outside components.
//
// An SQL logger is a component that implements ISQLLogger; a database holds
// it as its SQLLogger and reports connects, disconnects and transaction
// starts and ends to it (statements report prepare, execute and fetch):
//
//   class TMyLogger : public TComponent, public ISQLLogger { ... };
//   db->SetSQLLogger(logger);
//   // db->Connect() then calls logger->WriteData("Form1.DB1", "Connect", "", lfConnect)
//
// The library holds only plain references; the component behind a logger
// tells the database when it is freed (free notification).
#pragma once

#include "platform/rtl/System.h"
#include "platform/rtl/TypInfo.h"

class TFIBDatabase;

// Kinds of logged texts; a logger's LogFlags name the kinds it wants.
RTL_ENUM(TLogFlag, lfQPrepare, lfQExecute, lfQFetch, lfConnect, lfTransact);
using TLogFlags = Set<TLogFlag>;

class ISQLLogger {
 public:
  // {2CB9280F-2324-40CD-BFB4-42C0FD36107F}
  static constexpr TGUID IID{0x2CB9280F, 0x2324, 0x40CD, {0xBF, 0xB4, 0x42, 0xC0, 0xFD, 0x36, 0x10, 0x7F}};

  // A database takes this logger as its SQLLogger.
  virtual void RegisterDatabase(TFIBDatabase* Database) = 0;
  // One logged event: the reporting component's full name, the operation
  // text, an extra text (parameters, messages; may be empty) and its kind.
  virtual void WriteData(const String& ObjectName, const String& Operation, const String& Value,
                         TLogFlag Kind) = 0;
  virtual TLogFlags LogFlags() const = 0;

 protected:
  ~ISQLLogger() = default;
};

// The statistics maker that statements record their per-SQL counters and
// times through; a database holds a reference to one when assigned from
// outside the system. Its operations belong to the statements' unit.
class ISQLStatMaker;
