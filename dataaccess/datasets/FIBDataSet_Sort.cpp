// Local sorting: DoSort and SortByFieldNames (in the limited model the
// server orders the rows), the ORDER BY information read at open, and
// keeping a sorted dataset sorted after a post.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <utility>

#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

using fibdataset_internal::SlotInteger;
using fibdataset_internal::SlotNumber;
using fibdataset_internal::TScreenCursorGuard;
using fibdataset_internal::WithCounterRaised;
using fibdataset_internal::kOrderByNotFound;
using fibdataset_internal::WithValue;

namespace {

// Stable merge sort of Items by Less (Less(a, b): a goes strictly before b).
// Less needs no strict weak order: an inconsistent answer gives some
// permutation, never a read outside the range or a loop.
template <class T, class LessFn>
void StableMergeSort(std::vector<T>& Items, LessFn Less) {
  constexpr size_t kRun = 24;
  const size_t n = Items.size();
  for (size_t start = 0; start < n; start += kRun) {
    const size_t end = std::min(start + kRun, n);
    for (size_t i = start + 1; i < end; ++i) {
      T item = std::move(Items[i]);
      size_t j = i;
      while (j > start && Less(item, Items[j - 1])) {
        Items[j] = std::move(Items[j - 1]);
        --j;
      }
      Items[j] = std::move(item);
    }
  }
  if (n <= kRun) return;
  std::vector<T> other(n);
  for (size_t width = kRun; width < n; width *= 2) {
    for (size_t low = 0; low < n; low += 2 * width) {
      const size_t mid = std::min(low + width, n), high = std::min(low + 2 * width, n);
      auto out = other.begin() + static_cast<std::ptrdiff_t>(low);
      if (mid >= high || !Less(Items[mid], Items[mid - 1])) {
        // Already in order.
        std::move(Items.begin() + static_cast<std::ptrdiff_t>(low), Items.begin() + static_cast<std::ptrdiff_t>(high),
                  out);
        continue;
      }
      size_t i = low, j = mid;
      while (i < mid && j < high) *out++ = Less(Items[j], Items[i]) ? std::move(Items[j++]) : std::move(Items[i++]);
      while (i < mid) *out++ = std::move(Items[i++]);
      while (j < high) *out++ = std::move(Items[j++]);
    }
    Items.swap(other);
  }
}

template <class T>
int Sign3(T A, T B) {
  return A < B ? -1 : B < A ? 1 : 0;
}

size_t TrimmedBlanks(std::string_view Text) {
  size_t n = Text.size();
  while (n > 0 && Text[n - 1] == ' ') --n;
  return n;
}

[[noreturn]] void InvalidSortParameter(size_t Index) {
  throw Exception("Can't sort. Invalid parameter: Fields[" + IntToStr(static_cast<Int64>(Index)) + "]");
}

void TraceSorting(TFIBCustomDataSet* DataSet) {
  if (MonitoringActive())
    if (TFIBSQLMonitorHook* hook = GetMonitorHook(); hook != nullptr && hook->KindMonitored(mdkExecute))
      hook->WriteSQLData(CmpFullName(DataSet) + ": do local sorting ", mdkExecute);
}

// The sort description of Fields and their directions.
std::vector<TSortFieldInfo> SortDescription(const std::vector<TField*>& Fields, const std::vector<bool>& Ascending) {
  std::vector<TSortFieldInfo> order;
  for (size_t i = 0; i < Fields.size(); ++i) {
    TSortFieldInfo info;
    info.FieldName = Fields[i]->FieldName();
    info.FieldIndex = Fields[i]->Index();
    info.InOrderIndex = static_cast<Integer>(i) + 1;
    info.Asc = Ascending[i];
    info.NullsFirst = info.Asc;
    order.push_back(info);
  }
  return order;
}

}  // namespace

// ===========================================================================
// Sort keys: each sort field's value of a record, read once

