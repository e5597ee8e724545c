// TB_Query: the dataset host forms use for every select. An extended
// Firebird dataset whose SQL text is kept in its own list: every change of
// SQL passes the framework's ConvertSQLText into SelectSQL, and a query
// without a database takes the framework's GetDefaultDatabase (B_Dlg.h).
// OrderBy sorts the opened rows locally.
//
//   auto* q = new TB_Query(form);          // no database: the default one
//   q->SQL()->SetText("select ID, NAME from PEOPLE");
//   q->SetOrderBy("NAME;ID");
//   q->Open();                             // rows sorted by NAME, then ID
//
// SelectSQL is derived from SQL and never written to form data.
#pragma once

#include <memory>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/UnitInit.h"

class TB_Query : public TpFIBDataSet {
 public:
  // Without the Boolean and GUID field classes (psUseBooleanField and
  // psUseGuidField removed from PrepareOptions).
  explicit TB_Query(TComponent* AOwner);
  ~TB_Query() override;

  // The query's own SQL text. Setting it assigns the lines only when the
  // text differs, so SelectSQL is rewritten once per real change.
  TStrings* SQL() const { return sql_.get(); }
  void SetSQL(TStrings* Value);
  // A ";"-list of field names the opened rows are sorted by (ascending).
  const String& OrderBy() const { return order_by_; }
  void SetOrderBy(const String& Value) { order_by_ = Value; }

  // Outside design mode: psCanEditComputedFields added, and a query without
  // a database takes the default one.
  void Loaded() override;
  // Outside design mode a query without a database takes the default one;
  // SelectSQL is rebuilt from SQL; then the dataset prepares.
  void Prepare() override;

 protected:
  // After the inherited work, the local sort by OrderBy. An OrderBy the
  // rows cannot be sorted by (a name that is no field, a field that does
  // not compare) closes the dataset again and raises.
  void DoAfterOpen() override;

 private:
  // SQL changed: the default database (outside design mode, loading and
  // reading), then SelectSQL := ConvertSQLText(SQL), written only when it
  // differs from the select text.
  void SQLChanged(TObject* Sender);

  std::unique_ptr<TStringList> sql_;
  String order_by_;
};

// Registers TB_Query for form streaming.
extern const TUnit unit_B_DBFBPlus;
