#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

namespace {

// Runs a test body under fixed English format settings.
class VariantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings;
    FormatSettings = TFormatSettings();
    FormatSettings.ShortDateFormat = "dd.mm.yyyy";
    FormatSettings.DateSeparator = '.';
  }
  void TearDown() override { FormatSettings = saved_; }

 private:
  TFormatSettings saved_;
};

template <class F>
String ErrorText(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.ClassName() + ": " + e.Message();
  }
  return "no exception";
}

}  // namespace

TEST_F(VariantTest, TypesAndPredicates) {
  struct Case {
    Variant v;
    TVarType type;
    const char* name;
  };
  const Case cases[] = {
      {Variant(), varEmpty, "Empty"},
      {Null(), varNull, "Null"},
      {Variant(int8_t{-1}), varShortInt, "ShortInt"},
      {Variant(uint8_t{1}), varByte, "Byte"},
      {Variant(int16_t{1}), varSmallint, "Smallint"},
      {Variant(uint16_t{1}), varWord, "Word"},
      {Variant(1), varInteger, "Integer"},
      {Variant(1u), varLongWord, "LongWord"},
      {Variant(Int64{1}), varInt64, "Int64"},
      {Variant(1LL), varInt64, "Int64"},
      {Variant(1.5f), varSingle, "Single"},
      {Variant(1.5), varDouble, "Double"},
      {Variant(true), varBoolean, "Boolean"},
      {Variant(Currency::FromInt(1)), varCurrency, "Currency"},
      {VarFromDateTime(1.5), varDate, "Date"},
      {Variant("a"), varString, "String"},
      {Variant(String("a")), varString, "String"},
      {Variant(u"a"), varOleStr, "OleStr"},
      {VarArrayOf({1}), varArray | varVariant, "Array Variant"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VarType(c.v), c.type) << c.name;
    EXPECT_EQ(VarTypeAsText(c.v.VarType()), c.name);
  }
  EXPECT_TRUE(VarIsNull(Null()));
  EXPECT_TRUE(VarIsEmpty(Unassigned()));
  EXPECT_TRUE(VarIsClear(Variant()));
  EXPECT_FALSE(VarIsEmpty(Null()));
  EXPECT_TRUE(VarIsArray(VarArrayOf({})));
  EXPECT_TRUE(VarIsOrdinal(Variant(true)));
  EXPECT_TRUE(VarIsOrdinal(Variant(Int64{5})));
  EXPECT_FALSE(VarIsOrdinal(Variant(1.0)));
  EXPECT_TRUE(VarIsFloat(Variant(Currency())));
  EXPECT_FALSE(VarIsFloat(VarFromDateTime(1)));
  EXPECT_TRUE(VarIsNumeric(Variant(uint8_t{1})));
  EXPECT_FALSE(VarIsNumeric(Variant("1")));
  EXPECT_TRUE(VarIsStr(Variant(u"x")));
  EXPECT_FALSE(VarIsStr(Null()));
}