class TFIBCustomDataSet::TSortKeys {
 public:
  enum TKind : Byte { kInt, kFloat, kText, kVariant };
  struct TColumn {
    TField* Field = nullptr;
    TKind Kind = kVariant;
    Integer Column = -1;
    bool Asc = true;
    bool Boolean = false;  // an integer column read as a Boolean field
    std::vector<Byte> Nulls;
    std::vector<Int64> Ints;
    std::vector<double> Floats;
    std::vector<std::string_view> Texts;
    std::vector<Variant> Values;
  };

  TSortKeys(TFIBCustomDataSet* DataSet, const std::vector<TField*>& Fields, const std::vector<bool>& Ascending,
            size_t Slots, bool WholeCache)
      : ds_(DataSet), slots_(Slots) {
    const bool typed = ds_->DefaultFieldComparison();
    for (size_t i = 0; i < Fields.size(); ++i) {
      TColumn c;
      c.Field = Fields[i];
      c.Asc = Ascending[i];
      c.Kind = typed ? KindOf(c) : kVariant;
      // One key of at most 32 bits over the whole cache: ranked straight
      // from the images, no key vectors.
      direct_ = WholeCache && Fields.size() == 1 && c.Kind == kInt &&
                ds_->columns_[static_cast<size_t>(c.Column)].SQLType != SQL_INT64;
      if (direct_) {
        columns_.push_back(std::move(c));
        break;
      }
      c.Nulls.resize(Slots);
      switch (c.Kind) {
        case kInt:
          c.Ints.resize(Slots);
          break;
        case kFloat:
          c.Floats.resize(Slots);
          break;
        case kText:
          c.Texts.resize(Slots);
          break;
        case kVariant:
          c.Values.resize(Slots);
          needs_buffer_ = true;
          break;
      }
      columns_.push_back(std::move(c));
    }
    if (needs_buffer_) buffer_.reset(ds_->AllocRecordBuffer());
  }

  // Reads the keys of record Number into Slot.
  void Load(size_t Slot, Integer Number) {
    const Byte* image = ds_->CacheImage(Number);
    const bool trim = ds_->options_.Contains(poTrimCharFields);
    for (TColumn& c : columns_) {
      if (c.Kind == kVariant) continue;
      const bool isNull = ImageNull(image, c.Column);
      c.Nulls[Slot] = isNull;
      if (isNull) continue;
      const TColumnLayout& l = ds_->columns_[static_cast<size_t>(c.Column)];
      const Byte* data = image + l.ImageOffset;
      switch (c.Kind) {
        case kInt: {
          const Int64 v = SlotInteger(l.StoredType(), data);
          c.Ints[Slot] = c.Boolean ? (v != 0) : v;
          break;
        }
        case kFloat:
          c.Floats[Slot] = SlotNumber(l.StoredType(), l.Scale, data);
          break;
        case kText: {
          std::string_view v = ds_->ImageText(Number, image, c.Column, false);
          c.Texts[Slot] = trim ? v.substr(0, TrimmedBlanks(v)) : v;
          break;
        }
        default:
          break;
      }
    }
    if (!needs_buffer_) return;
    // Calculated and lookup fields, and every field with a comparison of
    // the dataset's own: the values as the fields read them.
    TRecordBuffer buffer = buffer_.get();
    ds_->ReadRecordFromCache(Number, buffer, false);
    ds_->SetBookmarkFlag(buffer, bfCurrent);
    ds_->GetCalcFields(buffer);
    ds_->ReadInFilterState(buffer, [&] {
      for (TColumn& c : columns_) {
        if (c.Kind != kVariant) continue;
        c.Nulls[Slot] = c.Field->IsNull();
        c.Values[Slot] = c.Nulls[Slot] ? Null() : c.Field->AsVariant();
      }
    });
  }

