// The data layer's routines over both dataset families: the engine datasets
// (TDBDataSet, TQuery; DBTables.h) and the Firebird datasets (TpFIBDataSet,
// which includes TB_Query).
//
// Dataset factory and SQL-text helpers: a query of a dataset's own family,
// its SQL, parameters and master source, and condition texts built from
// values. Every value written into SQL text is a string literal with its
// quotes doubled; parameter references are replaced only outside string
// literals, quoted names and comments.
//
// Transactional delete and save: host forms delete and save through these
// routines, which run the change in a transaction, catch every failure,
// undo what was done and show a Russian text in the message window (type
// error). A save (PostDataSet, and the full save of a delete) that finds
// the server connection lost shows "Потеряна связь с SQL сервером.\r
// Программа будет занрыта." and ends the program with exit code 4 through
// the application object (Halt: the units' finalizations run).
//
// Save modes: 1 post (a delete or ApplyDataSet does the full save only
// with PostWithCommit = 1), 2 post with apply and commit, 3 cancel.
#pragma once

#include "platform/db/DB.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

// ---------------------------------------------------------------------------
// Dataset factory

// A query owned by AOwner with SQL.Text := SQLText, not opened: for an
// engine dataset a TQuery on its DatabaseName (EDBEngineError "database
// engine not available" when no engine is installed); for a Firebird dataset
// a TB_Query on its Database (the text passes ConvertSQLText; no database:
// the default one; no transaction assigned). nullptr for any other dataset.
TDataSet* CreateQueryFor(TComponent* AOwner, TDataSet* DataSet, const String& SQLText);
// The master data source of a TQuery or a Firebird dataset (which refuse a
// circular link); other datasets and nullptr are ignored.
void SetDataSetDataSource(TDataSet* DataSet, TDataSource* DataSource);
// Each parameter of Target takes the value of Source's parameter of the
// same name, when Source has one; both of one family (TQuery or Firebird),
// else nothing.
void CopyParamValues(TDataSet* Source, TDataSet* Target);
// TQuery's SQL, TB_Query's own SQL (not the converted select), another
// Firebird dataset's SelectSQL; "" for other datasets.
String GetDataSetSQL(TDataSet* DataSet);

// ---------------------------------------------------------------------------
// SQL text

// "" for an empty FieldName; "(F is Null)" for a blank Value (VarIsBlank);
// otherwise "('text' = F)" with Value's text (ConstArrayToStr), its quotes
// doubled.
String GetFieldCondition(const String& FieldName, const Variant& Value);
// FieldNames is a ";"-list. A variant array: the conditions of its elements
// (from its low bound) for the fields in order, as many as both have, the
// non-empty ones joined by " and "; a single value: the first field's
// condition.
String GetKeyCondition(const String& FieldNames, const Variant& Values);
// The select list between SELECT and FROM replaced by Fields.
String ReplaceSelectFields(const String& SQLText, const String& Fields);
// A Firebird dataset's qualified origin of a select-list column; when there
// is none, FieldName with UseName, else "". The statement's errors pass.
String GetFieldOriginOrName(TDataSet* DataSet, const String& FieldName, bool UseName);
// Every item of the ";"-list is a field of the dataset; false for an empty
// list.
bool DataSetHasFields(TDataSet* DataSet, const String& FieldNames);
// With an active, non-empty dataset behind DataSource: every ":NAME" (a run
// of ASCII letters, digits and "_") outside string literals, quoted names
// and comments becomes the current record's field of that name: " NULL "
// for a null field, else its text as a string literal; a name without a
// field stays. Otherwise Text as it is.
String SubstituteFieldValues(TDataSource* DataSource, const String& Text);

// ---------------------------------------------------------------------------
// Transactional delete and save

// With NativeError 0 the engine's ErrorCode (0x2601, 0x2604, 0x2606,
// 0x3303), otherwise NativeError as a server SQL code (-803, -625, -530),
// names one of the fixed Russian texts; any other value gives
// "Native:<NativeError>  Code:<ErrorCode>".
String DBErrorText(Word ErrorCode, Integer NativeError);

// Deletes the current record, after the question "Вы уверены, что хотите
// удалить данные?" with Confirm (any answer but "Да" returns false). The
// transaction (a Firebird dataset's update transaction, an engine dataset's
// SQL database) is started when it is not open and ended only when this call
// started it: committed on success, rolled back on failure (a Firebird update
// transaction of its own for good, the dataset's read transaction
// retaining); one the caller had open stays open with the caller's work. Mode 2 (or 1 with
// PostWithCommit = 1) also saves the dataset: cached updates are applied.
// A delete that reached the server, or stays among the cached updates,
// needs no further save in the light mode and succeeds. On failure the
// deleted record comes back (UndoDelete of the dataset), the dataset's other
// pending changes staying as they are, and the error is shown. False for a
// nil, inactive or empty dataset and every other kind of dataset.
bool DeleteRecordConfirmed(TDataSet* DataSet, bool Confirm, Byte Mode);
// Mode 1: posts an edit (fields that are not read-only are not required
// meanwhile, the server decides; their Required flags come back after),
// applies pending cached updates and commits (a Firebird dataset's update
// transaction CommitRetaining, an engine database's open transaction
// Commit); true on success. A failure shows its message (with ShowErrors),
// cancels the changes and returns false; the row keeps its place in the
// visible window. Mode 3: cancels the edit, or every cached update; true
// (errors of this mode are raised). Other modes and nullptr: false.
bool PostDataSet(TDataSet* DataSet, Byte Mode, bool ShowErrors);
// Mode 2, or 1 with PostWithCommit = 1: PostDataSet(DataSet, 1, true).
// Otherwise an edit takes the controls' values into the record (nothing is
// posted) and true; false in any other state and for nullptr.
bool ApplyDataSet(TDataSet* DataSet, Byte Mode);
