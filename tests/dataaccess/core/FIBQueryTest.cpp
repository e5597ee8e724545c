#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/StdFuncs.h"
#include "platform/rtl/Locale.h"
#include "tests/support/fb/FIBSuiteFixture.h"
#include "tests/support/fb/FIBTestSupport.h"

// GCC 12 takes the inlined destructor of a class with TObject's destroying
// delete for a mismatched new/delete pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// The client error number F raises; -1 for another exception, INT_MIN when
// nothing is raised.
template <class F>
int ClientErrorOf(F&& f) {
  try {
    f();
  } catch (const EFIBClientError& e) {
    return e.SQLCode();
  } catch (const std::exception&) {
    return -1;
  }
  return INT_MIN;
}

// The message of the exception F raises; "" when nothing is raised.
template <class F>
String MessageOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return String();
}

constexpr int kConversion = fceInvalidDataConversion;

// A hand-made area of N entries with the given types (sqltype, sqllen,
// sqlscale), data buffers sized and named F_1...
void Describe(TFIBXSQLDA& Area, std::initializer_list<std::tuple<short, short, short>> Types) {
  Area.SetCount(static_cast<Integer>(Types.size()));
  int i = 0;
  for (auto [type, len, scale] : Types) {
    XSQLVAR* r = Area.AsXSQLDA()->sqlvar + i++;
    r->sqltype = type;
    r->sqllen = len;
    r->sqlscale = scale;
  }
  Area.BuildNameIndex();
}

template <class T>
void Put(TFIBXSQLVAR* V, T Value) {
  std::memcpy(V->AsXSQLVAR()->sqldata, &Value, sizeof Value);
}

// ---------------------------------------------------------------------------
// Areas without a server

TEST(FIBXSQLDA, SetCountKeepsItsVariablesWhenShrinking) {
  TFIBXSQLDA area(nullptr, false);
  EXPECT_EQ(area.AsXSQLDA(), nullptr);
  area.SetCount(5);
  TFIBXSQLVAR* third = area.Vars(2);
  EXPECT_EQ(third->AsXSQLVAR(), area.AsXSQLDA()->sqlvar + 2);
  area.SetCount(0);
  EXPECT_EQ(area.Allocated(), 5);
  EXPECT_EQ(area.AsXSQLDA()->sqln, 0);
  EXPECT_EQ(area.AsXSQLDA()->sqld, 0);
  area.SetCount(5);
  EXPECT_EQ(area.Vars(2), third);
  area.SetCount(7);  // the block moves; every variable follows its record
  for (int i = 0; i < 7; ++i) EXPECT_EQ(area.Vars(i)->AsXSQLVAR(), area.AsXSQLDA()->sqlvar + i);
  EXPECT_EQ(area.Vars(2), third);
  EXPECT_EQ(area.AsXSQLDA()->version, SQLDA_VERSION1);
  EXPECT_EQ(area.AsXSQLDA()->sqln, 7);
  EXPECT_EQ(ClientErrorOf([&] { area.Vars(7); }), fceXSQLDAIndexOutOfRange);
  EXPECT_EQ(ClientErrorOf([&] { area.Vars(-1); }), fceXSQLDAIndexOutOfRange);
}

TEST(FIBXSQLDA, BuildNameIndexNamesColumnsFromTheirAliases) {
  const String a31(31, 'A'), a32(32, 'B');
  struct Case {
    std::vector<String> aliases;
    std::vector<String> names;
  };
  const Case cases[] = {
      {{"", "X", ""}, {"F_1", "X", "F_2"}},
      {{"ID", "ID", "ID"}, {"ID", "ID1", "ID2"}},
      {{a32, a32}, {a32, String(31, 'B') + "1"}},
      {{a31, a31}, {a31, a31 + "1"}},
      {{"id", "ID"}, {"id", "ID1"}},  // names differing in case only are one name
  };
  for (const Case& c : cases) {
    TFIBXSQLDA area(nullptr, false);
    area.SetCount(static_cast<Integer>(c.aliases.size()));
    for (size_t i = 0; i < c.aliases.size(); ++i) {
      XSQLVAR* r = area.AsXSQLDA()->sqlvar + i;
      r->sqltype = SQL_LONG | 1;
      r->sqllen = 4;
      std::memcpy(r->aliasname, c.aliases[i].data(), c.aliases[i].size());
      r->aliasname_length = static_cast<ISC_SHORT>(c.aliases[i].size());
    }
    area.BuildNameIndex();
    for (size_t i = 0; i < c.names.size(); ++i) {
      TFIBXSQLVAR* v = area.Vars(static_cast<Integer>(i));
      EXPECT_EQ(v->Name(), c.names[i]) << c.aliases[i];
      EXPECT_EQ(String(v->AsXSQLVAR()->aliasname, v->AsXSQLVAR()->aliasname_length), c.names[i]);
      EXPECT_EQ(area.ByName(c.names[i]), v);
    }
  }
}

