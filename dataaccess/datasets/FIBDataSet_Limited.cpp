// The limited cache model: the ORDER BY information and statements it needs
// at open, navigation through a ring of BufferChunks records refilled from
// the server past either end of the window, and what finds, re-reads or
// reorders rows on the server (locate, lookup, refresh, sorting).
//
// The window holds records First..Last (empty while Last < First); the
// current index is First - 1 at the beginning and Last + 1 at the end. While
// an ascending statement (SelectQuery, SelectPartQuery) is current its
// cursor stands right after Last; while a descending one (SelectDescQuery,
// SelectPartDescQuery) is current its cursor stands right before First.
// Moving past the end a cursor does not serve reopens the other direction
// from the boundary record's ORDER BY values.
//
// NULLs: the server sorts them first in ascending and last in descending
// order unless NULLS FIRST / NULLS LAST says otherwise. "F > ?P" is never
// true when either side is NULL, so for a nullable order column each
// comparison also admits the rows on the right side of a NULL boundary, and
// equality is "is not distinct from"; no row is skipped or repeated.
#include <algorithm>
#include <cstring>
#include <memory>

#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"

using fibdataset_internal::kOrderByNotFound;
using fibdataset_internal::WithValue;

namespace {

constexpr Integer kLastWindowStart = 1073741823;

// Relation alias "." origin column of the select column Name, quoted where
// needed (the column name itself when the select has no such column). A
// column of a join whose table has no alias takes the table's name: the
// same column name may stand in several of its tables.
String OrderColumnExpression(TFIBQuery* Select, const String& Name) {
  TFIBXSQLVAR* column = Select->FindField(Name);
  String origin = column != nullptr && !column->SqlName().empty() ? column->SqlName() : Name;
  if (origin == "DB_KEY") origin = "RDB$DB_KEY";
  String qualifier = column != nullptr ? Select->FieldRelationAlias(column->Index()) : String();
  if (qualifier.empty() && column != nullptr && !column->RelationName().empty()) {
    TStringList tables;
    GetFromTables(Select->ReadySQLText(), &tables, false);
    if (tables.Count() > 1) qualifier = column->RelationName();
  }
  return FormatFieldName(qualifier, origin);
}

String QuotedParamName(const String& Prefix, const String& Name) {
  const String name = Prefix + Name;
  return NeedQuote(name) ? "\"" + name + "\"" : name;
}

bool NullableColumn(TFIBQuery* Select, const String& Name) {
  TFIBXSQLVAR* column = Select->FindField(Name);
  return column == nullptr || column->IsNullable();
}

// The ORDER BY list of Order (or its reverse): column expressions with the
// direction and, where it is not the server's default, the NULLs' place.
String OrderByText(TFIBQuery* Select, const std::vector<TSortFieldInfo>& Order, bool Reversed) {
  String text;
  for (const TSortFieldInfo& info : Order) {
    const bool asc = info.Asc != Reversed, nullsFirst = info.NullsFirst != Reversed;
    if (!text.empty()) text += ", ";
    text += OrderColumnExpression(Select, info.FieldName) + (asc ? "" : " desc");
    if (nullsFirst != asc) text += nullsFirst ? " nulls first" : " nulls last";
  }
  return text;
}

// The server-locate condition: each key field equal to (starting with, like)
// its LOCATE_ parameter, upper-cased on both sides when case-insensitive.
String LocateCondition(TFIBQuery* Select, const std::vector<TField*>& Fields, TExtLocateOptions Options) {
  const bool caseless = Options.Contains(eloCaseInsensitive);
  String condition;
  for (TField* field : Fields) {
    String column = OrderColumnExpression(Select, field->FieldName());
    String param = "?" + QuotedParamName("LOCATE_", field->FieldName());
    if (caseless) {
      column = "UPPER(" + column + ")";
      param = "UPPER(" + param + ")";
    }
    if (!condition.empty()) condition += " and ";
    if (Options.Contains(eloPartialKey)) condition += "(" + column + " starting with " + param + ")";
    else if (Options.Contains(eloWildCards)) condition += "(" + column + " like " + param + ")";
    else condition += "(" + column + "=" + param + ")";
  }
  return condition;
}

// The LOCATE_ parameters from KeyValues (one value, or one per field).
void SetLocateValues(TFIBQuery* Query, const std::vector<TField*>& Fields, const Variant& KeyValues) {
  const bool array = VarIsArray(KeyValues);
  const Integer low = array ? VarArrayLowBound(KeyValues, 1) : 0;
  for (size_t i = 0; i < Fields.size(); ++i) {
    const Variant value = array ? VarArrayGet(KeyValues, low + static_cast<Integer>(i)) : KeyValues;
    Query->ParamByName("LOCATE_" + Fields[i]->FieldName())->SetAsVariant(value);
  }
}

}  // namespace

