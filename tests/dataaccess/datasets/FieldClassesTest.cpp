// The field classes over real column values: conversions, ranges, texts,
// NULLs, GUIDs, database keys and calculated values.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

using dstest::TBuffer;
using dstest::TCacheDataSet;

class FieldClassesTest : public dstest::TDataSetSuite<FieldClassesTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T_F (ID integer not null primary key, SH smallint, LO integer, N92 numeric(9,2), "
            "N42 numeric(4,2), N184 numeric(18,4), N182 numeric(18,2), N180 numeric(18,0), BI bigint, "
            "BO boolean, TM time, TS timestamp, G16 char(16) character set octets, "
            "W varchar(10) character set win1251, V varchar(10), DP double precision, TXT blob sub_type text, "
            "AR integer[1:2])",
            "insert into T_F values (1, 5, -3, 123.45, 12.34, 12345.6789, -0.05, 42, 9000000000000000001, true, "
            "'13:00:00.0050', '2024-01-02 03:04:05.0060', x'00112233445566778899AABBCCDDEEFF', 'abc', 'xyz', 1.5, "
            "'memo', null)",
            "insert into T_F (ID) values (2)"};
  }

 protected:
  void SetUp() override {
    TDataSetSuite::SetUp();
    saved_ = FormatSettings;
    FormatSettings.DecimalSeparator = '.';
    FormatSettings.ThousandSeparator = ',';
    FormatSettings.LongTimeFormat = "hh:nn:ss";
  }
  void TearDown() override {
    FormatSettings = saved_;
    TDataSetSuite::TearDown();
  }

  // The two rows, first one current, editable in the cache.
  TCacheDataSet* Open(const String& Columns, TFIBDatabase* Database = nullptr) {
    TCacheDataSet* ds = NewDataSet("select " + Columns + " from T_F order by ID", Database);
    ds->UpdateSQL()->SetText("update T_F set ID = ?ID where ID = ?OLD_ID");
    ds->Open();
    ds->First();
    return ds;
  }

  TFormatSettings saved_;
};

TEST_F(FieldClassesTest, IntegersReadAsBooleans) {
  TCacheDataSet* ds = Open("SH, LO");
  TField* sh = ds->FieldByName("SH");
  TField* lo = ds->FieldByName("LO");
  EXPECT_TRUE(sh->AsBoolean());
  EXPECT_FALSE(lo->AsBoolean());  // only values above 0 are true
  ds->Edit();
  sh->SetAsBoolean(false);
  lo->SetAsBoolean(true);
  EXPECT_EQ(sh->AsInteger(), 0);
  EXPECT_EQ(lo->AsInteger(), 1);
  lo->Clear();
  EXPECT_TRUE(lo->IsNull());
  ds->Cancel();
  EXPECT_EQ(lo->AsInteger(), -3);
}

TEST_F(FieldClassesTest, FloatFieldsKeepToTheColumnsRange) {
  TCacheDataSet* ds = Open("N92, N42, DP");
  auto* n92 = dynamic_cast<TFIBFloatField*>(ds->FieldByName("N92"));
  auto* n42 = dynamic_cast<TFIBFloatField*>(ds->FieldByName("N42"));
  ASSERT_NE(n92, nullptr);
  ASSERT_NE(n42, nullptr);
  EXPECT_EQ(n92->AsFloat(), 123.45);
  ds->Edit();
  struct TCase {
    TFIBFloatField* Field;
    double Value;
    bool Accepted;
  } cases[] = {{n92, 21474836.47, true},  {n92, 21474836.48, false}, {n92, -21474836.47, true},
               {n92, -21474836.48, false}, {n42, 327.67, true},       {n42, 327.68, false},
               {n42, -327.67, true}};
  for (const TCase& c : cases) {
    if (c.Accepted) {
      c.Field->SetAsFloat(c.Value);
      EXPECT_EQ(c.Field->AsFloat(), c.Value);
    } else {
      EXPECT_THROW(c.Field->SetAsFloat(c.Value), EDatabaseError) << c.Value;
    }
  }
  // Rounded to the column's decimals before storing.
  n92->SetAsFloat(1.006);
  EXPECT_EQ(n92->AsFloat(), 1.01);
  TBuffer b(ds);
  // Without the rounding the record still takes the nearest scaled integer
  // of the value as written.
  n42->SetRoundByScale(false);
  n42->SetAsFloat(12.345);
  std::memcpy(b.Get(), ds->GetActiveRecordBuffer(), static_cast<size_t>(ds->RecordBufferSize()));
  EXPECT_EQ(b.Value<int16_t>(1), 1235);
  ds->Cancel();
  auto* dp = dynamic_cast<TFIBFloatField*>(ds->FieldByName("DP"));
  dp->SetDisplayFormat("  0.00 ");
  EXPECT_EQ(dp->DisplayText(), "1.50");
}