TEST(FIBXSQLDA, BuildNameIndexSizesBuffersAndIndicators) {
  TFIBXSQLDA area(nullptr, false);
  Describe(area, {{SQL_VARYING | 1, 10, 0}, {SQL_TEXT, 0, 0}, {SQL_BOOLEAN | 1, 1, 0}, {SQL_NULL | 1, 0, 0}});
  EXPECT_NE(area.Vars(0)->AsXSQLVAR()->sqlind, nullptr);
  EXPECT_EQ(area.Vars(1)->AsXSQLVAR()->sqlind, nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_NE(area.Vars(i)->AsXSQLVAR()->sqldata, nullptr);
  EXPECT_EQ(area.Vars(0)->DeclaredType(), SQL_VARYING);
  EXPECT_TRUE(area.Vars(0)->HasValue());

  TFIBXSQLDA bad(nullptr, false);
  EXPECT_EQ(ClientErrorOf([&] { Describe(bad, {{12345, 4, 0}}); }), fceUnknownSQLDataType);
}

// A database component that is never connected: its dialect and name rules.
class FIBXSQLDANames : public ::testing::Test {
 protected:
  void SetUp() override {
    fbtest::InitFIBUnits();
    form_ = new TComponent(nullptr);
    db_ = new TFIBDatabase(form_);
    query_ = new TFIBQuery(form_);
    query_->SetDatabase(db_);
  }
  void TearDown() override { delete form_; }

  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TFIBQuery* query_ = nullptr;
};

TEST_F(FIBXSQLDANames, ExactNamesWinOverNamesDifferingInCase) {
  TFIBXSQLDA area(query_, false);
  area.SetCount(3);
  area.AddName("Name", 0, true);
  area.AddName("NAME", 1, true);
  area.AddName("Ключ", 2, true);
  struct Case {
    Integer dialect;
    bool upperOld;
    const char* asked;
    int found;  // -1: none
  };
  const Case cases[] = {
      {3, false, "\"Name\"", 0}, {1, false, "\"Name\"", 0}, {3, false, "NAME", 1},
      {3, false, "Name", 0},     {1, false, "name", 1},     {3, false, "name", 0},
      {3, true, "name", 1},      {3, false, "КЛЮЧ", 2},     {3, false, "\"NAMES\"", -1},
  };
  for (const Case& c : cases) {
    db_->SetSQLDialect(c.dialect);
    db_->SetUpperOldNames(c.upperOld);
    TFIBXSQLDA fresh(query_, false);  // no lookup cache
    fresh.SetCount(3);
    for (int i = 0; i < 3; ++i) fresh.AddName(area.Vars(i)->Name(), i, true);
    TFIBXSQLVAR* found = fresh.ByName(c.asked);
    EXPECT_EQ(found, c.found < 0 ? nullptr : fresh.Vars(c.found)) << c.asked << " dialect " << c.dialect;
  }
}

TEST_F(FIBXSQLDANames, UserParametersGoOnToTheServerParameters) {
  query_->ServerParams()->SetCount(1);
  query_->ServerParams()->AddName("ONLY_SERVER", 0, false);
  query_->Params()->SetCount(1);
  query_->Params()->AddName("user", 0, false);
  EXPECT_EQ(query_->Params()->ByName("USER"), query_->Params()->Vars(0));
  EXPECT_EQ(query_->Params()->ByName("only_server"), query_->ServerParams()->Vars(0));
  EXPECT_EQ(query_->Fields()->ByName("only_server"), nullptr);
}

TEST_F(FIBXSQLDANames, ParametersOfOneNameAreSetTogether) {
  TFIBXSQLDA* area = query_->Params();
  area->SetCount(4);
  area->AddName("ID", 0, false);
  area->AddName("X", 1, false);
  area->AddName("id", 2, false);  // upper-cased: the same name
  area->AddName("Id", 3, true);   // a quoted name of its own
  area->Vars(2)->SetAsInteger(7);
  EXPECT_EQ(area->Vars(0)->AsInteger(), 7);
  EXPECT_TRUE(area->Vars(1)->IsNull());
  EXPECT_TRUE(area->Vars(3)->IsNull());
  area->Vars(0)->SetAsString("abc");
  EXPECT_EQ(area->Vars(2)->AsString(), "abc");
  area->Vars(0)->Clear();
  EXPECT_TRUE(area->Vars(2)->IsNull());
  EXPECT_TRUE(area->Vars(2)->Modified());
  area->ResetModified();
  EXPECT_FALSE(area->Vars(0)->Modified());
}

TEST_F(FIBXSQLDANames, Dialect1StoresInt64AsLongAndRefusesWhatDoesNotFit) {
  db_->SetSQLDialect(1);
  TFIBXSQLDA* area = query_->Params();
  area->SetCount(1);
  area->Vars(0)->SetAsInt64(-2000000000);
  EXPECT_EQ(area->Vars(0)->SQLType(), SQL_LONG);
  EXPECT_EQ(area->Vars(0)->AsInt64(), -2000000000);
  EXPECT_EQ(ClientErrorOf([&] { area->Vars(0)->SetAsInt64(5000000000LL); }), kConversion);
  EXPECT_EQ(area->Vars(0)->AsInt64(), -2000000000);  // unchanged
  area->Vars(0)->SetAsCurrency(Currency::FromRaw(12345));
  EXPECT_EQ(area->Vars(0)->SQLType(), SQL_DOUBLE);
  EXPECT_DOUBLE_EQ(area->Vars(0)->AsDouble(), 1.2345);
}

// ---------------------------------------------------------------------------
// Values without a server: encodings and conversions

TEST(FIBXSQLVAR, ScaledIntegersConvertExactly) {
  TFIBXSQLDA area(nullptr, true);
  Describe(area, {{SQL_INT64, 8, -2}, {SQL_LONG, 4, -1}, {SQL_INT64, 8, 0}, {SQL_SHORT, 2, -3}});
  TFIBXSQLVAR* n = area.Vars(0);
  Put<int64_t>(n, 12345);
  EXPECT_EQ(n->AsString(), "123.45");
  EXPECT_DOUBLE_EQ(n->AsDouble(), 123.45);
  EXPECT_EQ(n->AsInteger(), 123);
  EXPECT_EQ(n->AsInt64(), 123);
  EXPECT_EQ(n->AsCurrency().Value, 1234500);
  EXPECT_EQ(n->AsVariant().VarType(), varDouble);
  EXPECT_DOUBLE_EQ(n->AsVariant().AsDouble(), 123.45);
  EXPECT_EQ(BcdToStrDot(n->AsBcd()), "123.45");
  Put<int64_t>(n, -5);
  EXPECT_EQ(n->AsString(), "-0.05");
  EXPECT_EQ(n->AsInteger(), 0);

  TFIBXSQLVAR* l = area.Vars(1);  // 7 with scale -1
  Put<int32_t>(l, 7);
  EXPECT_EQ(l->AsInt64(), 0);
  EXPECT_EQ(l->AsInteger(), 0);
  EXPECT_EQ(l->AsString(), "0.7");

  TFIBXSQLVAR* big = area.Vars(2);
  Put<int64_t>(big, 5000000000LL);
  EXPECT_EQ(ClientErrorOf([&] { big->AsInteger(); }), kConversion);
  EXPECT_EQ(big->AsInt64(), 5000000000LL);
  EXPECT_EQ(big->AsVariant().VarType(), varInt64);
  Put<int64_t>(big, INT64_MAX);
  EXPECT_EQ(ClientErrorOf([&] { big->AsCurrency(); }), kConversion);
  EXPECT_EQ(big->AsString(), "9223372036854775807");

  // A positive scale multiplies.
  big->AsXSQLVAR()->sqlscale = 2;
  Put<int64_t>(big, -5);
  EXPECT_EQ(big->AsInt64(), -500);
  EXPECT_EQ(big->AsString(), "-500");
  Put<int64_t>(big, INT64_MAX / 10);
  EXPECT_EQ(ClientErrorOf([&] { big->AsInt64(); }), kConversion);

  TFIBXSQLVAR* s = area.Vars(3);
  Put<int16_t>(s, -1500);
  EXPECT_EQ(s->AsString(), "-1.5");  // a scaled SHORT is written as a float
  EXPECT_EQ(s->AsVariant().VarType(), varDouble);

  const char saved = FormatSettings.DecimalSeparator;
  FormatSettings.DecimalSeparator = ',';
  Put<int64_t>(n, 12300);
  EXPECT_EQ(n->AsString(), "123,00");
  FormatSettings.DecimalSeparator = saved;
}

TEST(FIBXSQLVAR, SettersStoreTheirTypes) {
  TFIBXSQLDA area(nullptr, true);
  area.SetCount(1);
  TFIBXSQLVAR* v = area.Vars(0);
  EXPECT_TRUE(v->IsNull());  // never assigned
  struct Case {
    std::function<void()> set;
    short type, len, scale;
    const char* text;
  };
  const Case cases[] = {
      {[&] { v->SetAsShort(-7); }, SQL_SHORT, 2, 0, "-7"},
      {[&] { v->SetAsInteger(INT_MIN); }, SQL_LONG, 4, 0, "-2147483648"},
      {[&] { v->SetAsInt64(INT64_MIN); }, SQL_INT64, 8, 0, "-9223372036854775808"},
      {[&] { v->SetAsDouble(0.5); }, SQL_DOUBLE, 8, 0, "0.5"},
      {[&] { v->SetAsExtended(123.45); }, SQL_INT64, 8, -15, "123.450000000000000"},
      {[&] { v->SetAsExtended(-0.25); }, SQL_INT64, 8, -18, "-0.250000000000000000"},
      {[&] { v->SetAsCurrency(Currency::FromRaw(-12345)); }, SQL_INT64, 8, -4, "-1.2345"},
      {[&] { v->SetAsBoolean(true); }, SQL_SHORT, 2, 0, "1"},
      {[&] { v->SetAsString("x"); }, SQL_TEXT, 1, 0, "x"},
      {[&] { v->SetAsString(""); }, SQL_TEXT, 0, 0, ""},
      {[&] { v->SetAsVariant(Variant(uint32_t{4000000000u})); }, SQL_INT64, 8, 0, "4000000000"},
      {[&] { v->SetAsVariant(Variant(true)); }, SQL_LONG, 4, 0, "1"},
      {[&] { v->SetAsVariant(Variant(Currency::FromRaw(5))); }, SQL_INT64, 8, -4, "0.0005"},
  };
  for (const Case& c : cases) {
    c.set();
    EXPECT_EQ(v->SQLType(), c.type) << c.text;
    EXPECT_EQ(v->AsXSQLVAR()->sqllen, c.len) << c.text;
    EXPECT_EQ(v->Scale(), c.scale) << c.text;
    EXPECT_EQ(v->AsString(), c.text);
    EXPECT_FALSE(v->IsNull());
  }
  v->SetAsExtended(123.45);
  int64_t raw;
  std::memcpy(&raw, v->AsXSQLVAR()->sqldata, 8);
  EXPECT_EQ(raw, 123450000000000000LL);
}

TEST(FIBXSQLVAR, GettersRefuseTypesTheyDoNotRead) {
  TFIBXSQLDA area(nullptr, true);
  Describe(area, {{SQL_QUAD, 8, 0}, {SQL_LONG, 4, 0}, {SQL_DOUBLE, 8, 0}, {SQL_TEXT, 5, 0}});
  TFIBXSQLVAR *quad = area.Vars(0), *l = area.Vars(1), *d = area.Vars(2), *t = area.Vars(3);
  Put<double>(d, 1e300);
  std::memcpy(t->AsXSQLVAR()->sqldata, "12x  ", 5);
  const std::pair<const char*, std::function<void()>> failing[] = {
      {"quad string", [&] { quad->AsString(); }},    {"quad variant", [&] { quad->AsVariant(); }},
      {"long quad", [&] { l->AsQuad(); }},           {"long time stamp", [&] { l->AsTimeStamp(); }},
      {"double int", [&] { d->AsInteger(); }},       {"double int64", [&] { d->AsInt64(); }},
      {"double currency", [&] { d->AsCurrency(); }}, {"text int", [&] { t->AsInteger(); }},
      {"text date", [&] { t->AsDateTime(); }},       {"double boolean", [&] { d->AsBoolean(); }},
  };
  for (const auto& [what, f] : failing) EXPECT_EQ(ClientErrorOf(f), kConversion) << what;
  EXPECT_EQ(l->AsGuid(), TGUID());  // another type gives the zero GUID
  std::memcpy(t->AsXSQLVAR()->sqldata, "42   ", 5);
  EXPECT_EQ(t->AsInteger(), 42);  // CHAR padding is no part of the number
  TGUID shortGuid;                // a text shorter than a GUID gives only its own bytes
  std::memcpy(static_cast<void*>(&shortGuid), "42   ", 5);
  EXPECT_EQ(t->AsGuid(), shortGuid);
  EXPECT_EQ(ClientErrorOf([&] { l->SetAsVariant(VarArrayCreate({0, 1}, varInteger)); }), fceNotPermitted);
}

TEST(FIBXSQLVAR, BlobAndArrayIdentifiers) {
  TFIBXSQLDA area(nullptr, true);
  Describe(area, {{SQL_BLOB | 1, 8, 0}, {SQL_ARRAY | 1, 8, 0}});
  TFIBXSQLVAR *blob = area.Vars(0), *array = area.Vars(1);
  const ISC_QUAD id{0x1234, 0x5678};
  for (TFIBXSQLVAR* v : {blob, array}) {
    v->SetAsQuad(id);
    EXPECT_TRUE(v->IsBlobOrArray());
    EXPECT_EQ(v->AsQuad().gds_quad_high, 0x1234);
    EXPECT_EQ(v->AsQuad().gds_quad_low, 0x5678u);
  }
  EXPECT_EQ(blob->SQLType(), SQL_BLOB);
  EXPECT_EQ(array->SQLType(), SQL_ARRAY);
  EXPECT_EQ(blob->AsString(), "(BLOB)");  // a parameter without content
  EXPECT_EQ(array->AsString(), "(ARRAY)");
  EXPECT_EQ(array->AsVariant().AsString(), "(Array)");

  // Without an array object the array operations are refused.
  EXPECT_EQ(ClientErrorOf([&] { array->ArrayDimensions(); }), fceNotArrayField);
  EXPECT_EQ(ClientErrorOf([&] { array->SetAsVariant(VarArrayCreate({0, 1}, varInteger)); }), fceNotArrayField);
  // A Variant array into a BLOB gives its bytes.
  Variant bytes = VarArrayCreate({0, 2}, varByte);
  for (int i = 0; i < 3; ++i) VarArrayPut(bytes, Variant(static_cast<uint8_t>('a' + i)), i);
  blob->SetAsVariant(bytes);
  EXPECT_EQ(blob->AsString(), "abc");
  // Copies: an array is never copied, other values record by record.
  array->AssignBlob(blob);
  EXPECT_EQ(array->AsQuad().gds_quad_low, 0x5678u);
  TFIBXSQLDA other(nullptr, true);
  Describe(other, {{SQL_VARYING | 1, 10, 0}});
  std::memcpy(other.Vars(0)->AsXSQLVAR()->sqldata, "\x03\x00xyz", 5);
  TFIBXSQLVAR* target = area.Vars(0);
  target->SetAsInteger(1);
  target->Assign(other.Vars(0));
  EXPECT_EQ(target->SQLType(), SQL_VARYING);
  EXPECT_EQ(target->AsString(), "xyz");
  other.Vars(0)->Clear();
  target->Assign(other.Vars(0));
  EXPECT_TRUE(target->IsNull());
}

TEST(FIBXSQLVAR, StringsBeyondTheTextLimitBecomeBlobParameters) {
  fbtest::InitFIBUnits();
  auto* form = new TComponent(nullptr);
  form->SetName("Form1");
  auto* query = new TFIBQuery(form);
  query->SetName("Query1");
  TFIBXSQLDA* area = query->Params();
  area->SetCount(2);
  area->AddName("P", 0, false);
  area->AddName("P", 1, false);
  const String big(40000, 'x');
  area->Vars(0)->SetAsString(big);
  for (int i = 0; i < 2; ++i) {
    TFIBXSQLVAR* v = area->Vars(i);
    EXPECT_EQ(v->AsXSQLVAR()->sqltype, SQL_BLOB);
    ASSERT_NE(v->ValueStream(), nullptr);
    EXPECT_EQ(v->ValueStream()->Size(), 40000);
    EXPECT_FALSE(v->IsNull());
    EXPECT_EQ(v->AsString(), big);
  }
  EXPECT_TRUE(query->BlobParamsToWrite());
  area->Vars(1)->SetAsInteger(1);  // a plain value drops the content
  EXPECT_EQ(area->Vars(0)->ValueStream(), nullptr);
  EXPECT_EQ(area->Vars(0)->AsInteger(), 1);

  EXPECT_EQ(MessageOf([&] { area->Vars(0)->SetAsWideString(WideString(20000, u'ж')); }),
            "Form1.Query1. Value for WideString Parameter \"P\" too long");

  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  area->Vars(0)->LoadFromStream(&stream);
  EXPECT_EQ(area->Vars(1)->AsString(), "abc");
  area->Vars(1)->SetIsNull(true);
  EXPECT_TRUE(area->Vars(0)->IsNull());
  delete form;
}

}  // namespace