// ===========================================================================
// Open

void TFIBCustomDataSet::OpenLimitedCache() {
  // A persistent local sort outlives the reading of the ORDER BY; DoAfterOpen
  // applies it again.
  const bool keepSort = options_.Contains(poPersistentSorting) && sorted_ && !order_info_.empty();
  const std::vector<TSortFieldInfo> sort = order_info_;
  ReadOrderInfo();
  for (const TSortFieldInfo& info : order_info_)
    if (info.FieldIndex < 0 || FindField(info.FieldName) == nullptr)
      RaiseClientErrorMsg(kOrderByNotFound, {CmpFullName(this)});
  limited_select_order_ = order_info_;
  limited_order_ = order_info_;
  limited_sorted_ = false;
  limited_keys_.clear();
  TStrings* keys = auto_update_options_->KeyFieldsList();
  if (keys != nullptr && keys->Count() > 0) {
    for (int i = 0; i < keys->Count(); ++i) limited_keys_.push_back(keys->Strings(i));
  } else {
    for (const TSortFieldInfo& info : order_info_) limited_keys_.push_back(info.FieldName);
  }
  PrepareLimitedCacheQueries();
  if (!limited_position_) limited_position_ = std::make_unique<TLimitedPosition>();
  *limited_position_ = TLimitedPosition{0, -1, true, false};
  if (keepSort) {
    order_info_ = sort;
    sorted_ = true;
  }
}

