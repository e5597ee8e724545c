#include "dataaccess/core/pFIBArray.h"

#include <gtest/gtest.h>

#include <memory>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/VariantRtn.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/core/BlobArrayFixture.h"
#include "tests/support/MemDataSet.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

class pFIBArrayTest : public fbtest::TBlobArrayTest<pFIBArrayTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table ARR (ID integer, A integer[1:3, 0:4], V varchar(10)[1:2] character set WIN1251, "
            "U varchar(6)[0:1] character set UTF8, C char(3)[2] character set WIN1251, N numeric(9, 2)[0:2], "
            "M numeric(18, 3)[1:2], B bigint[1:2], S smallint[1:2], F double precision[1:2], D date[1:2], "
            "TM time[1:2], TS timestamp[1:2], X varchar(5)[1:2] character set NONE, "
            "Y char(3)[1:2] character set NONE)"};
  }

 protected:
  std::unique_ptr<TpFIBArray> Column(const char* Name) {
    return std::make_unique<TpFIBArray>(db_->GetClientLibrary(), "ARR", Name, db_->HandlePtr(), tr_->HandlePtr(),
                                        nullptr);
  }
  // Writes the value into the column of a row and reads the row's array back.
  Variant RoundTrip(const char* Name, const Variant& Value) {
    auto column = Column(Name);
    ISC_QUAD id{0, 0};
    column->PutArray(Value, id, db_->HandlePtr(), tr_->HandlePtr());
    const ISC_QUAD stored = fbtest::StoreInRow(db_, tr_, "ARR", Name, id);
    return column->GetArrayValues(stored, db_->HandlePtr(), tr_->HandlePtr());
  }
};

TEST_F(pFIBArrayTest, DescriptorGivesDimensionsBoundsAndSliceSize) {
  auto a = Column("A");
  EXPECT_EQ(a->DimensionCount(), 2);
  EXPECT_EQ(a->Bounds(0).array_bound_lower, 1);
  EXPECT_EQ(a->Bounds(0).array_bound_upper, 3);
  EXPECT_EQ(a->Bounds(1).array_bound_lower, 0);
  EXPECT_EQ(a->Bounds(1).array_bound_upper, 4);
  EXPECT_EQ(a->SliceSize(), 4 * 3 * 5);
  EXPECT_EQ(a->ElementDataType(), blr_long);
  EXPECT_EQ(a->ElementFieldType(), ftInteger);
  EXPECT_EQ(Column("N")->ElementFieldType(), ftInteger);  // scaled, still a 32-bit element
  EXPECT_EQ(Column("M")->ElementFieldType(), ftBCD);
  EXPECT_EQ(Column("U")->ElementFieldType(), ftString);
  EXPECT_EQ(Column("TS")->ElementFieldType(), ftDateTime);
  // Text elements come in the attachment's character set: on this UTF8
  // attachment four bytes a character, whatever the column's set.
  EXPECT_EQ(Column("V")->SliceSize(), (40 + 2) * 2);
  EXPECT_EQ(Column("U")->SliceSize(), (24 + 2) * 2);
  EXPECT_EQ(Column("C")->SliceSize(), 12 * 2);
  EXPECT_EQ(Column("N")->Scale(), 2);
  fbtest::ExpectClientError([&] { a->Bounds(2); }, fceArrayDimensionMissing, "Dimension 2 don't exist in \"ARR.A\" ");
  EXPECT_THROW(a->Bounds(-1), EFIBClientError);
  EXPECT_THROW(Column("NOPE"), EFIBInterBaseError);
  Connect("WIN1251");
  EXPECT_EQ(Column("V")->SliceSize(), 12 * 2);  // 10 bytes and the length word
  EXPECT_EQ(Column("U")->SliceSize(), (24 + 2) * 2);  // the column's own bytes are more
}

