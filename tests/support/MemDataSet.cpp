#include "tests/support/MemDataSet.h"

#include <algorithm>
#include <cstring>

#include "platform/db/DBConsts.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

const char* ModeName(TGetMode Mode) {
  return Mode == gmNext ? "gmNext" : Mode == gmPrior ? "gmPrior" : "gmCurrent";
}

const char* ResultName(TGetResult Result) {
  static const char* const kNames[] = {"grOK", "grBOF", "grEOF", "grError"};
  return kNames[Result];
}

}  // namespace

// ---------------------------------------------------------------------------
// TMemDataSet

TMemDataSet::TMemDataSet(TComponent* AOwner) : TDataSet(AOwner) {}

TMemDataSet::~TMemDataSet() {
  // Closed here too when the dataset lives on the stack.
  Destroying();
  Close();
}

void TMemDataSet::AppendRows(std::initializer_list<std::initializer_list<Variant>> Rows) {
  for (const auto& row : Rows) {
    Append();
    int i = 0;
    for (const Variant& v : row) Fields()->Fields(i++)->SetValue(v);
    Post();
  }
}

Variant TMemDataSet::RowValue(int Row, int FieldIndex) {
  TRecordBuffer probe = AllocRecordBuffer();
  Variant result;
  try {
    RowToBuffer(rows_.at(static_cast<size_t>(Row)), probe);
    filter_buffer_ = probe;
    TDataSetState saved = SetTempState(dsFilter);
    try {
      result = Fields()->Fields(FieldIndex)->Value();
    } catch (...) {
      RestoreState(saved);
      throw;
    }
    RestoreState(saved);
  } catch (...) {
    FreeRecordBuffer(probe);
    throw;
  }
  FreeRecordBuffer(probe);
  return result;
}

TRecordBuffer TMemDataSet::AllocRecordBuffer() {
  size_t n = static_cast<size_t>(GetRecordSize() + CalcFieldsSize());
  auto* b = new Byte[n]();
  blobs_[b] = std::vector<std::string>(static_cast<size_t>(blob_count_));
  return b;
}

void TMemDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
  blobs_.erase(Buffer);
  delete[] Buffer;
  Buffer = nullptr;
}

void TMemDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) { std::memcpy(Data, Buffer, 8); }
void TMemDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) { std::memcpy(Buffer, Data, 8); }
TBookmarkFlag TMemDataSet::GetBookmarkFlag(TRecordBuffer Buffer) { return static_cast<TBookmarkFlag>(Buffer[8]); }
void TMemDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) { Buffer[8] = Value; }

int TMemDataSet::IndexOfId(int64_t Id) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].Id == Id) return static_cast<int>(i);
  return -1;
}

void TMemDataSet::RowToBuffer(const TRow& Row, TRecordBuffer Buffer) {
  std::memcpy(Buffer, &Row.Id, 8);
  std::memcpy(Buffer + header_size_, Row.Image.data(), Row.Image.size());
  blobs_[Buffer] = Row.Blobs;
}

void TMemDataSet::BufferToRow(TRecordBuffer Buffer, TRow& Row) {
  Row.Image.assign(Buffer + header_size_, Buffer + header_size_ + image_size_);
  Row.Blobs = blobs_[Buffer];
}

TRecordBuffer TMemDataSet::ActiveRecBuf() {
  switch (State()) {
    case dsCalcFields:
    case dsInternalCalc:
      return CalcBuffer();
    case dsFilter:
      return filter_buffer_;
    case dsOldValue:
      if (has_old_) return old_buffer_;
      return BufferRecordCount() > 0 && GetBookmarkFlag(ActiveBuffer()) == bfCurrent ? ActiveBuffer() : nullptr;
    default:
      return IsEmpty() ? nullptr : ActiveBuffer();
  }
}

