// The filter-expression parser: texts to canonical buffers, and its errors.
#include <cstring>

#include "platform/db/DBCommon.h"
#include "tests/platform/db/DbFixture.h"

namespace {

// Renders a canonical buffer as a tree, reading it as an evaluator does:
// BIN(EQ, F3:ID, C3:5), CMP(EQ ci=1 partial=2, ...), UN(ISBLANK, ...),
// IN(..., [..]), FN:UPPER(...).
class Dumper {
 public:
  explicit Dumper(const TExprData& d) : d_(d) { lit_ = W(8); }

  String Node(int off) {
    int n = CANEXPRSIZE + off;
    int cls = I(n), op = I(n + 4);
    auto opw = [&](int i) { return W(n + 8 + 2 * i); };
    switch (cls) {
      case nodeUNARY:
        return "UN(" + Op(op) + ", " + Node(opw(0)) + ")";
      case nodeBINARY:
        if (op == coIN) return "IN(" + Node(opw(0)) + ", " + List(opw(1)) + ")";
        return "BIN(" + Op(op) + ", " + Node(opw(0)) + ", " + Node(opw(1)) + ")";
      case nodeCOMPARE:
        return "CMP(" + Op(op) + " ci=" + IntToStr(opw(0)) + " partial=" + IntToStr(opw(1)) + ", " + Node(opw(2)) +
               ", " + Node(opw(3)) + ")";
      case nodeFIELD:
        EXPECT_EQ(op, coFIELD2);
        return "F" + IntToStr(opw(0)) + ":" + Text(lit_ + opw(1));
      case nodeCONST:
        EXPECT_EQ(op, coCONST2);
        return "C" + IntToStr(opw(0)) + ":" + Const(opw(0), lit_ + opw(2), opw(1));
      case nodeFUNC:
        EXPECT_EQ(op, coFUNC2);
        return "FN:" + Text(lit_ + opw(0)) + (opw(1) ? List(opw(1)) : String("[]"));
      default:
        return "?" + IntToStr(cls);
    }
  }

 private:
  String List(int off) {
    String s = "[";
    for (bool first = true; off != 0; first = false) {
      int n = CANEXPRSIZE + off;
      EXPECT_EQ(I(n), nodeLISTELEM);
      EXPECT_EQ(I(n + 4), coLISTELEM2);
      s += (first ? "" : ", ") + Node(W(n + 8));
      off = W(n + 10);
    }
    return s + "]";
  }
  static String Op(int op) {
    switch (op) {
      case coISBLANK: return "ISBLANK";
      case coNOTBLANK: return "NOTBLANK";
      case coEQ: return "EQ";
      case coNE: return "NE";
      case coGT: return "GT";
      case coLT: return "LT";
      case coGE: return "GE";
      case coLE: return "LE";
      case coNOT: return "NOT";
      case coAND: return "AND";
      case coOR: return "OR";
      case coADD: return "ADD";
      case coSUB: return "SUB";
      case coMUL: return "MUL";
      case coDIV: return "DIV";
      case coLIKE: return "LIKE";
      case coASSIGN: return "ASSIGN";
      default: return "op" + IntToStr(op);
    }
  }
  String Const(int type, int at, int size) {
    switch (type) {
      case ftString:
      case ftFixedChar:
        EXPECT_EQ(size, static_cast<int>(Text(at).size()) + 1);
        return "'" + Text(at) + "'";
      case ftSmallint:
        EXPECT_EQ(size, 2);
        return IntToStr(static_cast<int16_t>(W(at)));
      case ftInteger:
      case ftAutoInc:
        EXPECT_EQ(size, 4);
        return IntToStr(I(at));
      case ftBoolean:
        EXPECT_EQ(size, 2);
        return W(at) != 0 ? "true" : "false";
      case ftFloat: {
        EXPECT_EQ(size, 8);
        double v;
        std::memcpy(&v, &d_[static_cast<size_t>(at)], 8);
        return FloatToStr(v, Dot());
      }
      case ftBCD: {
        EXPECT_EQ(size, 18);
        const TBcd b = ExprConstBcd(d_, static_cast<size_t>(at));
        return "bcd " + IntToStr(b.Precision) + "/" + IntToStr(BcdScale(b)) + " " + IntToStr(b.Fraction[0]) + "," +
               IntToStr(b.Fraction[1]);
      }
      case ftDate:
        return "day " + IntToStr(I(at));
      case ftTime:
        return "ms " + IntToStr(I(at));
      case ftDateTime: {
        double v;
        std::memcpy(&v, &d_[static_cast<size_t>(at)], 8);
        return "msecs " + FloatToStr(v, Dot());
      }
      case ftLargeint: {
        int64_t v;
        std::memcpy(&v, &d_[static_cast<size_t>(at)], 8);
        return IntToStr(v);
      }
      default:
        return "type?";
    }
  }
  static TFormatSettings Dot() {
    TFormatSettings s;
    s.DecimalSeparator = '.';
    return s;
  }
  String Text(int at) const { return String(reinterpret_cast<const char*>(&d_.at(static_cast<size_t>(at)))); }
  int W(int at) const { return d_.at(static_cast<size_t>(at)) | (d_.at(static_cast<size_t>(at) + 1) << 8); }
  int32_t I(int at) const {
    int32_t v;
    std::memcpy(&v, &d_.at(static_cast<size_t>(at) + 3) - 3, 4);
    return v;
  }