TEST_F(VariantTest, Conversions) {
  EXPECT_EQ(Variant(int16_t{5}).AsInteger(), 5);
  EXPECT_EQ(Variant(2.5).AsInteger(), 2);  // half to even
  EXPECT_EQ(Variant(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant(-2.5).AsInteger(), -2);
  EXPECT_EQ(Variant(" 12").AsInteger(), 12);
  EXPECT_EQ(Variant("12.7").AsInteger(), 13);
  EXPECT_EQ(Variant("$10").AsInteger(), 16);
  EXPECT_EQ(Variant().AsInteger(), 0);
  EXPECT_EQ(Variant(true).AsInteger(), -1);
  EXPECT_EQ(Variant(Currency::FromRaw(25000)).AsInteger(), 2);
  EXPECT_EQ(Variant(Currency::FromRaw(-35000)).AsInt64(), -4);
  EXPECT_EQ(Variant(4000000000u).AsInt64(), 4000000000LL);
  EXPECT_EQ(Variant(u"42").AsInt64(), 42);

  EXPECT_EQ(Variant("1.5").AsDouble(), 1.5);
  EXPECT_EQ(Variant(Currency::FromRaw(12345)).AsDouble(), 1.2345);
  EXPECT_EQ(VarFromDateTime(2.25).AsDouble(), 2.25);
  EXPECT_EQ(Variant(1.23456).AsCurrency().Value, 12346);
  EXPECT_EQ(Variant("1.5").AsCurrency().Value, 15000);
  EXPECT_EQ(Variant(3).AsCurrency().Value, 30000);

  EXPECT_FALSE(Variant(0).AsBoolean());
  EXPECT_TRUE(Variant(2).AsBoolean());
  EXPECT_TRUE(Variant(0.1).AsBoolean());
  EXPECT_TRUE(Variant("True").AsBoolean());
  EXPECT_FALSE(Variant("false").AsBoolean());
  EXPECT_FALSE(Variant("0").AsBoolean());
  EXPECT_FALSE(Variant().AsBoolean());

  EXPECT_EQ(Variant(Int64{-5}).AsString(), "-5");
  EXPECT_EQ(Variant(1.5).AsString(), "1.5");
  EXPECT_EQ(Variant(0.1f).AsString(), "0.1");
  EXPECT_EQ(Variant(Currency::FromRaw(12345)).AsString(), "1.2345");
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_EQ(Variant(u"жук").AsString(), "жук");
  EXPECT_EQ(Variant("жук").AsWideString(), u"жук");
  EXPECT_EQ(Variant().AsString(), "");
  EXPECT_EQ(VarFromDateTime(EncodeDate(2003, 2, 5) + 0.5).AsString(), "05.02.2003 12:00:00");
  EXPECT_EQ(VarToStr(Null()), "");
  EXPECT_EQ(VarToWideStr(Null()), u"");
  EXPECT_EQ(VarToStr(Variant(7)), "7");
  EXPECT_EQ(VarToDateTime(Variant("05.02.2003")), EncodeDate(2003, 2, 5));
  EXPECT_EQ(Variant(36526).AsDateTime(), 36526);

  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  EXPECT_EQ(VarToStr(Variant(2.5), comma), "2,5");
  EXPECT_EQ(VarToStr(Variant(Currency::FromRaw(25000)), comma), "2,5");
  FormatSettings.DecimalSeparator = ',';
  EXPECT_EQ(Variant("1,5").AsDouble(), 1.5);
  EXPECT_EQ(Variant(2.5).AsString(), "2,5");
}

TEST_F(VariantTest, DataPtr) {
  Variant i16 = int16_t{-2}, dbl = 1.5, cur = Currency::FromRaw(7), flag = true, text = "ab", wide = u"w";
  EXPECT_EQ(*static_cast<const Int64*>(i16.DataPtr()), -2);
  EXPECT_EQ(*static_cast<const double*>(dbl.DataPtr()), 1.5);
  EXPECT_EQ(*static_cast<const double*>(VarFromDateTime(3.25).DataPtr()), 3.25);
  EXPECT_EQ(*static_cast<const float*>(Variant(0.5f).DataPtr()), 0.5f);
  EXPECT_EQ(*static_cast<const Int64*>(cur.DataPtr()), 7);
  EXPECT_TRUE(*static_cast<const bool*>(flag.DataPtr()));
  EXPECT_EQ(*static_cast<const String*>(text.DataPtr()), "ab");
  EXPECT_EQ(*static_cast<const WideString*>(wide.DataPtr()), u"w");
  EXPECT_EQ(Null().DataPtr(), nullptr);
  EXPECT_EQ(Variant().DataPtr(), nullptr);
  EXPECT_EQ(VarArrayOf({1}).DataPtr(), nullptr);
}

TEST_F(VariantTest, ConversionErrors) {
  struct Case {
    std::function<void()> f;
    const char* expected;
  };
  const Case cases[] = {
      {[] { Null().AsInteger(); },
       "EVariantTypeCastError: Could not convert variant of type (Null) into type (Integer)"},
      {[] { Null().AsString(); }, "EVariantTypeCastError: Could not convert variant of type (Null) into type (String)"},
      {[] { Null().AsBoolean(); },
       "EVariantTypeCastError: Could not convert variant of type (Null) into type (Boolean)"},
      {[] { Variant("abc").AsInteger(); },
       "EVariantTypeCastError: Could not convert variant of type (String) into type (Integer)"},
      {[] { Variant("abc").AsDouble(); },
       "EVariantTypeCastError: Could not convert variant of type (String) into type (Double)"},
      {[] { Variant(u"abc").AsBoolean(); },
       "EVariantTypeCastError: Could not convert variant of type (OleStr) into type (Boolean)"},
      {[] { Variant("x").AsDateTime(); },
       "EVariantTypeCastError: Could not convert variant of type (String) into type (Date)"},
      {[] { Variant("x").AsCurrency(); },
       "EVariantTypeCastError: Could not convert variant of type (String) into type (Currency)"},
      {[] { VarArrayOf({1}).AsString(); },
       "EVariantTypeCastError: Could not convert variant of type (Array Variant) into type (String)"},
      {[] { Variant(Int64{1} << 40).AsInteger(); },
       "EVariantOverflowError: Range check error while converting variant of type (Int64) into type (Integer)"},
      {[] { Variant(1e10).AsInteger(); },
       "EVariantOverflowError: Range check error while converting variant of type (Double) into type (Integer)"},
      {[] { Variant(1e300).AsInt64(); },
       "EVariantOverflowError: Range check error while converting variant of type (Double) into type (Int64)"},
      {[] { Variant(1e300).AsCurrency(); },
       "EVariantOverflowError: Range check error while converting variant of type (Double) into type (Currency)"},
      {[] { Variant(40000).AsSmallInt(); },
       "EVariantOverflowError: Range check error while converting variant of type (Integer) into type (Smallint)"},
      {[] { VarAsType(300, varByte); },
       "EVariantOverflowError: Range check error while converting variant of type (Integer) into type (Byte)"},
      {[] { VarAsType(-1, varWord); },
       "EVariantOverflowError: Range check error while converting variant of type (Integer) into type (Word)"},
      {[] { VarAsError(-1).AsDouble(); },
       "EVariantTypeCastError: Could not convert variant of type (Error) into type (Double)"},
      {[] { VarAsError(-1).AsString(); },
       "EVariantTypeCastError: Could not convert variant of type (Error) into type (String)"},
      {[] { VarToStr(VarAsError(-1)); },
       "EVariantTypeCastError: Could not convert variant of type (Error) into type (String)"},
      {[] { (void)(VarAsError(-1) == VarAsError(-1)); }, "EVariantInvalidOpError: Invalid variant operation"},
      {[] { (void)(VarAsError(-1) == Variant(1)); }, "EVariantInvalidOpError: Invalid variant operation"},
      {[] { VarAsType(1, 0x99); }, "EVariantTypeCastError: Invalid variant type conversion"},
      {[] { VarAsType(1, varArray | varInteger); }, "EVariantTypeCastError: Invalid variant type conversion"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorText(c.f), c.expected);
}

TEST_F(VariantTest, ErrorValuesKeepTheirCode) {
  Variant e = VarAsError(-1);
  EXPECT_EQ(e.VarType(), varError);
  Integer code = 0;
  EXPECT_TRUE(VarIsError(e, code));
  EXPECT_EQ(code, -1);
  Variant copy = e;
  EXPECT_TRUE(VarIsError(copy));
  EXPECT_FALSE(VarIsError(Null()));
  EXPECT_FALSE(VarIsError(Variant(-1), code));
  EXPECT_FALSE(VarIsNumeric(e));
  EXPECT_FALSE(VarIsNull(e));
}

TEST_F(VariantTest, VarAsType) {
  struct Case {
    Variant in;
    TVarType to;
    Variant out;
  };
  const Case cases[] = {
      {5, varString, "5"},
      {"7", varInteger, 7},
      {"7", varShortInt, int8_t{7}},
      {255, varByte, uint8_t{255}},
      {-1, varInt64, Int64{-1}},
      {4294967295LL, varLongWord, 4294967295u},
      {1.5, varSingle, 1.5f},
      {"1.25", varCurrency, Currency::FromRaw(12500)},
      {1, varBoolean, true},
      {"x", varOleStr, u"x"},
      {1.5, varDate, VarFromDateTime(1.5)},
      {5, varVariant, 5},
  };
  for (const Case& c : cases) {
    Variant r = VarAsType(c.in, c.to);
    EXPECT_EQ(r.VarType(), c.out.VarType()) << VarToStr(c.in);
    EXPECT_TRUE(r == c.out) << VarToStr(c.in);
  }
  EXPECT_TRUE(VarIsNull(VarAsType(5, varNull)));
  EXPECT_TRUE(VarIsEmpty(VarAsType(Null(), varEmpty)));
}

TEST_F(VariantTest, Comparison) {
  struct Case {
    Variant a, b;
    TVariantRelationship rel;
  };
  const Case cases[] = {
      {Null(), Null(), vrEqual},
      {Null(), 1, vrNotEqual},
      {"", Null(), vrNotEqual},
      {Variant(), Null(), vrNotEqual},
      {Variant(), Variant(), vrEqual},
      {Variant(), 0, vrEqual},
      {Variant(), "", vrEqual},
      {Variant(), "a", vrLessThan},
      {5, Variant(), vrGreaterThan},
      {1, 1.0, vrEqual},
      {1, 2, vrLessThan},
      {Int64{INT64_MAX}, Int64{INT64_MAX - 1}, vrGreaterThan},  // exact, not through doubles
      {4000000000u, -1, vrGreaterThan},
      {"1", 1, vrEqual},
      {"10", 9, vrGreaterThan},  // numeric, not text order
      {9, "10", vrLessThan},
      {"abc", "abd", vrLessThan},
      {"abc", "abc", vrEqual},
      {"ёлка", "жук", vrLessThan},  // the user's locale, not byte order
      {u"abc", "abc", vrEqual},
      {Currency::FromRaw(15000), 1.5, vrEqual},
      {Currency::FromRaw(15000), 1, vrGreaterThan},
      {Currency::FromRaw(10000), 1, vrEqual},
      {VarFromDateTime(2.0), 2, vrEqual},
      {VarFromDateTime(2.0), "31.12.1899", vrGreaterThan},
      {true, -1, vrEqual},
      {true, false, vrGreaterThan},
      {"True", true, vrEqual},
      {1.5f, 1.5, vrEqual},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VarCompareValue(c.a, c.b), c.rel) << VarToStr(c.a) << " ? " << VarToStr(c.b);
    EXPECT_EQ(c.a == c.b, c.rel == vrEqual) << VarToStr(c.a) << " == " << VarToStr(c.b);
  }
  EXPECT_TRUE(Null() == Null());
  EXPECT_TRUE(Null() != 1);
  EXPECT_TRUE(Null() < 1);  // Null is below every value
  EXPECT_FALSE(1 < Null());
  EXPECT_TRUE(Variant(1) > Null());
  EXPECT_FALSE(Null() < Null());
  EXPECT_TRUE(Null() <= Null());
  EXPECT_TRUE(Variant("a") < Variant("b"));
  EXPECT_TRUE(Variant(2) >= 2.0);

  EXPECT_THROW(VarCompareValue("abc", 1), EVariantTypeCastError);
  EXPECT_THROW((void)(VarArrayOf({1}) == VarArrayOf({1})), EVariantInvalidOpError);
  EXPECT_THROW((void)(Null() < VarArrayOf({1})), EVariantInvalidOpError);
}

TEST_F(VariantTest, Arithmetic) {
  struct Case {
    Variant result;
    TVarType type;
    Variant value;
  };
  const Case cases[] = {
      {Variant(2) + 3, varInteger, 5},
      {Variant(INT32_MAX) + 1, varInt64, Int64{INT32_MAX} + 1},
      {Variant(Int64{INT64_MAX}) + 1, varDouble, 9223372036854775808.0},
      {Variant(int16_t{2}) * int16_t{3}, varInteger, 6},
      {Variant("a") + "b", varString, "ab"},
      {Variant(u"a") + "b", varOleStr, u"ab"},
      {Variant("1") + 2, varDouble, 3.0},
      {Variant("5") - "2", varDouble, 3.0},
      {Variant() + 5, varInteger, 5},
      {Variant() + "x", varString, "x"},
      {Variant(Currency::FromRaw(15000)) + 1, varCurrency, Currency::FromRaw(25000)},
      {Variant(Currency::FromRaw(15000)) * Currency::FromRaw(15000), varCurrency, Currency::FromRaw(22500)},
      {Variant(Currency::FromRaw(15000)) + 0.5, varDouble, 2.0},
      {Variant(1.5) * 2, varDouble, 3.0},
      {Variant(7) / 2, varDouble, 3.5},
      {VarFromDateTime(10) + 1, varDate, VarFromDateTime(11)},
      {VarFromDateTime(10) - VarFromDateTime(4), varDouble, 6.0},
      {Variant(true) + 1, varInteger, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result.VarType(), c.type) << VarToStr(c.result);
    EXPECT_TRUE(c.result == c.value) << VarToStr(c.result);
  }
  EXPECT_TRUE(VarIsNull(Null() + 1));
  EXPECT_TRUE(VarIsNull(Variant("a") * Null()));
  EXPECT_TRUE(VarIsNull(Null() / 0));
  EXPECT_THROW(Variant(1) / 0, EZeroDivide);
  EXPECT_THROW(Variant("a") - 1, EVariantTypeCastError);
  EXPECT_THROW(VarArrayOf({1}) + 1, EVariantInvalidOpError);
}

TEST_F(VariantTest, ExactDecimals) {
  const Variant big = VarFMTBcdCreate(StrToBcd("123456789012.123456"));
  const Variant small = VarFMTBcdCreate(StrToBcd("-0.250000"));
  EXPECT_EQ(big.VarType(), varFMTBcd);
  EXPECT_TRUE(VarIsFMTBcd(big) && VarIsNumeric(big) && VarIsFloat(big));
  EXPECT_EQ(VarTypeAsText(varFMTBcd), "FMTBcd");
  // Conversions: text exact and without trailing zeros, integers rounded
  // half to even, a currency of four places, the nearest double.
  EXPECT_EQ(VarToStr(big), "123456789012.123456");
  EXPECT_EQ(VarToStr(small), "-0.25");
  EXPECT_EQ(VarToStr(VarFMTBcdCreate(StrToBcd("-9223372036854775808"))), "-9223372036854775808");
  EXPECT_EQ(BcdToStr(VarToBcd(big)), "123456789012.123456");
  EXPECT_EQ(VarFMTBcdCreate(StrToBcd("2.5")).AsInt64(), 2);
  EXPECT_EQ(VarFMTBcdCreate(StrToBcd("-3.5")).AsInteger(), -4);
  EXPECT_EQ(big.AsCurrency().Value, 1234567890121235);
  EXPECT_EQ(small.AsDouble(), -0.25);
  EXPECT_EQ(big.AsDouble(), 123456789012.123456);
  EXPECT_TRUE(big.AsBoolean());
  EXPECT_EQ(VarAsType(String("1.10"), varFMTBcd).VarType(), varFMTBcd);
  EXPECT_THROW(VarFMTBcdCreate(StrToBcd("12345678901234567890")), EBcdOverflowException);
  EXPECT_THROW(VarFMTBcdCreate(StrToBcd("0.1234567890123456789")), EBcdOverflowException);
  // Copies keep the places.
  Variant copy = big;
  Variant moved = std::move(copy);
  EXPECT_EQ(VarToStr(moved), "123456789012.123456");
  // Exact comparison with integers, currencies, decimals and texts; doubles
  // as doubles.
  struct Case {
    Variant a, b;
    TVariantRelationship rel;
  };
  const Case cases[] = {
      {big, VarFMTBcdCreate(StrToBcd("123456789012.123457")), vrLessThan},
      {big, String("123456789012.123456"), vrEqual},
      {big, 123456789012.12346, vrEqual},  // as doubles
      {small, Currency::FromRaw(-2500), vrEqual},
      {VarFMTBcdCreate(StrToBcd("7")), 7, vrEqual},
      {VarFMTBcdCreate(StrToBcd("9223372036854775807")), Int64{INT64_MAX - 1}, vrGreaterThan},
      {small, Null(), vrNotEqual},
  };
  for (const Case& c : cases) EXPECT_EQ(VarCompareValue(c.a, c.b), c.rel) << VarToStr(c.a) << " ? " << VarToStr(c.b);
  // Arithmetic stays exact while the result fits.
  const Variant sum = big + small;
  EXPECT_EQ(sum.VarType(), varFMTBcd);
  EXPECT_EQ(VarToStr(sum), "123456789011.873456");
  EXPECT_EQ(VarToStr(small * Currency::FromRaw(20000)), "-0.5");
  EXPECT_EQ((big * big).VarType(), varDouble);
  EXPECT_EQ((small + 0.5).VarType(), varDouble);
}

TEST_F(VariantTest, ArrayBoundsAndElements) {
  Variant a = VarArrayCreate({0, 4}, varInteger);
  EXPECT_EQ(VarType(a), varArray | varInteger);
  EXPECT_EQ(VarArrayElementType(a), varInteger);
  EXPECT_EQ(VarArrayDimCount(a), 1);
  EXPECT_EQ(VarArrayLowBound(a, 1), 0);
  EXPECT_EQ(VarArrayHighBound(a, 1), 4);
  EXPECT_EQ(VarArrayGet(a, 3).AsInteger(), 0);
  VarArrayPut(a, "7", 3);  // converted to the element type
  Variant e = VarArrayGet(a, {3});
  EXPECT_EQ(VarType(e), varInteger);
  EXPECT_EQ(e.AsInteger(), 7);

  // Two dimensions with their own low bounds.
  Variant m = VarArrayCreate({1, 3, -1, 1}, varVariant);
  EXPECT_EQ(VarArrayDimCount(m), 2);
  EXPECT_EQ(VarArrayLowBound(m, 2), -1);
  EXPECT_EQ(VarArrayHighBound(m, 2), 1);
  for (int i = 1; i <= 3; ++i)
    for (int j = -1; j <= 1; ++j) VarArrayPut(m, Format("%d,%d", {i, j}), {i, j});
  for (int i = 1; i <= 3; ++i)
    for (int j = -1; j <= 1; ++j) EXPECT_EQ(VarToStr(VarArrayGet(m, {i, j})), Format("%d,%d", {i, j}));
  EXPECT_TRUE(VarIsEmpty(VarArrayGet(VarArrayCreate({0, 0}, varVariant), 0)));

  const String bad = "EVariantBadIndexError: Variant array index out of bounds.";
  EXPECT_EQ(ErrorText([&] { VarArrayGet(a, 5); }), bad);
  EXPECT_EQ(ErrorText([&] { VarArrayGet(a, -1); }), bad);
  EXPECT_EQ(ErrorText([&] { VarArrayGet(m, 1); }), bad);  // wrong index count
  EXPECT_EQ(ErrorText([&] { VarArrayPut(m, 1, {4, 0}); }), bad);
  EXPECT_EQ(ErrorText([&] { VarArrayPut(m, 1, {1, 2}); }), bad);
  EXPECT_EQ(ErrorText([&] { VarArrayHighBound(m, 3); }), bad);
  EXPECT_EQ(ErrorText([&] { VarArrayLowBound(m, 0); }), bad);

  const String notArray = "EVariantNotAnArrayError: Variant is not an array.";
  EXPECT_EQ(VarArrayDimCount(5), 0);
  EXPECT_EQ(ErrorText([] { VarArrayLowBound(5, 1); }), notArray);
  EXPECT_EQ(ErrorText([] { VarArrayGet(Null(), 0); }), notArray);
  EXPECT_EQ(ErrorText([] {
              Variant v = 5;
              VarArrayRedim(v, 3);
            }),
            notArray);

  const String create = "EVariantArrayCreateError: Unable to create variant array.";
  EXPECT_EQ(ErrorText([] { VarArrayCreate({0}, varInteger); }), create);
  EXPECT_EQ(ErrorText([] { VarArrayCreate({}, varInteger); }), create);
  EXPECT_EQ(ErrorText([] { VarArrayCreate({5, 3}, varInteger); }), create);
  EXPECT_EQ(ErrorText([] { VarArrayCreate({0, 1}, varEmpty); }), create);
  EXPECT_EQ(ErrorText([] { VarArrayCreate({0, 1}, varNull); }), create);
  EXPECT_EQ(ErrorText([] { VarArrayCreate({0, 100000, 0, 100000}, varByte); }), create);

  Variant empty = VarArrayCreate({0, -1}, varVariant);  // no elements
  EXPECT_EQ(VarArrayHighBound(empty, 1), -1);
  EXPECT_THROW(VarArrayGet(empty, 0), EVariantBadIndexError);
}

TEST_F(VariantTest, TypedArrayElements) {
  Variant b = VarArrayCreate({0, 1}, varBoolean);
  VarArrayPut(b, 5, 0);
  EXPECT_EQ(VarType(VarArrayGet(b, 0)), varBoolean);
  EXPECT_TRUE(VarArrayGet(b, 0).AsBoolean());
  EXPECT_EQ(static_cast<int16_t*>(VarArrayLock(b))[0], -1);  // stored as a 16-bit -1/0

  Variant ints = VarArrayCreate({0, 1}, varInteger);
  VarArrayPut(ints, 3, 1);
  EXPECT_THROW(VarArrayPut(ints, Null(), 1), EVariantTypeCastError);
  EXPECT_THROW(VarArrayPut(ints, "x", 1), EVariantTypeCastError);
  EXPECT_EQ(VarArrayGet(ints, 1).AsInteger(), 3);  // a failed put leaves the element

  Variant texts = VarArrayCreate({0, 1}, varString);
  EXPECT_EQ(VarType(VarArrayGet(texts, 0)), varString);
  VarArrayPut(texts, 5, 0);
  EXPECT_EQ(VarType(VarArrayGet(texts, 0)), varString);
  EXPECT_EQ(VarToStr(VarArrayGet(texts, 0)), "5");
  Variant wide = VarArrayCreate({0, 0}, varOleStr);
  EXPECT_EQ(VarType(VarArrayGet(wide, 0)), varOleStr);

  for (TVarType t : {varSmallint, varSingle, varDouble, varCurrency, varDate, varShortInt, varByte, varWord,
                     varLongWord, varInt64}) {
    Variant a = VarArrayCreate({0, 0}, t);
    VarArrayPut(a, 100, 0);
    Variant v = VarArrayGet(a, 0);
    EXPECT_EQ(VarType(v), t);
    EXPECT_EQ(v.AsInteger(), 100) << VarTypeAsText(t);
  }
  Variant c = VarArrayCreate({0, 0}, varCurrency);
  VarArrayPut(c, "1.2345", 0);
  EXPECT_EQ(VarArrayGet(c, 0).AsCurrency().Value, 12345);
}

TEST_F(VariantTest, ArrayStorage) {
  Variant bytes = VarArrayCreate({0, 3}, varByte);
  auto* p = static_cast<unsigned char*>(VarArrayLock(bytes));
  std::memcpy(p, "\x01\x02\xFE\xFF", 4);
  VarArrayUnlock(bytes);
  EXPECT_EQ(VarArrayGet(bytes, 2).AsInteger(), 0xFE);
  EXPECT_EQ(VarArrayElementSize(varByte), 1);

  // The first dimension varies fastest.
  Variant m = VarArrayCreate({1, 3, 0, 1}, varInteger);
  auto* base = static_cast<char*>(VarArrayLock(m));
  EXPECT_EQ(static_cast<char*>(VarArrayElementPtr(m, {1, 0})), base);
  EXPECT_EQ(static_cast<char*>(VarArrayElementPtr(m, {2, 0})) - base, 4);
  EXPECT_EQ(static_cast<char*>(VarArrayElementPtr(m, {1, 1})) - base, 12);
  *static_cast<int32_t*>(VarArrayElementPtr(m, {3, 1})) = 42;
  EXPECT_EQ(VarArrayGet(m, {3, 1}).AsInteger(), 42);
  EXPECT_THROW(VarArrayElementPtr(m, {4, 1}), EVariantBadIndexError);

  Variant vars = VarArrayOf({1, "a"});
  EXPECT_EQ(VarToStr(static_cast<Variant*>(VarArrayLock(vars))[1]), "a");
}

TEST_F(VariantTest, ArrayValueSemantics) {
  Variant a = VarArrayOf({1, 2, 3});
  Variant b = a;
  VarArrayPut(b, 20, 1);
  EXPECT_EQ(VarArrayGet(a, 1).AsInteger(), 2);
  EXPECT_EQ(VarArrayGet(b, 1).AsInteger(), 20);

  Variant c = a;
  static_cast<Variant*>(VarArrayLock(c))[0] = 10;  // direct access unshares too
  EXPECT_EQ(VarArrayGet(a, 0).AsInteger(), 1);
  EXPECT_EQ(VarArrayGet(c, 0).AsInteger(), 10);

  Variant d = a;
  VarArrayRedim(d, 5);
  EXPECT_EQ(VarArrayHighBound(a, 1), 2);

  // Nested arrays are values too.
  Variant outer = VarArrayOf({VarArrayOf({1, 2}), "x"});
  Variant copy = outer;
  Variant inner = VarArrayGet(copy, 0);
  VarArrayPut(inner, 99, 0);
  VarArrayPut(copy, inner, 0);
  EXPECT_EQ(VarArrayGet(VarArrayGet(outer, 0), 0).AsInteger(), 1);
  EXPECT_EQ(VarArrayGet(VarArrayGet(copy, 0), 0).AsInteger(), 99);

  Variant moved = std::move(copy);
  EXPECT_TRUE(VarIsArray(moved));
  copy = moved;
  const Variant& self = copy;
  copy = self;
  EXPECT_EQ(VarArrayHighBound(copy, 1), 1);
}

TEST_F(VariantTest, ArrayRedim) {
  Variant a = VarArrayOf({"a", "b", "c"});
  VarArrayRedim(a, 4);
  EXPECT_EQ(VarArrayHighBound(a, 1), 4);
  EXPECT_EQ(VarToStr(VarArrayGet(a, 2)), "c");
  EXPECT_TRUE(VarIsEmpty(VarArrayGet(a, 4)));
  VarArrayRedim(a, 0);
  EXPECT_EQ(VarToStr(VarArrayGet(a, 0)), "a");
  EXPECT_THROW(VarArrayGet(a, 1), EVariantBadIndexError);
  VarArrayRedim(a, -1);
  EXPECT_EQ(VarArrayHighBound(a, 1), -1);
  VarArrayRedim(a, 1);  // grows again from no elements
  EXPECT_TRUE(VarIsEmpty(VarArrayGet(a, 1)));
  EXPECT_THROW(VarArrayRedim(a, -5), EVariantArrayCreateError);

  // Only the last dimension changes; every kept element keeps its indices.
  Variant m = VarArrayCreate({0, 1, 5, 6}, varInteger);
  for (int i = 0; i <= 1; ++i)
    for (int j = 5; j <= 6; ++j) VarArrayPut(m, i * 10 + j, {i, j});
  VarArrayRedim(m, 7);
  for (int i = 0; i <= 1; ++i) {
    for (int j = 5; j <= 6; ++j) EXPECT_EQ(VarArrayGet(m, {i, j}).AsInteger(), i * 10 + j);
    EXPECT_EQ(VarArrayGet(m, {i, 7}).AsInteger(), 0);
  }
  VarArrayRedim(m, 4);
  EXPECT_EQ(VarArrayHighBound(m, 2), 4);
  VarArrayRedim(m, 5);
  EXPECT_EQ(VarArrayGet(m, {1, 5}).AsInteger(), 0);
}

TEST_F(VariantTest, FormatReadsVariantText) {
  EXPECT_EQ(Format("%s|%s|%s", {Variant(1.5), Null(), Variant(true)}), "1.5||True");
}
