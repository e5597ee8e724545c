// The provider operations of a dataset without SQL: nothing to offer, and
// running something it does not have is an error, never a silent success.
#include <functional>

#include "platform/db/DBConsts.h"
#include "tests/platform/db/DbFixture.h"

namespace {

// The message of the database error Call raises; a failure when it raises
// none.
String DatabaseErrorText(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no database error raised";
  return String();
}

TEST(ProviderTest, ADataSetWithoutSqlOffersNothing) {
  auto ds = MakeDataSet(2);
  ds->PSSetCommandText(u"select 1 from T");
  EXPECT_EQ(ds->PSGetCommandText(), u"");
  EXPECT_EQ(ds->PSGetKeyFields(), u"");
  EXPECT_EQ(ds->PSGetQuoteChar(), u"");
  EXPECT_EQ(ds->PSGetTableName(), u"");
  EXPECT_EQ(ds->PSGetParams(), nullptr);
  TParams params;
  params.CreateParam(ftInteger, "ID", ptInput)->SetAsInteger(1);
  ds->PSSetParams(&params);
  EXPECT_FALSE(ds->PSInTransaction());
  EXPECT_FALSE(ds->PSIsSQLBased());
  EXPECT_FALSE(ds->PSIsSQLSupported());
  ds->PSStartTransaction();
  ds->PSEndTransaction(true);
  ds->PSReset();
  // The provider applies the record itself; the dataset is untouched.
  EXPECT_FALSE(ds->PSUpdateRecord(ukModify, ds.get()));
  EXPECT_EQ(ds->RowCount(), 2);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
}

TEST(ProviderTest, RunningACommandItDoesNotHaveRaises) {
  auto ds = MakeDataSet(1);
  TDataSet* rows = nullptr;
  struct Case {
    const char* name;
    std::function<void()> call;
    const char* message;
  };
  const Case cases[] = {
      {"execute", [&] { ds->PSExecute(); }, SProviderExecuteNotSupported},
      {"statement", [&] { ds->PSExecuteStatement("delete from T", nullptr, nullptr); }, SProviderSQLNotSupported},
      {"result set", [&] { ds->PSExecuteStatement("select 1 from T", nullptr, &rows); }, SProviderSQLNotSupported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DatabaseErrorText(c.call), String("Mem: ") + c.message);
  }
  EXPECT_EQ(rows, nullptr);
}

TEST(ProviderTest, UpdateExceptionKeepsMessageAndCode) {
  auto ds = MakeDataSet(0);
  const std::unique_ptr<EUpdateError> plain = ds->PSGetUpdateException(EConvertError("bad value"));
  EXPECT_EQ(plain->Message(), "bad value");
  EXPECT_EQ(plain->ErrorCode(), 0);
  const std::unique_ptr<EUpdateError> update = ds->PSGetUpdateException(EUpdateError("refused", -803));
  EXPECT_EQ(update->Message(), "refused");
  EXPECT_EQ(update->ErrorCode(), -803);
}

}  // namespace