// ---------------------------------------------------------------------------
// Values written by statements and read back from the server

class FIBXSQLVARServer : public fbtest::TFIBSuiteTest<FIBXSQLVARServer> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table T (ID integer not null primary key, S smallint, I integer, B bigint, N2 numeric(15,2), "
            "N18 numeric(18,2), N4 numeric(4,1), D9 decimal(9,3), N96 numeric(9,6), F float, DB double precision, "
            "DT date, TM time, TS timestamp, C10 char(10), VU varchar(20) character set UTF8, "
            "VW varchar(20) character set WIN1251, BO boolean, G char(16) character set octets, "
            "BL blob sub_type text)"};
  }

 protected:
  void SetUp() override {
    fbtest::InitFIBUnits();
    InitializeUnits({&unit_FIBQuery});
    form_ = new TComponent(nullptr);
    db_ = fbtest::NewFIBDatabase(form_, file_->Path());
    tr_ = new TFIBTransaction(form_);
    tr_->SetDefaultDatabase(db_);
    db_->Connect();
    tr_->StartTransaction();
    writer_ = NewQuery(db_, tr_);
    reader_ = NewQuery(db_, tr_);
  }
  void TearDown() override { delete form_; }

  TFIBQuery* NewQuery(TFIBDatabase* Db, TFIBTransaction* Tr) {
    auto* q = new TFIBQuery(form_);
    q->SetDatabase(Db);
    q->SetTransaction(Tr);
    return q;
  }
  // Inserts a row whose Column gets the value Set gives the parameter V.
  // With prepare_first_ the statement is prepared before the values are
  // set; with literal_id_ the ID is written into the text, so that the text
  // sent differs from the text parsed.
  Integer Write(const String& Column, const std::function<void(TFIBXSQLVAR*)>& Set) {
    const Integer id = ++next_id_;
    writer_->SQL()->SetText("insert into T (ID, " + Column + ") values (" + (literal_id_ ? "@@ID%0@" : ":ID") +
                            ", :V)");
    if (prepare_first_) writer_->Prepare();
    writer_->ParamByName("ID")->SetAsInteger(id);
    Set(writer_->ParamByName("V"));
    writer_->ExecQuery();
    return id;
  }
  // Column of row Id as the server returns it.
  TFIBXSQLVAR* Read(const String& Column, Integer Id) {
    reader_->Close();
    reader_->SQL()->SetText("select " + Column + " from T where ID = :ID");
    reader_->ParamByName("ID")->SetAsInteger(Id);
    reader_->ExecQuery();
    EXPECT_FALSE(reader_->Eof()) << Column << " of " << Id;
    return reader_->Fields(0);
  }
  TFIBXSQLVAR* RoundTrip(const String& Column, const std::function<void(TFIBXSQLVAR*)>& Set) {
    return Read(Column, Write(Column, Set));
  }
  String ServerText(const String& Expression, Integer Id) { return Read(Expression, Id)->AsString(); }

  static Integer next_id_;
  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TFIBTransaction* tr_ = nullptr;
  TFIBQuery* writer_ = nullptr;
  TFIBQuery* reader_ = nullptr;
  bool prepare_first_ = false;
  bool literal_id_ = false;
};

