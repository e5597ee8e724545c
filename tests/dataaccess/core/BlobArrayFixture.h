// Fixture of the BLOB and array tests: a temporary database per suite, a
// connected database component with a running transaction per test, rows
// with BLOB and array columns through bare client calls, and a BLOB filter
// pair.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/ibase.h"
#include "tests/support/fb/FIBSuiteFixture.h"
#include "tests/support/fb/FIBTestSupport.h"

namespace fbtest {

// Suites derive as class X : public TBlobArrayTest<X> and give the tables
// with a static std::vector<std::string> Tables().
template <class Derived>
class TBlobArrayTest : public TFIBSuiteTest<Derived> {
 protected:
  using TFIBSuiteTest<Derived>::file_;

  void SetUp() override { Connect("UTF8"); }
  void TearDown() override { delete form_; }

  // A new connection in the character set, with a running transaction.
  void Connect(const std::string& CharSet) {
    delete form_;
    form_ = new TComponent(nullptr);
    db_ = NewFIBDatabase(form_, file_->Path(), CharSet);
    tr_ = new TFIBTransaction(form_);
    tr_->SetDefaultDatabase(db_);
    db_->Connect();
    tr_->StartTransaction();
  }

  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TFIBTransaction* tr_ = nullptr;
};

// Call raises EFIBClientError Number with a message that contains Message.
template <class F>
void ExpectClientError(F&& Call, Integer Number, const String& Message = "") {
  try {
    Call();
    ADD_FAILURE() << "no error, expected client error " << Number << " " << Message;
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.SQLCode(), Number);
    EXPECT_NE(e.Message().find(Message), String::npos) << e.Message();
  }
}

// A filter pair for a user-defined subtype: writing reverses the bytes and
// appends '#', reading drops the last byte and reverses the rest.
inline void ReverseRead(void*& Buffer, Integer& Size) {
  auto* b = static_cast<char*>(Buffer);
  std::reverse(b, b + Size - 1);
  Size -= 1;
}
inline void ReverseWrite(void*& Buffer, Integer& Size) {
  Buffer = std::realloc(Buffer, static_cast<size_t>(Size) + 1);
  auto* b = static_cast<char*>(Buffer);
  std::reverse(b, b + Size);
  b[Size] = '#';
  Size += 1;
}

// Runs one statement on the transaction. Its input parameters are (integer)
// or (integer, BLOB or array id); a select returns the id of its single
// column in the first row ({0, 0} without a select).
inline ISC_QUAD RunQuadStatement(TFIBDatabase* Db, TFIBTransaction* Tr, const String& SQL, Integer Id,
                                 const ISC_QUAD* Quad = nullptr) {
  IIBClientLibrary* lib = Db->GetClientLibrary();
  isc_stmt_handle stmt = 0;
  Db->CheckCall(lib->isc_dsql_alloc_statement2(StatusVector(), Db->HandlePtr(), &stmt));
  alignas(XSQLDA) char in_area[DescriptorAreaSize(2)] = {};
  alignas(XSQLDA) char out_area[DescriptorAreaSize(1)] = {};
  auto* in = reinterpret_cast<XSQLDA*>(in_area);
  auto* out = reinterpret_cast<XSQLDA*>(out_area);
  in->version = out->version = SQLDA_VERSION1;
  in->sqln = 2;
  out->sqln = 1;
  Tr->CheckCall(lib->isc_dsql_prepare(StatusVector(), Tr->HandlePtr(), &stmt, 0, SQL.c_str(), 3, out));
  Tr->CheckCall(lib->isc_dsql_describe_bind(StatusVector(), &stmt, 3, in));
  ISC_QUAD result{0, 0}, quad = Quad ? *Quad : ISC_QUAD{0, 0};
  short null_in = 0, null_out = 0;
  in->sqlvar[0].sqldata = reinterpret_cast<char*>(&Id);
  in->sqlvar[0].sqlind = &null_in;
  if (in->sqld > 1) {
    in->sqlvar[1].sqldata = reinterpret_cast<char*>(&quad);
    in->sqlvar[1].sqlind = &null_in;
  }
  out->sqlvar[0].sqldata = reinterpret_cast<char*>(&result);
  out->sqlvar[0].sqlind = &null_out;
  Tr->CheckCall(lib->isc_dsql_execute(StatusVector(), Tr->HandlePtr(), &stmt, 3, in));
  if (out->sqld > 0) Tr->CheckCall(lib->isc_dsql_fetch(StatusVector(), &stmt, 3, out));
  Db->CheckCall(lib->isc_dsql_free_statement(StatusVector(), &stmt, DSQL_drop));
  return result;
}

// Puts the id into column Column of the row ID = 1 of Table (replacing the
// row), commits, and returns the id the row holds, read in a new transaction.
inline ISC_QUAD StoreInRow(TFIBDatabase* Db, TFIBTransaction* Tr, const String& Table, const String& Column,
                           const ISC_QUAD& Quad) {
  RunQuadStatement(Db, Tr, "delete from " + Table + " where ID = ?", 1);
  RunQuadStatement(Db, Tr, "insert into " + Table + " (ID, " + Column + ") values (?, ?)", 1, &Quad);
  Tr->Commit();
  Tr->StartTransaction();
  return RunQuadStatement(Db, Tr, "select " + Column + " from " + Table + " where ID = ?", 1);
}

}  // namespace fbtest