TGetResult TMemDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/) {
  int n = static_cast<int>(rows_.size());
  TGetResult result;
  for (;;) {
    result = grOK;
    if (GetMode == gmNext) {
      if (cursor_ < n) ++cursor_;
      if (cursor_ >= n) result = grEOF;
    } else if (GetMode == gmPrior) {
      if (cursor_ >= 0) --cursor_;
      if (cursor_ < 0) result = grBOF;
    } else if (cursor_ < 0 || cursor_ >= n) {
      result = grError;
    }
    if (result == grOK) {
      RowToBuffer(rows_[static_cast<size_t>(cursor_)], Buffer);
      SetBookmarkFlag(Buffer, bfCurrent);
      GetCalcFields(Buffer);
      if (!RecordAccepted(Buffer)) {
        if (GetMode != gmCurrent) continue;
        result = grError;
      }
    }
    break;
  }
  Note(String("GetRecord(") + ModeName(GetMode) + ")=" + ResultName(result));
  return result;
}

bool TMemDataSet::RecordAccepted(TRecordBuffer Buffer) {
  if (!Filtered()) return true;
  bool accept = true;
  TRecordBuffer saved_buffer = filter_buffer_;
  filter_buffer_ = Buffer;
  TDataSetState saved = SetTempState(dsFilter);
  try {
    if (parser_ && !parser_->FilterData().empty()) accept = EvaluateFilter(parser_->FilterData(), this);
    if (accept && OnFilterRecord().Assigned()) OnFilterRecord()(this, accept);
  } catch (...) {
    RestoreState(saved);
    filter_buffer_ = saved_buffer;
    throw;
  }
  RestoreState(saved);
  filter_buffer_ = saved_buffer;
  return accept;
}

void TMemDataSet::BuildParser(const String& Text, TFilterOptions Options) {
  if (Trim(Text).empty()) {
    parser_.reset();
    return;
  }
  parser_ = std::make_unique<TExprParser>(this, Trim(Text), Options, TParserOptions{poExtSyntax}, String(), nullptr,
                                          IdentityFieldMap());
}

void TMemDataSet::SetFilterText(const String& Value) {
  if (Active()) {
    CheckBrowseMode();
    BuildParser(Value, FilterOptions());
  }
  TDataSet::SetFilterText(Value);
  if (Active() && Filtered()) First();
}

void TMemDataSet::SetFilterOptions(TFilterOptions Value) {
  if (Active()) {
    CheckBrowseMode();
    BuildParser(Filter(), Value);
  }
  TDataSet::SetFilterOptions(Value);
  if (Active() && Filtered()) First();
}

void TMemDataSet::SetFiltered(bool Value) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFiltered(Value);
  if (Active()) First();
}

void TMemDataSet::InternalOpen() {
  Note("InternalOpen");
  TFieldDefs* defs = FieldDefs();
  int n = defs->Count();
  offsets_.assign(static_cast<size_t>(n), 0);
  sizes_.assign(static_cast<size_t>(n), 0);
  blob_index_.assign(static_cast<size_t>(n), -1);
  blob_count_ = 0;
  int at = n;
  for (int i = 0; i < n; ++i) {
    TFieldDef* d = defs->Items(i);
    offsets_[static_cast<size_t>(i)] = at;
    sizes_[static_cast<size_t>(i)] = FieldDataSize(d->DataType(), d->Size());
    at += sizes_[static_cast<size_t>(i)];
    if (ftBlobTypes.Contains(d->DataType())) blob_index_[static_cast<size_t>(i)] = blob_count_++;
  }
  image_size_ = at;
  for (TRow& row : rows_) {
    row.Image.resize(static_cast<size_t>(image_size_), 1);
    row.Blobs.resize(static_cast<size_t>(blob_count_));
  }
  if (DefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(8);
  cursor_ = -1;
  old_buffer_ = AllocRecordBuffer();
  has_old_ = false;
  BuildParser(Filter(), FilterOptions());
  open_ = true;
}

void TMemDataSet::InternalClose() {
  Note("InternalClose");
  if (old_buffer_ != nullptr) FreeRecordBuffer(old_buffer_);
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  parser_.reset();
  open_ = false;
}

void TMemDataSet::InternalInitRecord(TRecordBuffer Buffer) {
  std::memset(Buffer, 0, static_cast<size_t>(GetRecordSize()));
  std::memset(Buffer + header_size_, 1, offsets_.size());
  blobs_[Buffer] = std::vector<std::string>(static_cast<size_t>(blob_count_));
}

void TMemDataSet::ClearCalcFields(TRecordBuffer Buffer) {
  std::memset(Buffer + GetRecordSize(), 0, static_cast<size_t>(CalcFieldsSize()));
}

void TMemDataSet::InternalFirst() {
  Note("InternalFirst");
  cursor_ = -1;
}

void TMemDataSet::InternalLast() {
  Note("InternalLast");
  cursor_ = static_cast<int>(rows_.size());
}

void TMemDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
  int64_t id;
  std::memcpy(&id, Buffer, 8);
  int i = IndexOfId(id);
  if (i >= 0) cursor_ = i;
}

