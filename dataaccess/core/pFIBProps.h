// Option objects that the database, transaction and statement components
// publish as sub-objects: the connection parameter lines TDBParams with
// their typed view TConnectParams (TIBConnectParams), and the switch of the
// connection-tracing comment TCSMonitorSupport. Each is made by the
// constructor of the component that publishes it and keeps a plain
// reference to that component.
#pragma once

#include <memory>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

class TFIBDatabase;
class TReader;
class TWriter;

extern const TUnit unit_pFIBProps;

// ---------------------------------------------------------------------------
// Connection parameters

// The database's parameter lines ("user_name=SYSDBA", "isc_dpb_lc_ctype=UTF8").
// Streamed as the list property "Strings"; a database with
// ddoNotSavePassword writes them without its password line.
class TDBParams : public TStringList {
 public:
  explicit TDBParams(TFIBDatabase* Owner) : owner_(Owner) {}

  TFIBDatabase* Database() const { return owner_; }

  // The streaming form. Ancestor is the same list of an inherited form, or
  // nullptr: with one, the lines are written only when they differ from it.
  bool HasStreamData(TStrings* Ancestor) const;
  void ReadStreamData(TReader& Reader);
  void WriteStreamData(TWriter& Writer);

 private:
  TFIBDatabase* owner_;
};

class TIBConnectParams : public TPersistent {
 public:
  explicit TIBConnectParams(TComponent* Owner) : owner_(Owner) {}

  // instance_name (item 75)
  String InstanceName() const;
  void SetInstanceName(const String& Value);

  TPersistent* GetOwner() override { return owner_; }

 private:
  TComponent* owner_;
};

// Typed view onto lines of the owner database's DBParams. Getters give the
// text after the first "=" of the item's line (empty when there is none);
// setters replace the line in place, append "name=value", or delete the
// line for an empty value. With an owner that is not a TFIBDatabase,
// getters give "" and setters do nothing.
class TConnectParams : public TPersistent {
 public:
  explicit TConnectParams(TComponent* Owner);
  ~TConnectParams() override;

  String UserName() const;  // user_name (28)
  void SetUserName(const String& Value);
  String RoleName() const;  // sql_role_name (60)
  void SetRoleName(const String& Value);
  String Password() const;  // password (29)
  void SetPassword(const String& Value);
  String CharSet() const;  // lc_ctype (48), stored upper-cased (ASCII)
  void SetCharSet(const String& Value);
  TIBConnectParams* IB2007() const { return ib2007_.get(); }
  // Assigns to the sub-object, which supports no assignment (EConvertError).
  void SetIB2007(TIBConnectParams* Value);

  TPersistent* GetOwner() override { return owner_; }

 private:
  TComponent* owner_;
  std::unique_ptr<TIBConnectParams> ib2007_;
};

// ---------------------------------------------------------------------------
// Connection-tracing comment switch

RTL_ENUM(TCSMonitorEnabled, csmeDisabled, csmeEnabled, csmeDatabaseDriven, csmeTransactionDriven);

RTL_DECLARE_EXCEPTION(EFIBCSMonitorError, Exception);

// A dataset whose option object this is implements this interface to copy
// the settings to its internal statements when they change.
class ICSMonitorSupportOwner {
 public:
  virtual void CSMonitorSupportChanged() = 0;

 protected:
  ~ICSMonitorSupportOwner() = default;
};

class TCSMonitorSupport : public TPersistent {
 public:
  // Enabled starts by the owner's class: csmeDisabled for a database,
  // csmeDatabaseDriven for a transaction, csmeTransactionDriven for
  // statements and datasets.
  explicit TCSMonitorSupport(TComponent* Owner);

  TCSMonitorEnabled Enabled() const { return enabled_; }
  // EFIBCSMonitorError "This object cannot use this value" for
  // csmeTransactionDriven on a transaction and for the driven values on a
  // database; the old value stays then.
  void SetEnabled(TCSMonitorEnabled Value);
  bool IncludeDatasetDescription() const { return include_dataset_description_; }
  void SetIncludeDatasetDescription(bool Value);

  TComponent* Owner() const { return owner_; }
  TPersistent* GetOwner() override { return owner_; }

 private:
  void Changed();

  TComponent* owner_;
  TCSMonitorEnabled enabled_;
  bool include_dataset_description_ = true;
};

// ---------------------------------------------------------------------------
// Switchable WHERE conditions of a statement