TEST_F(FieldClassesTest, BcdFieldsKeepTheScaledInteger) {
  TCacheDataSet* ds = Open("N184, N182, N180");
  auto* n184 = dynamic_cast<TFIBBCDField*>(ds->FieldByName("N184"));
  auto* n182 = dynamic_cast<TFIBBCDField*>(ds->FieldByName("N182"));
  auto* n180 = dynamic_cast<TFIBBCDField*>(ds->FieldByName("N180"));
  ASSERT_TRUE(n184 && n182 && n180);
  EXPECT_EQ(n184->DataSize(), 8);
  EXPECT_EQ(n184->Size(), 4);
  EXPECT_EQ(n180->Size(), 0);
  Int64 raw;
  ASSERT_TRUE(n184->GetScaled(raw));
  EXPECT_EQ(raw, 123456789);
  EXPECT_EQ(n184->AsCurrency().Value, 123456789);
  EXPECT_EQ(n184->AsString(), "12345.6789");
  EXPECT_EQ(BcdToStr(n184->AsBCD()), "12345.6789");
  EXPECT_DOUBLE_EQ(n184->AsFloat(), 12345.6789);
  EXPECT_EQ(n184->AsInteger(), 12345);
  EXPECT_EQ(n182->AsCurrency().Value, -500);
  EXPECT_EQ(n182->AsString(), "-0.05");
  EXPECT_EQ(n180->AsVariant().VarType(), varInt64);
  EXPECT_EQ(n180->AsLargeInt(), 42);
  n182->SetDisplayFormat("#,##0.00");
  EXPECT_EQ(n182->DisplayText(), "-0.05");

  ds->Edit();
  n184->SetAsString("-1.5");
  EXPECT_EQ(n184->AsCurrency().Value, -15000);
  n184->SetValue(Variant(static_cast<long long>(7)));  // a whole number
  EXPECT_EQ(n184->AsString(), "7");
  ASSERT_TRUE(n184->GetScaled(raw));
  EXPECT_EQ(raw, 70000);
  n184->SetValue(Variant(1.23456));  // rounded to 4 decimals
  ASSERT_TRUE(n184->GetScaled(raw));
  EXPECT_EQ(raw, 12346);
  n184->SetAsBCD(StrToBcd("2.5"));
  EXPECT_EQ(n184->AsCurrency().Value, 25000);
  n184->SetMaxValue(::Currency::FromInt(100));
  EXPECT_THROW(n184->SetAsCurrency(::Currency::FromInt(101)), EDatabaseError);
  n184->SetAsCurrency(::Currency::FromDouble(99.5));
  EXPECT_EQ(n184->AsString(), "99.5");
  EXPECT_TRUE(n184->IsValueChanged());
  n180->SetAsString("43");
  EXPECT_EQ(n180->AsLargeInt(), 43);
  n180->SetAsString("");
  EXPECT_TRUE(n180->IsNull());
  ds->Cancel();
  EXPECT_FALSE(n184->IsValueChanged());
  ds->Next();
  EXPECT_TRUE(n184->IsNull());
  EXPECT_EQ(n184->AsString(), "");
  EXPECT_TRUE(VarIsNull(n184->AsVariant()));
}

TEST_F(FieldClassesTest, LargeIntegersAndTheirOldValues) {
  TCacheDataSet* ds = NewDataSet("select BI from T_F order by ID");
  ds->UpdateSQL()->SetText("update T_F set BI = ?BI where ID = 1");
  ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psUseLargeIntField});
  ds->Open();
  ds->First();
  auto* bi = dynamic_cast<TFIBLargeIntField*>(ds->FieldByName("BI"));
  ASSERT_NE(bi, nullptr);
  EXPECT_EQ(bi->AsLargeInt(), 9000000000000000001LL);
  ds->Edit();
  ds->SaveOldRecord(ds->GetActiveRecordBuffer());
  bi->SetValue(Variant(static_cast<long long>(-5)));
  EXPECT_EQ(bi->AsLargeInt(), -5);
  EXPECT_EQ(bi->OldAsLargeInt(), 9000000000000000001LL);
  bi->SetValue(Null());
  EXPECT_TRUE(bi->IsNull());
  ds->Cancel();
}

