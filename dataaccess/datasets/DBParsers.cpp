#include "dataaccess/datasets/DBParsers.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/db/DBConsts.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Deepest recursion of an evaluation: the parser nests at most
// MaxFilterDepth nodes, list elements and function calls add a level each.
constexpr int kMaxEvalDepth = 4 * MaxFilterDepth + 16;
// Elements of an argument or IN list.
constexpr Integer kListHigh = 50;
constexpr double kMSecsPerDay = 86400000.0;

[[noreturn]] void Malformed() { DatabaseError(SExprIncorrect); }

bool IsBlankValue(const Variant& V) { return VarIsClear(V) || VarIsNull(V); }

// Count characters of S from the 1-based character Start.
String Utf8Copy(const String& S, Int64 Start, Int64 Count) {
  if (Start < 1) {
    Count += Start - 1;
    Start = 1;
  }
  if (Count <= 0) return String();
  const size_t from = Utf8Prefix(S, static_cast<size_t>(std::min<Int64>(Start - 1, static_cast<Int64>(S.size()))));
  const String rest = S.substr(from);
  return rest.substr(0, Utf8Prefix(rest, static_cast<size_t>(std::min<Int64>(Count, static_cast<Int64>(rest.size())))));
}

// The first Count characters of the text of V.
String Utf8Left(const String& S, int Count) { return S.substr(0, Utf8Prefix(S, static_cast<size_t>(Count))); }

// Element I of an argument list (a single value is element 0).
Variant Arg(const Variant& Args, Integer I) {
  if (!VarIsArray(Args)) return I == 0 ? Args : Variant();
  if (I > VarArrayHighBound(Args, 1)) return Variant();
  return VarArrayGet(Args, I);
}

Variant DateTimeFromMSecs(double MSecs) {
  if (!std::isfinite(MSecs)) Malformed();
  const double days = std::floor(MSecs / kMSecsPerDay);
  if (days < 1 || days > INT32_MAX) Malformed();
  TTimeStamp ts;
  ts.Date = static_cast<Integer>(days);
  ts.Time = static_cast<Integer>(MSecs - days * kMSecsPerDay);
  return VarFromDateTime(TimeStampToDateTime(ts));
}

Variant IntegerRemainder(const Variant& A, const Variant& B) {
  if (VarIsNull(A) || VarIsNull(B)) return Null();
  const Int64 a = A.AsInt64(), b = B.AsInt64();
  if (b == 0) throw EDivByZero("Division by zero");
  if (b == -1) return Variant(static_cast<Int64>(0));
  return Variant(static_cast<Int64>(a % b));
}

}  // namespace

const TFieldMap& DataSetFieldMap() {
  static const TFieldMap map = [] {
    TFieldMap m{};
    for (int t : {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 25, 26, 27, 35}) m[static_cast<size_t>(t)] = static_cast<Byte>(t);
    m[ftCurrency] = ftFloat;
    m[ftAutoInc] = ftInteger;
    for (int t = ftBlob; t <= ftTypedBinary; ++t) m[static_cast<size_t>(t)] = ftBlob;
    m[ftFixedChar] = ftString;
    m[ftWideString] = ftString;
    return m;
  }();
  return map;
}

TExpressionParser::TExpressionParser(TDataSet* DataSet, const String& Text, TFilterOptions Options,
                                     TParserOptions ParserOptions, const String& FieldName,
                                     std::vector<bool>* DepFields, const TFieldMap& FieldMap,
                                     TStrToDateFmt DateConvert, TSQLMaskCompare LikeCompare)
    : TExprParser(DataSet, String(), Options, ParserOptions, FieldName, DepFields, FieldMap),
      filter_text_(Text),
      data_set_(DataSet),
      date_convert_(DateConvert),
      like_compare_(LikeCompare) {
  try {
    if (!Text.empty()) SetExprParams(Text, Options, ParserOptions, FieldName);
  } catch (Exception& E) {
    E.SetMessage("Can't parse Filter for: \r\n" + E.Message());
    throw;
  }
  field_cache_ = std::make_unique<TStringList>();
  field_cache_->SetSorted(true);
  if (DataSize() >= CANEXPRSIZE) pool_ = Word16(8);
}

TExpressionParser::~TExpressionParser() { field_cache_.reset(); }

void TExpressionParser::ClearFieldCache() { field_cache_->Clear(); }