void TFIBCustomDataSet::PrepareLimitedCacheQueries() {
  if (limited_order_.empty()) RaiseClientErrorMsg(kOrderByNotFound, {CmpFullName(this)});
  String forward, backward;
  for (auto it = limited_order_.rbegin(); it != limited_order_.rend(); ++it) {
    if (FindField(it->FieldName) == nullptr) continue;
    const String column = OrderColumnExpression(select_query_, it->FieldName);
    const String param = "?" + QuotedParamName("NEW_", it->FieldName);
    const bool nullable = NullableColumn(select_query_, it->FieldName);
    // Rows strictly after (Forward) or before the boundary value in the
    // order of the select.
    auto compare = [&](bool Forward) {
      const bool greater = it->Asc == Forward;
      const String plain = "(" + column + (greater ? ">" : "<") + param + ")";
      if (!nullable) return plain;
      // The NULL side: a NULL row after a value, or a value after a NULL.
      const bool rowNull = Forward != it->NullsFirst;
      const String nullSide =
          rowNull ? "(" + column + " is null and " + column + " is distinct from " + param + ")"
                  : "(" + column + " is not null and coalesce(" + param + ", " + column + ")=" + column + " and " +
                        column + " is distinct from " + param + ")";
      return "(" + plain + " or " + nullSide + ")";
    };
    if (forward.empty()) {
      forward = compare(true);
      backward = compare(false);
    } else {
      const String equal =
          nullable ? " and (" + column + " is not distinct from " + param + ")" : " and (" + column + "=" + param + ")";
      forward = "((" + forward + equal + ") or " + compare(true) + ")";
      backward = "((" + backward + equal + ") or " + compare(false) + ")";
    }
  }
  // A local sort replaces the select's ORDER BY in every statement; plans
  // made for the select's own order do not apply to it.
  const String select = select_query_->ReadySQLText();
  const String text = limited_sorted_
                          ? SetOrderByText(TSQLParser(select).SetPlan(String()),
                                           OrderByText(select_query_, limited_order_, false))
                          : select;
  const String reversed = limited_sorted_ ? OrderByText(select_query_, limited_order_, true)
                                          : ReverseOrderBy(select_query_->OrderClause());
  const String plan = limited_sorted_ ? String() : cache_model_options_->PlanForDescSQLs();
  limited_text_ = text;
  auto reset = [&](TFIBQuery*& Query, const char* Name) {
    if (Query == nullptr) Query = CreateInternalQuery(Name);
    Query->Close();
    Query->SetDatabase(Database());
    Query->SetTransaction(Transaction());
  };
  reset(select_desc_query_, "SelectDescQuery");
  select_desc_query_->BeginModifySQLText();
  select_desc_query_->SetSQLText(text);
  select_desc_query_->SetOrderClause(reversed);
  select_desc_query_->SetPlanClause(plan);
  select_desc_query_->EndModifySQLText();

  reset(select_part_query_, "SelectPartQuery");
  select_part_query_->SetSQLText(AddToWhere(text, forward, false));

  reset(select_part_desc_query_, "SelectPartDescQuery");
  select_part_desc_query_->BeginModifySQLText();
  select_part_desc_query_->SetSQLText(AddToWhere(text, backward, false));
  select_part_desc_query_->SetPlanClause(plan);
  select_part_desc_query_->SetOrderClause(reversed);
  select_part_desc_query_->EndModifySQLText();

  String locate;
  for (const String& key : limited_keys_) {
    if (FindField(key) == nullptr) continue;
    const String column = OrderColumnExpression(select_query_, key);
    const String param = "?" + QuotedParamName("LOCATE_", key);
    if (!locate.empty()) locate += " and ";
    locate += NullableColumn(select_query_, key) ? "(" + column + " is not distinct from " + param + ")"
                                                 : "(" + column + "=" + param + ")";
  }
  reset(select_locate_, "SelectLocate");
  select_locate_->SetSQLText(locate.empty() ? text : AddToWhere(text, locate, false));

  if (limited_sorted_) {
    reset(select_sorted_query_, "SelectSortedQuery");
    select_sorted_query_->SetSQLText(text);
  } else if (select_sorted_query_ != nullptr) {
    select_sorted_query_->Close();
  }
}

void TFIBCustomDataSet::CopyMainParams(TFIBQuery* Query) {
  if (Query == select_query_) return;
  TFIBXSQLDA* params = Query->Params();
  for (Integer i = 0; i < params->Count(); ++i)
    if (TFIBXSQLVAR* main = select_query_->FindParam(params->Vars(i)->Name())) params->Vars(i)->Assign(main);
}

// ===========================================================================
// Navigation

void TFIBCustomDataSet::StoreLimitedRow(Integer Number) { FetchRecordToCache(current_select_, Number); }

void TFIBCustomDataSet::OpenLimitedPart(TFIBQuery* Query, Integer RecordNumber) {
  std::unique_ptr<Byte[]> boundary(AllocRecordBuffer());
  ReadRecordFromCache(RecordNumber, boundary.get(), false);
  if (current_select_ != nullptr && current_select_->Open()) current_select_->Close();
  Query->Close();
  SetQueryParams(Query, boundary.get());
  Query->ExecQuery();
  current_select_ = Query;
}

void TFIBCustomDataSet::ShiftLimitedNumbers() {
  const Integer chunks = BufferChunks();
  TLimitedPosition& w = *limited_position_;
  w.First += chunks;
  w.Last += chunks;
  current_record_index_ += chunks;
  for (int i = 0; i <= BufferCount(); ++i) {
    TRecordBuffer buffer = Buffers(i);
    if (buffer == nullptr) continue;
    Integer number = RecordNumberOf(buffer);
    if (number < 0 && GetBookmarkFlag(buffer) != bfCurrent) continue;
    number += chunks;
    std::memcpy(buffer + kRecNoOffset, &number, sizeof number);
  }
}

