// Parameters and BCD values.
#include "platform/rtl/FMTBcd.h"
#include "tests/platform/db/DbFixture.h"

namespace {

class ParamsBcdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings;
    FormatSettings.DecimalSeparator = '.';
  }
  void TearDown() override { FormatSettings = saved_; }
  TFormatSettings saved_;
};

TEST_F(ParamsBcdTest, BcdTextCurrencyAndLimits) {
  struct Case {
    const char* text;
    const char* back;
    int precision, scale;
  };
  const Case cases[] = {
      {"12.34", "12.34", 4, 2}, {"-0.50", "-0.50", 2, 2}, {"007", "7", 1, 0},
      {" 0 ", "0", 1, 0},       {"-0", "0", 1, 0},       {"123456789012345678901234567890.12", "123456789012345678901234567890.12", 32, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TBcd b = StrToBcd(c.text);
    EXPECT_EQ(BcdToStr(b), c.back);
    EXPECT_EQ(BcdPrecision(b), c.precision);
    EXPECT_EQ(BcdScale(b), c.scale);
  }
  EXPECT_THROW(StrToBcd("1.2.3"), EConvertError);
  EXPECT_THROW(StrToBcd(""), EConvertError);
  EXPECT_THROW(StrToBcd(String(70, '9')), EConvertError);

  TBcd b;
  ASSERT_TRUE(CurrToBCD(Currency::FromRaw(-123456), b, 32, 2));  // -12.3456 -> -12.35
  EXPECT_EQ(BcdToStr(b), "-12.35");
  Currency c;
  ASSERT_TRUE(BCDToCurr(StrToBcd("1.00005"), c));
  EXPECT_EQ(c.Value, 10001);  // half away from zero
  EXPECT_FALSE(BCDToCurr(StrToBcd("1000000000000000"), c));
  EXPECT_FALSE(CurrToBCD(Currency::FromInt(123), b, 2, 0));  // three digits do not fit in two
  ASSERT_TRUE(BCDToCurr(StrToBcd("-922337203685477.5808"), c));
  EXPECT_EQ(c.Value, INT64_MIN);

  EXPECT_DOUBLE_EQ(BcdToDouble(StrToBcd("-2.5")), -2.5);
  EXPECT_EQ(BcdToStr(DoubleToBcd(0.1)), "0.1");
  EXPECT_EQ(BcdToStr(DoubleToBcd(1e20)), "100000000000000000000");
  EXPECT_EQ(BcdToInt64(StrToBcd("-99.9")), -99);
  EXPECT_EQ(BcdToStr(Int64ToBcd(INT64_MIN)), "-9223372036854775808");
  EXPECT_THROW(BcdToInt64(StrToBcd("99999999999999999999")), EBcdOverflowException);
  EXPECT_LT(BcdCompare(StrToBcd("-1"), StrToBcd("0.5")), 0);
  EXPECT_EQ(BcdCompare(StrToBcd("1.50"), StrToBcd("1.5")), 0);
  EXPECT_GT(BcdCompare(StrToBcd("10"), StrToBcd("9.99")), 0);
  TBcd n;
  ASSERT_TRUE(NormalizeBcd(StrToBcd("2.345"), n, 10, 2));
  EXPECT_EQ(BcdToStr(n), "2.35");
  EXPECT_FALSE(NormalizeBcd(StrToBcd("123.4"), n, 3, 2));
}

TEST_F(ParamsBcdTest, ParamsByNameTypesAndValues) {
  TParams params;
  TParam* id = params.CreateParam(ftInteger, "ID", ptInput);
  TParam* name = params.CreateParam(ftUnknown, "Name", ptInput);
  EXPECT_EQ(params.Count(), 2);
  EXPECT_EQ(params.ParamByName("name"), name);
  EXPECT_EQ(params.FindParam("none"), nullptr);
  try {
    params.ParamByName("none");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Parameter 'none' not found");
  }
  EXPECT_TRUE(id->IsNull());
  EXPECT_FALSE(id->Bound());
  id->SetAsString("42");
  EXPECT_EQ(id->DataType(), ftString);
  id->SetDataType(ftInteger);  // the value converts
  EXPECT_EQ(VarType(id->Value()), varInteger);
  EXPECT_EQ(id->AsInteger(), 42);
  name->SetValue(Variant("x"));  // an untyped parameter takes the value's type
  EXPECT_EQ(name->DataType(), ftString);
  EXPECT_TRUE(name->Bound());
  name->Clear();
  EXPECT_TRUE(name->IsNull());
  EXPECT_TRUE(name->Bound());
  EXPECT_EQ(name->AsString(), "");

  params.SetParamValues("ID;Name", VarArrayOf({7, "y"}));
  Variant both = params.ParamValues("Name;ID");
  EXPECT_EQ(VarArrayGet(both, 0).AsString(), "y");
  EXPECT_EQ(VarArrayGet(both, 1).AsInteger(), 7);

  TParam* d = params.CreateParam(ftUnknown, "D", ptInput);
  d->SetAsDate(EncodeDate(2020, 5, 6));
  EXPECT_EQ(d->DataType(), ftDate);
  EXPECT_DOUBLE_EQ(d->AsDateTime(), EncodeDate(2020, 5, 6));
  d->SetAsBCD(StrToBcd("1.25"));
  EXPECT_EQ(d->DataType(), ftBCD);
  EXPECT_EQ(BcdToStr(d->AsBCD()), "1.2500");
  EXPECT_EQ(d->GetDataSize(), 34);

  TParams copy;
  copy.CreateParam(ftUnknown, "ID", ptInput);
  copy.AssignValues(&params);
  EXPECT_EQ(copy.ParamByName("ID")->AsInteger(), 7);
  EXPECT_FALSE(copy.IsEqual(&params));
  params.RemoveParam(d);
  delete d;
  EXPECT_EQ(params.Count(), 2);
}

TEST_F(ParamsBcdTest, ParamsFromFields) {
  auto ds = MakeDataSet(1);
  TParams params;
  TParam* p = params.CreateParam(ftUnknown, "", ptInput);
  p->AssignField(ds->FieldByName("NAME"));
  EXPECT_EQ(p->Name(), "NAME");
  EXPECT_EQ(p->DataType(), ftString);
  EXPECT_EQ(p->AsString(), "n1");
  TParam* q = params.CreateParam(ftUnknown, "Q", ptInput);
  q->Assign(p);
  EXPECT_TRUE(q->IsEqual(p));
  ds->Edit();
  ds->FieldByName("NAME")->Clear();
  p->AssignField(ds->FieldByName("NAME"));
  EXPECT_TRUE(p->IsNull());
  EXPECT_TRUE(p->Bound());
}

}  // namespace