Integer FIBXSQLVARServer::next_id_ = 0;

TEST_F(FIBXSQLVARServer, IntegersAtTheirBoundaries) {
  struct Case {
    const char* column;
    std::function<void(TFIBXSQLVAR*)> set;
    const char* text;
  };
  const Case cases[] = {
      {"S", [](TFIBXSQLVAR* v) { v->SetAsShort(-32768); }, "-32768"},
      {"S", [](TFIBXSQLVAR* v) { v->SetAsInteger(32767); }, "32767"},
      {"S", [](TFIBXSQLVAR* v) { v->SetAsString("-12"); }, "-12"},
      {"I", [](TFIBXSQLVAR* v) { v->SetAsInteger(INT_MIN); }, "-2147483648"},
      {"I", [](TFIBXSQLVAR* v) { v->SetAsVariant(Variant(int16_t{-5})); }, "-5"},
      {"I", [](TFIBXSQLVAR* v) { v->SetAsInt64(INT_MAX); }, "2147483647"},
      {"B", [](TFIBXSQLVAR* v) { v->SetAsInt64(INT64_MAX); }, "9223372036854775807"},
      {"B", [](TFIBXSQLVAR* v) { v->SetAsInt64(INT64_MIN); }, "-9223372036854775808"},
      {"B", [](TFIBXSQLVAR* v) { v->SetAsVariant(Variant(Int64{5000000000LL})); }, "5000000000"},
      {"B", [](TFIBXSQLVAR* v) { v->SetAsDouble(-7.9); }, "-8"},  // the server rounds
  };
  for (const Case& c : cases) {
    TFIBXSQLVAR* v = RoundTrip(c.column, c.set);
    EXPECT_EQ(v->AsString(), c.text) << c.column;
    EXPECT_EQ(v->AsInt64(), StrToInt64(c.text));
    EXPECT_DOUBLE_EQ(v->AsDouble(), static_cast<double>(StrToInt64(c.text)));
    EXPECT_EQ(v->AsBoolean(), StrToInt64(c.text) == 1);
    const Int64 n = StrToInt64(c.text);
    if (n >= INT_MIN && n <= INT_MAX) {
      EXPECT_EQ(v->AsInteger(), n);
      EXPECT_EQ(v->AsVariant().VarType(), String(c.column) == "B" ? varInt64 : varInteger);
    } else {
      EXPECT_EQ(ClientErrorOf([&] { v->AsInteger(); }), kConversion) << c.text;
    }
  }
  // Out of the column's range: the server refuses.
  EXPECT_THROW(Write("S", [](TFIBXSQLVAR* v) { v->SetAsInteger(40000); }), EFIBInterBaseError);
}

