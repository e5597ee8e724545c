#include "grid/datagrid/DbUtilsEh.h"

#include <climits>
#include <vector>

#include "platform/db/DB.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

namespace {

// Words of the keywords, also in the form the user sees them.
constexpr char SNotSignEh[] = "Not";
constexpr char SAndSignEh[] = "AND";
constexpr char SOrSignEh[] = "OR";
constexpr char SInSignEh[] = "In";
constexpr char SNullSignEh[] = "Null";

// A lexeme before its keyword is mapped to an operator code.
enum class TRawLexeme { Nothing, Value, Operator, Not, And, Or, Like, In, Null, Open };

bool IsWordDelimiter(char C) {
  switch (C) {
    case ' ': case '"': case '!': case '&': case '\'': case '(': case ')': case '+': case ',':
    case '-': case '.': case '<': case '=': case '>': case '|': case '~':
      return true;
    default:
      return static_cast<unsigned char>(C) < 32;
  }
}

TRawLexeme KeywordOf(const String& Word) {
  if (Word.empty() || Word.size() > 4) return TRawLexeme::Nothing;
  const String upper = UpperCase(Word);
  auto is = [&](const char* Keyword, const char* Resource) {
    return upper == Keyword || (Resource != nullptr && upper == UpperCase(Resource));
  };
  if (is("NOT", SNotSignEh)) return TRawLexeme::Not;
  if (is("AND", SAndSignEh)) return TRawLexeme::And;
  if (is("OR", SOrSignEh)) return TRawLexeme::Or;
  if (is("LIKE", nullptr)) return TRawLexeme::Like;
  if (is("IN", SInSignEh)) return TRawLexeme::In;
  if (is("NULL", SNullSignEh)) return TRawLexeme::Null;
  return TRawLexeme::Nothing;
}

bool DefaultCommaSplits(TSTOperandTypeEh OperandType) {
  return !(OperandType == botNumber && FormatSettings.DecimalSeparator == ',');
}

// Reads one trimmed filter text. Positions are byte offsets; every place
// where the text is split is an ASCII character, so UTF-8 characters stay
// whole.
class TFilterTextReader {
 public:
  TFilterTextReader(const String& Text, TSTOperandTypeEh OperandType)
      : text_(Text), operand_type_(OperandType), comma_splits_(DefaultCommaSplits(OperandType)) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Current() const { return text_[pos_]; }
  void Skip() { ++pos_; }
  void SkipSpaces() {
    while (!AtEnd() && Current() == ' ') ++pos_;
  }
  void SetCommaSplits(bool Value) { comma_splits_ = Value; }
  void ResetCommaSplits() { comma_splits_ = DefaultCommaSplits(operand_type_); }

  [[noreturn]] void Fail(const char* Message) const { throw Exception(String(Message) + text_); }

  // The next lexeme's operator code; for foValue, Operand holds the value
  // (or the variant array of a comma list).
  TSTFilterOperatorEh Lexeme(Variant& Operand) { return ReadLexeme(&Operand); }

 private:
  // Reads a lexeme from the current position. Without Operand (a lookahead)
  // an unquoted value is not read: only its code matters.
  TSTFilterOperatorEh ReadLexeme(Variant* Operand) {
    if (Operand != nullptr) *Operand = Unassigned();
    // A chain of NOTs: one NOT negates the lexeme after it, two or more
    // give no operator (the inner NOT gives no LIKE, IN or NULL).
    int nots = 0;
    TSTFilterOperatorEh code = foNon;
    for (;;) {
      TSTFilterOperatorEh op = foNon;
      TRawLexeme raw = ReadRaw(Operand, op);
      if (raw == TRawLexeme::Value) {
        code = foValue;
        break;
      }
      if (raw == TRawLexeme::Nothing) {
        if (AtEnd()) code = foNon;
        else if (Operand == nullptr) code = foValue;
        else code = VarIsNull(*Operand = ReadValueList()) ? foNon : foValue;
        break;
      }
      SkipSpaces();
      if (raw == TRawLexeme::Not) {
        ++nots;
        continue;
      }
      code = Map(raw, op);
      break;
    }
    if (nots == 0) return code;
    if (nots > 1) return foNon;
    switch (code) {
      case foLike: return foNotLike;
      case foIn: return foNotIn;
      case foNull: return foNotNull;
      default: return foNon;
    }
  }

