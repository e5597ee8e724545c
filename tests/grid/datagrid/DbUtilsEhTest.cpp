// Column filter texts: parsing into two conditions, writing them back, and
// the registry of dataset-feature handlers.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "grid/datagrid/DbUtilsEh.h"
#include "platform/db/DB.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/MemDataSet.h"

namespace {

const char* const kOperatorNames[16] = {"Non",  "=",     "<>",     ">",      "<",       ">=",  "<=",  "Like",
                                        "NotLike", "In", "NotIn", "IsNull", "NotNull", "AND", "OR", "Value"};

String Describe(const Variant& V) {
  if (VarIsNull(V)) return "Null";
  if (VarIsArray(V)) {
    String s = "[";
    for (Integer i = VarArrayLowBound(V, 1); i <= VarArrayHighBound(V, 1); ++i)
      s += (i > VarArrayLowBound(V, 1) ? ", " : "") + Describe(VarArrayGet(V, i));
    return s + "]";
  }
  char buf[64];
  switch (VarType(V)) {
    case varString: return "'" + V.AsString() + "'";
    case varDouble: std::snprintf(buf, sizeof buf, "f%.17g", V.AsDouble()); return buf;
    case varDate: return "d" + FormatDateTime("yyyy-mm-dd hh:nn", V.AsDateTime());
    default: return "type " + VarTypeAsText(VarType(V));
  }
}

String Describe(const TSTFilterExpressionEh& E) {
  String s = String(kOperatorNames[E.Operator1]) + " " + Describe(E.Operand1);
  if (E.Relation != foNon)
    s += String(" ") + kOperatorNames[E.Relation] + " " + kOperatorNames[E.Operator2] + " " + Describe(E.Operand2);
  return s;
}

class FilterTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUnits({&unit_DbUtilsEh});
    saved_ = FormatSettings;
    FormatSettings.DecimalSeparator = '.';
    FormatSettings.DateSeparator = '.';
    FormatSettings.ShortDateFormat = "dd.mm.yyyy";
    FormatSettings.TimeSeparator = ':';
    FormatSettings.LongTimeFormat = "hh:nn:ss";
  }
  void TearDown() override { FormatSettings = saved_; }

  static TSTFilterExpressionEh Parse(const String& Text, TSTOperandTypeEh Type, bool* Two = nullptr) {
    TSTFilterExpressionEh e;
    e.OperandType = Type;
    bool two = ParseSTFilterExpression(Text, e);
    if (Two != nullptr) *Two = two;
    return e;
  }

  // "Class: message" of the error the text raises.
  static String ErrorOf(const String& Text, TSTOperandTypeEh Type) {
    try {
      Parse(Text, Type);
    } catch (const Exception& e) {
      return e.ClassName() + ": " + e.Message();
    }
    return "no error";
  }

  TFormatSettings saved_;
};

struct ParseCase {
  const char* text;
  TSTOperandTypeEh type;
  char separator;
  const char* expected;
  bool two;
};

