// A statement run straight through the client entry points with the
// descriptor areas, for tests of the areas and values until the statement
// component prepares, executes and fetches by itself.
//
//   fbtest::TTestStatement q(owner, db, tr);
//   q.Prepare("insert into T (ID, NAME) values (?, ?)", {"ID", "NAME"});
//   q.Params()->ByName("ID")->SetAsInteger(1);
//   q.Execute();
//   q.Prepare("select NAME from T");
//   q.Execute();
//   while (q.Fetch()) q.Fields()->Vars(0)->AsString();
//
// Markers are "?". Names given to Prepare (one per marker, in order) build
// the user parameter area and are entered in the server area too; Execute
// then sends the user area, where a NULL parameter first takes the server's
// description. Without names the server area is sent as described.
#pragma once

#include <vector>

#include "dataaccess/core/FIBQuery.h"

namespace fbtest {

class TTestStatement : public TFIBQuery {
 public:
  TTestStatement(TComponent* Owner, TFIBDatabase* Database, TFIBTransaction* Transaction) : TFIBQuery(Owner) {
    SetDatabase(Database);
    SetTransaction(Transaction);
  }
  ~TTestStatement() override {
    if (handle_ != 0 && Database() != nullptr && Database()->Connected())
      Lib()->isc_dsql_free_statement(StatusVector(), &handle_, DSQL_drop);
  }

  void Prepare(const String& SQL, const std::vector<String>& Names = {}) {
    FreeHandle();
    IIBClientLibrary* lib = Lib();
    TFIBDatabase* db = Database();
    TFIBTransaction* tr = Transaction();
    db->CheckCall(lib->isc_dsql_alloc_statement2(StatusVector(), base_->GetDBHandle(), &handle_));
    fields_->SetCount(1);
    tr->CheckCall(lib->isc_dsql_prepare(StatusVector(), base_->GetTRHandle(), &handle_, 0, SQL.c_str(), Dialect(),
                                        fields_->AsXSQLDA()));
    const char item = isc_info_sql_stmt_type;
    char answer[8] = {};
    db->CheckCall(lib->isc_dsql_sql_info(StatusVector(), &handle_, 1, &item, sizeof answer, answer));
    const auto length = static_cast<short>(lib->isc_vax_integer(answer + 1, 2));
    sql_type_ = static_cast<TFIBSQLTypes>(lib->isc_vax_integer(answer + 3, length));

    named_ = !Names.empty();
    const int count = static_cast<int>(Names.size());
    server_params_->SetCount(named_ ? count : 1);
    for (int i = 0; i < count; ++i) server_params_->AddName(Names[static_cast<size_t>(i)], i, false);
    Describe(server_params_.get(), true);
    server_params_->BuildNameIndex();
    // Values already assigned stay; the declared types are the new statement's.
    user_params_->SetCount(count);
    for (int i = 0; i < count; ++i) {
      user_params_->AddName(Names[static_cast<size_t>(i)], i, false);
      user_params_->Vars(i)->SetDeclared(0, 0, 0);
    }

    Describe(fields_.get(), false);
    fields_->BuildNameIndex();
    prepared_ = true;
    record_count_ = 0;
  }

  void Execute() {
    IIBClientLibrary* lib = Lib();
    TFIBTransaction* tr = Transaction();
    TFIBXSQLDA* in = named_ ? user_params_.get() : server_params_.get();
    if (named_) {
      for (int i = 0; i < in->Count(); ++i) {
        TFIBXSQLVAR* user = in->Vars(i);
        if (!user->IsNull()) continue;
        const XSQLVAR* server = server_params_->Vars(i)->AsXSQLVAR();
        XSQLVAR* rec = user->AsXSQLVAR();
        rec->sqltype = static_cast<ISC_SHORT>(server->sqltype | 1);
        rec->sqlscale = server->sqlscale;
        rec->sqlsubtype = server->sqlsubtype;
        rec->sqllen = server->sqllen;
        user->SetDataSize(server->sqllen + 2);
        user->SetIsNull(true);
      }
    }
    if (in->TypesPending()) in->ApplyDeclaredTypes();
    XSQLDA* da = in->Count() > 0 ? in->AsXSQLDA() : nullptr;
    if (sql_type_ == SQLSelect || sql_type_ == SQLSelectForUpdate) {
      if (open_) lib->isc_dsql_free_statement(StatusVector(), &handle_, DSQL_close);
      open_ = false;
      tr->CheckCall(lib->isc_dsql_execute(StatusVector(), base_->GetTRHandle(), &handle_, Dialect(), da));
      open_ = true;
      record_count_ = 0;
      fields_->ClearValues();
    } else if (sql_type_ == SQLExecProcedure) {
      tr->CheckCall(lib->isc_dsql_execute2(StatusVector(), base_->GetTRHandle(), &handle_, Dialect(), da,
                                           fields_->Count() > 0 ? fields_->AsXSQLDA() : nullptr));
    } else {
      tr->CheckCall(lib->isc_dsql_execute(StatusVector(), base_->GetTRHandle(), &handle_, Dialect(), da));
    }
    in->ResetModified();
  }

  // The next row into the output area; false at the end.
  bool Fetch() {
    const ISC_STATUS rc = Lib()->isc_dsql_fetch(StatusVector(), &handle_, Dialect(), fields_->AsXSQLDA());
    if (rc == 100) return false;
    Transaction()->CheckCall(rc);
    ++record_count_;
    return true;
  }

  void FreeHandle() {
    if (handle_ != 0) Database()->CheckCall(Lib()->isc_dsql_free_statement(StatusVector(), &handle_, DSQL_drop));
    handle_ = 0;
    open_ = false;
    prepared_ = false;
  }

 protected:
  // The helper makes no literal parameters.
  void RebuildLiteralText() override { literal_values_changed_ = false; }

 private:
  IIBClientLibrary* Lib() const { return Database()->GetClientLibrary(); }
  unsigned short Dialect() const { return static_cast<unsigned short>(Database()->SQLDialect()); }

  // Describes the parameters or the output columns into Area, growing it
  // when the server reports more entries.
  void Describe(TFIBXSQLDA* Area, bool Bind) {
    IIBClientLibrary* lib = Lib();
    const auto describe = [&] {
      if (Area->Count() == 0) Area->SetCount(1);
      const ISC_STATUS rc = Bind ? lib->isc_dsql_describe_bind(StatusVector(), &handle_, Dialect(), Area->AsXSQLDA())
                                 : lib->isc_dsql_describe(StatusVector(), &handle_, Dialect(), Area->AsXSQLDA());
      Database()->CheckCall(rc);
    };
    describe();
    const int described = Area->AsXSQLDA()->sqld;
    if (described > Area->Count()) {
      Area->SetCount(described);
      describe();
    } else if (described < Area->Count() || !named_ || !Bind) {
      // Keeps the names entered for the markers when the counts agree.
      if (described != Area->Count()) Area->SetCount(described);
    }
  }

  isc_stmt_handle handle_ = 0;
  bool named_ = false;
  bool open_ = false;
};

}  // namespace fbtest
