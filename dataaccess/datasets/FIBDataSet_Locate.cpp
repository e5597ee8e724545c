// Locating records: Locate, Lookup, LocateRecord with its key preparation,
// sequential and binary search of the cache (the window of the limited
// model, whose server side is in FIBDataSet_Limited.cpp), the locate field
// check and the field-origin helpers.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

using fibdataset_internal::BcdToScaled;
using fibdataset_internal::DoubleToScaled;
using fibdataset_internal::PowerOfTen;
using fibdataset_internal::RescaleInt64;
using fibdataset_internal::SlotInteger;
using fibdataset_internal::SlotNumber;
using fibdataset_internal::WithValue;

// One key field, prepared for comparison with the cache images.
struct TFIBCustomDataSet::TLocateKey {
  enum TKind : Byte {
    kText,    // characters of a TEXT/VARYING column
    kGuid,    // the 16 bytes of a GUID column, as text
    kInt,     // an integer column, a DATE or TIME slot
    kBool,    // BOOLEAN, or an integer column of a Boolean field: not 0
    kFloat,   // a double (scaled SHORT/LONG as the field reads them)
    kSingle,  // a FLOAT column, compared in its own precision
    kStamp,   // a TIMESTAMP slot
    kScaled,  // an INT64 column with decimals: the scaled integer
    kField,   // read through the field (calculated, lookup, BLOB...)
  };
  TField* Field = nullptr;
  Integer Column = -1;
  TKind Kind = kField;
  bool FullSize = false;  // texts: the column's full width (octets)
  bool Null = false;      // the key is NULL
  bool NoMatch = false;   // no value of the column equals the key
  bool Asc = true;        // direction in the local sort (binary search)
  Int64 Int = 0;
  double Float = 0;
  String Text;            // the key's text
  String Upper;           // upper-cased (case-insensitive texts)
  Variant Value;          // kField
};

namespace {

size_t TrimmedLength(std::string_view Text, bool BlanksOnly) {
  size_t n = Text.size();
  while (n > 0) {
    const auto c = static_cast<unsigned char>(Text[n - 1]);
    if (BlanksOnly ? c != ' ' : c > ' ') break;
    --n;
  }
  return n;
}

bool KeyToScaled(const Variant& V, int Decimals, Int64& Result);

// A whole-numbered value of V (false: V has a fraction, so no integer
// equals it). Texts that are not numbers raise.
bool KeyToInt64(const Variant& V, Int64& Result) {
  switch (VarType(V)) {
    case varBoolean:
      Result = V.AsBoolean() ? 1 : 0;
      return true;
    case varSingle:
    case varDouble:
    case varDate: {
      const double d = V.AsDouble();
      if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= 9.2e18) return false;
      Result = static_cast<Int64>(d);
      return true;
    }
    case varCurrency: {
      const Int64 raw = V.AsCurrency().Value;
      if (raw % 10000 != 0) return false;
      Result = raw / 10000;
      return true;
    }
    case varFMTBcd:
      return KeyToScaled(V, 0, Result);
    case varString:
    case varOleStr: {
      const String text = Trim(V.AsString());
      if (TryStrToInt64(text, Result)) return true;
      return KeyToInt64(Variant(StrToFloat(text)), Result);
    }
    default:
      Result = V.AsInt64();
      return true;
  }
}

// V as an integer of Decimals places, exactly (false when V has more).
bool KeyToScaled(const Variant& V, int Decimals, Int64& Result) {
  switch (VarType(V)) {
    case varSingle:
    case varDouble:
    case varDate: {
      const double d = V.AsDouble();
      if (!DoubleToScaled(d, Decimals, Result)) return false;
      return static_cast<double>(Result) / PowerOfTen(Decimals) == d;
    }
    case varCurrency: {
      const Int64 raw = V.AsCurrency().Value;
      if (Decimals >= 4) return RescaleInt64(raw, Decimals - 4, Result);
      const auto unit = static_cast<Int64>(PowerOfTen(4 - Decimals));
      if (raw % unit != 0) return false;
      Result = raw / unit;
      return true;
    }
    case varString:
    case varOleStr:
    case varFMTBcd: {
      Int64 digits;
      int scale;
      const TBcd bcd = VarIsFMTBcd(V) ? VarToBcd(V) : StrToBcd(Trim(V.AsString()));
      if (!BcdToInt64(bcd, digits, scale)) return false;
      // Trailing zeros beyond the column's places do not count.
      while (scale > Decimals && digits % 10 == 0) {
        digits /= 10;
        --scale;
      }
      if (scale > Decimals) return false;
      return RescaleInt64(digits, Decimals - scale, Result);
    }
    case varBoolean:
      return RescaleInt64(V.AsBoolean() ? 1 : 0, Decimals, Result);
    default:
      return RescaleInt64(V.AsInt64(), Decimals, Result);
  }
}

