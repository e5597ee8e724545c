#include "platform/db/DBCommon.h"

#include <cstring>
#include <memory>

#include "platform/db/DBConsts.h"
#include "platform/db/DB_Internal.h"
#include "platform/rtl/SysUtils.h"

namespace {

enum TExprToken {
  etEnd,
  etSymbol,
  etName,
  etLiteral,
  etLParen,
  etRParen,
  etEQ,
  etNE,
  etGE,
  etLE,
  etGT,
  etLT,
  etADD,
  etSUB,
  etMUL,
  etDIV,
  etComma,
  etLIKE,
  etISNULL,
  etISNOTNULL,
  etIN,
};

enum TExprNodeKind { enField, enConst, enOperator, enFunc };
enum TExprScopeKind { skField, skAgg, skConst };

struct TExprNode {
  TExprNodeKind Kind = enConst;
  TCANOperator Operator = coNOTDEFINED;
  Variant Data;
  TExprNode* Left = nullptr;
  TExprNode* Right = nullptr;
  TFieldType DataType = ftUnknown;
  int DataSize = 0;
  std::vector<TExprNode*> Args;
  TExprScopeKind ScopeKind = skField;
  int Depth = 1;
};

bool IsNumeric(TFieldType t) {
  return TFieldTypes{ftSmallint, ftInteger, ftWord, ftFloat, ftCurrency, ftBCD, ftAutoInc, ftLargeint, ftFMTBcd}
      .Contains(t);
}

bool IsTemporal(TFieldType t) { return TFieldTypes{ftDate, ftTime, ftDateTime, ftTimeStamp}.Contains(t); }

bool IsStringType(TFieldType t) { return TFieldTypes{ftString, ftFixedChar, ftWideString, ftGuid}.Contains(t); }

bool IsBlobType(TFieldType t) { return ftBlobTypes.Contains(t); }

void PutWord(TExprData& b, size_t at, int value) {
  b[at] = static_cast<Byte>(value & 0xFF);
  b[at + 1] = static_cast<Byte>((value >> 8) & 0xFF);
}

void PutInt32(Byte* at, int32_t value) { std::memcpy(at, &value, 4); }

// ---------------------------------------------------------------------------
// The node tree and its canonical buffer.

class TFilterExpr {
 public:
  TFilterExpr(TDataSet* DataSet, TFilterOptions Options, TParserOptions ParserOptions, const String& FieldName,
              std::vector<bool>* DepFields, const TFieldMap& FieldMap)
      : data_set_(DataSet),
        options_(Options),
        parser_options_(ParserOptions),
        field_name_(FieldName),
        dep_fields_(DepFields),
        field_map_(FieldMap) {}

  TExprNode* NewNode(TExprNodeKind Kind, TCANOperator Operator, const Variant& Data, TExprNode* Left,
                     TExprNode* Right) {
    auto node = std::make_unique<TExprNode>();
    node->Kind = Kind;
    node->Operator = Operator;
    node->Data = Data;
    node->Left = Left;
    node->Right = Right;
    if (Left != nullptr) node->Depth = std::max(node->Depth, Left->Depth + 1);
    if (Right != nullptr) node->Depth = std::max(node->Depth, Right->Depth + 1);
    CheckDepth(node.get());
    if (Kind == enField) {
      TField* field = GetFieldByName(VarToStr(Data));
      node->DataType = field->DataType();
      node->DataSize = field->Size();
    }
    nodes_.push_back(std::move(node));
    return nodes_.back().get();
  }

  void AddArg(TExprNode* Node, TExprNode* Arg) {
    Node->Args.push_back(Arg);
    Node->Depth = std::max(Node->Depth, Arg->Depth + 1);
    CheckDepth(Node);
  }

  TField* GetFieldByName(const String& Name) {
    if (data_set_ == nullptr) DatabaseErrorFmt(SFieldNotFound, {Name});
    TField* result = nullptr;
    if (parser_options_.Contains(poFieldNameGiven)) {
      result = data_set_->FieldByName(field_name_);
    } else if (parser_options_.Contains(poUseOrigNames)) {
      // The column part of each field's "Table.Column" origin.
      for (int i = 0; i < data_set_->FieldCount() && result == nullptr; ++i) {
        TField* f = data_set_->Fields()->Fields(i);
        String origin = f->Origin();
        size_t dot = origin.rfind('.');
        String column = dot == String::npos ? origin : origin.substr(dot + 1);
        if (column.size() >= 2 && column.front() == '"' && column.back() == '"')
          column = column.substr(1, column.size() - 2);
        if (!column.empty() && column == Name) result = f;
      }
    }
    if (result == nullptr) result = data_set_->FieldByName(Name);
    if (result->FieldKind() == fkCalculated && parser_options_.Contains(poAggregate))
      DatabaseErrorFmt(SExprNoAggOnCalcs, {result->FieldName()});
    if (parser_options_.Contains(poFieldDepend) && dep_fields_ != nullptr && result->FieldNo() > 0) {
      size_t i = static_cast<size_t>(result->FieldNo() - 1);
      if (dep_fields_->size() <= i) dep_fields_->resize(i + 1, false);
      (*dep_fields_)[i] = true;
    }
    return result;
  }

