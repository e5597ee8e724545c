#include "platform/rtl/StringList.h"

#include <algorithm>
#include <numeric>

#include "platform/rtl/Locale.h"
#include "platform/rtl/Streams.h"

namespace {

const char* const kIndexError = "List index out of bounds (%d)";
const char* const kCapacityError = "List capacity out of bounds (%d)";
const char* const kSortedError = "Operation not allowed on sorted list";
const char* const kDuplicateError = "String list does not allow duplicates";

// Runs f between BeginUpdate and EndUpdate; EndUpdate also runs on failure.
template <class F>
void InUpdate(TStrings* list, F f) {
  list->BeginUpdate();
  try {
    f();
  } catch (...) {
    list->EndUpdate();
    throw;
  }
  list->EndUpdate();
}

bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

// ---------------------------------------------------------------------------
// TStrings

void TStrings::Error(const String& Msg, int Data) { throw EStringListError(Msg, {Data}); }

TObject* TStrings::GetObject(int /*Index*/) const { return nullptr; }

void TStrings::PutObject(int /*Index*/, TObject* /*AObject*/) {}

void TStrings::Put(int Index, const String& S) {
  TObject* obj = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, obj);
}

void TStrings::InsertObject(int Index, const String& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

int TStrings::Add(const String& S) {
  int result = GetCount();
  Insert(result, S);
  return result;
}

int TStrings::AddObject(const String& S, TObject* AObject) {
  int result = Add(S);
  PutObject(result, AObject);
  return result;
}

void TStrings::AddStrings(TStrings* Strings) {
  InUpdate(this, [&] {
    const int n = Strings->GetCount();  // fixed first: Strings may be this list
    for (int i = 0; i < n; ++i) AddObject(Strings->Get(i), Strings->GetObject(i));
  });
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TStrings*>(Source)) {
    if (src == this) return;
    InUpdate(this, [&] {
      Clear();
      AddStrings(src);
    });
    return;
  }
  TPersistent::Assign(Source);
}

bool TStrings::Equals(TStrings* Strings) const {
  const int n = GetCount();
  if (n != Strings->GetCount()) return false;
  for (int i = 0; i < n; ++i) {
    if (Get(i) != Strings->Get(i)) return false;
  }
  return true;
}

void TStrings::Exchange(int Index1, int Index2) {
  InUpdate(this, [&] {
    String s1 = Get(Index1);
    TObject* o1 = GetObject(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, s1);
    PutObject(Index2, o1);
  });
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  InUpdate(this, [&] {
    String s = Get(CurIndex);
    TObject* obj = GetObject(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, s, obj);
  });
}