  TSTFilterOperatorEh Map(TRawLexeme Raw, TSTFilterOperatorEh Op) {
    switch (Raw) {
      case TRawLexeme::Operator: return Op;
      case TRawLexeme::And: return foAND;
      case TRawLexeme::Or: return foOR;
      case TRawLexeme::Like: return foLike;
      case TRawLexeme::Null: return foNull;
      case TRawLexeme::In:
        if (AtEnd() || Current() != '(') Fail("'(' expected: ");
        Skip();
        return foIn;
      default: return foNon;  // "(" and a NOT chain's end
    }
  }

  // Consumes an operator, a keyword or a quoted value; leaves the position
  // unchanged for anything else (Nothing).
  TRawLexeme ReadRaw(Variant* Operand, TSTFilterOperatorEh& Op) {
    if (AtEnd()) return TRawLexeme::Nothing;
    auto next = [&](char C) { return pos_ + 1 < text_.size() && text_[pos_ + 1] == C; };
    auto take = [&](size_t Count, TSTFilterOperatorEh Code) {
      pos_ += Count;
      Op = Code;
      return TRawLexeme::Operator;
    };
    switch (Current()) {
      case '\'':
        // A quoted value starts a value list like an unquoted one, so that
        // quoted values separated by commas are read back as a list.
        if (Operand != nullptr) *Operand = ReadValueList();
        else SkipQuoted();
        return TRawLexeme::Value;
      case '=': return take(1, foEqual);
      case '!':
        if (next('=')) return take(2, foNotEqual);
        Skip();
        return TRawLexeme::Not;
      case '&': Skip(); return TRawLexeme::And;
      case '|': Skip(); return TRawLexeme::Or;
      case '~': Skip(); return TRawLexeme::Like;
      case '(': Skip(); return TRawLexeme::Open;
      case '<':
        if (next('=')) return take(2, foLessOrEqual);
        if (next('>')) return take(2, foNotEqual);
        return take(1, foLessThan);
      case '>':
        if (next('=')) return take(2, foGreaterOrEqual);
        return take(1, foGreaterThan);
      default: break;
    }
    size_t end = pos_;
    while (end < text_.size() && !IsWordDelimiter(text_[end])) ++end;
    TRawLexeme keyword = KeywordOf(text_.substr(pos_, end - pos_));
    if (keyword != TRawLexeme::Nothing) pos_ = end;
    return keyword;
  }

  // A quoted value: the text between the quotes, a doubled quote standing
  // for one quote.
  String ReadQuoted() {
    String value;
    size_t from = pos_ + 1;
    for (;;) {
      size_t quote = text_.find('\'', from);
      if (quote == String::npos) Fail("Quote is absent: ");
      value.append(text_, from, quote - from);
      if (quote + 1 < text_.size() && text_[quote + 1] == '\'') {
        value += '\'';
        from = quote + 2;
        continue;
      }
      pos_ = quote + 1;
      return value;
    }
  }
  void SkipQuoted() { (void)ReadQuoted(); }

  // One operand: quoted, or unquoted up to the blank before an operator or
  // keyword, a parenthesis, a splitting comma or the end. Null when nothing
  // was read.
  Variant ReadOperand() {
    if (AtEnd()) return Null();
    if (Current() == '\'') return ReadQuoted();
    const size_t start = pos_;
    while (!AtEnd()) {
      char c = Current();
      if (c == '(' || c == ')' || (c == ',' && comma_splits_)) break;
      if (c != ' ') {
        ++pos_;
        continue;
      }
      size_t blank = pos_;
      SkipSpaces();
      if (!AtEnd()) {
        TSTFilterOperatorEh ahead = ReadLexeme(nullptr);
        if (ahead >= foEqual && ahead <= foOR) {
          pos_ = blank;
          break;
        }
        // The lookahead may have moved; the blanks belong to the value.
        pos_ = blank;
        SkipSpaces();
      }
    }
    if (pos_ == start) return Null();
    return text_.substr(start, pos_ - start);
  }

  // Operands separated by commas (while commas split): one operand, or a
  // variant array of two or more; Null when nothing was read.
  Variant ReadValueList() {
    Variant first = ReadOperand();
    if (VarIsNull(first)) return first;
    std::vector<Variant> values{first};
    while (comma_splits_ && !AtEnd() && Current() == ',') {
      Skip();
      Variant value = ReadOperand();
      if (VarIsNull(value)) break;
      values.push_back(std::move(value));
    }
    if (values.size() == 1) return values.front();
    return VarArrayOf(values);
  }