  TExprData GetFilterData(TExprNode* Root) {
    buf_.assign(CANEXPRSIZE, 0);
    node_size_ = 0;
    data_size_ = 0;
    PutExprNode(Root, coNOTDEFINED);
    PutWord(buf_, 0, CANEXPRVERSION);
    PutWord(buf_, 2, static_cast<int>(buf_.size()));
    PutWord(buf_, 4, 0xFFFF);
    PutWord(buf_, 6, CANEXPRSIZE);
    PutWord(buf_, 8, node_size_ + CANEXPRSIZE);
    return buf_;
  }

 private:
  static void CheckDepth(const TExprNode* Node) {
    if (Node->Depth > MaxFilterDepth) DatabaseError(SExprTooComplex);
  }

  // Inserts Size zero bytes at Pos; every offset is a 16-bit word.
  Byte* GetExprData(size_t Pos, int Size) {
    if (buf_.size() + static_cast<size_t>(Size) > 0xFFFF) DatabaseError(SExprTooComplex);
    buf_.insert(buf_.begin() + static_cast<ptrdiff_t>(Pos), static_cast<size_t>(Size), 0);
    return buf_.data() + Pos;
  }

  int PutNode(NODEClass NodeType, TCANOperator OpType, int OpCount) {
    int size = CANHDRSIZE + OpCount * 2;
    Byte* data = GetExprData(static_cast<size_t>(CANEXPRSIZE + node_size_), size);
    PutInt32(data, NodeType);
    PutInt32(data + 4, OpType);
    int result = node_size_;
    node_size_ += size;
    return result;
  }

  void SetNodeOp(int Node, int Index, int Data) {
    PutWord(buf_, static_cast<size_t>(CANEXPRSIZE + Node + CANHDRSIZE + Index * 2), Data);
  }

  int PutData(const void* Data, int Size) {
    Byte* at = GetExprData(buf_.size(), Size);
    if (Size > 0) std::memcpy(at, Data, static_cast<size_t>(Size));
    int result = data_size_;
    data_size_ += Size;
    return result;
  }

  // Text in the dataset's form, zero-terminated.
  String Translated(const String& Value) {
    String out = Value;
    if (data_set_ != nullptr) {
      std::vector<char> buf(Value.size() + 1, '\0');
      int n = data_set_->Translate(Value.c_str(), buf.data(), true);
      out.assign(buf.data(), static_cast<size_t>(std::clamp(n, 0, static_cast<int>(Value.size()))));
    }
    return out;
  }

  int PutConstNode(TFieldType DataType, const void* Data, int Size) {
    int result = PutNode(nodeCONST, coCONST2, 3);
    SetNodeOp(result, 0, field_map_[DataType]);
    SetNodeOp(result, 1, Size);
    SetNodeOp(result, 2, PutData(Data, Size));
    return result;
  }

  int PutConstStr(const String& Value) {
    String s = Translated(Value);
    return PutConstNode(ftString, s.c_str(), static_cast<int>(s.size()) + 1);
  }

  int PutConstInt(TFieldType DataType, const Variant& Value) {
    Integer i = VarType(Value) == varString ? StrToInt(Value.AsString()) : Value.AsInteger();
    if (DataType == ftSmallint) {
      if (i < -32768 || i > 32767) DatabaseError(SExprRangeError);
    } else if (DataType == ftWord) {
      if (i < 0 || i > 65535) DatabaseError(SExprRangeError);
    } else {
      return PutConstNode(DataType, &i, 4);
    }
    auto w = static_cast<int16_t>(i);
    return PutConstNode(DataType, &w, 2);
  }

  int PutConstLargeInt(const Variant& Value) {
    Int64 i = VarType(Value) == varString ? StrToInt64(Value.AsString()) : Value.AsInt64();
    return PutConstNode(ftLargeint, &i, 8);
  }

  int PutConstFloat(const Variant& Value) {
    double f = VarType(Value) == varString ? StrToFloat(Value.AsString()) : Value.AsDouble();
    return PutConstNode(ftFloat, &f, 8);
  }

  int PutConstBool(const Variant& Value) {
    int16_t b = Value.AsBoolean() ? -1 : 0;
    return PutConstNode(ftBoolean, &b, 2);
  }

