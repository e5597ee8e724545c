// Option objects that the database, transaction, statement and dataset
// components publish as sub-objects: the connection parameter lines
// TDBParams with their typed view TConnectParams (TIBConnectParams), the
// switch of the connection-tracing comment TCSMonitorSupport, the WHERE
// conditions of a statement (TConditions), a dataset's SQL texts (TSQLs),
// default field formats (TFormatFields) and rules for generated modifying
// SQL (TAutoUpdateOptions), and the database's BLOB disk-cache settings
// (TBlobSwapSupport). Each is made by the constructor of the component that
// publishes it and keeps a plain reference to that component.
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

  // Every line owns exactly one condition. A line added without one gets a
  // new one; a condition already on a line, or of another list, is copied
  // (its switch) rather than shared. Only a condition of this list that is
  // on no line is taken as it is. AddObject refuses (-1) an object that is
  // not a TCondition.
  int AddObject(const String& S, TObject* AObject) override;
  // Gives a line such a free condition of this list (the old one is freed);
  // another line's or list's condition only lends its switch, and nullptr or
  // any other object is ignored: the line keeps its condition.
  void PutObject(int Index, TObject* AObject) override;
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
  // The statement's text before the first Apply ("" when none is kept).
  const String& SavedSQL() const { return saved_sql_; }
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
  // A condition of this list that is on no line (and not being freed).
  bool OwnsFree(TCondition* Condition) const;

  IConditionsStatement* statement_;
  bool applied_ = false;
  bool has_saved_sql_ = false;
  String saved_sql_;
  Byte state_ = 0;
};

// ---------------------------------------------------------------------------
// Dataset options

// What the dataset option objects need of the dataset that publishes them
// (the datasets implement it): its five SQL texts and its database.
class IFIBDataSetSQLs {
 public:
  virtual TStrings* SelectSQL() const = 0;
  virtual void SetSelectSQL(TStrings* Value) = 0;
  virtual TStrings* UpdateSQL() const = 0;
  virtual void SetUpdateSQL(TStrings* Value) = 0;
  virtual TStrings* DeleteSQL() const = 0;
  virtual void SetDeleteSQL(TStrings* Value) = 0;
  virtual TStrings* InsertSQL() const = 0;
  virtual void SetInsertSQL(TStrings* Value) = 0;
  virtual TStrings* RefreshSQL() const = 0;
  virtual void SetRefreshSQL(TStrings* Value) = 0;
  // nullptr when none is assigned.
  virtual TFIBDatabase* Database() const = 0;

 protected:
  ~IFIBDataSetSQLs() = default;
};

// The dataset's five SQL texts as one property. A view: every access goes
// to the dataset's property of the same name, and the dataset publishes the
// object without storing it.
class TSQLs : public TPersistent {
 public:
  explicit TSQLs(IFIBDataSetSQLs* Owner) : owner_(Owner) {}

  TStrings* SelectSQL() const { return owner_->SelectSQL(); }
  void SetSelectSQL(TStrings* Value) { owner_->SetSelectSQL(Value); }
  TStrings* UpdateSQL() const { return owner_->UpdateSQL(); }
  void SetUpdateSQL(TStrings* Value) { owner_->SetUpdateSQL(Value); }
  TStrings* DeleteSQL() const { return owner_->DeleteSQL(); }
  void SetDeleteSQL(TStrings* Value) { owner_->SetDeleteSQL(Value); }
  TStrings* InsertSQL() const { return owner_->InsertSQL(); }
  void SetInsertSQL(TStrings* Value) { owner_->SetInsertSQL(Value); }
  TStrings* RefreshSQL() const { return owner_->RefreshSQL(); }
  void SetRefreshSQL(TStrings* Value) { owner_->SetRefreshSQL(Value); }

  IFIBDataSetSQLs* DataSet() const { return owner_; }
  TPersistent* GetOwner() override { return dynamic_cast<TPersistent*>(owner_); }

 private:
  IFIBDataSetSQLs* owner_;
};