int TStrings::IndexOf(const String& S) const {
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    if (CompareStrings(Get(i), S) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfName(const String& Name) const {
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    String s = Get(i);
    size_t p = s.find(name_value_separator_);
    if (p != String::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(TObject* AObject) const {
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    if (GetObject(i) == AObject) return i;
  }
  return -1;
}

int TStrings::CompareStrings(const String& S1, const String& S2) const { return AnsiCompareText(S1, S2); }

String TStrings::Names(int Index) const {
  String s = Get(Index);
  size_t p = s.find(name_value_separator_);
  return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::ValueFromIndex(int Index) const {
  if (Index < 0) return String();
  String s = Get(Index);
  size_t p = s.find(name_value_separator_);
  return p == String::npos ? String() : s.substr(p + 1);
}

String TStrings::Values(const String& Name) const {
  int i = IndexOfName(Name);
  return i < 0 ? String() : ValueFromIndex(i);
}

void TStrings::SetValues(const String& Name, const String& Value) {
  int i = IndexOfName(Name);
  if (!Value.empty()) {
    String line = Name + name_value_separator_ + Value;
    // A new line goes in whole, so a sorted list takes it at its place.
    if (i < 0) Add(line);
    else Put(i, line);
  } else if (i >= 0) {
    Delete(i);
  }
}

void TStrings::SetValueFromIndex(int Index, const String& Value) {
  if (!Value.empty()) {
    if (Index < 0) Add(name_value_separator_ + Value);
    else Put(Index, Names(Index) + name_value_separator_ + Value);
  } else if (Index >= 0) {
    Delete(Index);
  }
}

String TStrings::GetText() const {
  const int n = GetCount();
  String result;
  for (int i = 0; i < n; ++i) {
    result += Get(i);
    result += "\r\n";
  }
  return result;
}

void TStrings::SetText(const String& Value) {
  InUpdate(this, [&] {
    Clear();
    size_t i = 0;
    const size_t n = Value.size();
    while (i < n) {
      size_t start = i;
      while (i < n && Value[i] != '\r' && Value[i] != '\n') ++i;
      Add(Value.substr(start, i - start));
      if (i < n && Value[i] == '\r') ++i;
      if (i < n && Value[i] == '\n') ++i;
    }
  });
}

String TStrings::JoinDelimited(char Delim, char Quote) const {
  const int n = GetCount();
  if (n == 1 && Get(0).empty()) return String(2, Quote);
  String result;
  for (int i = 0; i < n; ++i) {
    if (i > 0) result += Delim;
    String s = Get(i);
    bool quote = std::any_of(s.begin(), s.end(), [&](char c) { return IsBlankByte(c) || c == Quote || c == Delim; });
    if (!quote) {
      result += s;
      continue;
    }
    result += Quote;
    for (char c : s) {
      if (c == Quote) result += Quote;
      result += c;
    }
    result += Quote;
  }
  return result;
}

void TStrings::SplitDelimited(const String& Value, char Delim, char Quote) {
  InUpdate(this, [&] {
    Clear();
    const size_t n = Value.size();
    size_t i = 0;
    while (i < n && IsBlankByte(Value[i])) ++i;
    while (i < n) {
      String s;
      if (Value[i] == Quote) {
        // Quoted item: a doubled quote stands for one; an unclosed quote runs
        // to the end of the text.
        ++i;
        while (i < n) {
          if (Value[i] != Quote) {
            s += Value[i++];
          } else if (i + 1 < n && Value[i + 1] == Quote) {
            s += Quote;
            i += 2;
          } else {
            ++i;
            break;
          }
        }
      } else {
        size_t start = i;
        while (i < n && !IsBlankByte(Value[i]) && Value[i] != Delim) ++i;
        s.assign(Value, start, i - start);
      }
      Add(s);
      while (i < n && IsBlankByte(Value[i])) ++i;
      if (i < n && Value[i] == Delim) {
        if (i + 1 == n) Add(String());
        do {
          ++i;
        } while (i < n && IsBlankByte(Value[i]));
      }
    }
  });
}

String TStrings::CommaText() const { return JoinDelimited(',', '"'); }
void TStrings::SetCommaText(const String& Value) { SplitDelimited(Value, ',', '"'); }
String TStrings::DelimitedText() const { return JoinDelimited(delimiter_, quote_char_); }
void TStrings::SetDelimitedText(const String& Value) { SplitDelimited(Value, delimiter_, quote_char_); }

void TStrings::BeginUpdate() {
  if (update_count_ == 0) SetUpdateState(true);
  ++update_count_;
}

void TStrings::EndUpdate() {
  if (update_count_ == 0) return;  // unbalanced: ignored
  --update_count_;
  if (update_count_ == 0) SetUpdateState(false);
}

void TStrings::LoadFromStream(TStream* Stream) {
  Int64 size = Stream->Size() - Stream->Position();
  String text;
  if (size > 0) {
    text.resize(static_cast<size_t>(size));
    Stream->ReadBuffer(text.data(), size);
  }
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  SetText(text);
}

void TStrings::SaveToStream(TStream* Stream) const {
  String text = GetText();
  Stream->WriteBuffer(text.data(), static_cast<Int64>(text.size()));
}

void TStrings::LoadFromFile(const String& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TStrings::SaveToFile(const String& FileName) const {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(&stream);
}

// ---------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
  on_change_ = nullptr;
  on_changing_ = nullptr;
  if (owns_objects_) {
    for (Item& item : items_) delete item.Obj;
  }
}

void TStringList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= GetCount()) Error(kIndexError, Index);
}

String TStringList::Get(int Index) const {
  CheckIndex(Index);
  return items_[static_cast<size_t>(Index)].S;
}

TObject* TStringList::GetObject(int Index) const {
  CheckIndex(Index);
  return items_[static_cast<size_t>(Index)].Obj;
}

void TStringList::Put(int Index, const String& S) {
  if (sorted_) throw EStringListError(kSortedError);
  CheckIndex(Index);
  Changing();
  items_[static_cast<size_t>(Index)].S = S;
  Changed();
}

void TStringList::PutObject(int Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  TObject* old = items_[static_cast<size_t>(Index)].Obj;
  items_[static_cast<size_t>(Index)].Obj = AObject;
  if (owns_objects_ && old != AObject) delete old;
  Changed();
}

void TStringList::Insert(int Index, const String& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int Index, const String& S, TObject* AObject) {
  if (sorted_) throw EStringListError(kSortedError);
  if (Index < 0 || Index > GetCount()) Error(kIndexError, Index);
  InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(int Index, const String& S, TObject* AObject) {
  Changing();
  items_.insert(items_.begin() + Index, Item{S, AObject});
  Changed();
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  Changing();
  TObject* obj = items_[static_cast<size_t>(Index)].Obj;
  items_.erase(items_.begin() + Index);
  if (owns_objects_) delete obj;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) {
    std::vector<Item>().swap(items_);
    return;
  }
  Changing();
  std::vector<Item> old;
  old.swap(items_);
  if (owns_objects_) {
    for (Item& item : old) delete item.Obj;
  }
  Changed();
}

void TStringList::SetCapacity(int NewCapacity) {
  if (NewCapacity < GetCount()) Error(kCapacityError, NewCapacity);
  auto cap = static_cast<size_t>(NewCapacity);
  if (cap > items_.capacity()) {
    items_.reserve(cap);
  } else if (cap < items_.capacity()) {
    std::vector<Item> smaller;
    smaller.reserve(cap);
    std::move(items_.begin(), items_.end(), std::back_inserter(smaller));
    items_.swap(smaller);
  }
}

int TStringList::Add(const String& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const String& S, TObject* AObject) {
  int index = GetCount();
  if (sorted_ && Find(S, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EStringListError(kDuplicateError);
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::Exchange(int Index1, int Index2) {
  if (sorted_) throw EStringListError(kSortedError);
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  std::swap(items_[static_cast<size_t>(Index1)], items_[static_cast<size_t>(Index2)]);
  Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  // Checked before anything moves: a sorted list keeps the line.
  if (sorted_) throw EStringListError(kSortedError);
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  Changing();
  auto cur = items_.begin() + CurIndex;
  auto dst = items_.begin() + NewIndex;
  if (CurIndex < NewIndex) std::rotate(cur, cur + 1, dst + 1);
  else std::rotate(dst, cur, cur + 1);
  Changed();
}

int TStringList::IndexOf(const String& S) const {
  if (!sorted_) return TStrings::IndexOf(S);
  int index;
  return Find(S, index) ? index : -1;
}

bool TStringList::Find(const String& S, int& Index) const {
  int lo = 0;
  int hi = GetCount() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = CompareStrings(items_[static_cast<size_t>(mid)].S, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) found = true;
    }
  }
  Index = lo;
  return found;
}

template <class Less>
void TStringList::SortBy(Less less) {
  if (items_.size() < 2) return;
  Changing();
  // Sort a permutation first: the compare function sees the list unchanged,
  // and a compare that throws leaves it as it was.
  std::vector<int> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), less);
  std::vector<Item> sorted;
  sorted.reserve(items_.capacity());
  for (int i : order) sorted.push_back(std::move(items_[static_cast<size_t>(i)]));
  items_.swap(sorted);
  Changed();
}

void TStringList::Sort() {
  SortBy([this](int a, int b) {
    return CompareStrings(items_[static_cast<size_t>(a)].S, items_[static_cast<size_t>(b)].S) < 0;
  });
}

void TStringList::CustomSort(TStringListSortCompare Compare) {
  if (sorted_) return;
  SortBy([this, Compare](int a, int b) { return Compare(this, a, b) < 0; });
}

void TStringList::SetSorted(bool Value) {
  if (sorted_ == Value) return;
  if (Value) Sort();
  sorted_ = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (case_sensitive_ == Value) return;
  case_sensitive_ = Value;
  if (sorted_) Sort();  // the order depends on it
}

int TStringList::CompareStrings(const String& S1, const String& S2) const {
  return case_sensitive_ ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating) Changing();
  else Changed();
}

void TStringList::Changing() {
  if (UpdateCount() == 0) on_changing_(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0) on_change_(this);
}