TGetResult TFIBCustomDataSet::GetLimitedRecord(TRecordBuffer Buffer, TGetMode GetMode) {
  TLimitedPosition& w = *limited_position_;
  Integer& current = current_record_index_;
  const Integer chunks = BufferChunks();
  auto count = [&] { return w.Last - w.First + 1; };
  auto read = [&] {
    if (Buffer != nullptr) ReadRecordFromCache(current, Buffer, false);
    return grOK;
  };
  auto fetch = [&] { return current_select_ != nullptr && !current_select_->AtEnd() && current_select_->FetchNext() != nullptr; };
  switch (GetMode) {
    case gmCurrent:
      if (count() <= 0) return current < w.First ? grBOF : grEOF;
      if (current < w.First) return grBOF;
      current = std::min(current, w.Last);
      return read();
    case gmNext:
      if (current >= w.First - 1 && current < w.Last) {
        ++current;
        return read();
      }
      if (current > w.Last) return grEOF;
      if (!LimitedAscending()) {
        if (w.EndReached || count() <= 0) {
          current = w.Last + 1;
          return grEOF;
        }
        OpenLimitedPart(select_part_query_, w.Last);
      }
      if (!fetch()) {
        w.EndReached = true;
        current = w.Last + 1;
        return grEOF;
      }
      if (count() >= chunks) {
        ++w.First;
        w.BeginReached = false;
      }
      StoreLimitedRow(++w.Last);
      current = w.Last;
      fetched_count_ = count();
      return read();
    case gmPrior:
      if (current > w.First && current <= w.Last + 1) {
        --current;
        return read();
      }
      if (current != w.First || w.BeginReached) {
        current = w.First - 1;
        return grBOF;
      }
      if (LimitedAscending()) {
        if (count() <= 0) {
          current = w.First - 1;
          return grBOF;
        }
        OpenLimitedPart(select_part_desc_query_, w.First);
      }
      if (!fetch()) {
        w.BeginReached = true;
        current = w.First - 1;
        return grBOF;
      }
      if (w.First - 1 < 0) ShiftLimitedNumbers();
      if (count() >= chunks) {
        --w.Last;
        w.EndReached = false;
      }
      StoreLimitedRow(--w.First);
      current = w.First;
      fetched_count_ = count();
      return read();
  }
  return grError;
}

void TFIBCustomDataSet::LimitedFirst() {
  TLimitedPosition& w = *limited_position_;
  TFIBQuery* first = LimitedFirstQuery();
  if (current_select_ == first && w.First <= 0) {
    current_record_index_ = w.First - 1;
    return;
  }
  if (current_select_ != nullptr && current_select_->Open()) current_select_->Close();
  if (first->Open()) first->Close();
  CopyMainParams(first);
  first->ExecQuery();
  current_select_ = first;
  w = TLimitedPosition{0, -1, true, false};
  fetched_count_ = 0;
  current_record_index_ = -1;
}

void TFIBCustomDataSet::LimitedLast() {
  TLimitedPosition& w = *limited_position_;
  if (State() == dsInsert || w.EndReached) {
    current_record_index_ = w.Last + 1;
    return;
  }
  if (current_select_ != nullptr && current_select_->Open()) current_select_->Close();
  select_desc_query_->Close();
  CopyMainParams(select_desc_query_);
  select_desc_query_->ExecQuery();
  current_select_ = select_desc_query_;
  w = TLimitedPosition{kLastWindowStart, kLastWindowStart - 1, false, true};
  const Integer chunks = BufferChunks();
  for (Integer i = 0; i < chunks; ++i) {
    if (current_select_->AtEnd() || current_select_->FetchNext() == nullptr) {
      w.BeginReached = true;
      break;
    }
    StoreLimitedRow(--w.First);
  }
  fetched_count_ = w.Last - w.First + 1;
  current_record_index_ = w.Last + 1;
}

// ===========================================================================
// Placing a located row, bookmarks and locate

