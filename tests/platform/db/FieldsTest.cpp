// Field classes: values through every accessor, texts, limits and errors,
// events, calculated and lookup fields.
#include <cstring>

#include "platform/rtl/Streams.h"
#include "tests/platform/db/DbFixture.h"

namespace {

// Format settings fixed for the texts compared here.
class FieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings;
    FormatSettings = TFormatSettings();
    FormatSettings.DecimalSeparator = '.';
    FormatSettings.ThousandSeparator = ',';
    FormatSettings.DateSeparator = '-';
    FormatSettings.ShortDateFormat = "yyyy-mm-dd";
    FormatSettings.TimeSeparator = ':';
    FormatSettings.LongTimeFormat = "hh:nn:ss";
    FormatSettings.CurrencyString = "$";
    FormatSettings.CurrencyFormat = 0;
    FormatSettings.CurrencyDecimals = 2;

    ds_.SetName("T");
    auto* defs = ds_.FieldDefs();
    defs->Add("S", ftString, 6);
    defs->Add("I", ftInteger);
    defs->Add("SI", ftSmallint);
    defs->Add("W", ftWord);
    defs->Add("L", ftLargeint);
    defs->Add("F", ftFloat);
    defs->Add("C", ftCurrency);
    defs->Add("B", ftBCD, 2);
    defs->Add("BO", ftBoolean);
    defs->Add("D", ftDate);
    defs->Add("T", ftTime);
    defs->Add("DT", ftDateTime);
    defs->Add("BY", ftBytes, 4);
    defs->Add("VB", ftVarBytes, 4);
    defs->Add("G", ftGuid, 38);
    defs->Add("WS", ftWideString, 3);
    defs->Add("M", ftMemo);
    defs->Add("AI", ftAutoInc);
    ds_.Open();
    ds_.Append();
  }
  void TearDown() override { FormatSettings = saved_; }

  TField* F(const char* name) { return ds_.FieldByName(name); }

  TMemDataSet ds_{nullptr};
  TFormatSettings saved_;
};

