#include <gtest/gtest.h>

#include "dataaccess/core/StdFuncs.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/MemDataSet.h"

TEST(StdFuncsField, BcdFieldValuesCurrentAndOld) {
  InitializeUnits({&unit_DB});
  TMemDataSet ds(nullptr);
  ds.FieldDefs()->Add("AMOUNT", ftBCD, 2);
  ds.Open();
  TField* amount = ds.FieldByName("AMOUNT");
  TFormatSettings saved = FormatSettings;
  FormatSettings.DecimalSeparator = ',';

  ds.Append();
  ds.Post();
  EXPECT_TRUE(VarIsNull(BcdFieldAsVariant(amount, false, true)));

  ds.Edit();
  amount->SetAsString("12,5");
  ds.Post();
  ds.Edit();
  amount->SetAsString("-3,25");
  EXPECT_EQ(VarToStr(BcdFieldAsVariant(amount, false, true)), "-3.25");
  EXPECT_EQ(VarToStr(BcdFieldAsVariantDefault(amount, false)), "-3,25");
  EXPECT_EQ(VarToStr(BcdFieldAsVariant(amount, true, true)), "12.5");
  EXPECT_EQ(ds.State(), dsEdit);  // the old-value state was only borrowed
  TBcd raw;
  EXPECT_TRUE(GetFieldDataEx(amount, true, &raw));
  EXPECT_EQ(BcdToStrDot(raw), "12.5");
  ds.Cancel();
  FormatSettings = saved;
}
