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