  // The order of the records 0..Slots-1 (a TSortKeys of the whole cache).
  std::vector<Integer> SortRecords() {
    if (!direct_) {
      for (size_t n = 0; n < slots_; ++n) Load(n, static_cast<Integer>(n));
      return SortedOrder();
    }
    const TColumn& c = columns_[0];
    const TColumnLayout& l = ds_->columns_[static_cast<size_t>(c.Column)];
    std::vector<uint64_t> items;
    items.reserve(slots_);
    for (size_t n = 0; n < slots_; ++n) {
      const Byte* image = ds_->CacheImage(static_cast<Integer>(n));
      const bool isNull = ImageNull(image, c.Column);
      Int64 v = isNull ? 0 : SlotInteger(l.StoredType(), image + l.ImageOffset);
      if (c.Boolean) v = v != 0;
      items.push_back(Rank(isNull, v, c.Asc) << 31 | n);
    }
    return RadixOrder(items);
  }

  // -1, 0, 1: the record in slot A against the one in slot B.
  int Compare(size_t A, size_t B) {
    for (TColumn& c : columns_) {
      int r;
      if (c.Kind == kVariant) {
        r = ds_->CompareFieldValues(c.Field, c.Values[A], c.Values[B]);
        r = r < 0 ? -1 : r > 0 ? 1 : 0;
      } else if (c.Nulls[A] || c.Nulls[B]) {
        r = static_cast<int>(c.Nulls[B]) - static_cast<int>(c.Nulls[A]);
      } else {
        switch (c.Kind) {
          case kInt:
            r = Sign3(c.Ints[A], c.Ints[B]);
            break;
          case kFloat:
            r = Sign3(c.Floats[A], c.Floats[B]);
            break;
          default: {
            const int t = c.Texts[A].compare(c.Texts[B]);
            r = t < 0 ? -1 : t > 0 ? 1 : 0;
            break;
          }
        }
      }
      if (r != 0) return c.Asc ? r : -r;
    }
    return 0;
  }

  // One integer or floating sort field: the sort runs over (key, slot)
  // pairs, without looking the keys up.
  bool SingleNumber() const { return columns_.size() == 1 && columns_[0].Kind != kText && columns_[0].Kind != kVariant; }

  // Sorts slots 0..Slots-1 (each loaded with the record of that number).
  std::vector<Integer> SortedOrder() {
    if (SingleNumber()) {
      const TColumn& c = columns_[0];
      if (c.Kind == kInt && FitsInt32(c)) return RadixSortInt32(c);
      return c.Kind == kInt ? SortSingle(c.Ints, c) : SortSingle(c.Floats, c);
    }
    std::vector<Integer> order(slots_);
    std::iota(order.begin(), order.end(), 0);
    StableMergeSort(order, [this](Integer A, Integer B) {
      return Compare(static_cast<size_t>(A), static_cast<size_t>(B)) < 0;
    });
    return order;
  }

 private:
  TKind KindOf(TColumn& C) const {
    TField* f = C.Field;
    const Integer column = f->FieldNo() - 1;
    if (f->FieldKind() != fkData || column < 0 || column >= static_cast<Integer>(ds_->columns_.size())) return kVariant;
    if (f->DataType() == ftGuid) return kVariant;
    const TColumnLayout& l = ds_->columns_[static_cast<size_t>(column)];
    C.Column = column;
    switch (l.SQLType) {
      case SQL_TEXT:
      case SQL_VARYING:
        return kText;
      case SQL_SHORT:
      case SQL_LONG:
      case SQL_INT64:
      case SQL_BOOLEAN:
        // An INT64 of more than four places may be held as a double.
        if (l.Int64AsDouble) return kFloat;
        // Scaled values keep one scale per column: their integers sort alike.
        C.Boolean = f->DataType() == ftBoolean;
        return kInt;
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIME:
        return kInt;
      case SQL_FLOAT:
      case SQL_DOUBLE:
      case SQL_D_FLOAT:
      case SQL_TIMESTAMP:
        return kFloat;
      default:
        C.Column = -1;
        return kVariant;
    }
  }

  bool FitsInt32(const TColumn& C) const {
    for (size_t i = 0; i < slots_; ++i)
      if (!C.Nulls[i] && (C.Ints[i] < INT32_MIN || C.Ints[i] > INT32_MAX)) return false;
    return slots_ < (size_t{1} << 31);
  }

