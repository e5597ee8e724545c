// The data layer's routines over both dataset families: the engine datasets
// (TDBDataSet, TQuery; DBTables.h) and the Firebird datasets (TpFIBDataSet,
// which includes TB_Query).
//
// Dataset factory and SQL-text helpers: a query of a dataset's own family,
// its SQL, parameters and master source, and condition texts built from
// values. Every value written into SQL text is a string literal with its
// quotes doubled; parameter references are replaced only outside string
// literals, quoted names and comments.
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