void TMemDataSet::InternalGotoBookmark(const void* Bookmark) {
  int64_t id;
  std::memcpy(&id, Bookmark, 8);
  cursor_ = IndexOfId(id);
}

void TMemDataSet::InternalEdit() {
  Note("InternalEdit");
  if (OnInternalEdit) OnInternalEdit();
  std::memcpy(old_buffer_, ActiveBuffer(), static_cast<size_t>(GetRecordSize()));
  blobs_[old_buffer_] = blobs_[ActiveBuffer()];
  has_old_ = true;
}

void TMemDataSet::InternalAddRecord(const void* Buffer, bool Append) {
  TRow row;
  row.Id = next_id_++;
  BufferToRow(static_cast<TRecordBuffer>(const_cast<void*>(Buffer)), row);
  int at = Append ? static_cast<int>(rows_.size()) : std::max(cursor_, 0);
  rows_.insert(rows_.begin() + at, row);
  cursor_ = at;
}

void TMemDataSet::InternalPost() {
  Note("InternalPost");
  if (OnInternalPost) OnInternalPost();
  TDataSet::InternalPost();
  TRecordBuffer buf = ActiveBuffer();
  if (State() == dsEdit) {
    int64_t id;
    std::memcpy(&id, buf, 8);
    int i = IndexOfId(id);
    BufferToRow(buf, rows_.at(static_cast<size_t>(i)));
    cursor_ = i;
  } else {
    TRow row;
    row.Id = next_id_++;
    BufferToRow(buf, row);
    int at = static_cast<int>(rows_.size());
    if (GetBookmarkFlag(buf) == bfBOF) {
      at = 0;
    } else if (GetBookmarkFlag(buf) != bfEOF) {
      int64_t before;
      std::memcpy(&before, buf, 8);
      int i = IndexOfId(before);
      if (i >= 0) at = i;
    }
    rows_.insert(rows_.begin() + at, row);
    std::memcpy(buf, &row.Id, 8);
    cursor_ = at;
  }
  has_old_ = false;
}

void TMemDataSet::InternalDelete() {
  Note("InternalDelete");
  if (OnInternalDelete) OnInternalDelete();
  int64_t id;
  std::memcpy(&id, ActiveBuffer(), 8);
  int i = IndexOfId(id);
  if (i >= 0) rows_.erase(rows_.begin() + i);
  cursor_ = i;
}

bool TMemDataSet::GetFieldData(TField* Field, void* Buffer) {
  TRecordBuffer rec = ActiveRecBuf();
  if (rec == nullptr) return false;
  if (Field->FieldNo() > 0) {
    size_t i = static_cast<size_t>(Field->FieldNo() - 1);
    if (i >= offsets_.size() || rec[header_size_ + static_cast<int>(i)] != 0) return false;
    if (Buffer != nullptr)
      std::memcpy(Buffer, rec + header_size_ + offsets_[i],
                  static_cast<size_t>(std::min(sizes_[i], Field->DataSize())));
    return true;
  }
  Byte* calc = rec + GetRecordSize() + Field->Offset();
  if (calc[0] == 0) return false;
  if (Buffer != nullptr) std::memcpy(Buffer, calc + 1, static_cast<size_t>(Field->DataSize()));
  return true;
}