  // A 32-bit key's rank in 33 bits: NULL first ascending, last descending.
  static uint64_t Rank(bool IsNull, Int64 Value, bool Asc) {
    constexpr uint64_t kSpan = uint64_t{1} << 32;
    if (IsNull) return Asc ? 0 : kSpan + 1;
    const auto u = static_cast<uint64_t>(Value - INT32_MIN);
    return Asc ? u + 1 : kSpan - u;
  }

  std::vector<Integer> RadixSortInt32(const TColumn& C) {
    std::vector<uint64_t> items(slots_);
    for (size_t i = 0; i < slots_; ++i) items[i] = Rank(C.Nulls[i] != 0, C.Ints[i], C.Asc) << 31 | i;
    return RadixOrder(items);
  }

  // Items are (rank << 31 | slot) in slot order: a stable LSD radix sort
  // over the rank's 33 bits gives the slots in sorted order.
  static std::vector<Integer> RadixOrder(std::vector<uint64_t>& Items) {
    constexpr int kBits = 11, kPasses = 3;
    constexpr size_t kBuckets = size_t{1} << kBits;
    const size_t n = Items.size();
    // Every pass's counts in one read.
    std::vector<size_t> counts(kPasses * kBuckets, 0);
    for (uint64_t item : Items)
      for (int p = 0; p < kPasses; ++p) ++counts[p * kBuckets + ((item >> (31 + p * kBits)) & (kBuckets - 1))];
    std::vector<int> passes;
    for (int p = 0; p < kPasses; ++p) {
      size_t* c = &counts[p * kBuckets];
      // One digit for all: the pass keeps the order.
      if (std::find(c, c + kBuckets, n) != c + kBuckets) continue;
      size_t start = 0;
      for (size_t b = 0; b < kBuckets; ++b) start += std::exchange(c[b], start);
      passes.push_back(p);
    }
    std::vector<Integer> order(n);
    if (passes.empty()) {
      for (size_t i = 0; i < n; ++i) order[i] = static_cast<Integer>(Items[i] & 0x7FFFFFFF);
      return order;
    }
    std::vector<uint64_t> other(passes.size() > 1 ? n : 0);
    for (size_t k = 0; k < passes.size(); ++k) {
      const int shift = 31 + passes[k] * kBits;
      size_t* c = &counts[static_cast<size_t>(passes[k]) * kBuckets];
      if (k + 1 == passes.size()) {
        // The last pass writes the slots themselves.
        for (uint64_t item : Items) order[c[(item >> shift) & (kBuckets - 1)]++] = static_cast<Integer>(item & 0x7FFFFFFF);
      } else {
        for (uint64_t item : Items) other[c[(item >> shift) & (kBuckets - 1)]++] = item;
        Items.swap(other);
      }
    }
    return order;
  }

  template <class K>
  std::vector<Integer> SortSingle(const std::vector<K>& Keys, const TColumn& C) {
    struct TEntry {
      K Key;
      Integer Slot;
      bool IsNull;
    };
    std::vector<TEntry> entries(slots_);
    for (size_t i = 0; i < slots_; ++i) entries[i] = {Keys[i], static_cast<Integer>(i), C.Nulls[i] != 0};
    auto ascending = [](const TEntry& A, const TEntry& B) {
      if (A.IsNull || B.IsNull) return A.IsNull && !B.IsNull;
      return A.Key < B.Key;
    };
    if (C.Asc) StableMergeSort(entries, ascending);
    else StableMergeSort(entries, [&](const TEntry& A, const TEntry& B) { return ascending(B, A); });
    std::vector<Integer> order(slots_);
    for (size_t i = 0; i < slots_; ++i) order[i] = entries[i].Slot;
    return order;
  }

  TFIBCustomDataSet* ds_;
  size_t slots_;
  std::vector<TColumn> columns_;
  bool needs_buffer_ = false;
  bool direct_ = false;
  std::unique_ptr<Byte[]> buffer_;
};