TEST_F(FilterTextTest, ParsesConditionsOperatorsAndOperands) {
  const ParseCase cases[] = {
      {"abc", botString, '.', "Like 'abc'", false},
      {"  abc  ", botString, '.', "Like 'abc'", false},
      {"abc", botNon, '.', "= 'abc'", false},
      {"True", botBoolean, '.', "= 'True'", false},
      {"a b", botString, '.', "Like 'a b'", false},
      {"a,b", botString, '.', "In ['a', 'b']", false},
      {"1,5", botNumber, ',', "= f1.5", false},
      {"1,5", botNumber, '.', "In [f1, f5]", false},
      {"-2.5E3", botNumber, '.', "= f-2500", false},
      {"In (1,2)", botNumber, '.', "In [f1, f2]", false},
      {"in(1,2)", botNumber, ',', "In [f1, f2]", false},
      {"!In (a, b )", botString, '.', "NotIn ['a', ' b ']", false},
      {"Not In (a)", botString, '.', "NotIn 'a'", false},
      {"= Null", botString, '.', "IsNull Null", false},
      {"=null", botNumber, '.', "IsNull Null", false},
      {"<> Null", botString, '.', "NotNull Null", false},
      {"!= NULL", botString, '.', "NotNull Null", false},
      {"Null", botString, '.', "IsNull Null", false},
      {"!Null", botString, '.', "NotNull Null", false},
      {"not null", botDateTime, '.', "NotNull Null", false},
      {"!~ab", botString, '.', "NotLike 'ab'", false},
      {"not like x", botString, '.', "NotLike 'x'", false},
      {"~ %ab%", botString, '.', "Like '%ab%'", false},
      {">1 & <5", botNumber, '.', "> f1 AND < f5", true},
      {"<=5 OR >=10", botNumber, '.', "<= f5 OR >= f10", true},
      {"=5 | =7", botNumber, '.', "= f5 OR = f7", true},
      {">1", botNumber, '.', "> f1", false},
      {">1 &", botNumber, '.', "> f1 AND Non Null", false},
      {">1 (", botNumber, '.', "> f1", false},
      {"New AND Old", botString, '.', "Like 'New' AND Like 'Old'", true},
      {"New and old | x", botString, '.', "Like 'New' AND Like 'old'", true},
      {"=a | =b) zzz", botString, '.', "= 'a' OR = 'b'", true},
      {">= 01.02.2024", botDateTime, '.', ">= d2024-02-01 00:00", false},
      {"01.02.2024 10:30", botDateTime, '.', "= d2024-02-01 10:30", false},
      {"In (01.02.2024,03.04.2024 10:30)", botDateTime, '.', "In [d2024-02-01 00:00, d2024-04-03 10:30]", false},
      {"'O''Brien'", botString, '.', "Like 'O'Brien'", false},
      {"O'Brien", botString, '.', "Like 'O'Brien'", false},
      {"= 'a,b'", botString, '.', "= 'a,b'", false},
      {"'a','b'", botString, '.', "In ['a', 'b']", false},
      {"In ('It''s','x y')", botString, '.', "In ['It's', 'x y']", false},
      {"= ''", botString, '.', "= ''", false},
      {"''''", botString, '.', "Like '''", false},
      {"Иванов", botString, '.', "Like 'Иванов'", false},
      {"Петров, Сидоров", botString, '.', "In ['Петров', ' Сидоров']", false},
      {"'Ёлка' | ~ёж", botString, '.', "Like 'Ёлка' OR Like 'ёж'", true},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    FormatSettings.DecimalSeparator = c.separator;
    bool two = !c.two;
    TSTFilterExpressionEh e = Parse(c.text, c.type, &two);
    EXPECT_EQ(Describe(e), c.expected);
    EXPECT_EQ(two, c.two);
    EXPECT_EQ(e.OperandType, c.type);
  }
}