bool TFIBCustomDataSet::PlaceLimitedRow(TFIBQuery* Located) {
  if (Located->AtEnd() || Located->FetchNext() == nullptr) return false;
  TLimitedPosition& w = *limited_position_;
  const Integer chunks = BufferChunks();
  // Room below for the rows before it without a shift.
  const Integer base = chunks;
  if (current_select_ != nullptr && current_select_ != Located && current_select_->Open()) current_select_->Close();
  current_select_ = Located;
  StoreLimitedRow(base);
  w = TLimitedPosition{base, base, false, false};
  OpenLimitedPart(select_part_desc_query_, base);
  for (Integer i = 0; i < chunks / 2; ++i) {
    if (current_select_->AtEnd() || current_select_->FetchNext() == nullptr) {
      w.BeginReached = true;
      break;
    }
    StoreLimitedRow(--w.First);
  }
  OpenLimitedPart(select_part_query_, base);
  w.Last = base;
  for (Integer i = 0; i < chunks / 2 - 1; ++i) {
    if (current_select_->AtEnd() || current_select_->FetchNext() == nullptr) {
      w.EndReached = true;
      break;
    }
    StoreLimitedRow(++w.Last);
  }
  fetched_count_ = w.Last - w.First + 1;
  current_record_index_ = base;
  return true;
}

namespace {

template <class F>
void ForEachKeyColumn(TFIBCustomDataSet* DataSet, const std::vector<String>& Keys, F Each) {
  for (const String& key : Keys) {
    TField* field = DataSet->FindField(key);
    if (field != nullptr && field->FieldKind() == fkData && field->FieldNo() >= 1) Each(field->FieldNo() - 1);
  }
}

}  // namespace

Integer TFIBCustomDataSet::LimitedBookmarkSize() const {
  Integer size = 8;
  ForEachKeyColumn(const_cast<TFIBCustomDataSet*>(this), limited_keys_, [&](Integer Column) {
    const TColumnLayout& c = columns_[static_cast<size_t>(Column)];
    size += 1 + c.Width + (c.StoredApart ? 4 : 0);
  });
  return size;
}

void TFIBCustomDataSet::WriteLimitedKeys(TRecordBuffer Buffer, Byte* Data) const {
  // Only the value's bytes, zeros after them: equal keys give equal bytes
  // whatever the buffer held before.
  ForEachKeyColumn(const_cast<TFIBCustomDataSet*>(this), limited_keys_, [&](Integer Column) {
    const TColumnLayout& c = columns_[static_cast<size_t>(Column)];
    const auto width = static_cast<size_t>(c.Width + (c.StoredApart ? 4 : 0));
    const Byte isNull = Buffer[kNullFlagsOffset + Column];
    *Data++ = isNull;
    std::memset(Data, 0, width);
    const Byte* value = Buffer + c.Offset;
    if (isNull == 0 && (c.SQLType == SQL_TEXT || c.SQLType == SQL_VARYING)) {
      size_t length;
      const char* chars = ColumnChars(c, value, c.CharSetID == kOctetsCharSet, length);
      Byte* to = Data;
      if (c.StoredApart) {
        const auto stored = static_cast<Integer>(length);
        std::memcpy(to, &stored, sizeof stored);
        to += sizeof stored;
      }
      std::memcpy(to, chars, length);
    } else if (isNull == 0) {
      std::memcpy(Data, value, width);
    }
    Data += width;
  });
}

bool TFIBCustomDataSet::LimitedGotoBookmark(const Byte* Bookmark) {
  const TLimitedPosition& w = *limited_position_;
  const auto keySize = static_cast<size_t>(LimitedBookmarkSize() - 8);
  Integer number;
  std::memcpy(&number, Bookmark, sizeof number);
  std::unique_ptr<Byte[]> record(AllocRecordBuffer());
  std::vector<Byte> keys(keySize);
  auto sameKeys = [&](Integer Number) {
    ReadRecordFromCache(Number, record.get(), false);
    WriteLimitedKeys(record.get(), keys.data());
    return std::memcmp(keys.data(), Bookmark + 8, keySize) == 0;
  };
  // The record where it was, else elsewhere in the window.
  if (RecordHeld(number) && sameKeys(number)) {
    current_record_index_ = number;
    return true;
  }
  for (Integer n = w.First; n <= w.Last; ++n)
    if (sameKeys(n)) {
      current_record_index_ = n;
      return true;
    }
  // On the server by its key values.
  std::memset(record.get(), 0, static_cast<size_t>(record_size_));
  const Byte* data = Bookmark + 8;
  ForEachKeyColumn(this, limited_keys_, [&](Integer Column) {
    const TColumnLayout& c = columns_[static_cast<size_t>(Column)];
    const auto width = static_cast<size_t>(c.Width + (c.StoredApart ? 4 : 0));
    record[kNullFlagsOffset + Column] = *data++;
    std::memcpy(record.get() + c.Offset, data, width);
    data += width;
  });
  return PlaceLimitedByKeys(record.get());
}