// ===========================================================================
// DoSort and SortByFieldNames

void TFIBCustomDataSet::ResolveSortFields(TVarRecs Fields, const std::vector<bool>& Ordering,
                                          std::vector<TField*>& Result, std::vector<bool>& Ascending) {
  Result.clear();
  Ascending.clear();
  for (size_t i = 0; i < Fields.size(); ++i) {
    const TVarRec& v = Fields[i];
    TField* field = nullptr;
    auto byIndex = [&](Int64 Index) {
      if (Index >= 0 && Index < TDataSet::FieldCount()) field = this->Fields()->Fields(static_cast<int>(Index));
    };
    switch (v.VType) {
      case TVarRec::vtInteger:
        byIndex(v.VInteger);
        break;
      case TVarRec::vtInt64:
        byIndex(v.VInt64);
        break;
      case TVarRec::vtChar:
        field = FindField(String(1, v.VChar));
        break;
      case TVarRec::vtPChar:
        if (v.VPChar != nullptr) field = FindField(v.VPChar);
        break;
      case TVarRec::vtAnsiString:
        field = FindField(*v.VAnsiString);
        break;
      case TVarRec::vtWideString:
        field = FindField(WideToUtf8(*v.VWideString));
        break;
      case TVarRec::vtWideChar:
        field = FindField(WideToUtf8(std::u16string(1, v.VWideChar)));
        break;
      case TVarRec::vtObject: {
        auto* f = dynamic_cast<TField*>(const_cast<TObject*>(v.VObject));
        if (f != nullptr && f->DataSet() == this) field = f;
        break;
      }
      case TVarRec::vtVariant:
        switch (VarType(*v.VVariant)) {
          case varSmallint:
          case varInteger:
          case varShortInt:
          case varByte:
          case varWord:
          case varLongWord:
          case varInt64:
            byIndex(v.VVariant->AsInt64());
            break;
          case varString:
          case varOleStr:
            field = FindField(VarToStr(*v.VVariant));
            break;
          default:
            break;
        }
        break;
      default:
        break;
    }
    if (field == nullptr) InvalidSortParameter(i);
    // BLOB, array and byte values have no order.
    static constexpr TFieldTypes kUnordered{ftArray, ftBytes, ftVarBytes, ftADT, ftReference, ftDataSet};
    if (field->IsBlob() || kUnordered.Contains(field->DataType()))
      throw Exception("Can't sort. Field " + field->FieldName() + " (Fields[" + IntToStr(static_cast<Int64>(i)) +
                      "]) has no order");
    Result.push_back(field);
    Ascending.push_back(i < Ordering.size() ? Ordering[i] : true);
  }
}

void TFIBCustomDataSet::DoSort(TVarRecs Fields, const std::vector<bool>& Ordering) {
  CheckActive();
  CheckNotUniDirectional();
  std::vector<TField*> fields;
  std::vector<bool> ascending;
  ResolveSortFields(Fields, Ordering, fields, ascending);
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) return SortLimited(fields, ascending);
  CheckBrowseMode();
  int countBefore = 0;
  WithValue(sorting_, true, [&] {
    TraceSorting(this);
    TScreenCursorGuard cursor(sql_screen_cursor_);
    const TBookmark bookmark = GetBookmark();
    DisableControls();
    try {
      WithCounterRaised(internal_navigation_count_, [&] {
        FetchAll();
        countBefore = RecordCount();
        ResetVisibleRecords();
        order_info_ = SortDescription(fields, ascending);
        sorted_ = true;
        if (fetched_count_ < 2) return;
        const TFIBUpdateRecordTypes savedTypes = update_record_types_;
        TFIBUpdateRecordTypes all{cusUnmodified, cusModified, cusInserted, cusDeleted, cusUninserted};
        update_record_types_ = all;
        try {
          const auto count = static_cast<size_t>(fetched_count_);
          TSortKeys keys(this, fields, ascending, count, true);
          const std::vector<Integer> order = keys.SortRecords();
          cache_->ReorderRecords(order);
        } catch (...) {
          update_record_types_ = savedTypes;
          order_info_.clear();
          sorted_ = false;
          throw;
        }
        update_record_types_ = savedTypes;
        if (!bookmark.empty() && BookmarkValid(bookmark)) GotoBookmark(bookmark);
      });
    } catch (...) {
      EnableControls();
      throw;
    }
    EnableControls();
  });
  // The view shows the records in their new order.
  RefreshVisibleRecords(countBefore);
}