TEST_F(pFIBArrayTest, IntegerMatrixComesBackWithItsBounds) {
  Variant value = VarArrayCreate({1, 3, 0, 4}, varVariant);
  for (Integer i = 1; i <= 3; ++i)
    for (Integer j = 0; j <= 4; ++j) VarArrayPut(value, Variant(i * 10 - j), {i, j});
  const Variant back = RoundTrip("A", value);
  ASSERT_EQ(VarArrayDimCount(back), 2);
  EXPECT_EQ(VarArrayLowBound(back, 1), 1);
  EXPECT_EQ(VarArrayHighBound(back, 1), 3);
  EXPECT_EQ(VarArrayLowBound(back, 2), 0);
  EXPECT_EQ(VarArrayHighBound(back, 2), 4);
  for (Integer i = 1; i <= 3; ++i)
    for (Integer j = 0; j <= 4; ++j) EXPECT_EQ(VarArrayGet(back, {i, j}).AsInteger(), i * 10 - j) << i << "," << j;
  EXPECT_EQ(file_->QueryValue("select A[2, 4] from ARR"), "16");  // the server sees the same layout
}

TEST_F(pFIBArrayTest, ElementTypesRoundTrip) {
  const TDateTime day = EncodeDate(2024, 2, 29);
  const TDateTime moment = day + EncodeTime(13, 45, 30, 250);
  // The server's 1/10000 s, up to the last one of a day and of the calendar.
  const TDateTime fineTime = (13 * 36000000 + 45 * 600000 + 30 * 10000 + 7891) / 864000000.0;
  const TDateTime lastTime = 863999999 / 864000000.0;
  const TDateTime fine = day + fineTime, last = EncodeDate(9999, 12, 31) + lastTime;
  struct Case {
    const char* column;
    Variant first, second;
    Variant expected_first, expected_second;
  };
  const Case cases[] = {
      {"U", "привет", "", "привет", ""},
      {"N", Variant(1.25), Variant(Currency::FromRaw(-35000)), Variant(1.25), Variant(-3.5)},
      {"M", Variant(Int64(-123456789012345)), Variant("2.5"), Variant(Currency::FromRaw(-1234567890123450000)),
       Variant(Currency::FromInt(2) + Currency::FromRaw(5000))},
      {"B", Variant(Int64(9000000000000000000)), Variant(-1), Variant(Int64(9000000000000000000)), Variant(Int64(-1))},
      {"S", Variant(-32768), Variant(7), Variant(-32768), Variant(7)},
      {"F", Variant(0.1), Variant(-1e300), Variant(0.1), Variant(-1e300)},
      {"D", VarFromDateTime(day), VarFromDateTime(-500000.0), VarFromDateTime(day), VarFromDateTime(-500000.0)},
      {"TM", VarFromDateTime(EncodeTime(23, 59, 59, 999)), Variant(0.5), VarFromDateTime(EncodeTime(23, 59, 59, 999)),
       VarFromDateTime(0.5)},
      {"TS", VarFromDateTime(moment), VarFromDateTime(-1.25), VarFromDateTime(moment), VarFromDateTime(-1.25)},
      {"TS", VarFromDateTime(fine), VarFromDateTime(last), VarFromDateTime(fine), VarFromDateTime(last)},
      {"TM", VarFromDateTime(lastTime), VarFromDateTime(fineTime), VarFromDateTime(lastTime),
       VarFromDateTime(fineTime)},
  };
  for (const Case& c : cases) {
    auto column = Column(c.column);
    const Integer low = column->Bounds(0).array_bound_lower;
    Variant value = VarArrayCreate({low, low + 1}, varVariant);
    VarArrayPut(value, c.first, low);
    VarArrayPut(value, c.second, low + 1);
    const Variant back = RoundTrip(c.column, value);
    const Variant a = VarArrayGet(back, low), b = VarArrayGet(back, low + 1);
    EXPECT_EQ(VarType(a), VarType(c.expected_first)) << c.column;
    EXPECT_EQ(CompareVariants(a, c.expected_first), 0) << c.column << " " << VarToStr(a);
    EXPECT_EQ(CompareVariants(b, c.expected_second), 0) << c.column << " " << VarToStr(b);
  }
}