int Sign(Int64 A, Int64 B) { return A < B ? -1 : A > B ? 1 : 0; }
int Sign(double A, double B) { return A < B ? -1 : A > B ? 1 : 0; }

}  // namespace

Int64 fibdataset_internal::SlotInteger(SmallInt SQLType, const Byte* Data) {
  switch (SQLType) {
    case SQL_SHORT: {
      int16_t v;
      std::memcpy(&v, Data, sizeof v);
      return v;
    }
    case SQL_INT64: {
      Int64 v;
      std::memcpy(&v, Data, sizeof v);
      return v;
    }
    case SQL_BOOLEAN:
      return Data[0];
    default: {
      int32_t v;
      std::memcpy(&v, Data, sizeof v);
      return v;
    }
  }
}

double fibdataset_internal::SlotNumber(SmallInt SQLType, SmallInt Scale, const Byte* Data) {
  switch (SQLType) {
    case SQL_FLOAT: {
      float v;
      std::memcpy(&v, Data, sizeof v);
      return v;
    }
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
      const auto raw = static_cast<double>(SlotInteger(SQLType, Data));
      return Scale < 0 ? raw / PowerOfTen(-Scale) : raw * PowerOfTen(Scale);
    }
    default: {
      double v;
      std::memcpy(&v, Data, sizeof v);
      return v;
    }
  }
}

// ===========================================================================
// Reading the cache

const Byte* TFIBCustomDataSet::CacheImage(Integer Number) { return cache_->GetRecordPtr(CacheRecordNo(Number)); }

std::string_view TFIBCustomDataSet::ImageText(Integer Number, const Byte* Image, Integer Column, bool FullSize) {
  const TColumnLayout& c = columns_[static_cast<size_t>(Column)];
  if (c.StoredApart) {
    std::string_view s = cache_->GetFieldString(CacheRecordNo(Number), c.StringIndex);
    return s.substr(0, static_cast<size_t>(c.Width));
  }
  const auto* chars = reinterpret_cast<const char*>(Image + c.ImageOffset);
  return {chars, FullSize ? static_cast<size_t>(c.Width) : strnlen(chars, static_cast<size_t>(c.Width))};
}

// ===========================================================================
// Keys