void TMemDataSet::SetFieldData(TField* Field, const void* Buffer) {
  if (!dsWriteModes.Contains(State())) DatabaseError(SNotEditing, this);
  TRecordBuffer rec = ActiveRecBuf();
  if (rec == nullptr) DatabaseError(SNotEditing, this);
  if (Field->FieldNo() > 0) {
    if (State() == dsCalcFields) DatabaseError(SNotEditing, this);
    if (Field->ReadOnly() && State() != dsSetKey && State() != dsFilter)
      DatabaseErrorFmt(SFieldReadOnly, {Field->DisplayName()});
    Field->Validate(Buffer);
    size_t i = static_cast<size_t>(Field->FieldNo() - 1);
    Byte* data = rec + header_size_ + offsets_[i];
    size_t n = static_cast<size_t>(std::min(sizes_[i], Field->DataSize()));
    rec[header_size_ + static_cast<int>(i)] = Buffer == nullptr ? 1 : 0;
    if (Buffer != nullptr) std::memcpy(data, Buffer, n);
    else std::memset(data, 0, static_cast<size_t>(sizes_[i]));
  } else {
    Byte* calc = rec + GetRecordSize() + Field->Offset();
    calc[0] = Buffer == nullptr ? 0 : 1;
    if (Buffer != nullptr) std::memcpy(calc + 1, Buffer, static_cast<size_t>(Field->DataSize()));
  }
  TDataSetState s = State();
  if (s != dsCalcFields && s != dsFilter && s != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<NativeInt>(Field));
}

TStream* TMemDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  if (Mode != bmRead && !dsEditModes.Contains(State())) DatabaseError(SNotEditing, this);
  size_t slot = static_cast<size_t>(blob_index_.at(static_cast<size_t>(Field->FieldNo() - 1)));
  TRecordBuffer buffer = ActiveRecBuf();
  if (buffer == nullptr) return CreateFieldBlobStream(Field, Mode, String(), nullptr);
  return CreateFieldBlobStream(Field, Mode, blobs_[buffer][slot], [this, Field, buffer, slot](const String& V) {
    blobs_[buffer][slot] = V;
    buffer[header_size_ + Field->FieldNo() - 1] = V.empty() ? 1 : 0;
  });
}

bool TMemDataSet::BookmarkValid(const TBookmark& Bookmark) {
  if (Bookmark.size() < 8) return false;
  int64_t id;
  std::memcpy(&id, Bookmark.data(), 8);
  return IndexOfId(id) >= 0;
}

int TMemDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  if (Bookmark1.empty() || Bookmark2.empty()) {
    if (Bookmark1.empty() && Bookmark2.empty()) return 0;
    return Bookmark1.empty() ? 1 : -1;
  }
  int64_t a, b;
  std::memcpy(&a, Bookmark1.data(), 8);
  std::memcpy(&b, Bookmark2.data(), 8);
  int ia = IndexOfId(a), ib = IndexOfId(b);
  return ia < ib ? -1 : (ia > ib ? 1 : 0);
}

bool TMemDataSet::GetCurrentRecord(TRecordBuffer Buffer) {
  if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
  std::memcpy(Buffer, ActiveBuffer(), static_cast<size_t>(GetRecordSize()));
  return true;
}

int TMemDataSet::GetRecNo() {
  TRecordBuffer rec = ActiveRecBuf();
  if (rec == nullptr) return 0;
  int64_t id;
  std::memcpy(&id, rec, 8);
  return IndexOfId(id) + 1;
}

void TMemDataSet::SetRecNo(int Value) {
  CheckBrowseMode();
  if (Value < 1 || Value > static_cast<int>(rows_.size())) return;
  DoBeforeScroll();
  cursor_ = Value - 1;
  Resync({rmCenter});
  DoAfterScroll();
}