void TFIBCustomDataSet::SortLimited(const std::vector<TField*>& Fields, const std::vector<bool>& Ascending) {
  // The server orders the rows: every sort field must be a table's column.
  for (size_t i = 0; i < Fields.size(); ++i) {
    TFIBXSQLVAR* column = Fields[i]->FieldKind() == fkData ? select_query_->FindField(Fields[i]->FieldName()) : nullptr;
    if (column == nullptr || column->RelationName().empty() || column->SqlName().empty())
      throw Exception("Can't sort. Field " + Fields[i]->FieldName() + " (Fields[" + IntToStr(static_cast<Int64>(i)) +
                      "]) is not a column of a table");
  }
  CheckBrowseMode();
  TraceSorting(this);
  TScreenCursorGuard cursor(sql_screen_cursor_);
  // The sort fields, then the select's order fields the sort leaves out:
  // every row keeps a place of its own.
  const std::vector<TSortFieldInfo> sort = SortDescription(Fields, Ascending);
  std::vector<TSortFieldInfo> order = sort;
  for (const TSortFieldInfo& info : limited_select_order_)
    if (std::none_of(order.begin(), order.end(),
                     [&](const TSortFieldInfo& o) { return AnsiSameText(o.FieldName, info.FieldName); })) {
      order.push_back(info);
      order.back().InOrderIndex = static_cast<Integer>(order.size());
    }
  const std::vector<TSortFieldInfo> savedOrder = limited_order_;
  const bool savedSorted = limited_sorted_;
  limited_order_ = order;
  limited_sorted_ = true;
  try {
    // A text the server refuses is found before the window moves.
    PrepareLimitedCacheQueries();
    for (TFIBQuery** q : LimitedQuerySlots()) (*q)->Prepare();
  } catch (...) {
    // The former statements again, the window read anew where it was.
    limited_order_ = savedOrder;
    limited_sorted_ = savedSorted;
    PrepareLimitedCacheQueries();
    TRecordBuffer active = GetActiveRecordBuffer();
    if (active == nullptr || GetBookmarkFlag(active) != bfCurrent || !PlaceLimitedByKeys(active)) RestartLimited();
    Resync({});
    throw;
  }
  order_info_ = sort;
  sorted_ = true;
  // The window is filled from the first row in the new order.
  limited_position_->First = 1;
  First();
}

void TFIBCustomDataSet::SortByFieldNames(TStrings* FieldNames, const std::vector<bool>& Ordering) {
  std::vector<TVarRec> fields;
  for (int i = 0; i < FieldNames->Count(); ++i) fields.emplace_back(FieldByName(FieldNames->Strings(i))->Index());
  DoSort(fields, Ordering);
}

// ===========================================================================
// ORDER BY information