  int PutConstBCD(const Variant& Value, int Decimals) {
    Currency c = VarType(Value) == varString ? StrToCurr(Value.AsString()) : Value.AsCurrency();
    TBcd bcd;
    if (!CurrToBCD(c, bcd, 32, Decimals)) DatabaseError(SExprRangeError);
    return PutConstNode(ftBCD, &bcd, CANBCDCONSTSIZE);
  }

  TTimeStamp ConstTimeStamp(const Variant& Value, TFieldType Type) {
    TDateTime d;
    if (VarType(Value) == varString) {
      String s = Value.AsString();
      d = Type == ftDate ? StrToDate(s) : Type == ftTime ? StrToTime(s) : StrToDateTime(s);
    } else {
      d = VarToDateTime(Value);
    }
    return DateTimeToTimeStamp(d);
  }

  int PutConstant(TExprNode* Node) {
    switch (Node->DataType) {
      case ftSmallint:
      case ftInteger:
      case ftWord:
      case ftAutoInc:
        return PutConstInt(Node->DataType, Node->Data);
      case ftLargeint:
        return PutConstLargeInt(Node->Data);
      case ftFloat:
      case ftCurrency:
        return PutConstFloat(Node->Data);
      case ftString:
      case ftWideString:
      case ftFixedChar:
      case ftGuid:
        return PutConstStr(Node->Data.AsString());
      case ftDate: {
        TTimeStamp ts = ConstTimeStamp(Node->Data, ftDate);
        return PutConstNode(ftDate, &ts.Date, 4);
      }
      case ftTime: {
        TTimeStamp ts = ConstTimeStamp(Node->Data, ftTime);
        return PutConstNode(ftTime, &ts.Time, 4);
      }
      case ftDateTime: {
        double ms = db_internal::TimeStampToMSecs(ConstTimeStamp(Node->Data, ftDateTime));
        return PutConstNode(ftDateTime, &ms, 8);
      }
      case ftBoolean:
        return PutConstBool(Node->Data);
      case ftBCD:
        return PutConstBCD(Node->Data, Node->DataSize);
      default:
        DatabaseErrorFmt(SExprBadConst, {VarToStr(Node->Data)});
    }
  }

  TField* FieldFromNode(TExprNode* Node) {
    TField* field = GetFieldByName(VarToStr(Node->Data));
    if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc)
      DatabaseErrorFmt(SExprBadField, {field->FieldName()});
    return field;
  }

  int PutFieldNode(TField* Field, TExprNode* Node) {
    String name = Translated(parser_options_.Contains(poFieldNameGiven) ? Field->FieldName() : VarToStr(Node->Data));
    int result = PutNode(nodeFIELD, coFIELD2, 2);
    SetNodeOp(result, 0, field_map_[Field->DataType()]);
    SetNodeOp(result, 1, PutData(name.c_str(), static_cast<int>(name.size()) + 1));
    return result;
  }

  // A chain of list elements for Args; the offset of the first.
  int PutList(const std::vector<TExprNode*>& Args, TCANOperator ParentOp) {
    int first = PutNode(nodeLISTELEM, coLISTELEM2, 2);
    int prev = first;
    for (size_t i = 0; i < Args.size(); ++i) {
      int pos = PutExprNode(Args[i], ParentOp);
      if (i == 0) {
        SetNodeOp(prev, 0, pos);
        SetNodeOp(prev, 1, 0);
      } else {
        int elem = PutNode(nodeLISTELEM, coLISTELEM2, 2);
        SetNodeOp(elem, 0, pos);
        SetNodeOp(elem, 1, 0);
        SetNodeOp(prev, 1, elem);
        prev = elem;
      }
    }
    return first;
  }

  int PutExprNode(TExprNode* Node, TCANOperator ParentOp) {
    switch (Node->Kind) {
      case enField: {
        TField* field = FieldFromNode(Node);
        if ((ParentOp == coOR || ParentOp == coNOT || ParentOp == coAND || ParentOp == coNOTDEFINED) &&
            field->DataType() == ftBoolean) {
          int result = PutNode(nodeBINARY, coNE, 2);
          SetNodeOp(result, 0, PutFieldNode(field, Node));
          int16_t bool_false = 0;
          SetNodeOp(result, 1, PutConstNode(ftBoolean, &bool_false, 2));
          return result;
        }
        return PutFieldNode(field, Node);
      }
      case enConst:
        return PutConstant(Node);
      case enFunc: {
        int result = PutNode(nodeFUNC, coFUNC2, 2);
        String name = VarToStr(Node->Data);
        SetNodeOp(result, 0, PutData(name.c_str(), static_cast<int>(name.size()) + 1));
        SetNodeOp(result, 1, Node->Args.empty() ? 0 : PutList(Node->Args, Node->Operator));
        return result;
      }
      case enOperator:
        break;
    }
    switch (Node->Operator) {
      case coIN: {
        int result = PutNode(nodeBINARY, coIN, 2);
        SetNodeOp(result, 0, PutExprNode(Node->Left, Node->Operator));
        SetNodeOp(result, 1, PutList(Node->Args, Node->Operator));
        return result;
      }
      case coNOT:
      case coISBLANK:
      case coNOTBLANK: {
        int result = PutNode(nodeUNARY, Node->Operator, 1);
        SetNodeOp(result, 0, PutExprNode(Node->Left, Node->Operator));
        return result;
      }
      case coEQ:
      case coNE:
      case coGT:
      case coLT:
      case coGE:
      case coLE:
      case coAND:
      case coOR:
      case coADD:
      case coSUB:
      case coMUL:
      case coDIV:
      case coLIKE:
      case coASSIGN:
        return PutBinary(Node);
      default:
        DatabaseError(SExprIncorrect);
    }
  }