TEST_F(FieldsTest, EachClassStoresAndReadsItsValue) {
  struct Case {
    const char* field;
    const char* set;  // text given to SetAsString
    const char* text;  // AsString afterwards
    const char* display;
    const char* cls;
  };
  const Case cases[] = {
      {"S", "abcdefgh", "abcdef", "abcdef", "TStringField"},
      {"I", " -42", "-42", "-42", "TIntegerField"},
      {"SI", "-32768", "-32768", "-32768", "TSmallintField"},
      {"W", "65535", "65535", "65535", "TWordField"},
      {"L", "-9223372036854775808", "-9223372036854775808", "-9223372036854775808", "TLargeintField"},
      {"F", "1.25", "1.25", "1.25", "TFloatField"},
      {"C", "1234.5", "1234.5", "$1,234.50", "TCurrencyField"},
      {"B", "12.345", "12.35", "12.35", "TBCDField"},
      {"BO", "f", "False", "False", "TBooleanField"},
      {"D", "2024-02-29", "2024-02-29", "2024-02-29", "TDateField"},
      {"T", "13:05:09", "13:05:09", "13:05:09", "TTimeField"},
      {"DT", "2024-02-29 13:05:09", "2024-02-29 13:05:09", "2024-02-29 13:05:09", "TDateTimeField"},
      {"BY", "ab", "ab", "(BYTES)", "TBytesField"},
      {"VB", "abcdef", "abcd", "(VARBYTES)", "TVarBytesField"},
      {"G", "{01234567-89AB-CDEF-0123-456789ABCDEF}", "{01234567-89AB-CDEF-0123-456789ABCDEF}",
       "{01234567-89AB-CDEF-0123-456789ABCDEF}", "TGuidField"},
      {"WS", "\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C", "\xD0\x96\xD0\xB8\xD0\xB7", "\xD0\x96\xD0\xB8\xD0\xB7",
       "TWideStringField"},
      {"M", "a long memo text", "a long memo text", "(MEMO)", "TMemoField"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    TField* f = F(c.field);
    EXPECT_EQ(f->ClassName(), c.cls);
    EXPECT_TRUE(f->IsNull());
    f->SetAsString(c.set);
    EXPECT_FALSE(f->IsNull());
    // A fixed-size byte field keeps all its bytes.
    String expected = c.text;
    if (std::strcmp(c.field, "BY") == 0) expected.resize(4, '\0');
    EXPECT_EQ(f->AsString(), expected);
    EXPECT_EQ(f->DisplayText(), c.display);
  }
  ds_.Post();
  // The values survive the round trip through the stored row.
  EXPECT_EQ(F("I")->AsInteger(), -42);
  EXPECT_EQ(F("L")->AsLargeInt(), INT64_MIN);
  EXPECT_EQ(F("B")->AsCurrency(), Currency::FromRaw(123500));
  EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), EncodeDate(2024, 2, 29));
  EXPECT_NEAR(F("DT")->AsDateTime(), EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 9, 0), 1e-9);
  EXPECT_EQ(F("M")->AsString(), "a long memo text");
  EXPECT_EQ(F("M")->Text(), "(MEMO)");
  EXPECT_EQ(dynamic_cast<TGuidField*>(F("G"))->AsGuid(), StringToGUID("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
  // Null shows empty texts and class texts in lower case.
  ds_.Edit();
  F("M")->Clear();
  F("I")->Clear();
  EXPECT_EQ(F("M")->DisplayText(), "(Memo)");
  EXPECT_EQ(F("I")->DisplayText(), "");
  EXPECT_TRUE(VarIsNull(F("I")->Value()));
}

TEST_F(FieldsTest, CrossTypeAccessors) {
  F("I")->SetAsFloat(2.5);  // half to even
  EXPECT_EQ(F("I")->AsInteger(), 2);
  F("I")->SetValue(Variant("17"));
  EXPECT_EQ(F("I")->AsString(), "17");
  EXPECT_DOUBLE_EQ(F("I")->AsFloat(), 17.0);
  F("S")->SetAsInteger(12);
  EXPECT_EQ(F("S")->AsInteger(), 12);
  F("S")->SetAsBoolean(true);
  EXPECT_TRUE(F("S")->AsBoolean());
  F("BO")->SetValue(Variant(1));
  EXPECT_EQ(F("BO")->AsString(), "True");
  F("F")->SetAsCurrency(Currency::FromRaw(15000));
  EXPECT_DOUBLE_EQ(F("F")->AsFloat(), 1.5);
  F("L")->SetAsInteger(-3);
  EXPECT_EQ(F("L")->Value().AsInt64(), -3);
  F("D")->SetValue(VarFromDateTime(EncodeDate(2000, 1, 2) + 0.75));
  EXPECT_EQ(F("D")->AsString(), "2000-01-02");  // the time is dropped
  Variant bytes = F("VB")->Value();
  EXPECT_TRUE(VarIsNull(bytes));
  F("VB")->SetValue(VarArrayOf({1, 2, 3}));
  bytes = F("VB")->Value();
  ASSERT_TRUE(VarIsArray(bytes));
  EXPECT_EQ(VarArrayHighBound(bytes, 1), 2);
  EXPECT_EQ(VarArrayGet(bytes, 2).AsInteger(), 3);
  // Setting Null or Unassigned clears.
  F("I")->SetValue(Unassigned());
  EXPECT_TRUE(F("I")->IsNull());
}

TEST_F(FieldsTest, InvalidValuesAndAccessRaiseWithTheirTexts) {
  struct Case {
    const char* field;
    std::function<void(TField*)> act;
    const char* message;
  };
  const Case cases[] = {
      {"I", [](TField* f) { f->SetAsString("12a"); }, "'12a' is not a valid integer value for field 'I'"},
      {"SI", [](TField* f) { f->SetAsInteger(40000); },
       "40000 is not a valid value for field 'SI'. The allowed range is -32768 to 32767"},
      {"W", [](TField* f) { f->SetAsString("-1"); },
       "-1 is not a valid value for field 'W'. The allowed range is 0 to 65535"},
      {"F", [](TField* f) { f->SetAsString("1,5"); }, "'1,5' is not a valid floating point value for field 'F'"},
      {"BO", [](TField* f) { f->SetAsString("maybe"); }, "'maybe' is not a valid boolean value for field 'BO'"},
      {"I", [](TField* f) { f->AsDateTime(); }, "Cannot access field 'I' as type DateTime"},
      {"BO", [](TField* f) { f->SetAsFloat(1); }, "Cannot access field 'BO' as type Float"},
      {"L", [](TField* f) {
         f->SetAsLargeInt(INT64_C(1) << 40);
         f->AsInteger();
       },
       "1099511627776 is not a valid value for field 'L'. The allowed range is -2147483648 to 2147483647"},
      {"BY", [](TField* f) { f->SetText("x"); }, "Cannot access field 'BY' as type Text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      c.act(F(c.field));
      ADD_FAILURE() << "no error";
    } catch (EDatabaseError& e) {
      EXPECT_EQ(String(e.what()), c.message);
    }
  }
}

TEST_F(FieldsTest, RangesFormatsAndDisplayValues) {
  auto* i = static_cast<TIntegerField*>(F("I"));
  i->SetMinValue(1);
  i->SetMaxValue(10);
  EXPECT_THROW(i->SetAsInteger(11), EDatabaseError);
  i->SetAsInteger(10);
  i->SetDisplayFormat("#,##0.0");
  i->SetEditFormat("0");
  i->SetAsInteger(10);
  EXPECT_EQ(i->DisplayText(), "10.0");
  EXPECT_EQ(i->Text(), "10");

  auto* f = static_cast<TFloatField*>(F("F"));
  f->SetAsFloat(1234.5);
  f->SetCurrency(true);
  EXPECT_EQ(f->DisplayText(), "$1,234.50");
  EXPECT_EQ(f->Text(), "1234.50");
  f->SetCurrency(false);
  f->SetPrecision(3);
  EXPECT_EQ(f->DisplayText(), "1.23E3");

  auto* b = static_cast<TBooleanField*>(F("BO"));
  b->SetDisplayValues("Yes;No");
  b->SetAsString("y");
  EXPECT_TRUE(b->AsBoolean());
  EXPECT_EQ(b->DisplayText(), "Yes");
  b->SetAsString("NO");
  EXPECT_FALSE(b->AsBoolean());
  b->SetAsString("");
  EXPECT_TRUE(b->IsNull());
  EXPECT_THROW(b->SetAsString("t"), EDatabaseError);

  auto* dt = static_cast<TDateTimeField*>(F("DT"));
  dt->SetAsDateTime(EncodeDate(2024, 3, 1) + EncodeTime(8, 0, 0, 0));
  dt->SetDisplayFormat("dd.mm.yy hh:nn");
  EXPECT_EQ(dt->DisplayText(), "01.03.24 08:00");
  EXPECT_EQ(dt->Text(), "2024-03-01 08:00:00");

  // A string cut to its size never splits a UTF-8 character.
  F("S")->SetAsString("ab\xD0\x96\xD0\x96");  // 2 + 4 bytes, size 6
  EXPECT_EQ(F("S")->AsString(), "ab\xD0\x96\xD0\x96");
  F("S")->SetAsString("abc\xD0\x96\xD0\x96");  // 3 + 4 bytes
  EXPECT_EQ(F("S")->AsString(), "abc\xD0\x96");
}

TEST_F(FieldsTest, TextEventsValidationAndChange) {
  TField* s = F("S");
  Log log;
  s->SetOnGetText([&](TField* f, String& text, bool display) {
    text = (display ? "D:" : "E:") + f->AsString();
  });
  s->SetOnSetText([&](TField* f, const String& text) { f->SetAsString(UpperCase(text)); });
  s->SetOnValidate([&](TField* f) {
    log.push_back("validate " + f->AsString());
    if (f->AsString() == "BAD") throw EDatabaseError("rejected");
  });
  s->SetOnChange([&](TField* f) { log.push_back("change " + f->AsString()); });
  s->SetText("ok");
  EXPECT_EQ(s->DisplayText(), "D:OK");
  EXPECT_EQ(s->Text(), "E:OK");
  EXPECT_THROW(s->SetText("bad"), EDatabaseError);
  EXPECT_EQ(s->AsString(), "OK");
  EXPECT_EQ(log, (Log{"validate OK", "change OK", "validate BAD"}));
  // During validation the field reads the incoming value, NULL included.
  s->SetOnValidate([&](TField* f) { log.push_back(f->IsNull() ? "null" : "value"); });
  s->Clear();
  EXPECT_EQ(log.back(), "change ");
  EXPECT_EQ(log[log.size() - 2], "null");
}

TEST_F(FieldsTest, TypedCharactersAreCheckedByTheFieldsValidChars) {
  struct Case {
    const char* field;
    WideChar ch;
    bool valid;
  };
  const Case cases[] = {
      {"S", u'a', true},   {"S", u'Ж', true},   {"S", 0xD83D, true},  // half of a 4-byte character
      {"WS", u'я', true},  {"I", u'7', true},   {"I", u'-', true},
      {"I", u'a', false},  {"I", u'Ж', false},  {"F", u'.', true},
      {"F", 0x00B2, false},  // superscript two is no digit
  };
  for (const Case& c : cases) EXPECT_EQ(F(c.field)->IsValidChar(c.ch), c.valid) << c.field << " " << int(c.ch);
  EXPECT_TRUE(F("I")->IsValidChar('5'));  // the byte form
  TField* s = F("S");
  s->SetValidChars(CharSet::Range('0', '9') + CharSet::Range(128, 255));
  EXPECT_FALSE(s->IsValidChar(u'x'));
  EXPECT_TRUE(s->IsValidChar(u'ё'));
}

TEST_F(FieldsTest, OldValuesAndModifiedState) {
  F("I")->SetAsInteger(1);
  ds_.Post();
  ds_.Edit();
  F("I")->SetAsInteger(2);
  EXPECT_EQ(F("I")->OldValue().AsInteger(), 1);
  EXPECT_EQ(F("I")->NewValue().AsInteger(), 2);
  ds_.Post();
  ds_.Insert();
  EXPECT_TRUE(VarIsNull(F("I")->OldValue()));
}

TEST_F(FieldsTest, BlobStreamsAndFiles) {
  auto* m = static_cast<TMemoField*>(F("M"));
  TStringStream in("from a stream");
  m->LoadFromStream(&in);
  EXPECT_TRUE(m->Modified());
  EXPECT_EQ(m->BlobSize(), 13);
  TStringStream out;
  m->SaveToStream(&out);
  EXPECT_EQ(out.DataString(), "from a stream");
  m->Clear();
  EXPECT_TRUE(m->IsNull());
  ds_.Post();
  EXPECT_FALSE(m->Modified()) << "each edit starts unmodified";
  EXPECT_THROW(m->SetAsString("browse"), EDatabaseError);  // not editing
  ds_.Edit();
  m->SetAsString("changed");
  EXPECT_TRUE(m->Modified());
  ds_.Cancel();
  EXPECT_FALSE(m->Modified());
}

TEST_F(FieldsTest, SizesNamesAndTypesAreChecked) {
  ds_.Cancel();
  ds_.Close();
  auto* g = new TGuidField(&ds_);
  EXPECT_THROW(g->SetSize(20), EDatabaseError);
  auto* i = new TIntegerField(&ds_);
  EXPECT_THROW(i->SetSize(4), EDatabaseError);
  auto* dup = new TIntegerField(&ds_);
  dup->SetFieldName("ID");
  dup->SetDataSet(&ds_);
  auto* again = new TIntegerField(&ds_);
  again->SetFieldName("id");
  try {
    again->SetDataSet(&ds_);
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "T: Duplicate field name 'id'");
  }
  auto* unnamed = new TIntegerField(&ds_);
  EXPECT_THROW(unnamed->SetDataSet(&ds_), EDatabaseError);
  // Persistent fields: ID has no definition.
  try {
    ds_.Open();
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "T: Field 'ID' not found");
  }
  dup->SetFieldName("S");
  try {
    ds_.Open();
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "T: Type mismatch for field 'S', expecting: Integer actual: String");
  }
}