void TFIBCustomDataSet::ReadOrderInfo() {
  order_info_.clear();
  sorted_ = false;
  const String text = select_query_->ReadySQLText();
  TStringList names;
  GetOrderFields(text, &names);
  if (names.Count() == 0) return;
  // Directions, item by item: a DESC or DESCENDING word outside quotes.
  std::vector<bool> ascending;
  std::vector<int> nulls;  // 1 NULLS FIRST, -1 NULLS LAST, 0 unsaid
  {
    const String order = StripSQLComments(GetOrderByPos(text).Text);
    String item;
    int depth = 0;
    bool quoted = false;
    auto flush = [&] {
      bool asc = true;
      int nullsAt = 0;
      String word, previous;
      bool inQuote = false;
      for (size_t i = 0; i <= item.size(); ++i) {
        const char c = i < item.size() ? item[i] : ' ';
        if (c == '"') inQuote = !inQuote;
        if (!inQuote && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
          const String w = UpperCase(word);
          if (w == "DESC" || w == "DESCENDING") asc = false;
          if (previous == "NULLS" && (w == "FIRST" || w == "LAST")) nullsAt = w == "FIRST" ? 1 : -1;
          if (!w.empty()) previous = w;
          word.clear();
        } else {
          word += c;
        }
      }
      if (!Trim(item).empty()) {
        ascending.push_back(asc);
        nulls.push_back(nullsAt);
      }
      item.clear();
    };
    for (char c : order) {
      if (c == '"' || c == '\'') quoted = !quoted;
      if (!quoted && c == '(') ++depth;
      if (!quoted && c == ')') --depth;
      if (!quoted && depth == 0 && c == ',') flush();
      else item += c;
    }
    flush();
  }
  const bool limited = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize;
  for (int i = 0; i < names.Count(); ++i) {
    const String name = names.Strings(i);
    TSortFieldInfo info;
    info.InOrderIndex = i + 1;
    info.Asc = static_cast<size_t>(i) < ascending.size() ? ascending[static_cast<size_t>(i)] : true;
    const int nullsAt = static_cast<size_t>(i) < nulls.size() ? nulls[static_cast<size_t>(i)] : 0;
    info.NullsFirst = nullsAt != 0 ? nullsAt > 0 : info.Asc;
    Integer position;
    TField* field = nullptr;
    if (TryStrToInt(name, position)) {
      field = FieldByNumber(position);
      info.FieldName = field != nullptr ? field->FieldName() : name;
    } else {
      field = FindFieldByOrigin(name);
      // alias.column: the alias's relation.
      const size_t dot = name.find('.');
      if (field == nullptr && dot != String::npos) {
        const String relation = TableByAlias(text, name.substr(0, dot));
        if (!relation.empty()) field = FindFieldByOrigin(relation + "." + name.substr(dot + 1));
      }
      if (field == nullptr) {
        order_info_.clear();
        // The limited model's conditions need every order field selected.
        if (limited) RaiseClientErrorMsg(kOrderByNotFound, {CmpFullName(this)});
        return;
      }
      info.FieldName = field->FieldName();
    }
    info.FieldIndex = field != nullptr ? field->Index() : -1;
    order_info_.push_back(info);
  }
}

// ===========================================================================
// Keeping the sort after a post

void TFIBCustomDataSet::KeepSorting() {
  if (!options_.Contains(poKeepSorting)) {
    order_info_.clear();
    sorted_ = false;
    return;
  }
  if (!sorted_ || order_info_.empty() || !Active() || IsEmpty()) return;
  std::vector<TField*> fields;
  std::vector<bool> ascending;
  for (const TSortFieldInfo& info : order_info_) {
    TField* field = FindField(info.FieldName);
    if (field == nullptr) return;
    fields.push_back(field);
    ascending.push_back(info.Asc);
  }
  TRecordBuffer active = GetActiveRecordBuffer();
  if (active == nullptr) return;
  const Integer from = RecordNumberOf(active);
  const Integer count = fetched_count_;
  if (from < 0 || from >= count) return;
  Integer target = from;
  WithValue(sorting_, true, [&] {
    // The other records stay sorted: the record goes after the last one
    // that does not sort after it.
    TSortKeys keys(this, fields, ascending, 2, false);
    keys.Load(0, from);
    Integer low = 0, high = count - 1;
    while (low < high) {
      const Integer mid = low + (high - low) / 2;
      keys.Load(1, mid < from ? mid : mid + 1);
      if (keys.Compare(0, 1) < 0) high = mid;
      else low = mid + 1;
    }
    target = low;
  });
  if (target == from) return;
  DisableControls();
  try {
    WithCounterRaised(internal_navigation_count_, [&] {
      cache_->MoveRecord(from, target);
      ResetVisibleRecords();
      current_record_index_ = target;
      Resync({});
    });
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}