TEST_F(FIBXSQLVARServer, ScaledNumbersKeepEveryDigit) {
  struct Case {
    const char* column;
    std::function<void(TFIBXSQLVAR*)> set;
    const char* text;  // AsString with "." as separator
    double value;
  };
  TBcd bcd;
  Int64 raw;
  int places;
  const Case cases[] = {
      {"N2", [](TFIBXSQLVAR* v) { v->SetAsCurrency(Currency::FromRaw(1234500)); }, "123.45", 123.45},
      {"N2", [](TFIBXSQLVAR* v) { v->SetAsExtended(123.45); }, "123.45", 123.45},
      {"N2", [](TFIBXSQLVAR* v) { v->SetAsDouble(-0.1); }, "-0.10", -0.1},
      {"N2", [](TFIBXSQLVAR* v) { v->SetAsString("1,5"); }, "1.50", 1.5},
      {"N2", [](TFIBXSQLVAR* v) { v->SetAsInt64(9999999999999LL); }, "9999999999999.00", 9999999999999.0},
      {"N18", [](TFIBXSQLVAR* v) { v->SetAsString("-92233720368547758.08"); }, "-92233720368547758.08",
       -92233720368547758.08},
      {"N4", [](TFIBXSQLVAR* v) { v->SetAsDouble(-3276.8); }, "-3276.8", -3276.8},
      {"D9", [](TFIBXSQLVAR* v) { v->SetAsString("1234.567"); }, "1234.567", 1234.567},
      {"D9", [](TFIBXSQLVAR* v) { v->SetAsVariant(Variant(0.0005)); }, "0.001", 0.001},
  };
  const char saved = FormatSettings.DecimalSeparator;
  FormatSettings.DecimalSeparator = '.';
  for (const Case& c : cases) {
    TFIBXSQLVAR* v = RoundTrip(c.column, c.set);
    EXPECT_EQ(v->AsString(), c.text) << c.column;
    EXPECT_DOUBLE_EQ(v->AsDouble(), c.value) << c.text;
    const String text = c.text;
    EXPECT_EQ(v->AsInt64(), StrToInt64(text.substr(0, text.find('.')))) << c.text;
    EXPECT_EQ(v->AsVariant().VarType(), varDouble);
  }
  FormatSettings.DecimalSeparator = saved;

  TFIBXSQLVAR* n = RoundTrip("N2", [](TFIBXSQLVAR* v) { v->SetAsString("-123.45"); });
  EXPECT_EQ(n->AsCurrency().Value, -1234500);
  EXPECT_EQ(n->AsInteger(), -123);
  bcd = n->AsBcd();
  ASSERT_TRUE(BcdToInt64(bcd, raw, places));
  EXPECT_EQ(raw, -12345);
  EXPECT_EQ(places, 2);
  // A BCD goes in with its own scale and the server rounds to the column's.
  TFIBXSQLVAR* b = RoundTrip("N2", [&](TFIBXSQLVAR* v) { v->SetAsBcd(bcd); });
  EXPECT_EQ(b->AsString(), n->AsString());

  // Every scaled integer, 16, 32 or 64 bits, is a BCD of its own decimals.
  const std::pair<const char*, const char*> exact[] = {
      {"N96", "-1.234567"}, {"N96", "0.000001"}, {"N4", "-3276.8"}, {"D9", "2147483.647"}, {"N18", "0.01"},
  };
  for (const auto& row : exact) {
    const char* column = row.first;
    const char* text = row.second;
    TFIBXSQLVAR* v = RoundTrip(column, [&](TFIBXSQLVAR* p) { p->SetAsString(text); });
    EXPECT_EQ(BcdToStrDot(v->AsBcd()), text) << column;
    const TBcd back = v->AsBcd();
    EXPECT_EQ(BcdToStrDot(RoundTrip(column, [&](TFIBXSQLVAR* p) { p->SetAsBcd(back); })->AsBcd()), text);
    // The same number as a scaled integer.
    ASSERT_TRUE(BcdToInt64(back, raw, places));
    EXPECT_EQ(BcdToStrDot(RoundTrip(column, [&](TFIBXSQLVAR* p) { p->SetAsScaled(raw, -places); })->AsBcd()), text);
  }
  EXPECT_EQ(ClientErrorOf([&] { n->SetAsScaled(1, -19); }), kConversion);
  EXPECT_EQ(ClientErrorOf([&] { n->SetAsScaled(1, 1); }), kConversion);

  // Too large for Currency's four decimals.
  TFIBXSQLVAR* big = RoundTrip("N18", [](TFIBXSQLVAR* v) { v->SetAsString("92233720368547758.07"); });
  EXPECT_EQ(ClientErrorOf([&] { big->AsCurrency(); }), kConversion);
  EXPECT_EQ(ClientErrorOf([&] { big->AsInteger(); }), kConversion);
  EXPECT_EQ(big->AsInt64(), 92233720368547758LL);
  // Too large for the column: the server refuses.
  EXPECT_THROW(Write("N4", [](TFIBXSQLVAR* v) { v->SetAsDouble(3276.9); }), EFIBInterBaseError);
}

TEST_F(FIBXSQLVARServer, FloatingPointNumbers) {
  TFIBXSQLVAR* f = RoundTrip("F", [](TFIBXSQLVAR* v) { v->SetAsDouble(1.5); });
  EXPECT_EQ(f->AsString(), FloatToStr(1.5));
  EXPECT_EQ(f->AsInteger(), 1);
  EXPECT_EQ(f->AsVariant().VarType(), varDouble);
  TFIBXSQLVAR* d = RoundTrip("DB", [](TFIBXSQLVAR* v) { v->SetAsString("2,5"); });  // a comma is a decimal point
  EXPECT_DOUBLE_EQ(d->AsDouble(), 2.5);
  EXPECT_EQ(d->AsCurrency().Value, 25000);
  d = RoundTrip("DB", [](TFIBXSQLVAR* v) { v->SetAsDouble(-1e300); });
  EXPECT_DOUBLE_EQ(d->AsExtended(), -1e300);
  EXPECT_EQ(ClientErrorOf([&] { d->AsInt64(); }), kConversion);
  EXPECT_EQ(ClientErrorOf([&] { d->AsCurrency(); }), kConversion);
  d = RoundTrip("DB", [](TFIBXSQLVAR* v) { v->SetAsFloat(-2.5); });
  EXPECT_EQ(BcdToStrDot(d->AsBcd()), "-2.5");  // through Currency
}