// Record layouts computed from definitions must match what the field classes
// read and write.
TEST_F(FieldsTest, DataSizeOfEachClassMatchesTheBufferSizeOfItsType) {
  for (int i = 0; i < ds_.FieldCount(); ++i) {
    TField* f = ds_.Fields()->Fields(i);
    EXPECT_EQ(f->DataSize(), FieldDataSize(f->DataType(), f->Size())) << f->FieldName();
  }
}

TEST_F(FieldsTest, FieldListsValuesAndOrder) {
  F("I")->SetAsInteger(5);
  F("S")->SetAsString("x");
  Variant v = ds_.FieldValues("I; S");
  ASSERT_TRUE(VarIsArray(v));
  EXPECT_EQ(VarArrayGet(v, 0).AsInteger(), 5);
  EXPECT_EQ(VarArrayGet(v, 1).AsString(), "x");
  ds_.SetFieldValues("S;I", VarArrayOf({"y", 6}));
  EXPECT_EQ(F("I")->AsInteger(), 6);
  EXPECT_EQ(ds_.FieldValues("s").AsString(), "y");
  std::vector<TField*> list;
  EXPECT_THROW(ds_.GetFieldList(list, "I;NOPE"), EDatabaseError);
  EXPECT_EQ(ds_.FieldByNumber(2), F("I"));
  F("I")->SetIndex(0);
  EXPECT_EQ(ds_.Fields()->Fields(0), F("I"));
  EXPECT_EQ(F("S")->Index(), 1);
  TStringList names;
  ds_.GetFieldNames(&names);
  EXPECT_EQ(names.Strings(0), "I");
  EXPECT_EQ(names.Count(), ds_.FieldCount());
}