  int PutBinary(TExprNode* Node) {
    TCANOperator op = Node->Operator;
    TExprNode* left = Node->Left;
    TExprNode* right = Node->Right;
    bool comparison = op >= coEQ && op <= coLE;
    if (comparison && right->Kind == enField && left->Kind != enField) {
      static constexpr TCANOperator kReverse[] = {coEQ, coNE, coLT, coGT, coLE, coGE};
      std::swap(left, right);
      op = kReverse[op - coEQ];
    }
    if (left->Kind == enField && right->Kind == enConst &&
        (Node->Operator == coEQ || Node->Operator == coNE || Node->Operator == coLIKE)) {
      if (VarIsNull(right->Data)) {
        if (Node->Operator == coLIKE) DatabaseError(SExprBadNullTest);
        int result = PutNode(nodeUNARY, Node->Operator == coEQ ? coISBLANK : coNOTBLANK, 1);
        SetNodeOp(result, 0, PutExprNode(left, Node->Operator));
        return result;
      }
      if (IsStringType(right->DataType)) {
        String s = right->Data.AsString();
        if (!s.empty()) {
          int case_insensitive = options_.Contains(foCaseInsensitive) ? 1 : 0;
          int partial = 0;
          if (!options_.Contains(foNoPartialCompare) && s.size() > 1 && s.back() == '*') {
            s.pop_back();
            partial = static_cast<int>(Utf8Length(s));
          }
          if (case_insensitive != 0 || partial != 0) {
            int result = PutNode(nodeCOMPARE, Node->Operator, 4);
            SetNodeOp(result, 0, case_insensitive);
            SetNodeOp(result, 1, partial);
            SetNodeOp(result, 2, PutExprNode(left, Node->Operator));
            SetNodeOp(result, 3, PutConstStr(s));
            return result;
          }
        }
      }
    }
    int result = PutNode(nodeBINARY, op, 2);
    SetNodeOp(result, 0, PutExprNode(left, Node->Operator));
    SetNodeOp(result, 1, PutExprNode(right, Node->Operator));
    return result;
  }

  TDataSet* data_set_;
  TFilterOptions options_;
  TParserOptions parser_options_;
  String field_name_;
  std::vector<bool>* dep_fields_;
  TFieldMap field_map_;
  std::vector<std::unique_ptr<TExprNode>> nodes_;
  TExprData buf_;
  int node_size_ = 0;
  int data_size_ = 0;
};

// ---------------------------------------------------------------------------
// Tokens and the recursive-descent parser.

class TParser {
 public:
  TParser(TFilterExpr& Filter, const String& Text, TParserOptions Options, const String& FieldName)
      : filter_(Filter),
        text_(Text.c_str()),
        options_(Options),
        field_name_(FieldName),
        decimal_separator_(FormatSettings.DecimalSeparator) {}

  TExprNode* Parse() {
    NextToken();
    TExprNode* root = ParseExpr();
    if (token_ != etEnd) DatabaseError(SExprTermination);
    if (options_.Contains(poAggregate) && root->ScopeKind != skAgg) DatabaseError(SExprNotAgg);
    if (!options_.Contains(poAggregate) && root->ScopeKind == skAgg) DatabaseError(SExprNoAggFilter);
    if (options_.Contains(poDefaultExpr)) {
      TExprNode* def = filter_.NewNode(enField, coNOTDEFINED, field_name_, nullptr, nullptr);
      if ((IsTemporal(def->DataType) || def->DataType == ftBoolean) && IsStringType(root->DataType))
        root->DataType = def->DataType;
      bool compatible = (IsTemporal(def->DataType) && IsTemporal(root->DataType)) ||
                        (IsNumeric(def->DataType) && IsNumeric(root->DataType)) ||
                        (IsStringType(def->DataType) && IsStringType(root->DataType)) ||
                        (def->DataType == ftBoolean && root->DataType == ftBoolean);
      if (!compatible) DatabaseError(SExprTypeMis);
      root = filter_.NewNode(enOperator, coASSIGN, Unassigned(), root, def);
    }
    if (!options_.Contains(poAggregate) && !options_.Contains(poDefaultExpr) && root->DataType != ftBoolean)
      DatabaseError(SExprIncorrect);
    return root;
  }