TField* TExpressionParser::GetField(const String& Name) {
  int at;
  if (field_cache_->Find(Name, at)) return static_cast<TField*>(field_cache_->Objects(at));
  TField* field = data_set_->FieldByName(Name);
  field_cache_->AddObject(Name, field);
  return field;
}

Variant TExpressionParser::Evaluate() {
  if (DataSize() < CANEXPRSIZE) return Variant();
  return Node(0, 0);
}

bool TExpressionParser::IsTrue() { return Evaluate().AsBoolean(); }

// ---------------------------------------------------------------------------
// Reading the buffer

int TExpressionParser::Word16(int At) const {
  const TExprData& d = FilterData();
  if (At < 0 || static_cast<size_t>(At) + 2 > d.size()) Malformed();
  return d[static_cast<size_t>(At)] | (d[static_cast<size_t>(At) + 1] << 8);
}

int TExpressionParser::Int32(int At) const {
  const TExprData& d = FilterData();
  if (At < 0 || static_cast<size_t>(At) + 4 > d.size()) Malformed();
  int32_t v;
  std::memcpy(&v, d.data() + At, sizeof v);
  return v;
}

int TExpressionParser::NodeAt(int Offset) const {
  const int at = CANEXPRSIZE + Offset;
  if (at + CANHDRSIZE > pool_) Malformed();
  return at;
}

String TExpressionParser::PoolText(int Offset) const {
  const TExprData& d = FilterData();
  const size_t at = static_cast<size_t>(pool_) + static_cast<size_t>(Offset);
  if (at >= d.size()) Malformed();
  const auto* start = reinterpret_cast<const char*>(d.data() + at);
  const void* end = std::memchr(start, 0, d.size() - at);
  if (end == nullptr) Malformed();
  return String(start, static_cast<const char*>(end));
}

// ---------------------------------------------------------------------------
// Nodes

Variant TExpressionParser::Node(int Offset, int Depth) {
  if (Depth > kMaxEvalDepth) Malformed();
  const int at = NodeAt(Offset);
  const int op = Int32(at + 4) & 0xFF;
  switch (Int32(at) & 0x7F) {
    case nodeUNARY:
      return Unary(at, op, Depth + 1);
    case nodeBINARY:
      return Binary(at, op, Depth + 1);
    case nodeCOMPARE:
      return Compare(at, op, Depth + 1);
    case nodeFIELD:
      return Field(at, op);
    case nodeCONST:
      return Constant(at, op);
    case nodeFUNC:
      return Function(at, op, Depth + 1);
    case nodeLISTELEM:
      return List(at, op, Depth + 1);
    default:
      return Variant();
  }
}

Variant TExpressionParser::Unary(int At, int Op, int Depth) {
  const Variant v = Node(Word16(At + CANHDRSIZE), Depth);
  switch (Op) {
    case coISBLANK:
      return IsBlankValue(v);
    case coNOTBLANK:
      return !IsBlankValue(v);
    case coNOT:
      return !v.AsBoolean();
    case coMINUS:
      return Variant(0) - v;
    case coUPPER:
      return AnsiUpperCase(VarToStr(v));
    case coLOWER:
      return AnsiLowerCase(VarToStr(v));
    default:
      return Variant();
  }
}

bool TExpressionParser::Like(const Variant& Value, const Variant& Mask) {
  if (like_compare_ == nullptr) Malformed();
  return like_compare_(VarToStr(Value), VarToStr(Mask));
}

Variant TExpressionParser::Binary(int At, int Op, int Depth) {
  const int left = Word16(At + CANHDRSIZE), right = Word16(At + CANHDRSIZE + 2);
  switch (Op) {
    case coAND:
      if (!Node(left, Depth).AsBoolean()) return false;
      return Node(right, Depth).AsBoolean();
    case coOR:
      if (Node(left, Depth).AsBoolean()) return true;
      return Node(right, Depth).AsBoolean();
    case coASSIGN:
      return Node(left, Depth);
    default:
      break;
  }
  const Variant a = Node(left, Depth);
  const Variant b = Node(right, Depth);
  switch (Op) {
    case coEQ:
      return a == b;
    case coNE:
      return a != b;
    case coGT:
      return a > b;
    case coLT:
      return a < b;
    case coGE:
      return a >= b;
    case coLE:
      return a <= b;
    case coADD:
      return a + b;
    case coSUB:
      return a - b;
    case coMUL:
      return a * b;
    case coDIV:
      return a / b;
    case coMOD:
    case coREM:
      return IntegerRemainder(a, b);
    case coLIKE:
      return Like(a, b);
    case coIN: {
      if (!VarIsArray(b)) return a == b;
      const Integer high = VarArrayHighBound(b, 1);
      for (Integer i = VarArrayLowBound(b, 1); i <= high; ++i) {
        const Variant e = VarArrayGet(b, i);
        if (VarIsClear(e)) break;
        if (a == e) return true;
      }
      return false;
    }
    default:
      Malformed();
  }
}