// Process-wide defaults of the dataset options. A host may change them
// before it creates datasets; the unit's initialization and finalization
// reset them.
struct TFIBPropsDefaults {
  // Switch: new TFormatFields take the global formats, and form resources
  // store the formats that differ from them.
  bool UseGlobalFormats = false;
  String GlobalDateFormat = "dd.mm.yyyy";
  String GlobalTimeFormat = "hh:mm AMPM";
  String GlobalNumericDisplayFormat = "#,##0.";
  String GlobalNumericEditFormat = "0.";
  // Formats of a dataset just placed on a form in a designer.
  String DesignDateTimeDisplayFormat = "dd.mm.yyyy hh:mm AMPM";
  String DesignNumericDisplayFormat = "#,##0.";
  String DesignNumericEditFormat = "0.";
  String DesignDisplayFormatDate = "dd.mm.yyyy";
  String DesignDisplayFormatTime = "hh:mm AMPM";
  // Generator names made from a table name: prefix, table, suffix.
  String GeneratorPrefix = "GEN_";
  String GeneratorSuffix = "_ID";
};
TFIBPropsDefaults& FIBPropsDefaults();

// Display and edit formats a dataset gives its fields (DefaultFormats).
// A format is written to a form resource only when it differs from the
// default in force: the global formats while UseGlobalFormats is on, else
// "dd.mm.yyyy hh:mm AMPM", "#,##0.", "0.", "dd.mm.yyyy", "hh:mm AMPM".
class TFormatFields : public TPersistent {
 public:
  // Starts from the global formats when the switch is on, from the design
  // formats for a component just placed in a designer, else from the fixed
  // defaults.
  explicit TFormatFields(TComponent* Owner);

  void Assign(TPersistent* Source) override;

  const String& DateTimeDisplayFormat() const { return formats_[0]; }
  void SetDateTimeDisplayFormat(const String& Value) { formats_[0] = Value; }
  const String& NumericDisplayFormat() const { return formats_[1]; }
  void SetNumericDisplayFormat(const String& Value) { formats_[1] = Value; }
  const String& NumericEditFormat() const { return formats_[2]; }
  void SetNumericEditFormat(const String& Value) { formats_[2] = Value; }
  const String& DisplayFormatDate() const { return formats_[3]; }
  void SetDisplayFormatDate(const String& Value) { formats_[3] = Value; }
  const String& DisplayFormatTime() const { return formats_[4]; }
  void SetDisplayFormatTime(const String& Value) { formats_[4] = Value; }

  // Stored-conditions: the value differs from the default in force.
  bool IsDateTimeDisplayFormatStored() const { return IsStored(0); }
  bool IsNumericDisplayFormatStored() const { return IsStored(1); }
  bool IsNumericEditFormatStored() const { return IsStored(2); }
  bool IsDisplayFormatDateStored() const { return IsStored(3); }
  bool IsDisplayFormatTimeStored() const { return IsStored(4); }

  TPersistent* GetOwner() override { return owner_; }

 private:
  bool IsStored(int Index) const;

  TComponent* owner_;
  String formats_[5];
};

RTL_ENUM(TWhenGetGenID, wgNever, wgOnNewRecord, wgBeforePost);

// How the extended dataset generates its modifying SQL and fills generator
// values (AutoUpdateOptions). Its owner is the dataset; the table's
// identifier form follows the dataset's database (see TableNameForSQL).
class TAutoUpdateOptions : public TPersistent {
 public:
  explicit TAutoUpdateOptions(TComponent* Owner);
  ~TAutoUpdateOptions() override;

  // Copies the published properties and the two flags of the older
  // properties; the key list and the table caches follow.
  void Assign(TPersistent* Source) override;

  // The table, optionally followed by an alias ("ORDERS O"). Setting it
  // (also to the same value) drops the key condition and the table caches;
  // with WhenGetGenID on and no GeneratorName, GeneratorName becomes prefix
  // + TableNameForSQL + suffix, a quoted table giving a quoted whole
  // ("\"GEN_Orders_ID\"").
  const String& UpdateTableName() const { return update_table_name_; }
  void SetUpdateTableName(const String& Value);
  // ";"-separated field names; KeyFieldsList holds them trimmed.
  const String& KeyFields() const { return key_fields_; }
  void SetKeyFields(const String& Value);
  bool AutoReWriteSqls() const { return auto_rewrite_sqls_; }
  void SetAutoReWriteSqls(bool Value) { auto_rewrite_sqls_ = Value; }
  bool CanChangeSQLs() const { return can_change_sqls_; }
  void SetCanChangeSQLs(bool Value) { can_change_sqls_ = Value; }
  const String& GeneratorName() const { return generator_name_; }
  void SetGeneratorName(const String& Value) { generator_name_ = Value; }
  bool UpdateOnlyModifiedFields() const { return update_only_modified_fields_; }
  // True is kept only while AutoReWriteSqls and CanChangeSQLs are both on.
  void SetUpdateOnlyModifiedFields(bool Value);
  TWhenGetGenID WhenGetGenID() const { return when_get_gen_id_; }
  void SetWhenGetGenID(TWhenGetGenID Value) { when_get_gen_id_ = Value; }
  Integer GeneratorStep() const { return generator_step_; }
  void SetGeneratorStep(Integer Value) { generator_step_ = Value; }
  // Lines "field=parameter".
  TStrings* ParamsToFieldsLinks() const { return params_to_fields_links_.get(); }
  // Copies the lines without the empty ones.
  void SetParamsToFieldsLinks(TStrings* Value);
  bool AutoParamsToFields() const { return auto_params_to_fields_; }
  void SetAutoParamsToFields(bool Value) { auto_params_to_fields_ = Value; }
  bool SeparateBlobUpdate() const { return separate_blob_update_; }
  void SetSeparateBlobUpdate(bool Value) { separate_blob_update_ = Value; }
  bool UseExecuteBlock() const { return use_execute_block_; }
  void SetUseExecuteBlock(bool Value) { use_execute_block_ = Value; }