 private:
  static bool IsNameStart(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
  }
  static bool IsNameChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return IsNameStart(c) || (u >= '0' && u <= '9') || u == '.' || u == '[' || u == ']';
  }
  static bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  char At(size_t p) const { return p < text_.size() ? text_[p] : '\0'; }

  size_t SkipBlanks(size_t p) const {
    while (p < text_.size() && static_cast<unsigned char>(text_[p]) <= ' ') ++p;
    return p;
  }

  size_t SkipLetters(size_t p) const {
    while (p < text_.size() && IsLetter(text_[p])) ++p;
    return p;
  }

  void NextToken() {
    prev_token_ = token_;
    token_string_.clear();
    size_t p = SkipBlanks(pos_);
    if (At(p) == '/' && At(p + 1) == '*') {
      p += 2;
      while (p < text_.size() && text_[p] != '*') ++p;
      if (At(p) == '*' && At(p + 1) == '/') p += 2;
      else DatabaseErrorFmt(SExprInvalidChar, {p < text_.size() ? String(1, text_[p]) : String()});
    }
    p = SkipBlanks(p);
    token_ptr_ = p;
    char c = At(p);
    if (p >= text_.size()) {
      token_ = etEnd;
    } else if (IsNameStart(c)) {
      size_t start = p++;
      while (p < text_.size() && IsNameChar(text_[p])) ++p;
      token_string_ = text_.substr(start, p - start);
      token_ = etSymbol;
      if (SameText(token_string_, "LIKE")) {
        token_ = etLIKE;
      } else if (SameText(token_string_, "IN")) {
        token_ = etIN;
      } else if (SameText(token_string_, "IS")) {
        size_t s = SkipBlanks(p);
        p = SkipLetters(s);
        token_string_ = text_.substr(s, p - s);
        if (SameText(token_string_, "NOT")) {
          s = SkipBlanks(p);
          p = SkipLetters(s);
          token_string_ = text_.substr(s, p - s);
          if (!SameText(token_string_, "NULL")) DatabaseError(SInvalidKeywordUse);
          token_ = etISNOTNULL;
        } else if (SameText(token_string_, "NULL")) {
          token_ = etISNULL;
        } else {
          DatabaseError(SInvalidKeywordUse);
        }
      }
    } else if (c == '[') {
      size_t close = text_.find(']', p + 1);
      if (close == String::npos) DatabaseError(SExprNameError);
      token_string_ = text_.substr(p + 1, close - p - 1);
      token_ = etName;
      p = close + 1;
    } else if (c == '\'') {
      ++p;
      for (;;) {
        if (p >= text_.size()) DatabaseError(SExprStringError);
        if (text_[p] == '\'') {
          ++p;
          if (At(p) != '\'') break;
        }
        token_string_ += text_[p++];
      }
      token_ = etLiteral;
      numeric_lit_ = false;
    } else if (IsDigit(c) || (c == '-' && prev_token_ != etLiteral && prev_token_ != etName &&
                              prev_token_ != etSymbol && prev_token_ != etRParen)) {
      // A digit always starts a number ("1 000" is two numbers, an error,
      // not "1 - 000").
      size_t start = p++;
      while (p < text_.size() && (IsDigit(text_[p]) || text_[p] == decimal_separator_ || text_[p] == 'e' ||
                                  text_[p] == 'E' || text_[p] == '+' || text_[p] == '-'))
        ++p;
      if (At(p - 1) == ',' && decimal_separator_ == ',' && At(p) == ' ') --p;
      token_string_ = text_.substr(start, p - start);
      token_ = etLiteral;
      numeric_lit_ = true;
    } else {
      ++p;
      switch (c) {
        case '-':
          token_ = etSUB;
          break;
        case '(':
          token_ = etLParen;
          break;
        case ')':
          token_ = etRParen;
          break;
        case '<':
          if (At(p) == '=') {
            ++p;
            token_ = etLE;
          } else if (At(p) == '>') {
            ++p;
            token_ = etNE;
          } else {
            token_ = etLT;
          }
          break;
        case '=':
          token_ = etEQ;
          break;
        case '>':
          if (At(p) == '=') {
            ++p;
            token_ = etGE;
          } else {
            token_ = etGT;
          }
          break;
        case '+':
          token_ = etADD;
          break;
        case '*':
          token_ = etMUL;
          break;
        case '/':
          token_ = etDIV;
          break;
        case ',':
          token_ = etComma;
          break;
        default:
          DatabaseErrorFmt(SExprInvalidChar, {String(1, c)});
      }
    }
    pos_ = p;
  }

  bool NextTokenIsLParen() const { return At(SkipBlanks(pos_)) == '('; }

  String TokenName() const {
    if (pos_ == token_ptr_) return SExprNothing;
    return "'" + text_.substr(token_ptr_, pos_ - token_ptr_) + "'";
  }

  bool TokenSymbolIs(const char* S) const { return token_ == etSymbol && SameText(token_string_, S); }

  static bool IsFunctionName(const String& S) {
    static const char* const kNames[] = {"UPPER",  "LOWER",   "SUBSTRING", "TRIM", "TRIMLEFT", "TRIMRIGHT", "YEAR",
                                         "MONTH",  "DAY",     "HOUR",      "MINUTE", "SECOND", "GETDATE",   "DATE",
                                         "TIME",   "SUM",     "MIN",       "MAX",  "AVG",      "COUNT"};
    for (const char* n : kNames)
      if (SameText(S, n)) return true;
    return false;
  }

  void GetScopeKind(TExprNode* Root, TExprNode* Left, TExprNode* Right) {
    if (Left == nullptr && Right == nullptr) return;
    if (Right == nullptr) {
      Root->ScopeKind = Left->ScopeKind;
      return;
    }
    if ((Left->ScopeKind == skField && Right->ScopeKind == skAgg) ||
        (Left->ScopeKind == skAgg && Right->ScopeKind == skField))
      DatabaseError(SExprBadScope);
    if (Left->ScopeKind == skConst && Right->ScopeKind == skConst) Root->ScopeKind = skConst;
    else if (Left->ScopeKind == skAgg || Right->ScopeKind == skAgg) Root->ScopeKind = skAgg;
    else if (Left->ScopeKind == skField || Right->ScopeKind == skField) Root->ScopeKind = skField;
  }

  void TypeCheckArithOp(TExprNode* Node) {
    TFieldType l = Node->Left->DataType, r = Node->Right->DataType;
    if (IsNumeric(l) && IsNumeric(r)) {
      Node->DataType = ftFloat;
    } else if (IsStringType(l) && IsStringType(r) && Node->Operator == coADD) {
      Node->DataType = ftString;
    } else if (IsTemporal(l) && IsNumeric(r) && Node->Operator == coADD) {
      Node->DataType = ftDateTime;
    } else if (IsTemporal(l) && IsNumeric(r) && Node->Operator == coSUB) {
      Node->DataType = l;
    } else if (IsTemporal(l) && IsTemporal(r) && Node->Operator == coSUB) {
      Node->DataType = ftFloat;
    } else if (IsStringType(l) && IsTemporal(r) && Node->Operator == coSUB) {
      Node->Left->DataType = r;
      Node->DataType = ftFloat;
    } else if (IsStringType(l) && IsNumeric(r) && Node->Left->Kind == enConst) {
      Node->Left->DataType = ftDateTime;
    } else {
      DatabaseError(SExprTypeMis);
    }
  }

  void GetFuncResultInfo(TExprNode* Node) {
    String name = VarToStr(Node->Data);
    Node->DataType = ftString;
    if (!SameText(name, "COUNT(*)") && !SameText(name, "GETDATE") && Node->Args.empty())
      DatabaseError(SExprTypeMis);
    if (!Node->Args.empty()) Node->ScopeKind = Node->Args[0]->ScopeKind;
    if (SameText(name, "SUM") || SameText(name, "AVG")) {
      Node->DataType = ftFloat;
      Node->ScopeKind = skAgg;
    } else if (SameText(name, "MIN") || SameText(name, "MAX")) {
      Node->DataType = Node->Args[0]->DataType;
      Node->ScopeKind = skAgg;
    } else if (SameText(name, "COUNT") || SameText(name, "COUNT(*)")) {
      Node->DataType = ftInteger;
      Node->ScopeKind = skAgg;
    } else if (SameText(name, "YEAR") || SameText(name, "MONTH") || SameText(name, "DAY") ||
               SameText(name, "HOUR") || SameText(name, "MINUTE") || SameText(name, "SECOND")) {
      Node->DataType = ftInteger;
    } else if (SameText(name, "GETDATE")) {
      Node->DataType = ftDateTime;
      Node->ScopeKind = skConst;
    } else if (SameText(name, "DATE")) {
      Node->DataType = ftDate;
    } else if (SameText(name, "TIME")) {
      Node->DataType = ftTime;
    }
  }

  // Expr { "OR" Expr2 }
  TExprNode* ParseExpr() {
    if (++nesting_ > MaxFilterDepth) DatabaseError(SExprTooComplex);
    TExprNode* result = ParseExpr2();
    while (TokenSymbolIs("OR")) {
      NextToken();
      TExprNode* right = ParseExpr2();
      result = filter_.NewNode(enOperator, coOR, Unassigned(), result, right);
      GetScopeKind(result, result->Left, result->Right);
      result->DataType = ftBoolean;
    }
    --nesting_;
    return result;
  }

  TExprNode* ParseExpr2() {
    TExprNode* result = ParseExpr3();
    while (TokenSymbolIs("AND")) {
      NextToken();
      TExprNode* right = ParseExpr3();
      result = filter_.NewNode(enOperator, coAND, Unassigned(), result, right);
      GetScopeKind(result, result->Left, result->Right);
      result->DataType = ftBoolean;
    }
    return result;
  }

  TExprNode* ParseExpr3() {
    TExprNode* result;
    if (TokenSymbolIs("NOT")) {
      NextToken();
      TExprNode* operand = ParseExpr4();
      result = filter_.NewNode(enOperator, coNOT, Unassigned(), operand, nullptr);
      result->DataType = ftBoolean;
    } else {
      result = ParseExpr4();
    }
    GetScopeKind(result, result->Left, result->Right);
    return result;
  }

  TExprNode* ParseExpr4() {
    TExprNode* result = ParseExpr5();
    TCANOperator op;
    switch (token_) {
      case etEQ:
        op = coEQ;
        break;
      case etNE:
        op = coNE;
        break;
      case etGE:
        op = coGE;
        break;
      case etLE:
        op = coLE;
        break;
      case etGT:
        op = coGT;
        break;
      case etLT:
        op = coLT;
        break;
      case etLIKE:
        op = coLIKE;
        break;
      case etISNULL:
        op = coISBLANK;
        break;
      case etISNOTNULL:
        op = coNOTBLANK;
        break;
      case etIN:
        op = coIN;
        break;
      default:
        return result;
    }
    NextToken();
    TExprNode* left = result;
    if (op == coIN) {
      if (token_ != etLParen) DatabaseErrorFmt(SExprNoLParen, {TokenName()});
      NextToken();
      result = filter_.NewNode(enOperator, coIN, Unassigned(), left, nullptr);
      result->DataType = ftBoolean;
      if (token_ == etRParen) DatabaseError(SExprEmptyInList);
      do {
        TExprNode* right = ParseExpr();
        if (IsTemporal(left->DataType)) right->DataType = left->DataType;
        filter_.AddArg(result, right);
        if (token_ != etComma && token_ != etRParen) DatabaseErrorFmt(SExprNoRParenOrComma, {TokenName()});
        if (token_ == etComma) NextToken();
      } while (token_ != etRParen && token_ != etEnd);
      if (token_ != etRParen) DatabaseErrorFmt(SExprNoRParen, {TokenName()});
      NextToken();
      return result;
    }
    TExprNode* right = (op != coISBLANK && op != coNOTBLANK) ? ParseExpr5() : nullptr;
    result = filter_.NewNode(enOperator, op, Unassigned(), left, right);
    if (right != nullptr) {
      if (left->Kind == enField && right->Kind == enConst) {
        right->DataType = left->DataType;
        right->DataSize = left->DataSize;
      } else if (right->Kind == enField && left->Kind == enConst) {
        left->DataType = right->DataType;
        left->DataSize = right->DataSize;
      }
    }
    if (IsBlobType(left->DataType) && op == coLIKE) {
      if (right->Kind == enConst) right->DataType = ftString;
    } else if (op != coISBLANK && op != coNOTBLANK &&
               (IsBlobType(left->DataType) || left->DataType == ftBytes ||
                (right != nullptr && (IsBlobType(right->DataType) || right->DataType == ftBytes)))) {
      DatabaseError(SExprTypeMis);
    }
    result->DataType = ftBoolean;
    if (right != nullptr) {
      if (IsTemporal(left->DataType) && IsStringType(right->DataType)) right->DataType = left->DataType;
      else if (IsTemporal(right->DataType) && IsStringType(left->DataType)) left->DataType = right->DataType;
    }
    GetScopeKind(result, left, right);
    return result;
  }

  TExprNode* ParseArith(TExprNode* (TParser::*Operand)(), TExprToken Plus, TExprToken Minus, TCANOperator PlusOp,
                        TCANOperator MinusOp) {
    TExprNode* result = (this->*Operand)();
    while (token_ == Plus || token_ == Minus) {
      if (!options_.Contains(poExtSyntax)) DatabaseError(SExprNoArith);
      TCANOperator op = token_ == Plus ? PlusOp : MinusOp;
      TExprNode* left = result;
      NextToken();
      TExprNode* right = (this->*Operand)();
      result = filter_.NewNode(enOperator, op, Unassigned(), left, right);
      TypeCheckArithOp(result);
      GetScopeKind(result, left, right);
    }
    return result;
  }

  TExprNode* ParseExpr5() { return ParseArith(&TParser::ParseExpr6, etADD, etSUB, coADD, coSUB); }
  TExprNode* ParseExpr6() { return ParseArith(&TParser::ParseExpr7, etMUL, etDIV, coMUL, coDIV); }

  TExprNode* ParseExpr7() {
    TExprNode* result = nullptr;
    switch (token_) {
      case etSymbol:
        if (options_.Contains(poExtSyntax) && NextTokenIsLParen() && IsFunctionName(token_string_)) {
          String name = token_string_;
          NextToken();
          if (token_ != etLParen) DatabaseErrorFmt(SExprNoLParen, {TokenName()});
          NextToken();
          if (SameText(name, "COUNT") && token_ == etMUL) {
            name = "COUNT(*)";
            NextToken();
          }
          result = filter_.NewNode(enFunc, coNOTDEFINED, name, nullptr, nullptr);
          if (token_ != etRParen) {
            do {
              filter_.AddArg(result, ParseExpr());
              if (token_ != etComma && token_ != etRParen) DatabaseErrorFmt(SExprNoRParenOrComma, {TokenName()});
              if (token_ == etComma) NextToken();
            } while (token_ != etRParen && token_ != etEnd);
          }
          GetFuncResultInfo(result);
        } else if (TokenSymbolIs("NULL")) {
          result = filter_.NewNode(enConst, coNOTDEFINED, Null(), nullptr, nullptr);
          result->ScopeKind = skConst;
        } else if (TokenSymbolIs("TRUE") || TokenSymbolIs("FALSE")) {
          result = filter_.NewNode(enConst, coNOTDEFINED, TokenSymbolIs("TRUE") ? 1 : 0, nullptr, nullptr);
          result->DataType = ftBoolean;
          result->ScopeKind = skConst;
        } else {
          result = filter_.NewNode(enField, coNOTDEFINED, token_string_, nullptr, nullptr);
          result->ScopeKind = skField;
        }
        break;
      case etName:
        result = filter_.NewNode(enField, coNOTDEFINED, token_string_, nullptr, nullptr);
        result->ScopeKind = skField;
        break;
      case etLiteral:
        result = filter_.NewNode(enConst, coNOTDEFINED, token_string_, nullptr, nullptr);
        result->DataType = numeric_lit_ ? ftFloat : ftString;
        result->ScopeKind = skConst;
        break;
      case etLParen:
        NextToken();
        result = ParseExpr();
        if (token_ != etRParen) DatabaseErrorFmt(SExprNoRParen, {TokenName()});
        break;
      default:
        DatabaseErrorFmt(SExprExpected, {TokenName()});
    }
    NextToken();
    return result;
  }

  TFilterExpr& filter_;
  String text_;
  TParserOptions options_;
  String field_name_;
  char decimal_separator_;
  size_t pos_ = 0;
  size_t token_ptr_ = 0;
  String token_string_;
  TExprToken token_ = etEnd;
  TExprToken prev_token_ = etEnd;
  bool numeric_lit_ = false;
  int nesting_ = 0;
};

}  // namespace