TEST_F(FIBXSQLVARServer, TextOfAnotherAttachmentCharacterSetPassesAsItsBytes) {
  TFIBDatabase* db = fbtest::NewFIBDatabase(form_, file_->Path(), "WIN1251");
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(db);
  db->Connect();
  tr->StartTransaction();
  TFIBQuery* q = NewQuery(db, tr);
  q->SQL()->SetText("insert into T (ID, VW, VU) values (-1, :W, :U)");
  q->ParamByName("W")->SetAsString("\xC6\xE5");  // "Же" in code page 1251
  q->ParamByName("U")->SetAsString("\xC6\xE5");
  q->ExecQuery();
  EXPECT_EQ(q->ParamByName("W")->SQLSubtype(), 0);  // no UTF-8 marking
  q->SQL()->SetText("select VW, VU from T where ID = -1");
  q->ExecQuery();
  ASSERT_FALSE(q->Eof());
  EXPECT_EQ(q->Fields(0)->AsString(), "\xC6\xE5");
  EXPECT_EQ(q->Fields(1)->AsString(), "\xC6\xE5");
  EXPECT_EQ(q->Fields(0)->AsVariant().VarType(), varString);
  q->Close();
  tr->Commit();
  db->Close();
  tr_->Commit();  // a new snapshot sees the row
  tr_->StartTransaction();
  EXPECT_EQ(ServerText("VW || VU", -1), "ЖеЖе");  // the UTF8 attachment sees the characters
}

TEST_F(FIBXSQLVARServer, DatesAndTimes) {
  const TDateTime leap = EncodeDate(2024, 2, 29);
  const TDateTime before = -1.25;  // 1899-12-29 06:00
  // The server keeps 1/10000 s: 13:45:30.7891, and the last of a day.
  const TDateTime fine = (13 * 36000000 + 45 * 600000 + 30 * 10000 + 7891) / 864000000.0;
  const TDateTime last = 863999999 / 864000000.0;
  const TDateTime end = EncodeDate(9999, 12, 31) + last;
  struct Case {
    const char* column;
    std::function<void(TFIBXSQLVAR*)> set;
    TDateTime expected;
    const char* server;  // cast as varchar on the server
  };
  const Case cases[] = {
      {"DT", [&](TFIBXSQLVAR* v) { v->SetAsDate(leap + 0.75); }, leap, "2024-02-29"},
      {"DT", [](TFIBXSQLVAR* v) { v->SetAsDate(EncodeDate(1, 1, 1)); }, EncodeDate(1, 1, 1), "0001-01-01"},
      {"DT", [](TFIBXSQLVAR* v) { v->SetAsDateTime(EncodeDate(1858, 11, 17)); }, EncodeDate(1858, 11, 17),
       "1858-11-17"},
      {"TM", [](TFIBXSQLVAR* v) { v->SetAsTime(EncodeTime(23, 59, 59, 999)); }, EncodeTime(23, 59, 59, 999),
       "23:59:59.9990"},
      {"TM", [&](TFIBXSQLVAR* v) { v->SetAsTime(last); }, last, "23:59:59.9999"},
      {"TM", [&](TFIBXSQLVAR* v) { v->SetAsVariant(VarFromDateTime(fine)); }, fine, "13:45:30.7891"},
      {"TS", [&](TFIBXSQLVAR* v) { v->SetAsDateTime(before); }, before, "1899-12-29 06:00:00.0000"},
      {"TS", [&](TFIBXSQLVAR* v) { v->SetAsDateTime(leap + fine); }, leap + fine, "2024-02-29 13:45:30.7891"},
      {"TS", [&](TFIBXSQLVAR* v) { v->SetAsDateTime(end); }, end, "9999-12-31 23:59:59.9999"},
      {"TS", [&](TFIBXSQLVAR* v) { v->SetAsVariant(VarFromDateTime(leap + 0.5)); }, leap + 0.5,
       "2024-02-29 12:00:00.0000"},
      // Numbers for a declared date or time stamp are date-time values.
      {"TS", [](TFIBXSQLVAR* v) { v->SetAsVariant(Variant(45000.25)); }, 45000.25, "2023-03-15 06:00:00.0000"},
      {"DT", [](TFIBXSQLVAR* v) { v->SetAsVariant(Variant(int32_t{45000})); }, 45000, "2023-03-15"},
      {"TS", [&](TFIBXSQLVAR* v) { v->SetAsTimeStamp(DateTimeToTimeStamp(leap)); }, leap, "2024-02-29 00:00:00.0000"},
  };
  for (const Case& c : cases) {
    const Integer id = Write(c.column, c.set);
    EXPECT_EQ(ServerText(String("cast(") + c.column + " as varchar(30))", id), c.server);
    TFIBXSQLVAR* v = Read(c.column, id);
    EXPECT_EQ(v->AsDateTime(), c.expected) << c.server;
    EXPECT_EQ(v->AsVariant().VarType(), varDate);
    const String column = c.column;
    const String text = column == "DT"   ? DateToStr(c.expected)
                        : column == "TM" ? TimeToStr(c.expected)
                                         : DateTimeToStr(c.expected);
    EXPECT_EQ(v->AsString(), text);
    const TTimeStamp ts = v->AsTimeStamp();
    const TTimeStamp want = DateTimeToTimeStamp(c.expected);
    EXPECT_EQ(ts.Date, column == "TM" ? 0 : want.Date);
    EXPECT_EQ(ts.Time, column == "DT" ? 0 : want.Time);
    // Read and written back, a value does not change.
    const TDateTime read = v->AsDateTime();
    const Integer copy = Write(c.column, [&](TFIBXSQLVAR* p) {
      if (column == "TM") p->SetAsTime(read);
      else p->SetAsDateTime(read);
    });
    EXPECT_EQ(ServerText(String("cast(") + c.column + " as varchar(30))", copy), c.server);
  }
  // Written by the server: the 1/10000 s are read; the time stamp record has
  // milliseconds.
  fbtest::ExecSQL(tr_, "insert into T (ID, TM, TS) values (1000, '23:59:59.9999', '2020-01-02 12:34:56.7891')");
  TFIBXSQLVAR* tm = Read("TM", 1000);
  EXPECT_EQ(tm->AsDateTime(), last);
  EXPECT_EQ(tm->AsTimeStamp().Time, 86399999);
  EXPECT_EQ(ClientErrorOf([&] { tm->AsInteger(); }), kConversion);
  TFIBXSQLVAR* ts = Read("TS", 1000);
  EXPECT_EQ(ts->AsDateTime(), EncodeDate(2020, 1, 2) + (12 * 36000000 + 34 * 600000 + 56 * 10000 + 7891) / 864000000.0);
  const Variant stamp = ts->AsVariant();
  const Integer copy = Write("TS", [&](TFIBXSQLVAR* p) { p->SetAsVariant(stamp); });
  EXPECT_EQ(ServerText("cast(TS as varchar(30))", copy), "2020-01-02 12:34:56.7891");
  // Outside the calendar.
  EXPECT_EQ(ClientErrorOf([&] { Write("TS", [](TFIBXSQLVAR* p) { p->SetAsDateTime(3e6); }); }), kConversion);
}