Variant TExpressionParser::Compare(int At, int Op, int Depth) {
  const bool caseInsensitive = Word16(At + CANHDRSIZE) != 0;
  const int partial = Word16(At + CANHDRSIZE + 2);
  Variant a = Node(Word16(At + CANHDRSIZE + 4), Depth);
  Variant b = Node(Word16(At + CANHDRSIZE + 6), Depth);
  const bool na = IsBlankValue(a), nb = IsBlankValue(b);
  if (na != nb) return Op == coNE;
  if (na) return Op != coNE;
  if (caseInsensitive) {
    a = AnsiUpperCase(VarToStr(a));
    b = AnsiUpperCase(VarToStr(b));
  }
  if (partial > 0 && Op != coLIKE) {
    a = Utf8Left(VarToStr(a), partial);
    b = Utf8Left(VarToStr(b), partial);
  }
  switch (Op) {
    case coEQ:
      return a == b;
    case coNE:
      return a != b;
    case coLIKE:
      return Like(a, b);
    default:
      Malformed();
  }
}

Variant TExpressionParser::Field(int At, int Op) {
  if (Op != coFIELD2) Malformed();
  TField* field = GetField(PoolText(Word16(At + CANHDRSIZE + 2)));
  if (field->IsNull()) return Null();
  return field->AsVariant();
}

Variant TExpressionParser::Constant(int At, int Op) {
  if (Op != coCONST2) Malformed();
  const int type = Word16(At + CANHDRSIZE);
  const int offset = Word16(At + CANHDRSIZE + 4);
  const TExprData& d = FilterData();
  const size_t at = static_cast<size_t>(pool_) + static_cast<size_t>(offset);
  auto data = [&](size_t Size) {
    if (at + Size > d.size()) Malformed();
    return d.data() + at;
  };
  auto read = [&]<class T>(T* Value) { std::memcpy(Value, data(sizeof(T)), sizeof(T)); };
  switch (type) {
    case ftString:
    case ftFixedChar:
      return PoolText(offset);
    case ftSmallint: {
      int16_t v;
      read(&v);
      return Variant(v);
    }
    case ftWord: {
      uint16_t v;
      read(&v);
      return Variant(v);
    }
    case ftInteger:
    case ftAutoInc: {
      int32_t v;
      read(&v);
      return Variant(v);
    }
    case ftBoolean: {
      int16_t v;
      read(&v);
      return Variant(v != 0);
    }
    case ftFloat:
    case ftCurrency: {
      double v;
      read(&v);
      return Variant(v);
    }
    case ftBCD: {
      data(CANBCDCONSTSIZE);
      ::Currency c;
      if (!BCDToCurr(ExprConstBcd(d, at), c)) DatabaseError(SExprRangeError);
      return Variant(c);
    }
    case ftDate: {
      int32_t day;
      read(&day);
      if (day < 1) Malformed();
      return VarFromDateTime(TimeStampToDateTime(TTimeStamp{0, day}));
    }
    case ftTime: {
      int32_t ms;
      read(&ms);
      if (ms < 0 || ms >= static_cast<int32_t>(kMSecsPerDay)) Malformed();
      // The time of day (day 0 of TDateTime), as time fields give it.
      return VarFromDateTime(ms / kMSecsPerDay);
    }
    case ftDateTime: {
      double ms;
      read(&ms);
      return DateTimeFromMSecs(ms);
    }
    case ftLargeint: {
      int64_t v;
      read(&v);
      return Variant(static_cast<long long>(v));
    }
    default:
      Malformed();
  }
}