TEST_F(FilterTextTest, MalformedTextsRaiseWithTheTrimmedText) {
  const struct {
    const char* text;
    TSTOperandTypeEh type;
    const char* error;
  } cases[] = {
      {"'abc", botString, "Exception: Quote is absent: 'abc"},
      {"'O''Brien", botString, "Exception: Quote is absent: 'O''Brien"},
      {"=a | 'b", botString, "Exception: Quote is absent: =a | 'b"},
      {"Rock 'n roll", botString, "Exception: Quote is absent: Rock 'n roll"},
      {"In 1,2", botNumber, "Exception: '(' expected: In 1,2"},
      {"Tom in town", botString, "Exception: '(' expected: Tom in town"},
      {"In (1,2", botNumber, "Exception: ')' expected: In (1,2"},
      {" In (1,2 x", botNumber, "Exception: ')' expected: In (1,2 x"},
      {"(a)", botString, "Exception: Error in expression: (a)"},
      {"!abc", botString, "Exception: Error in expression: !abc"},
      {"!!Null", botString, "Exception: Error in expression: !!Null"},
      {",a", botString, "Exception: Error in expression: ,a"},
      {"> Null", botNumber, "Exception: Unexpected expression before Null: > Null"},
      {"In (Null)", botString, "Exception: Unexpected expression before Null: In (Null)"},
      {"  =  ", botNumber, "Exception: Unexpected expression after operator: ="},
      {"= >", botNumber, "Exception: Unexpected expression after operator: = >"},
      {"In ()", botString, "Exception: Unexpected expression after operator: In ()"},
      {"a) b", botString, "Exception: Incorrect expression: a) b"},
      {"=a | )", botString, "Exception: Incorrect expression: =a | )"},
      {"=1 =2", botNumber, "Exception: Unexpected AND or OR: =1 =2"},
      {"'O'Brien'", botString, "Exception: Unexpected AND or OR: 'O'Brien'"},
      {"& a", botString, "Exception: Unexpected AND or OR: & a"},
      {"=a | OR b", botString, "Exception: Unexpected AND or OR: =a | OR b"},
      {"abc", botNumber, "EConvertError: 'abc' is not a valid floating point value"},
      {"In (1,x)", botNumber, "EConvertError: 'x' is not a valid floating point value"},
      {">xyz", botDateTime, "EConvertError: 'xyz' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ErrorOf(c.text, c.type), c.error);
  }
}

TEST_F(FilterTextTest, AnEmptyTextClearsTheExpressionAndKeepsItsOperandType) {
  TSTFilterExpressionEh e;
  e.OperandType = botNumber;
  ASSERT_TRUE(ParseSTFilterExpression("=1 | =2", e));
  EXPECT_FALSE(ParseSTFilterExpression("   ", e));
  EXPECT_EQ(Describe(e), "Non Null");
  EXPECT_EQ(e.OperandType, botNumber);
  EXPECT_EQ(STFilterExpressionAsText(e), "");
}

struct RoundTrip {
  const char* text;
  TSTOperandTypeEh type;
  char separator;
  const char* written;
};

TEST_F(FilterTextTest, WrittenTextReadsBackAsTheSameExpression) {
  const RoundTrip cases[] = {
      {"abc", botString, '.', "~ 'abc'"},
      {"abc", botBoolean, '.', "= 'abc'"},
      {"a,b", botString, '.', "In ('a','b')"},
      {"O'Brien", botString, '.', "~ 'O''Brien'"},
      {"'It''s' | =x", botString, '.', "~ 'It''s' OR = 'x'"},
      {"!In ('a,b', c)", botString, '.', "!In ('a,b',' c')"},
      {"=Null", botString, '.', "=Null"},
      {"!Null | = ''", botString, '.', "<>Null OR = ''"},
      {">1.5 & <=1e3", botNumber, '.', "> 1.5 AND <= 1000"},
      {"1,5", botNumber, ',', "= 1,5"},
      {"In (1,5)", botNumber, ',', "In (1,5)"},
      {"In ('1,5',2)", botNumber, ',', "In ('1,5',2)"},
      {"!~ 7", botNumber, '.', "!~ 7"},
      {">= 01.02.2024", botDateTime, '.', ">= 01.02.2024"},
      {"In (01.02.2024,03.04.2024 10:30)", botDateTime, '.', "In (01.02.2024,03.04.2024 10:30:00)"},
      {"Иванов | Петров", botString, '.', "~ 'Иванов' OR ~ 'Петров'"},
      {">1 &", botNumber, '.', "> 1 AND"},
      {"<> a,b", botString, '.', "<> 'a','b'"},
      {"> 1,2 | 3", botNumber, '.', "> 1,2 OR = 3"},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.text);
    FormatSettings.DecimalSeparator = c.separator;
    TSTFilterExpressionEh first = Parse(c.text, c.type);
    String written = STFilterExpressionAsText(first);
    EXPECT_EQ(written, c.written);
    TSTFilterExpressionEh second = Parse(written, c.type);
    EXPECT_EQ(Describe(second), Describe(first));
    EXPECT_EQ(STFilterExpressionAsText(second), written);
  }
}

TEST_F(FilterTextTest, ExpressionsMadeByCodeAreWrittenWithQuotedValues) {
  TSTFilterExpressionEh e;
  e.OperandType = botString;
  e.Operator1 = foIn;
  e.Operand1 = "Smith";  // one value stands for a list of one
  e.Relation = foOR;
  e.Operator2 = foGreaterThan;
  e.Operand2 = Variant(Int64{42});
  EXPECT_EQ(STFilterExpressionAsText(e), "In ('Smith') OR > '42'");
  e.Operand2 = VarFromDateTime(EncodeDate(2024, 2, 1));
  FormatSettings.ShortDateFormat = "d, mmm yyyy";  // a comma in the date text
  e.Operand1 = VarArrayOf({VarFromDateTime(EncodeDate(2024, 2, 1)), 2.5});
  FormatSettings.DecimalSeparator = ',';
  EXPECT_EQ(STFilterExpressionAsText(e), "In ('1, Feb 2024','2,5') OR > '1, Feb 2024'");
  e.OperandType = botNumber;  // a comma does not split a number's text here
  e.Operand2 = 7.5;
  EXPECT_EQ(STFilterExpressionAsText(e), "In ('1, Feb 2024','2,5') OR > 7,5");
}

// ---------------------------------------------------------------------------
// Dataset features

class TBaseTestDataSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;
};
class TDerivedTestDataSet : public TBaseTestDataSet {
 public:
  using TBaseTestDataSet::TBaseTestDataSet;
};

int g_handlers_freed = 0;

class TTestFeatures : public TDatasetFeaturesEh {
 public:
  ~TTestFeatures() override { ++g_handlers_freed; }
  void ApplySorting(TCustomDBGridEh*, TDataSet*, bool) override {}
  void ApplyFilter(TCustomDBGridEh*, TDataSet*, bool) override {}
};

class DatasetFeaturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUnits({&unit_DB, &unit_DbUtilsEh});
    RegisterClass<TMemDataSet, TDataSet>("TMemDataSet");
    RegisterClass<TBaseTestDataSet, TMemDataSet>("TBaseTestDataSet");
    RegisterClass<TDerivedTestDataSet, TBaseTestDataSet>("TDerivedTestDataSet");
    g_handlers_freed = 0;
  }
  void TearDown() override {
    for (const char* name : {"TDataSet", "TMemDataSet", "TBaseTestDataSet", "TDerivedTestDataSet"})
      UnregisterDatasetFeaturesEh(FindClassInfo(name));
  }
};

TEST_F(DatasetFeaturesTest, TheNearestRegisteredAncestorServesADataSet) {
  const TClassInfo* derived = ClassInfoOf<TDerivedTestDataSet>();
  EXPECT_EQ(GetClassDistance(derived, "TDerivedTestDataSet"), 0);
  EXPECT_EQ(GetClassDistance(derived, "tmemdataset"), 2);
  EXPECT_EQ(GetClassDistance(derived, "TComponent"), 4);
  EXPECT_EQ(GetClassDistance(derived, "TButton"), INT_MAX);
  EXPECT_EQ(GetDatasetFeaturesForClass(derived), nullptr);

  auto* forAll = new TTestFeatures;
  auto* forBase = new TTestFeatures;
  RegisterDatasetFeaturesEh(forAll, ClassInfoOf<TDataSet>());
  RegisterDatasetFeaturesEh(forBase, ClassInfoOf<TBaseTestDataSet>());
  EXPECT_EQ(forBase->DataSetClass(), ClassInfoOf<TBaseTestDataSet>());

  TDerivedTestDataSet derivedDs(nullptr);
  TBaseTestDataSet baseDs(nullptr);
  TMemDataSet plainDs(nullptr);
  EXPECT_EQ(GetDatasetFeaturesForDataSet(&derivedDs), forBase);
  EXPECT_EQ(GetDatasetFeaturesForDataSet(&baseDs), forBase);
  EXPECT_EQ(GetDatasetFeaturesForDataSet(&plainDs), forAll);
  EXPECT_EQ(GetDatasetFeaturesForDataSet(nullptr), nullptr);
  EXPECT_EQ(GetDatasetFeaturesForClass(ClassInfoOf<TComponent>()), nullptr);

  // A second handler for a class replaces (and frees) the first.
  auto* again = new TTestFeatures;
  RegisterDatasetFeaturesEh(again, ClassInfoOf<TBaseTestDataSet>());
  EXPECT_EQ(g_handlers_freed, 1);
  EXPECT_EQ(GetDatasetFeaturesForDataSet(&derivedDs), again);
  UnregisterDatasetFeaturesEh(ClassInfoOf<TBaseTestDataSet>());
  EXPECT_EQ(g_handlers_freed, 2);
  EXPECT_EQ(GetDatasetFeaturesForDataSet(&derivedDs), forAll);
}

TEST_F(DatasetFeaturesTest, FinalizationFreesEveryHandler) {
  RegisterDatasetFeaturesEh(new TTestFeatures, ClassInfoOf<TDataSet>());
  RegisterDatasetFeaturesEh(new TTestFeatures, ClassInfoOf<TMemDataSet>());
  FinalizeUnits();
  EXPECT_EQ(g_handlers_freed, 2);
  TClassInfo standIn("TDataSet", nullptr, typeid(TDataSet));
  EXPECT_EQ(GetDatasetFeaturesForClass(&standIn), nullptr);
  EXPECT_THROW(RegisterDatasetFeaturesEh(new TTestFeatures, &standIn), EInvalidOperation);
  EXPECT_EQ(g_handlers_freed, 3) << "a handler that cannot be registered is freed";

  SetUp();  // a new start has an empty registry
  EXPECT_EQ(GetDatasetFeaturesForClass(ClassInfoOf<TMemDataSet>()), nullptr);
}

}  // namespace