TEST_F(pFIBArrayTest, TextElementsOfEveryLength) {
  // A UTF8 column over the UTF8 connection: lengths in bytes, Cyrillic kept.
  const Variant utf8 = RoundTrip("U", VarArrayOf({"", "шесть!"}));
  EXPECT_EQ(VarArrayGet(utf8, 0).AsString(), "");
  EXPECT_EQ(VarArrayGet(utf8, 1).AsString(), "шесть!");
  // Single-byte columns over a single-byte connection.
  Connect("WIN1251");
  const Variant varying = RoundTrip("V", VarArrayOf({"abc", "0123456789"}));
  EXPECT_EQ(VarArrayGet(varying, 1).AsString(), "abc");
  EXPECT_EQ(VarArrayGet(varying, 2).AsString(), "0123456789");
  EXPECT_EQ(file_->QueryValue("select V[1] || '|' || V[2] from ARR"), "abc|0123456789");
  const Variant fixed = RoundTrip("C", VarArrayOf({"ab", "xyz"}));
  EXPECT_EQ(VarArrayGet(fixed, 1).AsString(), "ab ");
  EXPECT_EQ(VarArrayGet(fixed, 2).AsString(), "xyz");
}

TEST_F(pFIBArrayTest, SingleByteColumnsOverAUnicodeAttachment) {
  // Written over a NONE attachment, read over UTF8: the engine widens every
  // element to the attachment's four bytes a character.
  for (const char* name : {"X", "Y"}) {
    Connect("NONE");
    RoundTrip(name, VarArrayOf({"ab", String(name) == "X" ? "abcde" : "xyz"}));
    Connect("UTF8");
    const ISC_QUAD id = fbtest::RunQuadStatement(db_, tr_, String("select ") + name + " from ARR where ID = ?", 1);
    const Variant back = Column(name)->GetArrayValues(id, db_->HandlePtr(), tr_->HandlePtr());
    EXPECT_EQ(TrimRight(VarArrayGet(back, 1).AsString()), "ab") << name;
    EXPECT_EQ(VarArrayGet(back, 2).AsString().substr(0, 3), String(name) == "X" ? "abc" : "xyz");
  }
  EXPECT_EQ(VarArrayGet(RoundTrip("X", VarArrayOf({"", "edcba"})), 2).AsString(), "edcba");
  // Cyrillic of a WIN1251 column, two bytes a character in UTF8.
  const Variant cyr = RoundTrip("V", VarArrayOf({"Жёлтый", "0123456789"}));
  EXPECT_EQ(VarArrayGet(cyr, 1).AsString(), "Жёлтый");
  EXPECT_EQ(VarArrayGet(cyr, 2).AsString(), "0123456789");
  // More characters than the column holds: the server refuses.
  Variant longer = VarArrayCreate({1, 1}, varVariant);
  VarArrayPut(longer, Variant("abcdef"), 1);
  ISC_QUAD none{0, 0};
  EXPECT_THROW(Column("X")->PutArray(longer, none, db_->HandlePtr(), tr_->HandlePtr()), EFIBInterBaseError);
}

TEST_F(pFIBArrayTest, ValuesOfOtherShapesFillTheSliceInOrder) {
  // Fewer dimensions and other bounds: element k goes to slot k; the rest is 0.
  Variant flat = VarArrayCreate({0, 6}, varInteger);
  for (Integer k = 0; k <= 6; ++k) VarArrayPut(flat, Variant(k + 1), k);
  const Variant back = RoundTrip("A", flat);
  EXPECT_EQ(VarArrayGet(back, {1, 0}).AsInteger(), 1);
  EXPECT_EQ(VarArrayGet(back, {1, 4}).AsInteger(), 5);
  EXPECT_EQ(VarArrayGet(back, {2, 1}).AsInteger(), 7);
  EXPECT_EQ(VarArrayGet(back, {3, 4}).AsInteger(), 0);
  // Null elements are written as zero.
  EXPECT_EQ(VarArrayGet(RoundTrip("N", VarArrayOf({Null(), Variant(2)})), 0).AsDouble(), 0.0);
}

