#include <gtest/gtest.h>

#include <memory>

#include "dataaccess/core/StdFuncs.h"

TEST(CmpFullName, JoinsNamedOwnersOutermostFirst) {
  std::unique_ptr<TComponent> form(new TComponent(nullptr));
  form->SetName("Form1");
  auto* frame = new TComponent(form.get());  // unnamed: skipped
  auto* query = new TComponent(frame);
  query->SetName("Query1");
  auto* unnamed = new TComponent(form.get());
  EXPECT_EQ(CmpFullName(query), "Form1.Query1");
  EXPECT_EQ(CmpFullName(form.get()), "Form1");
  EXPECT_EQ(CmpFullName(unnamed), "Form1");
  EXPECT_EQ(CmpFullName(nullptr), "");
}

TEST(ScaledInt64ToStr, PlacesTheSeparatorAndDropsTrailingZeros) {
  struct Case {
    int scale;
    char separator;
    Int64 value;
    const char* text;
  } cases[] = {
      {2, '.', 12345, "123.45"},
      {2, '.', 12300, "123"},
      {3, '.', 5, "0.005"},
      {2, '.', -50, "-0.5"},
      {2, ',', -12345, "-123,45"},
      {0, '.', 1200, "1200"},
      {-1, '.', 7, "7"},
      {4, '.', 0, "0"},
      {2, '.', INT64_MIN, "-92233720368547758.08"},
  };
  for (const Case& c : cases) EXPECT_EQ(ScaledInt64ToStr(c.scale, c.separator, c.value), c.text);
}

TEST(RoundExtended, RoundsTheFractionHalfToEven) {
  struct Case {
    double value;
    int digits;
    double result;
  } cases[] = {
      {2.5, 0, 2.0},    {3.5, 0, 4.0},  {-2.5, 0, -2.0}, {1.2345, 2, 1.23}, {0.125, 2, 0.12},
      {0.375, 2, 0.38}, {7.0, 18, 7.0}, {1.26, -3, 1.0},  // digits kept within 0..18
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(RoundExtended(c.value, c.digits), c.result);
}

TEST(SetBit, SetsAndClearsOneBit) {
  EXPECT_EQ(SetBit(0, 0, true), 1);
  EXPECT_EQ(SetBit(0, 7, true), 128);
  EXPECT_EQ(SetBit(0xFF, 3, false), 0xF7);
  EXPECT_EQ(SetBit(0x10, 4, true), 0x10);
  EXPECT_EQ(SetBit(0x10, 9, true), 0x10);  // no such bit
}