// --- Calculated and lookup fields

TEST(CalcFieldsTest, CalculatedAreaLayoutAndValues) {
  TMemDataSet ds(nullptr);
  ds.FieldDefs()->Add("ID", ftInteger);
  auto* id = new TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* twice = new TIntegerField(&ds);
  twice->SetFieldName("TWICE");
  twice->SetFieldKind(fkCalculated);
  twice->SetDataSet(&ds);
  auto* label = new TStringField(&ds);
  label->SetFieldName("LABEL");
  label->SetSize(8);
  label->SetCalculated(true);
  label->SetDataSet(&ds);
  int calcs = 0;
  ds.SetOnCalcFields([&](TDataSet* d) {
    ++calcs;
    if (d->FieldByName("ID")->IsNull()) return;
    d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("ID")->AsInteger() * 2);
    d->FieldByName("LABEL")->SetAsString("#" + d->FieldByName("ID")->AsString());
  });
  ds.Open();
  // One has-value byte, then the data, per calculated field.
  EXPECT_EQ(twice->Offset(), 0);
  EXPECT_EQ(label->Offset(), 5);
  EXPECT_EQ(twice->FieldNo(), -1);
  ds.AppendRows({{3}, {4}});
  int before = calcs;
  ds.First();
  EXPECT_GT(calcs, before);
  EXPECT_EQ(twice->AsInteger(), 6);
  EXPECT_EQ(label->AsString(), "#3");
  EXPECT_FALSE(twice->CanModify());
  // Editing recomputes after a data field changes (AutoCalcFields).
  ds.Edit();
  id->SetAsInteger(10);
  EXPECT_EQ(twice->AsInteger(), 20);
  ds.SetAutoCalcFields(false);
  id->SetAsInteger(11);
  EXPECT_EQ(twice->AsInteger(), 20);
  ds.Cancel();
  EXPECT_GT(calcs, 0);
  // A calculated BLOB is refused when binding.
  ds.Close();
  auto* memo = new TMemoField(&ds);
  memo->SetFieldName("NOTE");
  memo->SetCalculated(true);
  memo->SetDataSet(&ds);
  EXPECT_THROW(ds.Open(), EDatabaseError);
}

