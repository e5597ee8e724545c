#include "dataaccess/core/pFIBLists.h"

#include <cstring>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"

// ===========================================================================
// TObjStringList

TObjStringList::TObjStringList(TObject* AOwner, bool AHashed)
    : owner_(AOwner), hashed_(AHashed), strings_(std::make_unique<TStringList>()) {
  if (!hashed_) {
    strings_->SetSorted(true);
    strings_->SetDuplicates(dupIgnore);
  }
}

TObjStringList::~TObjStringList() { Clear(); }

Integer TObjStringList::HashOf(const String& S) {
  // Bytes 1..n of the zero-terminated text (byte n is the terminator).
  const auto* p = reinterpret_cast<const unsigned char*>(S.c_str());
  const size_t n = S.size();
  uint32_t hash = 0;
  if (n < 16) {
    for (size_t k = 1; k <= n; ++k) hash = hash * 37 + p[k] - 32;
  } else {
    const size_t step = n / 8;
    for (size_t k = 1; k <= n; k += step) hash = hash * 39 + p[k] - 32;
  }
  return static_cast<Integer>(hash);
}

bool TObjStringList::HashFind(const String& S, Integer& Hash, int& Index) const {
  Hash = HashOf(S);
  const int count = static_cast<int>(hashes_.size());
  int low = 0, high = count - 1;
  while (low <= high) {
    int mid = (low + high) / 2;
    if (hashes_[mid] >= Hash) high = mid - 1;
    else low = mid + 1;
  }
  // low is the first entry with this hash (or the insertion point); only the
  // run of equal hashes is compared in full.
  int i = low;
  for (; i < count && hashes_[i] == Hash; ++i) {
    if (strings_->Strings(i) == S) {
      Index = i;
      return true;
    }
  }
  Index = i == count ? count : low;
  return false;
}

int TObjStringList::AddObject(const String& S, TObject* AObject) {
  if (!hashed_) return strings_->AddObject(S, AObject);
  Integer hash;
  int index;
  if (HashFind(S, hash, index)) return index;
  strings_->InsertObject(index, S, AObject);
  hashes_.insert(hashes_.begin() + index, hash);
  return index;
}

void TObjStringList::Delete(const String& S) {
  int index;
  if (Find(S, index)) DeleteAt(index);
}

bool TObjStringList::Find(const String& S, int& Index) const {
  if (!hashed_) return strings_->Find(S, Index);
  Integer hash;
  return HashFind(S, hash, Index);
}

TObject* TObjStringList::Objects(int Index) const { return strings_->Objects(Index); }

String TObjStringList::Strings(int Index) const { return strings_->Strings(Index); }

void TObjStringList::DeleteAt(int Index) {
  strings_->Delete(Index);  // checks the index first
  if (hashed_) hashes_.erase(hashes_.begin() + Index);
}

void TObjStringList::Clear() {
  for (int i = strings_->Count() - 1; i >= 0; --i) delete strings_->Objects(i);
  strings_->Clear();
  hashes_.clear();
}

int TObjStringList::Count() const { return strings_->Count(); }

// ===========================================================================
// TSortedList

bool TSortedList::Find(Integer Value, int& Index) const {
  bool found = false;
  int low = 0, high = Count() - 1;
  while (low <= high) {
    int mid = (low + high) / 2;
    if (values_[mid] >= Value) {
      high = mid - 1;
      if (values_[mid] == Value) found = true;
    } else {
      low = mid + 1;
    }
  }
  Index = low;
  return found;
}

int TSortedList::Add(Integer Value) {
  int index;
  if (!Find(Value, index)) values_.insert(values_.begin() + index, Value);
  return index;
}

void TSortedList::Remove(Integer Value) {
  int index;
  if (Find(Value, index)) values_.erase(values_.begin() + index);
}

void TSortedList::ShiftValues(Integer FromValue, Integer Delta) {
  int index;
  Find(FromValue, index);
  for (size_t i = static_cast<size_t>(index); i < values_.size(); ++i)
    values_[i] = static_cast<Integer>(static_cast<uint32_t>(values_[i]) + static_cast<uint32_t>(Delta));
}

Integer TSortedList::GetValue(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (%d)", {Index});
  return values_[static_cast<size_t>(Index)];
}

// ===========================================================================
// TStringCollection

TStringCollection::TStringCollection(int AXCount) : x_count_(AXCount < 0 ? 0 : AXCount) {
  columns_.resize(static_cast<size_t>(x_count_));
}

TStringCollection::~TStringCollection() { Clear(); }

int TStringCollection::AddRow() {
  if (y_count_ == capacity_) {
    capacity_ = capacity_ == 0 ? 128 : capacity_ + capacity_ / 2;
    for (auto& column : columns_) column.resize(static_cast<size_t>(capacity_));
  }
  for (auto& column : columns_) column[static_cast<size_t>(y_count_)].clear();
  return ++y_count_;
}

void TStringCollection::DeleteRow(int Y) {
  if (Y < 0 || Y >= y_count_) throw EListError("List index out of bounds (%d)", {Y});
  for (auto& column : columns_) {
    auto row = column.begin() + Y;
    row->clear();
    std::move(row + 1, column.begin() + y_count_, row);
    column[static_cast<size_t>(y_count_) - 1] = String();
  }
  --y_count_;
}

void TStringCollection::CheckCell(int X, int Y, bool Write) const {
  const char* prefix = Write ? "Can't write value to StrCollection. " : "Can't read value to StrCollection. ";
  if (X < 0 || X >= x_count_) AssertionFailed(String(prefix) + "Bad X-Index", "pFIBLists.cpp", __LINE__);
  if (Y < 0 || Y >= y_count_) AssertionFailed(String(prefix) + "Bad Y-Index", "pFIBLists.cpp", __LINE__);
}

const String& TStringCollection::GetString(int X, int Y) const {
  CheckCell(X, Y, false);
  return columns_[static_cast<size_t>(X)][static_cast<size_t>(Y)];
}

void TStringCollection::SetString(int X, int Y, const String& S) {
  CheckCell(X, Y, true);
  columns_[static_cast<size_t>(X)][static_cast<size_t>(Y)] = S;
}

void TStringCollection::SetPChar(int X, int Y, int Length, const char* Buffer) {
  CheckCell(X, Y, true);
  String& cell = columns_[static_cast<size_t>(X)][static_cast<size_t>(Y)];
  if (!Buffer || Length == 0) cell.clear();
  else cell.assign(Buffer, Length < 0 ? std::strlen(Buffer) : static_cast<size_t>(Length));
}

String* TStringCollection::CellPtr(int X, int Y) {
  if (X < 0 || X >= x_count_ || Y < 0 || Y >= y_count_) return nullptr;
  return &columns_[static_cast<size_t>(X)][static_cast<size_t>(Y)];
}

void TStringCollection::Clear() {
  for (auto& column : columns_) {
    column.clear();
    column.shrink_to_fit();
  }
  y_count_ = 0;
  capacity_ = 0;
}
