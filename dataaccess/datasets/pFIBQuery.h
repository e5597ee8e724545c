// Statements with an error handler, and update objects attached to an
// extended dataset.
//
// TpFIBQuery runs its statement in a loop that asks OnExecuteError what to
// do with an EFIBError (daFail re-raises, daAbort aborts silently, daRetry
// runs it again). TpFIBUpdateObject is such a statement bound to a
// TpFIBDataSet: it runs before or after the dataset's own insert, modify or
// delete of a record, with parameters from that record.
//
//   auto* log = new TpFIBUpdateObject(form);
//   log->SQL()->SetText("insert into LOG (ID) values (:ID)");
//   log->SetKindUpdate(ukInsert);
//   log->SetExecuteOrder(oeAfterDefault);
//   log->SetDataSet(people);   // joins people's insert list
#pragma once

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/fib.h"
#include "platform/db/DB.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"

class TFIBDataSet;
class TpFIBDataSet;
class TpFIBQuery;

extern const TUnit unit_pFIBQuery;

// When an update object runs: before or after the dataset's own statement.
RTL_ENUM(TFIBOrderExecUO, oeBeforeDefault, oeAfterDefault);

using TOnSQLExecuteError = Event<void(TpFIBQuery* pFIBQuery, EFIBError& E, TDataAction& Action)>;

class TpFIBQuery : public TFIBQuery {
 public:
  explicit TpFIBQuery(TComponent* AOwner);

  // The statement's execution, again while OnExecuteError answers daRetry
  // (without limit); other exceptions than EFIBError pass unchanged.
  void ExecQuery() override;

  const String& Description() const { return description_; }
  void SetDescription(const String& Value) { description_ = Value; }
  // "6.9.740 Internal"; writing it does nothing.
  String About() const;
  void SetAbout(const String&) {}
  const TOnSQLExecuteError& OnExecuteError() const { return on_execute_error_; }
  void SetOnExecuteError(const TOnSQLExecuteError& Value) { on_execute_error_ = Value; }

 private:
  String description_;
  TOnSQLExecuteError on_execute_error_;
};

class TpFIBUpdateObject : public TpFIBQuery {
 public:
  explicit TpFIBUpdateObject(TComponent* AOwner);
  // Leaves its dataset's list first.
  ~TpFIBUpdateObject() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TFIBDataSet* DataSet() const;
  // Anything but a TpFIBDataSet (nullptr aside) raises "%s is not
  // TpFIBDataSet" with its Name. A new dataset: the object leaves the old
  // dataset's list, joins the new one's list of its KindUpdate at
  // OrderInList and takes the dataset's Database and UpdateTransaction
  // where it has none.
  void SetDataSet(TFIBDataSet* Value);
  // The object's index in its dataset's list (kept equal to it while
  // attached). Attached, setting it moves the object there: beyond the list
  // to its end, below 0 to its front.
  Integer OrderInList() const { return order_in_list_; }
  void SetOrderInList(Integer Value);
  TUpdateKind KindUpdate() const { return kind_update_; }
  // Attached: the object leaves its kind's list and joins the new kind's
  // list at OrderInList.
  void SetKindUpdate(TUpdateKind Value);
  // Runs only while set (and with a statement that is not empty or "No
  // Action").
  bool Active() const { return active_; }
  void SetActive(bool Value) { active_ = Value; }
  TFIBOrderExecUO ExecuteOrder() const { return execute_order_; }
  void SetExecuteOrder(TFIBOrderExecUO Value) { execute_order_ = Value; }

 private:
  friend class TpFIBDataSet;
  TpFIBDataSet* data_set_ = nullptr;
  Integer order_in_list_ = 0;
  TUpdateKind kind_update_ = ukModify;
  bool active_ = true;
  TFIBOrderExecUO execute_order_ = oeBeforeDefault;
};
