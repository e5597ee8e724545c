// The filter evaluator on its own, over an in-memory dataset: values of
// expressions and functions, NULL rules of compare nodes, lists, and the
// errors that leave the parser usable.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/DBParsers.h"
#include "platform/db/DBConsts.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/MemDataSet.h"

namespace {

class DBParsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds_ = std::make_unique<TMemDataSet>(nullptr);
    ds_->FieldDefs()->Add("ID", ftInteger);
    ds_->FieldDefs()->Add("NAME", ftString, 20);
    ds_->FieldDefs()->Add("BORN", ftDateTime);
    ds_->Open();
    ds_->AppendRows({{1, "abcdef", VarFromDateTime(EncodeDate(1990, 3, 15) + EncodeTime(10, 20, 30, 0))},
                     {2, Null(), Null()}});
    ds_->First();
  }

  std::unique_ptr<TExpressionParser> Parser(const String& Text, TFilterOptions Options = {}) {
    return std::make_unique<TExpressionParser>(ds_.get(), Text, Options, TParserOptions{poExtSyntax}, String(),
                                               nullptr, DataSetFieldMap(), StrToDateFmt, SQLMaskCompareStr);
  }

  std::unique_ptr<TMemDataSet> ds_;
};

TEST_F(DBParsersTest, ValuesOfExpressionsAndFunctions) {
  const String day = IntToStr(static_cast<Int64>(EncodeDate(1990, 3, 15)));
  const struct {
    String Text;
    bool Expected;
  } cases[] = {
      {"ID + 2 * 3 = 7", true},
      {"ID + 2 * 3 = 9", false},
      {"7 / 2 = 3.5", true},
      {"(ID - 3) * 2 < -3", true},
      {"SUBSTRING(NAME, 2, 3) = 'bcd'", true},
      {"SUBSTRING(NAME, '2,3') = 'bcd'", true},
      {"SUBSTRING(NAME, 5) = 'ef'", true},
      {"UPPER(NAME) = 'ABCDEF'", true},
      {"LOWER('AbC') = 'abc'", true},
      {"TRIM('  a b  ') = 'a b'", true},
      {"TRIMLEFT('  a ') = 'a '", true},
      {"TRIMRIGHT('  a ') = '  a'", true},
      {"YEAR(BORN) = 1990 and MONTH(BORN) = 3 and DAY(BORN) = 15", true},
      {"HOUR(BORN) = 10 and MINUTE(BORN) = 20 and SECOND(BORN) = 30", true},
      {"DATE(BORN) = " + day, true},
      {"GETDATE() > BORN", true},
      {"ID in (3, 1)", true},
      {"ID in (3, 4)", false},
      {"NAME like 'a_c%'", true},
      {"NAME like 'b%'", false},
      {"ID = 2 or NAME = 'abcdef'", true},
      {"ID = 2 and NAME = 'abcdef'", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Parser(c.Text)->IsTrue(), c.Expected);
  }
}

TEST_F(DBParsersTest, NullRules) {
  ds_->Last();  // NAME and BORN are NULL
  const struct {
    const char* Text;
    TFilterOptions Options;
    bool Expected;
  } cases[] = {
      // Compare nodes (case-insensitive or partial): one NULL differs.
      {"NAME = 'a'", {foCaseInsensitive}, false},
      {"NAME <> 'a'", {foCaseInsensitive}, true},
      {"NAME = 'a*'", {}, false},
      {"NAME is null", {}, true},
      {"NAME is not null", {}, false},
      {"not (BORN is null)", {}, false},
      {"YEAR(BORN) = 1990", {}, false},
      {"UPPER(NAME) = ''", {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Parser(c.Text, c.Options)->IsTrue(), c.Expected);
  }
}

TEST_F(DBParsersTest, CaseInsensitivePartialCompareUpperCasesFirst) {
  EXPECT_TRUE(Parser("NAME = 'ABC*'", {foCaseInsensitive})->IsTrue());
  EXPECT_FALSE(Parser("NAME = 'ABC*'")->IsTrue());
  EXPECT_TRUE(Parser("NAME = 'abc*'")->IsTrue());
  EXPECT_FALSE(Parser("NAME = 'abc*'", {foNoPartialCompare})->IsTrue());
}

TEST_F(DBParsersTest, ErrorsLeaveTheParserUsable) {
  // A list of more than 51 values overruns the argument array.
  String list = "ID in (";
  for (int i = 0; i < 52; ++i) list += IntToStr(static_cast<Int64>(i + 100)) + (i < 51 ? "," : ")");
  EXPECT_THROW(Parser(list)->Evaluate(), Exception);
  list.replace(list.find("100"), 3, "1");
  EXPECT_THROW(Parser(list)->Evaluate(), Exception);

  try {
    Parser("ID = ");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(String(e.what()).rfind("Can't parse Filter for: \r\n", 0), 0u) << e.what();
  }
  auto substring = Parser("SUBSTRING(NAME, 'x') = 'a'");
  EXPECT_THROW(substring->IsTrue(), EDatabaseError);
  auto p = Parser("ID = 1 and SUBSTRING(NAME, 1, 1) = 'a'");
  EXPECT_TRUE(p->IsTrue());
  ds_->Last();
  EXPECT_FALSE(p->IsTrue());
  // Fields are found again after the cache is emptied.
  p->ClearFieldCache();
  ds_->First();
  EXPECT_TRUE(p->IsTrue());
  EXPECT_THROW(p->GetField("NOPE"), EDatabaseError);
}

}  // namespace
