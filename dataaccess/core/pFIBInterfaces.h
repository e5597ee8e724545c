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
#include "platform/rtl/Variants.h"

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

// An object with parameters and result columns: statements and datasets.
// One object's parameters are filled from others through it by name.
class ISQLObject {
 public:
  // {DEA9627C-E35F-40A2-A2F6-3959782CE4AD}
  static constexpr TGUID IID{0xDEA9627C, 0xE35F, 0x40A2, {0xA2, 0xF6, 0x39, 0x59, 0x78, 0x2C, 0xE4, 0xAD}};

  virtual Integer ParamCount() = 0;
  virtual String ParamName(Integer Index) = 0;
  virtual Integer FieldCount() = 0;
  // Index of the column or parameter Name; false (Index -1) when none.
  virtual bool FieldExist(const String& Name, Integer& Index) = 0;
  virtual bool ParamExist(const String& Name, Integer& Index) = 0;
  // Old asks for the value before the current edit (objects without edits
  // give the current one).
  virtual Variant FieldValue(const String& Name, bool Old) = 0;
  virtual Variant FieldValueByIndex(Integer Index, bool Old) = 0;
  virtual Variant ParamValue(const String& Name) = 0;
  virtual Variant ParamValueByIndex(Integer Index) = 0;
  virtual void SetParamValue(Integer Index, const Variant& Value) = 0;
  virtual String FieldName(Integer Index) = 0;
  virtual bool Eof() = 0;
  virtual void Next() = 0;

 protected:
  ~ISQLObject() = default;
};