int TMemDataSet::GetRecordCount() {
  if (!Filtered()) return static_cast<int>(rows_.size());
  TRecordBuffer probe = AllocRecordBuffer();
  int count = 0;
  try {
    for (const TRow& row : rows_) {
      RowToBuffer(row, probe);
      if (RecordAccepted(probe)) ++count;
    }
  } catch (...) {
    FreeRecordBuffer(probe);
    throw;
  }
  FreeRecordBuffer(probe);
  return count;
}

// ---------------------------------------------------------------------------
// Filter evaluation

TFieldMap IdentityFieldMap() {
  TFieldMap map{};
  for (int i = 0; i < FieldTypeCount; ++i) map[static_cast<size_t>(i)] = static_cast<Byte>(i);
  return map;
}

namespace {

// SQL mask: "%" any run of characters, "_" one character (bytes here).
bool MaskMatch(const char* s, const char* m) {
  if (*m == '\0') return *s == '\0';
  if (*m == '%') return MaskMatch(s, m + 1) || (*s != '\0' && MaskMatch(s + 1, m));
  if (*s == '\0') return false;
  return (*m == '_' || *m == *s) && MaskMatch(s + 1, m + 1);
}

class TEvaluator {
 public:
  TEvaluator(const TExprData& Data, TDataSet* DataSet) : d_(Data), ds_(DataSet) { lit_ = Word16(8); }

  Variant Eval(int Node) {
    int n = CANEXPRSIZE + Node;
    int cls = Int32(n) & 0x7F, op = Int32(n + 4) & 0xFF;
    auto opw = [&](int i) { return Word16(n + 8 + 2 * i); };
    switch (cls) {
      case nodeUNARY: {
        Variant v = Eval(opw(0));
        bool blank = VarIsNull(v) || VarIsClear(v);
        if (op == coISBLANK) return blank;
        if (op == coNOTBLANK) return !blank;
        if (op == coNOT) return !v.AsBoolean();
        break;
      }
      case nodeBINARY:
        return Binary(op, opw(0), opw(1));
      case nodeCOMPARE: {
        Variant a = Eval(opw(2)), b = Eval(opw(3));
        bool an = VarIsNull(a), bn = VarIsNull(b);
        if (an || bn) return op == coNE ? an != bn : an == bn;
        String sa = a.AsString(), sb = b.AsString();
        if (opw(0) != 0) {
          sa = AnsiUpperCase(sa);
          sb = AnsiUpperCase(sb);
        }
        if (int len = opw(1); len > 0 && op != coLIKE) {
          WideString wa = Utf8ToWide(sa), wb = Utf8ToWide(sb);
          wa.resize(std::min(wa.size(), static_cast<size_t>(len)));
          wb.resize(std::min(wb.size(), static_cast<size_t>(len)));
          sa = WideToUtf8(wa);
          sb = WideToUtf8(wb);
        }
        if (op == coEQ) return sa == sb;
        if (op == coNE) return sa != sb;
        if (op == coLIKE) return MaskMatch(sa.c_str(), sb.c_str());
        break;
      }
      case nodeFIELD:
        return ds_->FieldByName(Text(lit_ + opw(1)))->Value();
      case nodeCONST:
        return Const(opw(0), lit_ + opw(2));
      case nodeFUNC: {
        String name = UpperCase(Text(lit_ + opw(0)));
        Variant arg = opw(1) != 0 ? List(opw(1)) : Unassigned();
        if (name == "UPPER") return AnsiUpperCase(VarToStr(arg));
        if (name == "LOWER") return AnsiLowerCase(VarToStr(arg));
        break;
      }
      case nodeLISTELEM:
        return List(Node);
      default:
        break;
    }
    throw EDatabaseError(SExprIncorrect);
  }