std::vector<TFIBCustomDataSet::TLocateKey> TFIBCustomDataSet::PrepareLocateKeys(const std::vector<TField*>& Fields,
                                                                                const Variant& KeyValues,
                                                                                TExtLocateOptions Options) {
  std::vector<TLocateKey> keys(Fields.size());
  const bool array = VarIsArray(KeyValues);
  const Integer low = array ? VarArrayLowBound(KeyValues, 1) : 0;
  if (!array && Fields.size() > 1) VarArrayLowBound(KeyValues, 1);  // raises: one value for several fields
  const bool caseInsensitive = Options.Contains(eloCaseInsensitive);
  // From the last key field to the first.
  for (size_t i = Fields.size(); i-- > 0;) {
    TLocateKey& k = keys[i];
    TField* field = Fields[i];
    k.Field = field;
    const Variant value = array ? VarArrayGet(KeyValues, low + static_cast<Integer>(i)) : KeyValues;
    k.Null = VarIsClear(value) || VarIsNull(value);
    const Integer column = field->FieldNo() - 1;
    const bool dataColumn = field->FieldKind() == fkData && column >= 0 &&
                            column < static_cast<Integer>(columns_.size());
    if (!dataColumn) {
      k.Kind = TLocateKey::kField;
      k.Value = value;
      if (!k.Null && ftStringTypes.Contains(field->DataType())) {
        k.Text = VarToStr(value);
        k.Upper = AnsiUpperCase(k.Text);
      }
      continue;
    }
    k.Column = column;
    const TColumnLayout& c = columns_[static_cast<size_t>(column)];
    switch (c.SQLType) {
      case SQL_TEXT:
      case SQL_VARYING:
        k.Kind = field->DataType() == ftGuid ? TLocateKey::kGuid : TLocateKey::kText;
        k.FullSize = field->DataType() == ftGuid || c.CharSetID == kOctetsCharSet;
        break;
      case SQL_SHORT:
      case SQL_LONG:
        k.Kind = c.Scale != 0                       ? TLocateKey::kFloat
                 : field->DataType() == ftBoolean ? TLocateKey::kBool
                                                  : TLocateKey::kInt;
        break;
      case SQL_BOOLEAN:
        k.Kind = TLocateKey::kBool;
        break;
      case SQL_FLOAT:
        k.Kind = TLocateKey::kSingle;
        break;
      case SQL_DOUBLE:
      case SQL_D_FLOAT:
        k.Kind = TLocateKey::kFloat;
        break;
      case SQL_INT64:
        k.Kind = c.Int64AsDouble ? TLocateKey::kFloat : c.Scale == 0 ? TLocateKey::kInt : TLocateKey::kScaled;
        break;
      case SQL_TIMESTAMP:
        k.Kind = TLocateKey::kStamp;
        break;
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIME:
        k.Kind = TLocateKey::kInt;
        break;
      default:
        k.Kind = TLocateKey::kField;
        k.Column = -1;
        k.Value = value;
        break;
    }
    if (k.Null || k.Kind == TLocateKey::kField) continue;
    switch (k.Kind) {
      case TLocateKey::kText:
      case TLocateKey::kGuid:
        k.Text = VarToStr(value);
        if (caseInsensitive) k.Upper = AnsiUpperCase(k.Text);
        break;
      case TLocateKey::kInt:
        if (c.SQLType == SQL_TYPE_DATE) k.Int = DateTimeToTimeStamp(VarToDateTime(value)).Date;
        else if (c.SQLType == SQL_TYPE_TIME) k.Int = TimeToSlot(VarToDateTime(value));
        else k.NoMatch = !KeyToInt64(value, k.Int);
        break;
      case TLocateKey::kBool:
        k.Int = VarType(value) == varString || VarType(value) == varOleStr ? StrToBool(VarToStr(value))
                                                                          : value.AsBoolean();
        break;
      case TLocateKey::kFloat:
        k.Float = value.AsDouble();
        break;
      case TLocateKey::kSingle:
        k.Float = static_cast<float>(value.AsDouble());
        break;
      case TLocateKey::kStamp:
        k.Float = DateTimeToSlot(VarToDateTime(value));
        break;
      case TLocateKey::kScaled:
        k.NoMatch = !KeyToScaled(value, -c.Scale, k.Int);
        break;
      default:
        break;
    }
  }
  return keys;
}

// ===========================================================================
// Comparing records with the keys