bool TFIBCustomDataSet::PlaceLimitedByKeys(TRecordBuffer Record) {
  std::unique_ptr<Byte[]> record(AllocRecordBuffer());
  std::memcpy(record.get(), Record, static_cast<size_t>(record_size_));
  const Integer anyRecord = 0;
  std::memcpy(record.get() + kRecNoOffset, &anyRecord, sizeof anyRecord);
  select_locate_->Close();
  SetQueryParams(select_locate_, record.get(), true);
  select_locate_->ExecQuery();
  const bool placed = PlaceLimitedRow(select_locate_);
  if (select_locate_->Open()) select_locate_->Close();
  return placed;
}

void TFIBCustomDataSet::DropLimitedRecord(Integer Number) {
  const Integer neighbour = RecordHeld(Number + 1) ? Number + 1 : Number - 1;
  if (RecordHeld(neighbour)) {
    std::unique_ptr<Byte[]> record(AllocRecordBuffer());
    ReadRecordFromCache(neighbour, record.get(), false);
    if (PlaceLimitedByKeys(record.get())) return;
  }
  RestartLimited();
}

void TFIBCustomDataSet::RestartLimited() {
  // A window that does not start at record 0 makes LimitedFirst select anew.
  limited_position_->First = 1;
  LimitedFirst();
}

bool TFIBCustomDataSet::LocateLimited(const std::vector<TField*>& Fields, const Variant& KeyValues,
                                      TExtLocateOptions Options, TLocateKind Kind) {
  CheckLocateFields(Fields, "LocateForPartialCache");
  const TLimitedPosition& w = *limited_position_;
  const Integer current = current_record_index_;
  // Where the search starts: the first row; the rows after (before) the
  // current record; at the end, backwards from the last row.
  String base = limited_text_;
  Integer boundary = -1;
  if (Kind == lkNext) {
    if (current > w.Last) return false;
    if (current >= w.First) {
      base = select_part_query_->SQL()->Text();
      boundary = current;
    }
  } else if (Kind == lkPrior) {
    if (current < w.First) return false;
    if (current > w.Last) {
      base = select_desc_query_->SQL()->Text();
    } else {
      base = select_part_desc_query_->SQL()->Text();
      boundary = current;
    }
  }
  std::unique_ptr<TFIBQuery> located(CreateInternalQuery("QLocate"));
  located->SetDatabase(Database());
  located->SetTransaction(Transaction());
  located->SetSQLText(AddToWhere(base, LocateCondition(select_query_, Fields, Options), false));
  if (boundary >= 0) {
    std::unique_ptr<Byte[]> record(AllocRecordBuffer());
    ReadRecordFromCache(boundary, record.get(), false);
    SetQueryParams(located.get(), record.get());
  } else {
    CopyMainParams(located.get());
  }
  SetLocateValues(located.get(), Fields, KeyValues);
  located->ExecQuery();
  bool placed = false;
  try {
    placed = PlaceLimitedRow(located.get());
  } catch (...) {
    // The statement goes: the window fetches no more from it.
    if (current_select_ == located.get()) current_select_ = select_query_;
    throw;
  }
  if (!placed) current_record_index_ = current;
  located->Close();
  return placed;
}

Variant TFIBCustomDataSet::LookupOnServer(const std::vector<TField*>& Fields, const Variant& KeyValues,
                                          const String& ResultFields) {
  // Any row with the keys will do: no ORDER BY.
  std::unique_ptr<TFIBQuery> lookup(CreateInternalQuery("QLookUp"));
  lookup->SetDatabase(Database());
  lookup->SetTransaction(Transaction());
  lookup->SetSQLText(AddToWhere(SetOrderByText(select_query_->ReadySQLText(), String()),
                                LocateCondition(select_query_, Fields, {}), false));
  CopyMainParams(lookup.get());
  SetLocateValues(lookup.get(), Fields, KeyValues);
  lookup->ExecQuery();
  Variant result;
  if (!lookup->AtEnd() && lookup->FetchNext() != nullptr) result = LimitedRowValues(lookup.get(), ResultFields);
  lookup->Close();
  return result;
}