TExprParser::TExprParser(TDataSet* DataSet, const String& Text, TFilterOptions Options, TParserOptions ParserOptions,
                         const String& FieldName, std::vector<bool>* DepFields, const TFieldMap& FieldMap)
    : data_set_(DataSet), dep_fields_(DepFields), field_map_(FieldMap) {
  if (!Text.empty()) SetExprParams(Text, Options, ParserOptions, FieldName);
}

TExprParser::~TExprParser() = default;

void TExprParser::SetExprParams(const String& Text, TFilterOptions Options, TParserOptions ParserOptions,
                                const String& FieldName) {
  TFilterExpr filter(data_set_, Options, ParserOptions, FieldName, dep_fields_, field_map_);
  TParser parser(filter, Text, ParserOptions, FieldName);
  TExprNode* root = parser.Parse();
  filter_data_ = filter.GetFilterData(root);
}

TBcd ExprConstBcd(const TExprData& Data, size_t Offset) {
  if (Offset > Data.size() || Data.size() - Offset < static_cast<size_t>(CANBCDCONSTSIZE))
    DatabaseError(SExprIncorrect);
  TBcd bcd;
  bcd.Precision = Data[Offset];
  bcd.SignSpecialPlaces = Data[Offset + 1];
  std::memcpy(bcd.Fraction, Data.data() + Offset + 2, CANBCDCONSTSIZE - 2);
  return bcd;
}