 private:
  Variant Binary(int op, int left, int right) {
    if (op == coAND) return Eval(left).AsBoolean() && Eval(right).AsBoolean();
    if (op == coOR) return Eval(left).AsBoolean() || Eval(right).AsBoolean();
    Variant a = Eval(left);
    if (op == coIN) {
      Variant list = Eval(right);
      if (!VarIsArray(list)) return VarCompareValue(a, list) == vrEqual;
      for (Integer i = VarArrayLowBound(list, 1); i <= VarArrayHighBound(list, 1); ++i)
        if (VarCompareValue(a, VarArrayGet(list, i)) == vrEqual) return true;
      return false;
    }
    Variant b = Eval(right);
    switch (op) {
      case coEQ:
        return VarCompareValue(a, b) == vrEqual;
      case coNE:
        return VarCompareValue(a, b) != vrEqual;
      case coGT:
        return VarCompareValue(a, b) == vrGreaterThan;
      case coLT:
        return VarCompareValue(a, b) == vrLessThan;
      case coGE:
        return VarCompareValue(a, b) == vrGreaterThan || VarCompareValue(a, b) == vrEqual;
      case coLE:
        return VarCompareValue(a, b) == vrLessThan || VarCompareValue(a, b) == vrEqual;
      case coADD:
        return a + b;
      case coSUB:
        return a - b;
      case coMUL:
        return a * b;
      case coDIV:
        return a / b;
      case coLIKE:
        return MaskMatch(VarToStr(a).c_str(), VarToStr(b).c_str());
      default:
        throw EDatabaseError(SExprIncorrect);
    }
  }

  Variant List(int Node) {
    std::vector<Variant> values;
    while (Node != 0 && (Int32(CANEXPRSIZE + Node) & 0x7F) == nodeLISTELEM) {
      values.push_back(Eval(Word16(CANEXPRSIZE + Node + 8)));
      Node = Word16(CANEXPRSIZE + Node + 10);
    }
    if (values.size() == 1) return values[0];
    return VarArrayOf(std::span<const Variant>(values.data(), values.size()));
  }

  Variant Const(int Type, int At) {
    switch (Type) {
      case ftString:
      case ftFixedChar:
        return Text(At);
      case ftSmallint:
        return static_cast<Integer>(static_cast<int16_t>(Word16(At)));
      case ftWord:
        return static_cast<Integer>(Word16(At));
      case ftInteger:
      case ftAutoInc:
        return Int32(At);
      case ftBoolean:
        return Word16(At) != 0;
      case ftFloat:
      case ftCurrency:
        return Read<double>(At);
      case ftLargeint:
        return static_cast<long long>(Read<int64_t>(At));
      case ftBCD: {
        TBcd b = ExprConstBcd(d_, static_cast<size_t>(At));
        Currency c;
        BCDToCurr(b, c);
        return c;
      }
      case ftDate:
        return VarFromDateTime(TimeStampToDateTime(TTimeStamp{0, Int32(At)}));
      case ftTime:
        return VarFromDateTime(TimeStampToDateTime(TTimeStamp{Int32(At), DateDelta}));
      case ftDateTime: {
        double ms = Read<double>(At);
        auto days = static_cast<Integer>(ms / MSecsPerDay);
        return VarFromDateTime(TimeStampToDateTime(TTimeStamp{static_cast<Integer>(ms - double(days) * MSecsPerDay), days}));
      }
      default:
        throw EDatabaseError(SExprIncorrect);
    }
  }

  template <class T>
  T Read(int At) const {
    T v;
    std::memcpy(&v, &d_.at(static_cast<size_t>(At) + sizeof(T) - 1) - (sizeof(T) - 1), sizeof(T));
    return v;
  }
  int Word16(int At) const { return Read<uint16_t>(At); }
  int32_t Int32(int At) const { return Read<int32_t>(At); }
  String Text(int At) const {
    d_.at(static_cast<size_t>(At));
    return String(reinterpret_cast<const char*>(&d_[static_cast<size_t>(At)]));
  }

  const TExprData& d_;
  TDataSet* ds_;
  int lit_;
};

}  // namespace

bool EvaluateFilter(const TExprData& Data, TDataSet* DataSet) {
  TEvaluator ev(Data, DataSet);
  return ev.Eval(0).AsBoolean();
}