Variant TFIBCustomDataSet::LimitedRowValues(TFIBQuery* Query, const String& ResultFields) {
  // The row goes into a one-record cache of the same layout for the
  // duration: the fields read it as any record, calculated fields included,
  // and the window stays as it is.
  auto scratch = std::make_unique<TRecordsCache>(1, record_size_, image_size_, string_field_count_);
  for (const TColumnLayout& c : columns_)
    if (c.StoredApart) scratch->SetStringFieldLayout(c.StringIndex + 1, c.Offset - kCachedPartOffset, c.Width);
  scratch->AddBlock();
  std::unique_ptr<Byte[]> buffer(AllocRecordBuffer());
  Variant result;
  cache_.swap(scratch);
  auto restore = [&] {
    cache_.swap(scratch);
    // The statement goes with this call: its column matches with it.
    mapped_query_ = nullptr;
  };
  try {
    WithValue(after_fetch_record_, TOnFetchRecord(), [&] { FetchRecordToCache(Query, 0); });
    ReadRecordFromCache(0, buffer.get(), false);
    SetBookmarkFlag(buffer.get(), bfCurrent);
    GetCalcFields(buffer.get());
    ReadInFilterState(buffer.get(), [&] { result = FieldValues(ResultFields); });
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

// ===========================================================================
// Refreshing records

void TFIBCustomDataSet::UpdateLimitedRecord(TFIBQuery* Query, TRecordBuffer Buffer, bool KeepOldVersion) {
  const Integer number = RecordNumberOf(Buffer);
  const bool held = RecordHeld(number);
  const bool editing = dsEditModes.Contains(State());
  // The version before the refresh: what the order values are compared with.
  if (held && (!KeepOldVersion || State() == dsInsert)) cache_->SaveOldVersion(CacheRecordNo(number));
  if (!RefreshRecord(Query, Buffer)) {
    if (editing) {
      // The edited values go back to those before the edit (an inserted
      // record is its own old version).
      if (held && State() == dsEdit) {
        std::unique_ptr<Byte[]> old(GetOldRecordBuffer(number));
        for (size_t column = 0; column < columns_.size(); ++column) {
          const TColumnLayout& c = columns_[column];
          if (c.SQLType == SQL_BLOB) continue;
          Buffer[kNullFlagsOffset + column] = old[kNullFlagsOffset + column];
          std::memcpy(Buffer + c.Offset, old.get() + c.Offset, static_cast<size_t>(c.Width + (c.StoredApart ? 4 : 0)));
        }
      }
      return;
    }
    // Gone on the server: out of the window, or client error 48.
    if (!options_.Contains(poRefreshDeletedRecord) || !held)
      RaiseClientError(fceCannotRefreshRow, {CmpFullName(this)});
    DropLimitedRecord(number);
    if (!refreshing_) DoAfterRefresh();
    return;
  }
  if (editing) return;
  // The BLOB fields read the values of the row as it is now.
  if (blob_count_ > 0) {
    FreeRecordBlobStreams(Buffer + blob_slots_offset_);
    WriteRecordToCache(number, Buffer);
  }
  // Moved in the order: the window is filled around it again.
  if (!KeepOldVersion && held && SortKeyChanged(Buffer) && !PlaceLimitedByKeys(Buffer)) RestartLimited();
}

void TFIBCustomDataSet::FullRefreshLimited() {
  CheckBrowseMode();
  UpdateCursorPos();
  TRecordBuffer active = GetActiveRecordBuffer();
  // The window is read again around the active record, found by its keys:
  // the record with its BLOB values, its neighbours and its place in the
  // order. A record gone from the server leaves its neighbour current; with
  // none shown the first rows are read.
  if (active == nullptr || GetBookmarkFlag(active) != bfCurrent) RestartLimited();
  else if (!PlaceLimitedByKeys(active)) DropLimitedRecord(RecordNumberOf(active));
  Resync({});
  DoAfterRefresh();
}
