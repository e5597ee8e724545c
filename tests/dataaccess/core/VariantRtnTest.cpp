#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "dataaccess/core/VariantRtn.h"
#include "platform/rtl/SysUtils.h"

namespace {

Variant Cur(int64_t raw) { return Currency::FromRaw(raw); }
Variant Date(double d) { return VarFromDateTime(d); }
Variant I64(int64_t v) { return static_cast<long>(v); }

struct CompareCase {
  const char* name;
  Variant left, right;
  int expected;
};

TEST(CompareVariants, ByLeftTypeAgainstRightType) {
  const CompareCase cases[] = {
      // numbers against integers, floats within 1e-11, currency and dates
      {"int = double within tolerance", 5, 5.000000000001, 0},
      {"int < double beyond tolerance", 5, 5.1, -1},
      {"double > int is exact", 5.000000000001, 5, 1},
      {"int = single", int16_t{5}, 5.0f, 0},
      {"int64 exact near its limit", I64(INT64_MAX), I64(INT64_MAX - 1), 1},
      {"int64 against double beyond 2^53", I64(9007199254740993), 9007199254740992.0, 1},
      {"byte against longword", uint8_t{200}, uint32_t{4000000000u}, -1},
      {"currency against int, scaled", Cur(15000), 1, 1},
      {"int against currency, exact", 2, Cur(19999), 1},
      {"int = currency", 2, Cur(20000), 0},
      {"currency one unit above int", Cur(1), 0, 1},
      {"double against currency", 1.5, Cur(15000), 0},
      {"currency against double within tolerance", Cur(15000), 1.5, 0},
      {"double against date is exact", 1.0, Date(1.0 + 1e-12), -1},
      {"date against double within tolerance", Date(1.0 + 1e-12), 1.0, 0},
      {"int against date", 2, Date(1.5), 1},
      {"currency against date", Cur(15000), Date(1.5), 0},
      // numbers against text: the text is read as a number
      {"int = text 7", 7, "7", 0},
      {"int > text 7", 8, "7", 1},
      {"int < wide text 7", 6, WideString(u"7"), -1},
      {"int64 = text 7", I64(7), "7", 0},
      {"int against text 10 is numeric", 9, "10", -1},
      // numbers against anything else: 0
      {"int against Boolean", 5, true, 0},
      {"int against Null", 5, Null(), 0},
      {"int against Empty", 5, Unassigned(), 0},
      {"int against array", 5, VarArrayOf({1, 2}), 0},
      // texts: ordinal, case-sensitive
      {"text < text", "abc", "abd", -1},
      {"text case is ordinal", "b", "B", 1},
      {"text 10 against int 9 is textual", "10", 9, -1},
      {"text against wide text", "Яблоко", WideString(u"Яблоко"), 0},
      {"wide text against text", WideString(u"я"), "Я", 1},
      {"text against Null", "a", Null(), 1},
      {"empty text against Null", "", Null(), 0},
      // everything else through the platform's comparison
      {"Null = Null", Null(), Null(), 0},
      {"Null below int", Null(), 5, -1},
      {"Empty = Empty", Unassigned(), Unassigned(), 0},
      {"Empty = int 0", Unassigned(), 0, 0},
      {"Boolean true > false", true, false, 1},
      {"Boolean = Boolean", false, false, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareVariants(c.left, c.right), c.expected) << c.name;
}

TEST(CompareVariants, DecimalTextAndErrors) {
  EXPECT_EQ(CompareVariants(7.5, FloatToStr(7.5)), 0);
  EXPECT_EQ(CompareVariants(Cur(75000), FloatToStr(7.5)), 0);
  // An Int64 left reads the text as an Int64; other numbers as a float.
  EXPECT_THROW(CompareVariants(I64(7), FloatToStr(7.5)), EConvertError);
  EXPECT_EQ(CompareVariants(7, FloatToStr(7.5)), -1);
  EXPECT_THROW(CompareVariants(7, "abc"), EConvertError);
  // Arrays on the left go to the platform, which cannot compare them.
  EXPECT_THROW(CompareVariants(VarArrayOf({1}), VarArrayOf({1})), EVariantInvalidOpError);
  EXPECT_THROW(CompareVariants(true, "abc"), EVariantTypeCastError);
}

TEST(CompareVariants, NotTransitiveNorSymmetric) {
  // Why it is no strict weak order: a ~ b and b ~ c while a < c; and the
  // answer for a pair depends on which side is on the left.
  Variant a = 1.0, b = 1.0 + 8e-12, c = 1.0 + 16e-12;
  EXPECT_EQ(CompareVariants(a, b), 0);
  EXPECT_EQ(CompareVariants(b, c), 0);
  EXPECT_EQ(CompareVariants(a, c), -1);
  EXPECT_EQ(CompareVariants(5, Null()), 0);
  EXPECT_EQ(CompareVariants(Null(), 5), -1);
}

TEST(CompareVarArrays, ComparesFromCountDownToZero) {
  Variant a = VarArrayOf({1, "x", Null(), 4});
  Variant b = VarArrayOf({1, "x", Unassigned(), 5});
  EXPECT_TRUE(CompareVarArrays(a, b, 2)) << "difference beyond Count";
  EXPECT_FALSE(CompareVarArrays(a, b, 3));
  EXPECT_TRUE(CompareVarArrays(a, b, -1)) << "nothing to compare";
  EXPECT_FALSE(CompareVarArrays(VarArrayOf({Null()}), VarArrayOf({0}), 0)) << "one null";
  EXPECT_FALSE(CompareVarArrays(VarArrayOf({0}), VarArrayOf({Unassigned()}), 0)) << "one unassigned";
  EXPECT_TRUE(CompareVarArrays(VarArrayOf({1}), VarArrayOf({"1"}), 0)) << "platform equality";
  // Errors during the walk give false.
  EXPECT_FALSE(CompareVarArrays(a, b, 4)) << "index past the end";
  EXPECT_FALSE(CompareVarArrays(VarArrayOf({true}), VarArrayOf({"abc"}), 0));
  EXPECT_FALSE(CompareVarArrays(1, 1, 0));
  Variant m = VarArrayCreate({0, 1, 0, 1}, varInteger);
  EXPECT_FALSE(CompareVarArrays(m, m, 0)) << "two-dimensional";
}

TEST(VarDataPtr, AddressOfTheValue) {
  Variant i = 42, s = int16_t{-7}, d = 2.5, c = Cur(123456), b = true, t = "abc", w = WideString(u"жук");
  EXPECT_EQ(*static_cast<const int32_t*>(VarDataPtr(i)), 42);
  EXPECT_EQ(*static_cast<const int16_t*>(VarDataPtr(s)), -7);
  EXPECT_EQ(*static_cast<const double*>(VarDataPtr(d)), 2.5);
  EXPECT_EQ(*static_cast<const int64_t*>(VarDataPtr(c)), 123456);
  EXPECT_TRUE(*static_cast<const bool*>(VarDataPtr(b)));
  EXPECT_STREQ(static_cast<const char*>(VarDataPtr(t)), "abc");
  EXPECT_EQ(WideString(static_cast<const char16_t*>(VarDataPtr(w))), u"жук");
  EXPECT_EQ(VarDataPtr(Null()), nullptr);
  EXPECT_EQ(VarDataPtr(Unassigned()), nullptr);
  EXPECT_EQ(VarDataPtr(VarArrayOf({1})), nullptr);
}

// ---------------------------------------------------------------------------
// Array walking

using Indices = std::vector<Integer>;

Variant Grid(TVarType type) {
  const Integer bounds[] = {1, 2, 0, 2};
  Variant a = VarArrayCreateBounds(bounds, 2, type);
  for (Integer i = 1; i <= 2; ++i)
    for (Integer j = 0; j <= 2; ++j) VarArrayPut(a, 10 * i + j, {i, j});
  return a;
}

TEST(ArrayWalk, GetVisitsLastDimensionFirst) {
  for (TVarType type : {varInteger, varVariant}) {
    Variant a = Grid(type);
    std::vector<Indices> seen;
    bool all = ForEachElementGet(a, [&](const Variant& v, std::span<const Integer> idx, bool&) {
      seen.emplace_back(idx.begin(), idx.end());
      EXPECT_EQ(v.AsInteger(), 10 * idx[0] + idx[1]);
      EXPECT_EQ(v.VarType(), varInteger);
    });
    EXPECT_TRUE(all);
    EXPECT_EQ(seen, (std::vector<Indices>{{1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}}));
  }
}

TEST(ArrayWalk, ContinueFlagStopsAndIsTheResult) {
  Variant a = Grid(varInteger);
  int calls = 0;
  EXPECT_FALSE(ForEachElementGet(a, [&](const Variant&, std::span<const Integer>, bool& go) { go = ++calls < 3; }));
  EXPECT_EQ(calls, 3);

  calls = 0;
  EXPECT_FALSE(ForEachElementPut(a, [&](Variant& v, std::span<const Integer>, bool& go) {
    v = -1;
    go = ++calls < 2;
  }));
  EXPECT_EQ(VarArrayGet(a, {1, 0}).AsInteger(), -1);
  EXPECT_EQ(VarArrayGet(a, {1, 1}).AsInteger(), 11) << "stopping call stores nothing";
  EXPECT_EQ(VarArrayGet(a, {2, 2}).AsInteger(), 22);
}

TEST(ArrayWalk, PutConvertsToTheElementType) {
  const Integer bounds[] = {0, 1, 5, 6, 99, 99};
  Variant w = VarArrayCreateBounds(bounds, 2, varOleStr);  // extra pair ignored
  ASSERT_EQ(VarArrayDimCount(w), 2);
  EXPECT_TRUE(ForEachElementPut(w, [](Variant& v, std::span<const Integer> idx, bool&) {
    v = Format("%d:%d", {idx[0], idx[1]});
  }));
  EXPECT_EQ(VarArrayGet(w, {1, 5}).VarType(), varOleStr);
  EXPECT_EQ(VarArrayGet(w, {1, 5}).AsWideString(), u"1:5");

  Variant n = VarArrayCreate({0, 1}, varSmallint);
  ForEachElementPut(n, [](Variant& v, std::span<const Integer> idx, bool&) { v = IntToStr(idx[0] + 12); });
  EXPECT_EQ(VarArrayGet(n, 1).VarType(), varSmallint);
  EXPECT_EQ(VarArrayGet(n, 1).AsInteger(), 13);
  EXPECT_THROW(ForEachElementPut(n, [](Variant& v, std::span<const Integer>, bool&) { v = "x"; }),
               EVariantTypeCastError);
}

TEST(ArrayWalk, EmptyArraysAndErrors) {
  int calls = 0;
  auto count = [&](const Variant&, std::span<const Integer>, bool&) { ++calls; };
  EXPECT_TRUE(ForEachElementGet(VarArrayCreate({0, 2, 1, 0}, varInteger), count));
  EXPECT_EQ(calls, 0);
  EXPECT_THROW(ForEachElementGet(5, count), EVariantNotAnArrayError);

  std::vector<Integer> bounds17(34, 0);
  EXPECT_THROW(ForEachElementGet(VarArrayCreate(bounds17, varByte), count), EVariantBadIndexError);
  EXPECT_THROW(VarArrayCreateBounds(bounds17, 17, varByte), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreateBounds(bounds17, 0, varByte), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreateBounds(std::span<const Integer>(bounds17.data(), 3), 2, varByte),
               EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreateBounds(bounds17, 1, varNull), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreateBounds(std::vector<Integer>{3, 1}, 1, varInteger), EVariantArrayCreateError);
}

TEST(ArrayWalk, NestedWalkLeavesOuterIndices) {
  Variant outer = VarArrayCreate({0, 1, 0, 1}, varInteger), inner = VarArrayCreate({7, 9}, varInteger);
  std::vector<Indices> seen;
  ForEachElementGet(outer, [&](const Variant&, std::span<const Integer> idx, bool&) {
    ForEachElementGet(inner, [](const Variant&, std::span<const Integer>, bool&) {});
    seen.emplace_back(idx.begin(), idx.end());
  });
  EXPECT_EQ(seen, (std::vector<Indices>{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
}

TEST(ArrayWalk, EachThreadHasItsOwnIndexVector) {
  auto walker = [](Integer low, int& errors) {
    Variant a = VarArrayCreate({low, low + 9, 0, 9}, varInteger);
    for (int round = 0; round < 200; ++round) {
      ForEachElementPut(a, [](Variant& v, std::span<const Integer> idx, bool&) { v = idx[0] * 100 + idx[1]; });
      ForEachElementGet(a, [&](const Variant& v, std::span<const Integer> idx, bool&) {
        if (v.AsInteger() != idx[0] * 100 + idx[1]) ++errors;
      });
    }
  };
  int e1 = 0, e2 = 0;
  std::thread t1(walker, 0, std::ref(e1)), t2(walker, 50, std::ref(e2));
  t1.join();
  t2.join();
  EXPECT_EQ(e1 + e2, 0);
}

}  // namespace