  const String& text_;
  const TSTOperandTypeEh operand_type_;
  bool comma_splits_;
  size_t pos_ = 0;
};

// One condition from its first lexeme (not foNon).
void ReadCondition(TFilterTextReader& Reader, TSTFilterOperatorEh First, const Variant& Value,
                   TSTOperandTypeEh OperandType, TSTFilterOperatorEh& Operator, Variant& Operand) {
  if (First == foValue) {
    if (VarIsArray(Value)) Operator = foIn;
    else Operator = OperandType == botString ? foLike : foEqual;
    Operand = Value;
    return;
  }
  if (First == foNull || First == foNotNull) {  // "Null", "!Null": no operand
    Operator = First;
    return;
  }
  if (First == foAND || First == foOR) Reader.Fail("Unexpected AND or OR: ");
  const bool list = First == foIn || First == foNotIn;
  if (list) Reader.SetCommaSplits(true);
  Reader.SkipSpaces();
  Variant value;
  TSTFilterOperatorEh second = Reader.Lexeme(value);
  Operator = First;
  if (second == foNull) {
    if (First == foEqual) Operator = foNull;
    else if (First == foNotEqual) Operator = foNotNull;
    else Reader.Fail("Unexpected expression before Null: ");
  } else if (second != foValue) {
    Reader.Fail("Unexpected expression after operator: ");
  }
  Operand = value;
  if (list) {
    Reader.SkipSpaces();
    if (Reader.AtEnd() || Reader.Current() != ')') Reader.Fail("')' expected: ");
    Reader.Skip();
    Reader.ResetCommaSplits();
  }
}

Variant TypedOperand(const Variant& Value, TSTOperandTypeEh OperandType) {
  switch (OperandType) {
    case botNumber: return StrToFloat(VarToStr(Value));
    case botDateTime: return VarFromDateTime(StrToDateTime(VarToStr(Value)));
    default: return Value;
  }
}

void TypeOperand(TSTFilterOperatorEh Operator, Variant& Operand, TSTOperandTypeEh OperandType) {
  if (Operator < foEqual || Operator > foNotIn) {
    Operand = Null();
    return;
  }
  if (!VarIsArray(Operand)) {
    Operand = TypedOperand(Operand, OperandType);
    return;
  }
  for (Integer i = VarArrayLowBound(Operand, 1); i <= VarArrayHighBound(Operand, 1); ++i)
    VarArrayPut(Operand, TypedOperand(VarArrayGet(Operand, i), OperandType), i);
}

// ---------------------------------------------------------------------------
// Writing

String OperatorText(TSTFilterOperatorEh Operator) {
  return Operator <= foValue ? STFilterOperatorsStrMapEh[Operator] : "";
}

// One value; a float or date is quoted when a comma in its text would split
// it when read back.
String ValueText(const Variant& Value, bool CommaSplits) {
  String text;
  if (VarType(Value) == varDate) text = DateTimeToStr(Value.AsDateTime());
  else if (VarIsFloat(Value)) text = FloatToStr(Value.AsDouble());
  else return QuotedStr(VarToStr(Value));
  if (CommaSplits && text.find(',') != String::npos) return QuotedStr(text);
  return text;
}

// An operand: one value, or the values of an array joined by commas.
String OperandText(const Variant& Operand, bool CommaSplits) {
  if (!VarIsArray(Operand)) return ValueText(Operand, CommaSplits);
  String text;
  for (Integer i = VarArrayLowBound(Operand, 1); i <= VarArrayHighBound(Operand, 1); ++i) {
    if (i > VarArrayLowBound(Operand, 1)) text += ',';
    text += ValueText(VarArrayGet(Operand, i), true);
  }
  return text;
}

String ConditionText(TSTFilterOperatorEh Operator, const Variant& Operand, TSTOperandTypeEh OperandType) {
  switch (Operator) {
    case foNull: return "=Null";
    case foNotNull: return "<>Null";
    case foIn:
    case foNotIn: return OperatorText(Operator) + " (" + OperandText(Operand, true) + ")";
    default: return OperatorText(Operator) + " " + OperandText(Operand, DefaultCommaSplits(OperandType));
  }
}

// ---------------------------------------------------------------------------
// Dataset-feature registry: class names with their handlers (owned).

TStringList* g_dataset_features = nullptr;

void InitDbUtilsEh() { g_dataset_features = new TStringList(true); }

void FinalDbUtilsEh() { FreeAndNil(g_dataset_features); }

constexpr const TUnit* kUses[] = {&unit_SysUtils, &unit_TypInfo};

}  // namespace