// What a condition list needs of the statement that publishes it (TFIBQuery
// implements it): its SQL text, and the nesting of text changes during which
// the statement does not re-read its text.
class IConditionsStatement {
 public:
  virtual String GetSQLText() const = 0;
  virtual void SetSQLText(const String& Text) = 0;
  virtual void BeginModifySQLText() = 0;
  virtual void EndModifySQLText() = 0;

 protected:
  ~IConditionsStatement() = default;
};

class TConditions;

// One condition: the line "Name=Text" of its list, and a switch.
class TCondition : public TObject {
 public:
  explicit TCondition(TConditions* Owner) : owner_(Owner) {}
  // Removes its line from the list.
  ~TCondition() override;

  TConditions* Owner() const { return owner_; }
  String Name() const;
  String Text() const;
  // Replaces the line in place when "Name=Text" differs from it.
  void SetText(const String& Value);
  bool Enabled() const { return enabled_ != 0; }
  // A change clears the list's Applied flag.
  void SetEnabled(bool Value);

  // The same setters for values read from a form resource: they mark the
  // value as coming from the stream (code that sets it later clears the mark).
  void SetTextFromStream(const String& Value);
  void SetEnabledFromStream(bool Value);
  bool TextFromStream() const { return text_from_stream_; }
  bool EnabledFromStream() const { return enabled_from_stream_; }

 private:
  friend class TConditions;
  int Index() const;

  TConditions* owner_;
  Byte enabled_ = 0;
  bool destroying_ = false;
  bool enabled_from_stream_ = false;
  bool text_from_stream_ = false;
};

// The conditions of a statement, one line "Name=Text" each with its
// TCondition as the line's object. Apply adds the enabled ones to the
// statement's main WHERE clause; the text before the first Apply is kept and
// put back before each later Apply and by CancelApply/RestoreSQL.
class TConditions : public TStringList {
 public:
  explicit TConditions(IConditionsStatement* Statement) : statement_(Statement) {}
  ~TConditions() override;

  // Every line carries a condition: lines added without one get a new one,
  // and a condition of another list is copied rather than shared.
  // AddObject refuses (-1) an object that is not a TCondition.
  int AddObject(const String& S, TObject* AObject) override;
  // At Index = Count a new line with a new condition; else the text.
  void Put(int Index, const String& S) override;
  void Clear() override;
  void Delete(int Index) override;

  // Sets the text of the condition Name, or adds the line; then its switch
  // (Enabled true clears Applied).
  TCondition* AddCondition(const String& Name, const String& Text, bool Enabled);
  TCondition* FindCondition(const String& Name) const;
  void RemoveCondition(const String& Name);
  // nullptr outside 0 .. Count - 1.
  TCondition* GetCondition(int Index) const;

  // "(" A ")" CRLF CRLF " and (" B ")" CRLF for the enabled conditions A, B.
  String BuildWhereText() const;
  void Apply();
  void CancelApply();
  void RestoreSQL();
  bool Applied() const { return applied_; }
  // True while Apply, CancelApply or RestoreSQL change the statement's text.
  bool ChangingSQL() const { return state_ != 0; }
  // Forgets the text kept before the first Apply (the statement's text was
  // replaced from outside).
  void ClearSavedSQL();

  // Lines Name "#$#$" Text "#$#$" "1" or "0".
  String SaveToStrings() const;
  void LoadFromStrings(const String& Text);
  void WriteStrings(TStrings* Lines) const;
  void ReadStrings(TStrings* Lines);

  // Streaming: "Strings" and "Enabled" (read from older resources) and
  // "Data". Ancestor is the same list of an inherited form, or nullptr.
  void ReadStringsProperty(TReader& Reader);
  void ReadEnabledProperty(TReader& Reader);
  void ReadDataProperty(TReader& Reader);
  bool HasData(TObject* Ancestor) const;
  void WriteDataProperty(TWriter& Writer, TConditions* Ancestor) const;

  IConditionsStatement* Statement() const { return statement_; }
  TPersistent* GetOwner() override { return dynamic_cast<TPersistent*>(statement_); }

 protected:
  void InsertItem(int Index, const String& S, TObject* AObject) override;

 private:
  friend class TCondition;
  enum : Byte { kApplying = 1, kCancelling = 2, kRestoring = 4 };

  IConditionsStatement* statement_;
  bool applied_ = false;
  bool has_saved_sql_ = false;
  String saved_sql_;
  Byte state_ = 0;
};