bool TFIBCustomDataSet::RecordMatches(Integer Number, const std::vector<TLocateKey>& Keys,
                                      TExtLocateOptions Options) {
  const bool caseInsensitive = Options.Contains(eloCaseInsensitive);
  const bool partial = Options.Contains(eloPartialKey);
  const bool wild = Options.Contains(eloWildCards);
  auto textMatches = [&](std::string_view Value, const TLocateKey& K) {
    if (wild) return SQLMaskCompareStr(String(Value), K.Text);
    if (caseInsensitive) {
      if (partial) return AnsiUpperCase(String(Value)).starts_with(K.Upper);
      return AnsiSameText(String(Value), K.Text);
    }
    return partial ? Value.starts_with(K.Text) : Value == K.Text;
  };
  const Byte* image = CacheImage(Number);
  for (const TLocateKey& k : Keys) {
    if (k.Kind == TLocateKey::kField) {
      bool matches = false;
      WithValue(record_access_, TRecordAccess::ByIndex, [&] {
        WithValue(record_access_index_, Number, [&] {
          TField* f = k.Field;
          if (f->IsNull() || k.Null) {
            matches = f->IsNull() == k.Null;
          } else if (ftStringTypes.Contains(f->DataType())) {
            matches = textMatches(f->AsString(), k);
          } else {
            matches = VarCompareValue(f->AsVariant(), k.Value) == vrEqual;
          }
        });
      });
      if (!matches) return false;
      continue;
    }
    const bool isNull = ImageNull(image, k.Column);
    if (isNull || k.Null) {
      if (isNull != k.Null) return false;
      continue;
    }
    if (k.NoMatch) return false;
    const TColumnLayout& c = columns_[static_cast<size_t>(k.Column)];
    const Byte* data = image + c.ImageOffset;
    switch (k.Kind) {
      case TLocateKey::kText: {
        std::string_view v = ImageText(Number, image, k.Column, k.FullSize);
        if (options_.Contains(poTrimCharFields) && !k.FullSize) v = v.substr(0, TrimmedLength(v, false));
        if (!textMatches(v, k)) return false;
        break;
      }
      case TLocateKey::kGuid: {
        TGUID guid{};
        std::string_view v = ImageText(Number, image, k.Column, true);
        std::memcpy(&guid, v.data(), std::min(v.size(), sizeof guid));
        if (!SameText(GUIDAsString(guid), Trim(k.Text))) return false;
        break;
      }
      case TLocateKey::kInt:
      case TLocateKey::kBool:
      case TLocateKey::kScaled: {
        const Int64 v = SlotInteger(c.StoredType(), data);
        if (k.Kind == TLocateKey::kBool ? (v != 0) != (k.Int != 0) : v != k.Int) return false;
        break;
      }
      case TLocateKey::kFloat:
      case TLocateKey::kSingle:
      case TLocateKey::kStamp:
        // A FLOAT key was cut to single precision, as the column holds it.
        if (SlotNumber(c.StoredType(), c.Scale, data) != k.Float) return false;
        break;
      default:
        return false;
    }
  }
  return true;
}

int TFIBCustomDataSet::CompareRecordWithKeys(Integer Number, const std::vector<TLocateKey>& Keys,
                                             TExtLocateOptions Options) {
  const Byte* image = CacheImage(Number);
  for (const TLocateKey& k : Keys) {
    const bool isNull = ImageNull(image, k.Column);
    int r;
    if (isNull || k.Null) {
      r = isNull == k.Null ? 0 : isNull ? -1 : 1;
    } else {
      const TColumnLayout& c = columns_[static_cast<size_t>(k.Column)];
      const Byte* data = image + c.ImageOffset;
      switch (k.Kind) {
        case TLocateKey::kText: {
          // As the sort compares: bytes, trailing blanks cut.
          std::string_view v = ImageText(Number, image, k.Column, k.FullSize);
          if (options_.Contains(poTrimCharFields) && !k.FullSize) v = v.substr(0, TrimmedLength(v, true));
          if (Options.Contains(eloPartialKey)) v = v.substr(0, std::min(v.size(), k.Text.size()));
          const int cmp = v.compare(k.Text);
          r = cmp < 0 ? -1 : cmp > 0 ? 1 : 0;
          break;
        }
        case TLocateKey::kFloat:
        case TLocateKey::kSingle:
        case TLocateKey::kStamp: {
          const double v = SlotNumber(c.StoredType(), c.Scale, data);
          r = Sign(v, k.Float);
          break;
        }
        default: {
          const Int64 v = SlotInteger(c.StoredType(), data);
          if (k.Kind == TLocateKey::kBool) r = Sign(Int64{v != 0}, Int64{k.Int != 0});
          else r = Sign(v, k.Int);
          break;
        }
      }
    }
    if (!k.Asc) r = -r;
    if (r != 0) return r;
  }
  return 0;
}

bool TFIBCustomDataSet::SortedKeyOrder(std::vector<TLocateKey>& Keys) {
  if (!sorted_ || !DefaultFieldComparison() || Keys.size() > order_info_.size()) return false;
  std::vector<TLocateKey> ordered;
  ordered.reserve(Keys.size());
  for (size_t i = 0; i < Keys.size(); ++i) {
    const TSortFieldInfo& info = order_info_[i];
    auto it = std::find_if(Keys.begin(), Keys.end(), [&](const TLocateKey& k) {
      return k.Field->Index() == info.FieldIndex || AnsiSameText(k.Field->FieldName(), info.FieldName);
    });
    if (it == Keys.end()) return false;
    switch (it->Kind) {
      case TLocateKey::kText:
        if (it->FullSize) return false;
        break;
      case TLocateKey::kGuid:
      case TLocateKey::kField:
        return false;
      default:
        break;
    }
    ordered.push_back(*it);
    ordered.back().Asc = info.Asc;
  }
  Keys = std::move(ordered);
  return true;
}