  // WhenGetGenID is not wgNever; setting false gives wgNever, true turns
  // wgNever into wgBeforePost.
  bool SelectGenID() const { return when_get_gen_id_ != wgNever; }
  void SetSelectGenID(bool Value);

  TStrings* KeyFieldsList() const { return key_fields_list_.get(); }
  // UpdateTableName carries an alias after a blank outside quotes.
  bool UpdateTableHasAlias() const { return has_alias_; }
  // The table and its alias in identifier form, computed once per
  // UpdateTableName: with dialect 1 trimmed and upper-cased; otherwise
  // quoted when the name needs it, else upper-cased; unchanged without a
  // database.
  String TableNameForSQL();
  String TableAlias();

  // Texts the dataset derives for its generated SQL: the key condition
  // (dropped with UpdateTableName and KeyFields) and the select text it was
  // made for.
  const String& KeyCondition() const { return key_condition_; }
  void SetKeyCondition(const String& Value) { key_condition_ = Value; }
  const String& ConditionSelectText() const { return condition_select_text_; }
  void SetConditionSelectText(const String& Value) { condition_select_text_ = Value; }
  void ClearCachedTexts();

  // The older stored properties "SelectGenID" and "GenBeforePost".
  void ReadSelectGenID(TReader& Reader);
  void ReadGenBeforePost(TReader& Reader);

  TComponent* Owner() const { return owner_; }
  TPersistent* GetOwner() override { return owner_; }

 private:
  void ComputeTableNames();

  TComponent* owner_;
  String update_table_name_;
  String key_fields_;
  bool auto_rewrite_sqls_ = false;
  bool can_change_sqls_ = false;
  String generator_name_;
  bool update_only_modified_fields_ = false;
  TWhenGetGenID when_get_gen_id_ = wgNever;
  Integer generator_step_ = 1;
  std::unique_ptr<TStringList> params_to_fields_links_;
  bool auto_params_to_fields_ = false;
  bool separate_blob_update_ = false;
  bool use_execute_block_ = false;

  std::unique_ptr<TStringList> key_fields_list_;
  bool select_gen_id_read_ = false;  // "SelectGenID" as read
  bool gen_before_post_read_ = true;  // "GenBeforePost" as read
  String key_condition_;
  String condition_select_text_;
  bool names_computed_ = false;
  String table_name_for_sql_;
  String table_alias_;
  bool has_alias_ = false;
};

// ---------------------------------------------------------------------------
// BLOB disk-cache settings of a database

class TBlobSwapSupport : public TPersistent {
 public:
  TBlobSwapSupport() = default;

  void Assign(TPersistent* Source) override;

  bool Active() const { return active_; }
  void SetActive(bool Value) { active_ = Value; }
  // May begin with "{APP_PATH}" (any case): the program's own directory.
  const String& SwapDir() const { return swap_dir_; }
  void SetSwapDir(const String& Value) { swap_dir_ = Value; }
  bool IsSwapDirStored() const;
  // BLOBs smaller than this are not cached.
  Integer MinBlobSizeToSwap() const { return min_blob_size_to_swap_; }
  void SetMinBlobSizeToSwap(Integer Value) { min_blob_size_to_swap_ = Value; }

  // The cache directory: "" while not Active; otherwise SwapDir with a
  // leading "{APP_PATH}" replaced by the executable's directory, "\" read as
  // the path delimiter, and a trailing delimiter added when missing.
  String GetSwapDir() const;

 private:
  bool active_ = false;
  String swap_dir_ = "{APP_PATH}";
  Integer min_blob_size_to_swap_ = 0;
};