constinit const TUnit unit_DbUtilsEh("DbUtilsEh", kUses, InitDbUtilsEh, FinalDbUtilsEh);

// ===========================================================================
// Filter expressions

void ClearSTFilterExpression(TSTFilterExpressionEh& Expression) {
  Expression.Operator1 = foNon;
  Expression.Operand1 = Null();
  Expression.Relation = foNon;
  Expression.Operator2 = foNon;
  Expression.Operand2 = Null();
}

bool ParseSTFilterExpression(const String& Text, TSTFilterExpressionEh& Expression) {
  ClearSTFilterExpression(Expression);
  const String text = Trim(Text);
  if (text.empty()) return false;
  const TSTOperandTypeEh type = Expression.OperandType;
  TFilterTextReader reader(text, type);
  bool two = false;

  reader.SkipSpaces();
  Variant value;
  TSTFilterOperatorEh code = reader.Lexeme(value);
  if (code == foNon) reader.Fail("Error in expression: ");
  ReadCondition(reader, code, value, type, Expression.Operator1, Expression.Operand1);

  reader.SkipSpaces();
  code = reader.Lexeme(value);
  if (code != foNon) {
    if (code != foAND && code != foOR) reader.Fail("Unexpected AND or OR: ");
    Expression.Relation = code;
    reader.SkipSpaces();
    code = reader.Lexeme(value);
    if (code != foNon) {
      ReadCondition(reader, code, value, type, Expression.Operator2, Expression.Operand2);
      two = true;  // what follows the second condition is not read
    }
  }
  if (!two && code == foNon && !reader.AtEnd()) reader.Fail("Incorrect expression: ");

  TypeOperand(Expression.Operator1, Expression.Operand1, type);
  TypeOperand(Expression.Operator2, Expression.Operand2, type);
  return two;
}

String STFilterExpressionAsText(const TSTFilterExpressionEh& Expression) {
  if (Expression.OperandType == botNon || Expression.Operator1 == foNon) return "";
  String text = ConditionText(Expression.Operator1, Expression.Operand1, Expression.OperandType);
  if (Expression.Relation != foNon) {
    text += " " + OperatorText(Expression.Relation);
    if (Expression.Operator2 != foNon)
      text += " " + ConditionText(Expression.Operator2, Expression.Operand2, Expression.OperandType);
  }
  return text;
}

// ===========================================================================
// Dataset features

void RegisterDatasetFeaturesEh(TDatasetFeaturesEh* Features, const TClassInfo* DataSetClass) {
  if (g_dataset_features == nullptr || DataSetClass == nullptr || Features == nullptr) {
    delete Features;
    throw EInvalidOperation("Dataset features cannot be registered");
  }
  UnregisterDatasetFeaturesEh(DataSetClass);
  Features->dataset_class_ = DataSetClass;
  g_dataset_features->AddObject(DataSetClass->ClassName(), Features);
}

void UnregisterDatasetFeaturesEh(const TClassInfo* DataSetClass) {
  if (g_dataset_features == nullptr || DataSetClass == nullptr) return;
  for (int i = g_dataset_features->Count() - 1; i >= 0; --i)
    if (SameText(g_dataset_features->Strings(i), DataSetClass->ClassName())) g_dataset_features->Delete(i);
}

TDatasetFeaturesEh* GetDatasetFeaturesForClass(const TClassInfo* DataSetClass) {
  if (g_dataset_features == nullptr || DataSetClass == nullptr) return nullptr;
  TDatasetFeaturesEh* best = nullptr;
  Integer best_distance = INT_MAX;
  for (int i = 0; i < g_dataset_features->Count(); ++i) {
    Integer distance = GetClassDistance(DataSetClass, g_dataset_features->Strings(i));
    if (distance < best_distance) {
      best_distance = distance;
      best = static_cast<TDatasetFeaturesEh*>(g_dataset_features->Objects(i));
    }
  }
  return best;
}

TDatasetFeaturesEh* GetDatasetFeaturesForDataSet(TDataSet* DataSet) {
  if (DataSet == nullptr) return nullptr;
  return GetDatasetFeaturesForClass(GetClassInfo(DataSet));
}

Integer GetClassDistance(const TClassInfo* AClass, const String& ClassName) {
  const String name = UpperCase(ClassName);
  Integer distance = 0;
  for (const TClassInfo* c = AClass; c != nullptr; c = c->Parent(), ++distance)
    if (UpperCase(c->ClassName()) == name) return distance;
  return INT_MAX;
}