TEST_F(pFIBArrayTest, DatasetFieldsCarryTheArrayId) {
  TMemDataSet ds(nullptr);
  ds.FieldDefs()->Add("A", ftLargeint);
  ds.FieldDefs()->Add("SMALL", ftInteger);
  ds.Open();
  ds.Append();
  TField* field = ds.FieldByName("A");
  auto a = Column("A");
  // No data yet: id 0, an array of empty elements.
  const Variant none = a->GetFieldArrayValues(field, db_->HandlePtr(), tr_->HandlePtr());
  EXPECT_EQ(VarArrayDimCount(none), 2);
  EXPECT_TRUE(VarIsEmpty(VarArrayGet(none, {1, 0})));

  a->SetFieldArrayValues(VarArrayOf({11, 12, 13}), field, db_->HandlePtr(), tr_->HandlePtr());
  ISC_QUAD id{0, 0};
  ASSERT_TRUE(field->GetData(&id));
  EXPECT_NE(id.gds_quad_high | id.gds_quad_low, 0u);
  const ISC_QUAD stored = fbtest::StoreInRow(db_, tr_, "ARR", "A", id);
  field->SetData(&stored);
  const Variant back = a->GetFieldArrayValues(field, db_->HandlePtr(), tr_->HandlePtr());
  EXPECT_EQ(VarArrayGet(back, {1, 2}).AsInteger(), 13);

  TField* small = ds.FieldByName("SMALL");
  fbtest::ExpectClientError([&] { a->GetFieldArrayValues(small, db_->HandlePtr(), tr_->HandlePtr()); },
                            fceNotArrayField, "\"SMALL\"");
  ds.Cancel();
}

TEST_F(pFIBArrayTest, ValuesThatDoNotFitRaise) {
  auto a = Column("A");
  ISC_QUAD id{0, 0};
  Variant cube = VarArrayCreate({0, 1, 0, 1, 0, 1}, varVariant);
  fbtest::ExpectClientError([&] { a->PutArray(cube, id, db_->HandlePtr(), tr_->HandlePtr()); },
                            fceArrayDimensionMissing, "Dimension 3 don't exist in \"ARR.A\" ");
  EXPECT_THROW(a->PutArray(Variant(5), id, db_->HandlePtr(), tr_->HandlePtr()), EFIBClientError);
  EXPECT_THROW(a->PutArray(VarArrayCreate({0, 15}, varVariant), id, db_->HandlePtr(), tr_->HandlePtr()),
               EVariantBadIndexError);

  struct Case {
    const char* column;
    Variant value;
  };
  const Case too_big[] = {
      {"U", "twenty-five bytes of text"}, {"U", String("a\0b", 3)}, {"S", 32768}, {"N", 21474836.48}, {"B", 1e19},
  };
  for (const Case& c : too_big) {
    auto column = Column(c.column);
    const Integer low = column->Bounds(0).array_bound_lower;
    Variant value = VarArrayCreate({low, low}, varVariant);
    VarArrayPut(value, c.value, low);
    SCOPED_TRACE(c.column);
    fbtest::ExpectClientError([&] { column->PutArray(value, id, db_->HandlePtr(), tr_->HandlePtr()); },
                              fceInvalidDataConversion);
  }
  EXPECT_EQ(id.gds_quad_high, 0);
  EXPECT_EQ(id.gds_quad_low, 0u);
}

}  // namespace