TEST(CalcFieldsTest, LookupFieldsWithAndWithoutCache) {
  auto names = MakeDataSet(3);  // ID 1..3, NAME n1..n3
  for (bool cache : {false, true}) {
    SCOPED_TRACE(cache ? "cached" : "not cached");
    TMemDataSet ds(nullptr);
    ds.FieldDefs()->Add("REF", ftInteger);
    auto* ref = new TIntegerField(&ds);
    ref->SetFieldName("REF");
    ref->SetDataSet(&ds);
    auto* name = new TStringField(&ds);
    name->SetFieldName("REF_NAME");
    name->SetLookup(true);
    name->SetKeyFields("REF");
    name->SetLookupDataSet(names.get());
    name->SetLookupKeyFields("ID");
    name->SetLookupResultField("NAME");
    name->SetLookupCache(cache);
    name->SetDataSet(&ds);
    ds.Open();
    if (cache) {
      EXPECT_EQ(name->LookupList()->Count(), 3);
    }
    ds.AppendRows({{2}, {9}, {Null()}});
    ds.First();
    EXPECT_EQ(name->AsString(), "n2");
    ds.Next();
    EXPECT_TRUE(name->IsNull());
    ds.Next();
    EXPECT_TRUE(name->IsNull());
    // Lookups leave the lookup dataset where it was (filling the cache walks
    // it to its end).
    if (!cache) {
      EXPECT_EQ(names->FieldByName("ID")->AsInteger(), 1);
    } else {
      EXPECT_TRUE(names->Eof());
    }
    ds.Close();
  }
  // Incomplete lookup information is refused at open.
  TMemDataSet ds(nullptr);
  ds.FieldDefs()->Add("REF", ftInteger);
  auto* bad = new TStringField(&ds);
  bad->SetFieldName("X");
  bad->SetLookup(true);
  bad->SetDataSet(&ds);
  try {
    ds.Open();
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Lookup information for field 'X' is incomplete");
  }
}

}  // namespace