  const TExprData& d_;
  int lit_;
};

class ExprParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings;
    FormatSettings.DecimalSeparator = '.';
    FormatSettings.DateSeparator = '-';
    FormatSettings.ShortDateFormat = "yyyy-mm-dd";
    ds_.SetName("Mem");
    auto* defs = ds_.FieldDefs();
    defs->Add("ID", ftInteger);
    defs->Add("NAME", ftString, 20);
    defs->Add("ACTIVE", ftBoolean);
    defs->Add("BORN", ftDate);
    defs->Add("SMALL", ftSmallint);
    defs->Add("PRICE", ftBCD, 2);
    defs->Add("AUTO", ftAutoInc);
    defs->Add("CODE", ftFixedChar, 4);
    defs->Add("BIG", ftLargeint);
    defs->Add("Full Name", ftString, 20);
    defs->Add("\xD0\x98\xD0\x9C\xD0\xAF", ftString, 20);  // ИМЯ
    defs->Add("NOTE", ftMemo);
    for (int i = 0; i < defs->Count(); ++i) defs->Items(i)->CreateField(&ds_);
    auto* calc = new TIntegerField(&ds_);
    calc->SetFieldName("CALC");
    calc->SetCalculated(true);
    calc->SetDataSet(&ds_);
  }
  void TearDown() override { FormatSettings = saved_; }

  String Parse(const String& text, TFilterOptions options = {}, TParserOptions parser = {poExtSyntax}) {
    TExprParser p(&ds_, text, options, parser, String(), nullptr, map_);
    return Dumper(p.FilterData()).Node(0);
  }

  TMemDataSet ds_{nullptr};
  TFieldMap map_ = IdentityFieldMap();
  TFormatSettings saved_;
};

TEST_F(ExprParserTest, ExactBufferOfAComparison) {
  TExprParser p(&ds_, "ID = 5", {}, {}, String(), nullptr, map_);
  const TExprData expected = {
      2, 0, 55, 0, 0xFF, 0xFF, 10, 0, 48, 0,                  // header
      2, 0, 0, 0, 3, 0, 0, 0, 12, 0, 24, 0,                   // 0: binary EQ (12, 24)
      4, 0, 0, 0, 13, 0, 0, 0, 3, 0, 0, 0,                    // 12: field, type 3, name at 0
      5, 0, 0, 0, 14, 0, 0, 0, 3, 0, 4, 0, 3, 0,              // 24: constant, type 3, 4 bytes at 3
      'I', 'D', 0, 5, 0, 0, 0,                                // literal pool
  };
  EXPECT_EQ(p.FilterData(), expected);
  EXPECT_EQ(p.DataSize(), 55);
}