TEST_F(FieldClassesTest, BooleanFieldTexts) {
  TCacheDataSet* ds = Open("BO");
  auto* bo = dynamic_cast<TFIBBooleanField*>(ds->FieldByName("BO"));
  ASSERT_NE(bo, nullptr);
  EXPECT_EQ(bo->DataSize(), 1);  // Firebird's BOOLEAN: one byte
  EXPECT_TRUE(bo->AsBoolean());
  EXPECT_EQ(bo->AsInteger(), 1);
  EXPECT_EQ(bo->AsString(), "True");
  EXPECT_EQ(bo->AsVariant().VarType(), varBoolean);
  ds->Edit();
  struct TCase {
    const char* Text;
    bool Value;
  } cases[] = {{"false", false}, {"true", true}, {"0", false}, {"T", true}, {"F", false}, {"1", true}};
  for (const TCase& c : cases) {
    bo->SetAsString(c.Text);
    EXPECT_EQ(bo->AsBoolean(), c.Value) << c.Text;
  }
  // "t" is not "T": the inherited conversion decides (here it knows "Yes"
  // and "No" only).
  bo->SetDisplayValues("Yes;No");
  EXPECT_THROW(bo->SetAsString("t"), EDatabaseError);
  bo->SetStringTrue("\xD0\x94\xD0\xB0");  // Да
  bo->SetAsBoolean(false);
  bo->SetAsString("\xD0\xB4\xD0\xB0");  // да, compared without case
  EXPECT_TRUE(bo->AsBoolean());
  EXPECT_EQ(bo->AsString(), "\xD0\x94\xD0\xB0");
  bo->SetAsInteger(-7);
  EXPECT_TRUE(bo->AsBoolean());
  ds->Cancel();
  ds->Next();
  EXPECT_EQ(bo->AsString(), "");
  EXPECT_TRUE(VarIsNull(bo->AsVariant()));
}

TEST_F(FieldClassesTest, TimesShowTheirMilliseconds) {
  TCacheDataSet* ds = Open("TM, TS");
  auto* tm = dynamic_cast<TFIBTimeField*>(ds->FieldByName("TM"));
  auto* ts = dynamic_cast<TFIBDateTimeField*>(ds->FieldByName("TS"));
  ASSERT_TRUE(tm && ts);
  EXPECT_EQ(tm->DisplayText(), "13:00:00");
  tm->SetShowMsec(true);
  EXPECT_EQ(tm->DisplayText(), "13:00:00.5");  // 5 ms, written without padding
  ts->SetShowMsec(true);
  ts->SetDisplayFormat("hh:nn:ss");
  EXPECT_EQ(ts->DisplayText(), "03:04:05.6");
  ds->Next();
  EXPECT_EQ(tm->DisplayText(), "");
}

TEST_F(FieldClassesTest, StringFieldsOnANonUnicodeAttachment) {
  TFIBDatabase* win = Connect("WIN1251");
  TCacheDataSet* ds = Open("W, RDB$DB_KEY", win);
  auto* w = dynamic_cast<TFIBStringField*>(ds->FieldByName("W"));
  auto* key = dynamic_cast<TFIBStringField*>(ds->FieldByName("DB_KEY"));
  ASSERT_TRUE(w && key);
  EXPECT_EQ(w->AsString(), "abc");
  // A database key: 8 bytes as 16 hexadecimal digits.
  const String hex = key->AsString();
  EXPECT_EQ(hex.size(), 16u) << hex;
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), String::npos) << hex;
  EXPECT_TRUE(w->EmptyStrToNull());
  ds->Edit();
  w->SetAsString("");
  EXPECT_TRUE(w->IsNull());  // an empty text is NULL here
  w->SetEmptyStrToNull(false);
  w->SetAsString("");
  EXPECT_FALSE(w->IsNull());
  w->SetAsString("abcdefghijklmn");
  EXPECT_EQ(w->AsString(), "abcdefghij");  // cut to the column
  w->Clear();
  EXPECT_TRUE(w->IsNull());
  ds->Cancel();
  EXPECT_EQ(w->AsString(), "abc");
}