// ===========================================================================
// Searching

Integer TFIBCustomDataSet::FindRecord(const std::vector<TLocateKey>& Keys, TExtLocateOptions Options,
                                      TLocateKind Kind) {
  for (const TLocateKey& k : Keys)
    if (k.NoMatch && !k.Null) return -1;
  const bool onlyFetched = Options.Contains(eloInFetchedRecords);
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) {
    // The window only; it shows every record it holds.
    const TLimitedPosition& w = *limited_position_;
    if (Kind == lkPrior) {
      for (Integer n = std::min(current_record_index_, w.Last + 1) - 1; n >= w.First; --n)
        if (RecordMatches(n, Keys, Options)) return n;
      return -1;
    }
    for (Integer n = Kind == lkNext ? std::max(current_record_index_ + 1, w.First) : w.First; n <= w.Last; ++n)
      if (RecordMatches(n, Keys, Options)) return n;
    return -1;
  }
  auto test = [&](Integer n) { return RecordMatches(n, Keys, Options) && RecordVisibleAt(n); };

  std::vector<TLocateKey> sortedKeys = Keys;
  const bool caseOrPattern = Options.Contains(eloCaseInsensitive) || Options.Contains(eloWildCards);
  if (Options.Contains(eloInSortedDS) && Kind == lkStandard && !caseOrPattern && AllFetched() &&
      SortedKeyOrder(sortedKeys)) {
    // The first record not below the keys, then the first visible match of
    // the run of equal keys.
    Integer low = 0, high = fetched_count_;
    while (low < high) {
      const Integer mid = low + (high - low) / 2;
      if (CompareRecordWithKeys(mid, sortedKeys, Options) < 0) low = mid + 1;
      else high = mid;
    }
    for (Integer n = low; n < fetched_count_ && CompareRecordWithKeys(n, sortedKeys, Options) == 0; ++n)
      if (test(n)) return n;
    return -1;
  }

  if (Kind == lkPrior) {
    for (Integer n = std::min(current_record_index_, fetched_count_) - 1; n >= 0; --n)
      if (test(n)) return n;
    return -1;
  }
  for (Integer n = Kind == lkNext ? std::max(current_record_index_ + 1, 0) : 0;; ++n) {
    if (n >= fetched_count_) {
      if (onlyFetched) return -1;
      // Rows come one by one until the record after the last one searched.
      while (fetched_count_ <= n)
        if (!FetchRecord()) return -1;
    }
    if (test(n)) return n;
  }
}

bool TFIBCustomDataSet::LocateRecord(const String& KeyFields, const Variant& KeyValues, TExtLocateOptions Options,
                                     TLocateKind Kind) {
  CheckActive();
  CheckNotUniDirectional();
  CheckBrowseMode();
  if (IsEmpty() || !cache_) return false;
  std::vector<TField*> fields;
  GetFieldList(fields, KeyFields);
  if (fields.empty()) return false;
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize && !Options.Contains(eloInFetchedRecords)) {
    bool found = false;
    DisableControls();
    try {
      found = LocateLimited(fields, KeyValues, Options, Kind);
    } catch (...) {
      EnableControls();
      throw;
    }
    EnableControls();
    if (found) Resync({rmExact, rmCenter});
    return found;
  }
  const std::vector<TLocateKey> keys = PrepareLocateKeys(fields, KeyValues, Options);
  const Integer saved = current_record_index_;
  const Integer found = FindRecord(keys, Options, Kind);
  if (found < 0) {
    current_record_index_ = saved;
    return false;
  }
  current_record_index_ = found;
  if (Options.Contains(eloSyncCursor)) Resync({rmExact, rmCenter});
  else CursorPosChanged();
  return true;
}