TEST_F(ExprParserTest, TextsToNodeLayouts) {
  struct Case {
    const char* text;
    TFilterOptions options;
    const char* tree;
  };
  const Case cases[] = {
      {"ID = 5", {}, "BIN(EQ, F3:ID, C3:5)"},
      {"5 = id", {}, "BIN(EQ, F3:id, C3:5)"},
      {"5 < ID", {}, "BIN(GT, F3:ID, C3:5)"},
      {"ID >= -2", {}, "BIN(GE, F3:ID, C3:-2)"},
      {"ID <> 1 AND NAME <= 'x' OR ID > 9", {},
       "BIN(OR, BIN(AND, BIN(NE, F3:ID, C3:1), BIN(LE, F1:NAME, C1:'x')), BIN(GT, F3:ID, C3:9))"},
      {"NOT (ID = 1)", {}, "UN(NOT, BIN(EQ, F3:ID, C3:1))"},
      {"NAME = 'it''s'", {}, "BIN(EQ, F1:NAME, C1:'it's')"},
      {"NAME = 'ab*'", {}, "CMP(EQ ci=0 partial=2, F1:NAME, C1:'ab')"},
      {"NAME <> 'ab*'", {foNoPartialCompare}, "BIN(NE, F1:NAME, C1:'ab*')"},
      {"NAME = 'Ab'", {foCaseInsensitive}, "CMP(EQ ci=1 partial=0, F1:NAME, C1:'Ab')"},
      {"NAME = '\xD0\xB6\xD0\xB6*'", {}, "CMP(EQ ci=0 partial=2, F1:NAME, C1:'\xD0\xB6\xD0\xB6')"},
      {"NAME = '*'", {}, "BIN(EQ, F1:NAME, C1:'*')"},
      {"NAME LIKE 'a%'", {}, "BIN(LIKE, F1:NAME, C1:'a%')"},
      {"NAME LIKE 'a%'", {foCaseInsensitive}, "CMP(LIKE ci=1 partial=0, F1:NAME, C1:'a%')"},
      {"ID IS NULL", {}, "UN(ISBLANK, F3:ID)"},
      {"ID is not null", {}, "UN(NOTBLANK, F3:ID)"},
      {"ID = NULL", {}, "UN(ISBLANK, F3:ID)"},
      {"NULL <> ID", {}, "UN(NOTBLANK, F3:ID)"},
      {"ID IN (1, 2.5)", {}, "IN(F3:ID, [C6:1, C6:2.5])"},
      {"ACTIVE", {}, "BIN(NE, F5:ACTIVE, C5:false)"},
      {"NOT ACTIVE OR ID = 1", {}, "BIN(OR, UN(NOT, BIN(NE, F5:ACTIVE, C5:false)), BIN(EQ, F3:ID, C3:1))"},
      {"ACTIVE = TRUE", {}, "BIN(EQ, F5:ACTIVE, C5:true)"},
      {"ACTIVE = 'False'", {}, "BIN(EQ, F5:ACTIVE, C5:false)"},
      {"[Full Name] = 'x'", {}, "BIN(EQ, F1:Full Name, C1:'x')"},
      {"\xD0\x98\xD0\x9C\xD0\xAF = 'a'", {}, "BIN(EQ, F1:\xD0\x98\xD0\x9C\xD0\xAF, C1:'a')"},
      {"ID = /* note */ 3", {}, "BIN(EQ, F3:ID, C3:3)"},
      {"UPPER(NAME) = 'X'", {}, "BIN(EQ, FN:UPPER[F1:NAME], C1:'X')"},
      {"SUBSTRING(NAME, 2, 3) = 'x'", {}, "BIN(EQ, FN:SUBSTRING[F1:NAME, C6:2, C6:3], C1:'x')"},
      {"BORN < GETDATE()", {}, "BIN(LT, F9:BORN, FN:GETDATE[])"},
      {"ID + 1 > 2 * ID", {}, "BIN(GT, BIN(ADD, F3:ID, C6:1), BIN(MUL, C6:2, F3:ID))"},
      {"ID - 1 = 0", {}, "BIN(EQ, BIN(SUB, F3:ID, C6:1), C6:0)"},
      {"BORN = '2024-02-29'", {}, "BIN(EQ, F9:BORN, C9:day 738945)"},
      {"BORN IN ('0001-01-01')", {}, "IN(F9:BORN, [C9:day 1])"},
      {"SMALL = 7", {}, "BIN(EQ, F2:SMALL, C2:7)"},
      {"PRICE = 1.5", {}, "BIN(EQ, F8:PRICE, C8:bcd 3/2 21,0)"},
      {"AUTO = 4", {}, "BIN(EQ, F14:AUTO, C14:4)"},
      {"BIG = 9000000000", {}, "BIN(EQ, F25:BIG, C25:9000000000)"},
      {"CODE = 'ab'", {}, "BIN(EQ, F23:CODE, C1:'ab')"},
      {"NOTE LIKE '%x%'", {}, "BIN(LIKE, F16:NOTE, C1:'%x%')"},
      {"NOTE IS NULL", {}, "UN(ISBLANK, F16:NOTE)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Parse(c.text, c.options), c.tree);
  }
}

TEST_F(ExprParserTest, FieldMapRewritesTypeCodes) {
  TFieldMap map = IdentityFieldMap();
  map[ftAutoInc] = ftInteger;
  map[ftFixedChar] = ftString;
  map[ftString] = ftFixedChar;
  map_ = map;
  EXPECT_EQ(Parse("AUTO = 1"), "BIN(EQ, F3:AUTO, C3:1)");
  EXPECT_EQ(Parse("CODE = 'a'"), "BIN(EQ, F1:CODE, C23:'a')");
}

TEST_F(ExprParserTest, LongTextsAndNamesAreKeptWhole) {
  String text(300, 'x');
  EXPECT_EQ(Parse("NAME = '" + text + "'"), "BIN(EQ, F1:NAME, C1:'" + text + "')");
  String name(300, 'N');
  auto* f = new TIntegerField(&ds_);
  f->SetFieldName(name);
  f->SetDataSet(&ds_);
  EXPECT_EQ(Parse("[" + name + "] = 1"), "BIN(EQ, F3:" + name + ", C3:1)");
}

TEST_F(ExprParserTest, InvalidTextsRaiseTheirErrors) {
  struct Case {
    const char* text;
    TParserOptions parser;
    const char* message;
  };
  const TParserOptions ext{poExtSyntax};
  const Case cases[] = {
      {"  ", ext, "Expression expected but nothing found"},
      {"ID =", ext, "Expression expected but nothing found"},
      {"ID = )", ext, "Expression expected but ')' found"},
      {"ID = 1)", ext, "Filter expression incorrectly terminated"},
      {"ID = 1 0", ext, "Filter expression incorrectly terminated"},
      {"(ID = 1", ext, "')' expected but nothing found"},
      {"ID IN 1", ext, "'(' expected but '1' found"},
      {"ID IN ()", ext, "IN predicate list may not be empty"},
      {"ID IN (1 2)", ext, "')' or ',' expected but '2' found"},
      {"ID IN (1, 2", ext, "')' or ',' expected but nothing found"},
      {"NAME = 'abc", ext, "Unterminated string constant"},
      {"[NAME = 1", ext, "Unterminated field name"},
      {"ID # 1", ext, "Invalid filter expression character: '#'"},
      {"ID = /* open", ext, "Invalid filter expression character: ''"},
      {"ID IS 1", ext, "Invalid use of keyword"},
      {"ID IS NOT 1", ext, "Invalid use of keyword"},
      {"CALC = 1", ext, "Field 'CALC' cannot be used in a filter expression"},
      {"NOPE = 1", ext, "Mem: Field 'NOPE' not found"},
      {"ID", ext, "Incorrectly formed filter expression"},
      {"ID + 1", ext, "Incorrectly formed filter expression"},
      {"ID + 1 = 2", {}, "Arithmetic in filter expressions not supported"},
      {"ID LIKE NULL", ext, "NULL only allowed with '=' and '<>'"},
      {"SUM(ID) > 1", ext, "Aggregate expressions not allowed in filters"},
      {"ID = 1", {poAggregate}, "Expression is not an aggregate expression"},
      {"NAME + 1 = 2", ext, "Type mismatch in expression"},
      {"UPPER() = 'a'", ext, "Type mismatch in expression"},
      {"NOTE = 'a'", ext, "Type mismatch in expression"},
      {"SMALL = 70000", ext, "Constant out of range"},
      {"ID = TRUE + 1", ext, "Type mismatch in expression"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      TExprParser p(&ds_, c.text, {}, c.parser, String(), nullptr, map_);
      ADD_FAILURE() << "parsed";
    } catch (EDatabaseError& e) {
      EXPECT_EQ(String(e.what()), c.message);
    }
  }
  // Constants that do not convert to the field's type.
  EXPECT_THROW(Parse("ID = 'x'"), EConvertError);
  EXPECT_THROW(Parse("BORN = 'soon'"), EConvertError);
}

TEST_F(ExprParserTest, BcdConstantsAreReadFromTheirEighteenBytes) {
  TExprParser p(&ds_, "PRICE = 12.5", {}, {poExtSyntax}, String(), nullptr, map_);
  const TExprData& data = p.FilterData();
  // The constant's data is the last thing in the literal pool.
  const size_t at = data.size() - CANBCDCONSTSIZE;
  Currency c;
  ASSERT_TRUE(BCDToCurr(ExprConstBcd(data, at), c));
  EXPECT_EQ(c, Currency::FromDouble(12.5));
  EXPECT_THROW(ExprConstBcd(data, at + 1), EDatabaseError);
  EXPECT_THROW(ExprConstBcd(data, data.size() + 5), EDatabaseError);
}

TEST_F(ExprParserTest, OversizedExpressionsAreRefused) {
  String deep = String(600, '(') + "ID = 1" + String(600, ')');
  EXPECT_THROW(Parse(deep), EDatabaseError);
  String chain = "ID = 0";
  for (int i = 1; i < 600; ++i) chain += " OR ID = " + IntToStr(i);
  try {
    Parse(chain);
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Filter expression too complex");
  }
  EXPECT_THROW(Parse("NAME = '" + String(70000, 'y') + "'"), EDatabaseError);
  // Just inside the limits.
  EXPECT_NO_THROW(Parse(String(100, '(') + "ID = 1" + String(100, ')')));
}

TEST_F(ExprParserTest, ParserOptionsForDefaultsAndDependencies) {
  ds_.Open();  // field numbers
  std::vector<bool> deps;
  TExprParser p(&ds_, "ID + SMALL", {}, {poExtSyntax, poDefaultExpr, poFieldDepend}, "ID", &deps, map_);
  EXPECT_EQ(Dumper(p.FilterData()).Node(0), "BIN(ASSIGN, BIN(ADD, F3:ID, F2:SMALL), F3:ID)");
  ASSERT_GE(deps.size(), 5u);
  EXPECT_TRUE(deps[0]);
  EXPECT_TRUE(deps[4]);
  EXPECT_FALSE(deps[1]);
  EXPECT_THROW(TExprParser(&ds_, "NAME", {}, {poDefaultExpr}, "ID", nullptr, map_), EDatabaseError);
  // A given field name replaces every name of the text.
  TExprParser q(&ds_, "X = 1", {}, {poFieldNameGiven}, "SMALL", nullptr, map_);
  EXPECT_EQ(Dumper(q.FilterData()).Node(0), "BIN(EQ, F2:SMALL, C2:1)");
  // An empty text gives no buffer.
  TExprParser e(&ds_, "", {}, {}, String(), nullptr, map_);
  EXPECT_TRUE(e.FilterData().empty());
}

}  // namespace