TEST_F(FieldClassesTest, WideStringsOnAUnicodeAttachment) {
  TCacheDataSet* ds = Open("V");
  auto* v = dynamic_cast<TFIBWideStringField*>(ds->FieldByName("V"));
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->Size(), 10);
  EXPECT_EQ(v->DataSize(), 41);  // 10 characters of up to 4 bytes
  EXPECT_EQ(v->AsWideString(), u"xyz");
  ds->Edit();
  // Text set as UTF-8 is stored as its wide value would be, valid or not
  // (too long, cut bytes, overlong forms, surrogates, a byte order mark).
  for (const std::string& text : {std::string("a\xF0\x9F\x98\x80" "b"), std::string(39, 'x') + "\xC3\xA9",
                                   std::string("ab\xC3"), std::string("\x80z"), std::string("\xC0\xAF"),
                                   std::string("\xED\xA0\x80"), std::string("\xEF\xBB\xBF" "bom")}) {
    v->SetAsWideString(Utf8ToWide(text));
    const String wide = v->AsString();
    v->SetAsString(text);
    EXPECT_EQ(v->AsString(), wide) << text;
  }
  v->SetAsString("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  EXPECT_EQ(v->AsWideString(), u"\u041F\u0440\u0438\u0432\u0435\u0442");
  ds->Post();
  TBuffer b(ds);
  ds->ReadRecordFromCache(0, b.Get(), false);
  EXPECT_EQ(b.Apart(0), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
}

TEST_F(FieldClassesTest, GuidFields) {
  TCacheDataSet* ds = NewDataSet("select G16 from T_F order by ID");
  ds->UpdateSQL()->SetText("update T_F set G16 = ?G16 where ID = 1");
  ds->Prepare();
  // The column as the repository marks a GUID domain.
  ds->FieldDefs()->Items(0)->SetDataType(ftGuid);
  ds->FieldDefs()->Items(0)->SetSize(38);
  ds->FieldDefs()->SetUpdated(true);
  ds->Open();
  ds->First();
  EXPECT_FALSE(ds->FieldDescrList()->Items(0)->InCollection);  // a CHAR(16) GUID stays inside
  EXPECT_EQ(ds->FieldDescrList()->Items(0)->Kind, fdkGuid);
  auto* g = dynamic_cast<TFIBGuidField*>(ds->FieldByName("G16"));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->DataSize(), 16);
  EXPECT_EQ(g->AsString(), "{33221100-5544-7766-8899-AABBCCDDEEFF}");
  EXPECT_EQ(g->AsVariant().AsString(), g->AsString());
  ds->Edit();
  g->SetAsString("{01020304-0506-0708-090A-0B0C0D0E0F10}");
  TBuffer b(ds);
  std::memcpy(b.Get(), ds->GetActiveRecordBuffer(), static_cast<size_t>(ds->RecordBufferSize()));
  EXPECT_EQ(b.Bytes(0, 16), std::string("\x04\x03\x02\x01\x06\x05\x08\x07\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10", 16));
  g->SetAsString("");
  EXPECT_TRUE(g->IsNull());
  g->SetAsGuid(StringToGUID("{01020304-0506-0708-090A-0B0C0D0E0F10}"));
  EXPECT_FALSE(g->IsNull());
  g->SetAsGuid(TGUID());
  EXPECT_TRUE(g->IsNull());
  EXPECT_THROW(g->SetAsString("not a guid"), EConvertError);
  ds->Cancel();
  ds->Close();

  // Sizes a persistent GUID field accepts.
  auto* persistent = new TFIBGuidField(form_);
  EXPECT_NO_THROW(persistent->SetSize(16));
  try {
    persistent->SetSize(20);
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Invalid field size");
  }
}

TEST_F(FieldClassesTest, BlobAndArrayFields) {
  TCacheDataSet* ds = Open("TXT, AR");
  TField* txt = ds->FieldByName("TXT");
  TField* ar = ds->FieldByName("AR");
  EXPECT_STREQ(txt->ClassName().c_str(), "TFIBMemoField");
  EXPECT_FALSE(txt->IsNull());  // from the record's null flag, no server call
  EXPECT_EQ(ar->DisplayText(), "(Array)");
  ds->Next();
  EXPECT_TRUE(txt->IsNull());
  EXPECT_TRUE(VarIsNull(txt->AsVariant()));
}

TEST_F(FieldClassesTest, CalculatedValuesLiveInTheCalculatedArea) {
  TCacheDataSet* ds = NewDataSet("select ID, LO from T_F order by ID");
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poCacheCalcFields});
  auto* id = new TFIBIntegerField(ds);
  id->SetFieldName("ID");
  id->SetDataSet(ds);
  auto* lo = new TFIBIntegerField(ds);
  lo->SetFieldName("LO");
  lo->SetDataSet(ds);
  auto* label = new TFIBStringField(ds);
  label->SetFieldName("LABEL");
  label->SetSize(12);
  label->SetFieldKind(fkCalculated);
  label->SetDataSet(ds);
  int computed = 0;
  ds->SetOnCalcFields({form_, [&](TDataSet* d) {
                         ++computed;
                         d->FieldByName("LABEL")->SetAsString("id " + d->FieldByName("ID")->AsString());
                       }});
  ds->Open();
  ds->First();
  EXPECT_EQ(label->AsString(), "id 1");
  ds->Next();
  EXPECT_EQ(label->AsString(), "id 2");
  // Kept with the records: reading them again computes nothing.
  const int before = computed;
  ds->First();
  ds->Next();
  EXPECT_EQ(computed, before);
  EXPECT_EQ(label->AsString(), "id 2");
  TBuffer b(ds);
  ds->ReadRecordFromCache(0, b.Get(), false);
  EXPECT_NE(b.Get()[kCachedStatusOffset] & kCalcCachedBit, 0);
}

}  // namespace