bool TFIBCustomDataSet::Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
  TExtLocateOptions options{eloSyncCursor};
  if (Options.Contains(loCaseInsensitive)) options.Include(eloCaseInsensitive);
  if (Options.Contains(loPartialKey)) options.Include(eloPartialKey);
  if (sorted_) options.Include(eloInSortedDS);
  CheckBrowseMode();
  DoBeforeScroll();
  const bool found = LocateRecord(KeyFields, KeyValues, options, lkStandard);
  if (found) DoAfterScroll();
  return found;
}

Variant TFIBCustomDataSet::Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields) {
  if (Trim(ResultFields).empty()) return Variant();
  const Integer saved = current_record_index_;
  Variant result;
  auto restore = [&] {
    current_record_index_ = saved;
    CursorPosChanged();
  };
  auto valuesOf = [&](Integer Found) {
    WithValue(record_access_, TRecordAccess::ByIndex, [&] {
      WithValue(record_access_index_, Found, [&] { result = FieldValues(ResultFields); });
    });
  };
  try {
    if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize) {
      // The window first, then the server; the window stays as it is.
      CheckActive();
      CheckBrowseMode();
      std::vector<TField*> fields;
      GetFieldList(fields, KeyFields);
      if (!IsEmpty() && !fields.empty()) {
        CheckLocateFields(fields, "LocateForPartialCache");
        const Integer found = FindRecord(PrepareLocateKeys(fields, KeyValues, {}), {}, lkStandard);
        if (found >= 0) valuesOf(found);
        else result = LookupOnServer(fields, KeyValues, ResultFields);
      }
    } else {
      TExtLocateOptions options;
      if (sorted_) options.Include(eloInSortedDS);
      if (LocateRecord(KeyFields, KeyValues, options, lkStandard)) valuesOf(current_record_index_);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

void TFIBCustomDataSet::CheckLocateFields(const std::vector<TField*>& FieldList, const String& Operation) {
  const String where = CmpFullName(this) + "." + Operation;
  if (FieldList.empty()) RaiseClientError(fceFieldListEmpty, {where});
  for (TField* f : FieldList)
    if (f->FieldKind() != fkData) RaiseClientError(fceFieldNotUsable, {where, f->FieldName()});
}

// ===========================================================================
// Field origins

String TFIBCustomDataSet::GetFieldOrigin(const String& Name) {
  if (!select_query_->Prepared()) select_query_->Prepare();
  TFIBXSQLVAR* column = select_query_->FindField(Name);
  if (column == nullptr || column->RelationName().empty()) return String();
  String relation = select_query_->FieldRelationAlias(column->Index());
  if (relation.empty()) relation = column->RelationName();
  return FormatFieldName(relation, column->SqlName());
}

TField* TFIBCustomDataSet::FindFieldByOrigin(const String& Origin) {
  // The server keeps unquoted names upper-cased in every dialect.
  auto normal = [](String Part) {
    Part = Trim(Part);
    if (Part.size() >= 2 && Part.front() == '"' && Part.back() == '"') return Part.substr(1, Part.size() - 2);
    return UpperCase(Part);
  };
  // The "." outside double quotes.
  size_t dot = String::npos;
  bool quoted = false;
  for (size_t i = 0; i < Origin.size(); ++i) {
    if (Origin[i] == '"') quoted = !quoted;
    else if (Origin[i] == '.' && !quoted) dot = i;
  }
  const bool qualified = dot != String::npos;
  const String relation = qualified ? normal(Origin.substr(0, dot)) : String();
  const String column = normal(qualified ? Origin.substr(dot + 1) : Origin);
  for (int i = 0; i < TDataSet::FieldCount(); ++i) {
    TField* f = Fields()->Fields(i);
    if (GetFieldSQLName(f) != column) continue;
    if (!qualified || GetFieldRelationName(f) == relation) return f;
  }
  // The alias the server reports: a derived table's columns name their base
  // table, the select names the derived table.
  if (qualified && select_query_->Prepared())
    for (int i = 0; i < TDataSet::FieldCount(); ++i) {
      TField* f = Fields()->Fields(i);
      if (f->FieldKind() != fkData || f->FieldNo() < 1 || GetFieldSQLName(f) != column) continue;
      if (select_query_->FieldRelationAlias(f->FieldNo() - 1) == relation) return f;
    }
  return nullptr;
}