TEST_F(FIBXSQLVARServer, TextInTheAttachmentCharacterSet) {
  const String cyr = "Жёлтый дом";  // 10 characters, 19 bytes of UTF-8
  for (const char* column : {"VU", "VW"}) {
    const Integer id = Write(column, [&](TFIBXSQLVAR* v) { v->SetAsString(cyr); });
    TFIBXSQLVAR* v = Read(column, id);
    EXPECT_EQ(v->AsString(), cyr) << column;
    EXPECT_EQ(v->AsWideString(), Utf8ToWide(cyr));
    EXPECT_EQ(v->AsVariant().VarType(), varOleStr);  // UTF8 attachment: a Unicode character set
    // Stored as characters of the column's set, not as raw bytes.
    EXPECT_EQ(ServerText(String("char_length(") + column + ")", id), "10");
    EXPECT_EQ(ServerText(String("octet_length(") + column + ")", id), String(column) == "VW" ? "10" : "19");
  }
  TFIBXSQLVAR* w = RoundTrip("VW", [](TFIBXSQLVAR* v) { v->SetAsWideString(u"Щука"); });
  EXPECT_EQ(w->AsString(), "Щука");
  // Characters of four UTF-8 bytes survive: the text is marked UTF8.
  const String emoji = "a\xF0\x9F\x98\x80z";
  const Integer id = Write("VU", [&](TFIBXSQLVAR* v) { v->SetAsString(emoji); });
  EXPECT_EQ(Read("VU", id)->AsString(), emoji);
  EXPECT_EQ(ServerText("octet_length(VU)", id), "6");

  TFIBXSQLVAR* c = RoundTrip("C10", [](TFIBXSQLVAR* v) { v->SetAsString("42"); });
  EXPECT_EQ(TrimRight(c->AsString()), "42");
  EXPECT_EQ(c->AsString().substr(0, 3), "42 ");  // CHAR keeps its padding
  EXPECT_EQ(c->AsInteger(), 42);
  reader_->SetOptions({qoTrimCharFields});
  EXPECT_EQ(c->AsString(), "42");
  reader_->SetOptions({});

  // Numbers and dates read from text in the user's format.
  const TDateTime stamp = EncodeDate(2021, 7, 15) + EncodeTime(13, 45, 0, 0);
  TFIBXSQLVAR* t = RoundTrip("VU", [&](TFIBXSQLVAR* v) { v->SetAsString(DateTimeToStr(stamp)); });
  EXPECT_DOUBLE_EQ(t->AsDateTime(), stamp);
  EXPECT_EQ(t->AsTimeStamp().Time, 13 * 3600000 + 45 * 60000);

  // An empty text: NULL for a number, an empty string for a text.
  EXPECT_TRUE(RoundTrip("I", [](TFIBXSQLVAR* v) { v->SetAsString(""); })->IsNull());
  TFIBXSQLVAR* e = RoundTrip("VU", [](TFIBXSQLVAR* v) { v->SetAsString(""); });
  EXPECT_FALSE(e->IsNull());
  EXPECT_EQ(e->AsString(), "");
  // Text that is no number.
  EXPECT_THROW(Write("I", [](TFIBXSQLVAR* v) { v->SetAsString("abc"); }), EFIBInterBaseError);
  EXPECT_EQ(ClientErrorOf([&] { RoundTrip("VU", [](TFIBXSQLVAR* v) { v->SetAsString("1x"); })->AsDouble(); }),
            kConversion);
}

TEST_F(FIBXSQLVARServer, BooleansAndGuids) {
  for (bool value : {true, false}) {
    TFIBXSQLVAR* b = RoundTrip("BO", [&](TFIBXSQLVAR* v) { v->SetAsBoolean(value); });
    EXPECT_EQ(b->SQLType(), SQL_BOOLEAN);
    EXPECT_EQ(b->AsBoolean(), value);
    EXPECT_EQ(b->AsInteger(), value ? 1 : 0);
    EXPECT_EQ(b->AsDouble(), value ? 1.0 : 0.0);
    EXPECT_EQ(b->AsString(), value ? "True" : "False");
    EXPECT_EQ(b->AsVariant().VarType(), varBoolean);
    EXPECT_EQ(b->AsVariant().AsBoolean(), value);
    EXPECT_EQ(RoundTrip("BO", [&](TFIBXSQLVAR* v) { v->SetAsVariant(Variant(value)); })->AsBoolean(), value);
  }
  TGUID g;
  CreateGUID(g);
  TFIBXSQLVAR* guid = RoundTrip("G", [&](TFIBXSQLVAR* v) { v->SetAsGuid(g); });
  EXPECT_EQ(guid->AsGuid(), g);
  EXPECT_EQ(Read("I", next_id_)->AsGuid(), TGUID());  // NULL
}

// A NULL reaches the server as NULL however it is given: before or after the
// statement's first prepare, through a text the values are written into, for
// every kind of column.
TEST_F(FIBXSQLVARServer, NullsStayNullOnEveryPath) {
  const std::pair<const char*, std::function<void(TFIBXSQLVAR*)>> hows[] = {
      {"Clear", [](TFIBXSQLVAR* v) { v->Clear(); }},
      {"SetIsNull", [](TFIBXSQLVAR* v) { v->SetIsNull(true); }},
      {"Null Variant", [](TFIBXSQLVAR* v) { v->SetAsVariant(Null()); }},
      {"unassigned Variant", [](TFIBXSQLVAR* v) { v->SetAsVariant(Variant()); }},
      {"SetParamValue by name", [](TFIBXSQLVAR* v) { v->Statement()->SetParamValue("V", Null()); }},
      {"SetParamValue by index", [](TFIBXSQLVAR* v) { v->Statement()->SetParamValue(v->Index(), Variant()); }},
  };
  for (const char* column :
       {"S", "I", "B", "N2", "D9", "F", "DB", "DT", "TM", "TS", "C10", "VU", "VW", "BO", "G", "BL"}) {
    for (const auto& row : hows) {
      const auto& how = row.first;
      const auto& set = row.second;
      for (int path = 0; path < 4; ++path) {
        prepare_first_ = (path & 1) != 0;
        literal_id_ = (path & 2) != 0;
        SCOPED_TRACE(String(column) + ", " + how + (prepare_first_ ? ", prepared" : "") +
                     (literal_id_ ? ", literal" : ""));
        const Integer id = Write(column, [&](TFIBXSQLVAR* v) {
          v->SetAsString("1");  // a value first, then NULL over it
          set(v);
        });
        EXPECT_EQ(TrimRight(ServerText(String("iif(") + column + " is null, 'null', 'value')", id)), "null");
        TFIBXSQLVAR* v = Read(column, id);
        EXPECT_TRUE(v->IsNull());
        EXPECT_EQ(v->AsInteger(), 0);
        EXPECT_EQ(v->AsString(), "");
        EXPECT_EQ(v->AsDateTime(), 0);
        EXPECT_FALSE(v->AsBoolean());
        EXPECT_TRUE(VarIsNull(v->AsVariant()));
        EXPECT_EQ(v->AsGuid(), TGUID());
      }
    }
  }
  prepare_first_ = literal_id_ = false;
}