Variant TExpressionParser::List(int At, int Op, int Depth) {
  if (Op != coLISTELEM2) Malformed();
  Variant values = VarArrayCreate({0, kListHigh}, varVariant);
  Integer count = 0;
  int element = At;
  for (;;) {
    const Variant v = Node(Word16(element + CANHDRSIZE), Depth);
    if (VarIsArray(v)) {
      const Integer high = VarArrayHighBound(v, 1);
      for (Integer i = VarArrayLowBound(v, 1); i <= high; ++i) {
        const Variant e = VarArrayGet(v, i);
        if (VarIsClear(e)) break;
        VarArrayPut(values, e, count++);
      }
    } else {
      VarArrayPut(values, v, count++);
    }
    const int next = Word16(element + CANHDRSIZE + 2);
    if (next == 0) break;
    // Elements follow each other: a reference back would loop.
    if (CANEXPRSIZE + next <= element) Malformed();
    element = NodeAt(next);
    if ((Int32(element) & 0x7F) != nodeLISTELEM) break;
    if ((Int32(element + 4) & 0xFF) != coLISTELEM2) Malformed();
  }
  if (count < 2) return count == 0 ? Variant() : VarArrayGet(values, 0);
  return values;
}

Variant TExpressionParser::Function(int At, int Op, int Depth) {
  if (Op != coFUNC2) Malformed();
  const String name = UpperCase(PoolText(Word16(At + CANHDRSIZE)));
  const int list = Word16(At + CANHDRSIZE + 2);
  const Variant args = list != 0 ? Node(list, Depth) : Variant();
  const Variant first = Arg(args, 0);
  auto datePart = [&](int Part) -> Variant {
    if (IsBlankValue(first)) return Null();
    Word y, m, d, h, mi, s, ms;
    DecodeDateTime(VarToDateTime(first), y, m, d, h, mi, s, ms);
    const Word parts[] = {d, m, y, h, mi, s};
    return Variant(static_cast<Integer>(parts[Part]));
  };
  switch (name.empty() ? '\0' : name[0]) {
    case 'D':
      if (name == "DAY") return datePart(0);
      if (name == "DATE") {
        if (VarIsArray(args)) {
          if (date_convert_ == nullptr) Malformed();
          if (IsBlankValue(first)) return Null();
          return VarFromDateTime(date_convert_(VarToStr(first), VarToStr(Arg(args, 1))));
        }
        if (IsBlankValue(first)) return Null();
        const double day = std::trunc(VarToDateTime(first));
        // A day outside the integer range stays a floating value.
        if (!(day >= INT32_MIN && day <= INT32_MAX)) return Variant(day);
        return Variant(static_cast<Integer>(day));
      }
      break;
    case 'G':
      if (name == "GETDATE") return VarFromDateTime(Now());
      break;
    case 'H':
      if (name == "HOUR") return datePart(3);
      break;
    case 'L':
      if (name == "LOWER") return AnsiLowerCase(VarToStr(first));
      break;
    case 'M':
      if (name == "MONTH") return datePart(1);
      if (name == "MINUTE") return datePart(4);
      break;
    case 'S':
      if (name == "SECOND") return datePart(5);
      if (name == "SUBSTRING") {
        const Variant second = Arg(args, 1);
        Int64 start, count;
        switch (VarType(second)) {
          case varSmallint:
          case varInteger:
          case varSingle:
          case varDouble: {
            start = second.AsInt64();
            const Variant third = Arg(args, 2);
            count = VarIsClear(third) ? INT32_MAX : third.AsInt64();
            break;
          }
          default: {
            const String text = VarToStr(second);
            const size_t comma = text.find(',');
            if (comma == String::npos) Malformed();
            start = StrToInt64(Trim(text.substr(0, comma)));
            count = StrToInt64(Trim(text.substr(comma + 1)));
            break;
          }
        }
        return Utf8Copy(VarToStr(first), start, count);
      }
      break;
    case 'T':
      if (name == "TRIM") return Trim(VarToStr(first));
      if (name == "TRIMLEFT") return TrimLeft(VarToStr(first));
      if (name == "TRIMRIGHT") return TrimRight(VarToStr(first));
      break;
    case 'U':
      if (name == "UPPER") return AnsiUpperCase(VarToStr(first));
      break;
    case 'Y':
      if (name == "YEAR") return datePart(2);
      break;
    default:
      break;
  }
  DatabaseErrorFmt(SExprExpected, {name});
}