// Numbers given for a DATE or TIMESTAMP parameter are dates, whether the
// text is sent as parsed or with values written in.
TEST_F(FIBXSQLVARServer, NumbersForDateParametersOnEveryPath) {
  const Variant numbers[] = {Variant(Int64{45000}), Variant(int32_t{45000}), Variant(45000.0)};
  for (const char* column : {"DT", "TS"}) {
    for (const Variant& number : numbers) {
      for (int path = 0; path < 4; ++path) {
        prepare_first_ = (path & 1) != 0;
        literal_id_ = (path & 2) != 0;
        SCOPED_TRACE(String(column) + " " + IntToStr(number.VarType()) + (prepare_first_ ? ", prepared" : "") +
                     (literal_id_ ? ", literal" : ""));
        Integer id = 0;
        ASSERT_NO_THROW(id = Write(column, [&](TFIBXSQLVAR* v) { v->Statement()->SetParamValue("V", number); }));
        EXPECT_EQ(Read(column, id)->AsDateTime(), 45000.0);
      }
    }
  }
  prepare_first_ = literal_id_ = false;
}

TEST_F(FIBXSQLVARServer, OutputColumnsReadNullUntilARowIsFetched) {
  const Integer id = Write("I", [](TFIBXSQLVAR* v) { v->SetAsInteger(5); });
  reader_->SetGoToFirstRecordOnExecute(false);
  reader_->SQL()->SetText("select I, ID from T where ID = :ID");
  reader_->ParamByName("ID")->SetAsInteger(id);
  reader_->ExecQuery();  // clears the columns, nullable flags kept
  TFIBXSQLVAR *v = reader_->Fields(0), *key = reader_->Fields(1);
  EXPECT_TRUE(v->IsNull());
  EXPECT_TRUE(key->IsNull());
  EXPECT_TRUE(v->IsNullable());
  EXPECT_FALSE(key->IsNullable());  // a NOT NULL column
  EXPECT_EQ(key->AsXSQLVAR()->sqlind, nullptr);
  ASSERT_NE(reader_->FetchNext(), nullptr);
  EXPECT_EQ(v->AsInteger(), 5);
  EXPECT_EQ(key->AsInteger(), id);
  EXPECT_EQ(key->SqlName(), "ID");
  EXPECT_EQ(key->RelationName(), "T");
  EXPECT_EQ(reader_->ServerParams()->Vars(0)->SqlName(), "");
  EXPECT_EQ(reader_->FetchNext(), nullptr);
}

TEST_F(FIBXSQLVARServer, ParametersOfOneNameAndNullOnlyParameters) {
  writer_->SQL()->SetText("insert into T (ID, I, B) values (:ID, :P, :P)");
  writer_->ParamByName("ID")->SetAsInteger(2000);
  writer_->ParamByName("P")->SetAsInteger(77);
  writer_->ExecQuery();
  EXPECT_EQ(ServerText("I || '/' || B", 2000), "77/77");

  // ":P is null" is described as a parameter that carries only its indicator.
  reader_->Close();
  reader_->SQL()->SetText("select count(*) from T where ID >= 2000 and (:P is null or I = :P)");
  reader_->ParamByName("P")->SetAsInteger(77);
  reader_->ExecQuery();
  EXPECT_EQ(reader_->ServerParams()->Vars(0)->SQLType(), SQL_NULL);
  EXPECT_EQ(reader_->Fields(0)->AsInteger(), 1);
  reader_->ParamByName("P")->SetAsInteger(78);
  reader_->ExecQuery();
  EXPECT_EQ(reader_->Fields(0)->AsInteger(), 0);
  reader_->ParamByName("P")->Clear();
  reader_->ExecQuery();
  EXPECT_EQ(reader_->Fields(0)->AsInteger(), 1);
}

TEST_F(FIBXSQLVARServer, ByNameFindsQuotedMixedCaseNamesExactlyFirst) {
  reader_->SQL()->SetText("select 1 as \"Name\", 2 as NAME, 3 as \"name x\", 4, 5 from rdb$database");
  reader_->Prepare();
  TFIBXSQLDA* f = reader_->Fields();
  EXPECT_EQ(f->Vars(1)->Name(), "NAME1");  // names differing in case only are taken
  EXPECT_EQ(f->Vars(3)->Name(), "CONSTANT");
  EXPECT_EQ(f->Vars(4)->Name(), "CONSTANT1");
  EXPECT_EQ(f->ByName("\"Name\""), f->Vars(0));
  EXPECT_EQ(f->ByName("Name"), f->Vars(0));
  EXPECT_EQ(f->ByName("NAME1"), f->Vars(1));
  EXPECT_EQ(f->ByName("\"name x\""), f->Vars(2));
  EXPECT_EQ(f->ByName("NAME X"), f->Vars(2));
  EXPECT_EQ(f->ByName("nothing"), nullptr);
}

TEST_F(FIBXSQLVARServer, AssignValuesCopiesByName) {
  const Integer id = Write("N18", [](TFIBXSQLVAR* v) { v->SetAsString("92233720368547758.07"); });
  fbtest::ExecSQL(tr_,
                  "update T set VU = 'текст', TS = '2020-01-02 03:04:05.0067', I = null where ID = " + IntToStr(id));
  reader_->SQL()->SetText("select N18, VU, TS, I, ID + 5000 as ID from T where ID = " + IntToStr(id));
  reader_->ExecQuery();
  ASSERT_FALSE(reader_->Eof());
  writer_->SQL()->SetText("insert into T (ID, N18, VU, TS, I) values (:ID, :N18, :VU, :TS, :I)");
  writer_->ParamByName("I")->SetAsInteger(9);
  writer_->Params()->AssignValues(reader_->Fields());
  EXPECT_TRUE(writer_->ParamByName("I")->IsNull());
  writer_->ExecQuery();
  const String cols = "N18 || '|' || VU || '|' || TS || '|' || coalesce(I, 'null')";
  EXPECT_EQ(ServerText(cols, id + 5000), ServerText("N18 || '|' || VU || '|' || TS || '|null'", id));
  EXPECT_EQ(ServerText("N18", id + 5000), "92233720368547758.07");  // copied exactly, not through a double
}

TEST_F(FIBXSQLVARServer, ValuesAssignedBeforeTheTypesAreKnownFollowThem) {
  writer_->SQL()->SetText("insert into T (ID, VW, TS) values (:ID, :VW, :TS)");
  TFIBXSQLDA* p = writer_->Params();
  p->Vars(0)->SetAsInteger(3000);
  p->Vars(1)->SetAsString("Ёлка");
  p->Vars(2)->SetAsVariant(Variant(45000.5));
  EXPECT_TRUE(p->TypesPending());
  EXPECT_TRUE(p->Vars(1)->TypeUnknownAtAssignment());
  EXPECT_EQ(p->Vars(2)->SQLType(), SQL_DOUBLE);
  writer_->ExecQuery();
  EXPECT_FALSE(p->TypesPending());
  EXPECT_EQ(p->Vars(2)->SQLType(), SQL_TIMESTAMP);
  EXPECT_EQ(p->Vars(1)->SQLSubtype(), 4);  // written as UTF-8 and marked so
  EXPECT_EQ(Read("VW", 3000)->AsString(), "Ёлка");
  EXPECT_EQ(ServerText("octet_length(VW)", 3000), "4");
  EXPECT_DOUBLE_EQ(Read("TS", 3000)->AsDateTime(), 45000.5);
}
