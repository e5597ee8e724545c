// TStrings and TStringList: lists of text lines, each with an attached object.
//
// Objects are TObject*. A list does not own them unless it is a TStringList
// with OwnsObjects; small values may be stored cast to TObject* in lists that
// do not own their objects.
//
// TStrings (abstract) gives every list of lines the same operations on top of
// a few virtual primitives (Get, GetCount, Put, Insert, Delete, Clear, ...):
//  - Names/Values: a line "Name=Value" (separator NameValueSeparator, "=" by
//    default) has the name before the first separator and the value after it.
//    A line without separator has an empty name and value. Names are compared
//    with CompareStrings. Setting a value to "" deletes the line; another
//    value replaces the line or appends "Name=Value".
//  - Text: every line followed by CR LF. Setting it splits at CR, LF or
//    CR LF; a line break at the very end adds no empty line.
//  - DelimitedText (Delimiter, QuoteChar; "," and "\"" by default) and
//    CommaText (always "," and "\""): lines joined by the delimiter; a line
//    holding a byte up to the space, the delimiter or the quote character is
//    quoted with the quote character doubled inside; one empty line alone is
//    written as two quote characters. Reading splits at the delimiter and at
//    runs of bytes up to the space (outside quotes), skips such runs around
//    items, turns a quoted item back into its text, and a delimiter at the
//    very end adds an empty line.
//  - BeginUpdate/EndUpdate nest; SetUpdateState(true) runs when the outermost
//    update starts and SetUpdateState(false) when it ends.
//  - LoadFromStream reads from the stream's position to its end as UTF-8 text
//    (a leading UTF-8 byte-order mark is skipped); SaveToStream writes Text.
//
// TStringList keeps its lines in memory:
//  - OnChanging fires before and OnChange after each change, except inside
//    BeginUpdate/EndUpdate, where they fire once: OnChanging when the
//    outermost update starts and OnChange when it ends.
//  - Sorted keeps the lines in CompareStrings order: Add/AddObject insert at
//    the sorted place (found by binary search with Find), Duplicates decides
//    what happens to a line that compares equal to one present: dupIgnore
//    adds nothing (and returns the present line's index; the object passed
//    stays the caller's), dupError raises EStringListError "String list does
//    not allow duplicates", dupAccept adds it before the equal lines.
//    Duplicates are only looked for in sorted lists.
//    Insert, Put, Exchange and Move raise EStringListError "Operation not
//    allowed on sorted list"; CustomSort does nothing on a sorted list.
//  - CompareStrings is AnsiCompareText, or AnsiCompareStr with CaseSensitive
//    (false by default). Changing CaseSensitive re-sorts a sorted list.
//  - Sort orders by CompareStrings; CustomSort by a compare function. Both
//    are stable.
//  - OwnsObjects: the list frees the objects of lines it deletes or clears,
//    an object replaced by PutObject, and all of them when it is freed.
//  - An index outside the lines raises EStringListError "List index out of
//    bounds (<index>)".
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

#include <vector>

class TStream;

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
 public:
  TStrings() = default;

  // Primitives of a concrete list.
  virtual int GetCount() const = 0;
  virtual String Get(int Index) const = 0;
  virtual TObject* GetObject(int Index) const;  // the default has none
  virtual void Put(int Index, const String& S);  // default: delete and re-insert
  virtual void PutObject(int Index, TObject* AObject);  // the default ignores it
  virtual void Insert(int Index, const String& S) = 0;
  virtual void InsertObject(int Index, const String& S, TObject* AObject);
  virtual void Delete(int Index) = 0;
  virtual void Clear() = 0;
  virtual int GetCapacity() const { return GetCount(); }
  virtual void SetCapacity(int /*NewCapacity*/) {}

  // Appends (or, in a sorted list, inserts at its place); returns the index.
  virtual int Add(const String& S);
  virtual int AddObject(const String& S, TObject* AObject);
  virtual void AddStrings(TStrings* Strings);
  // Copies the lines and objects of another TStrings.
  void Assign(TPersistent* Source) override;
  // Same number of lines, equal byte for byte.
  virtual bool Equals(TStrings* Strings) const;
  virtual void Exchange(int Index1, int Index2);
  virtual void Move(int CurIndex, int NewIndex);
  // Index of the first match under CompareStrings, -1 when none.
  virtual int IndexOf(const String& S) const;
  virtual int IndexOfName(const String& Name) const;
  virtual int IndexOfObject(TObject* AObject) const;

  int Count() const { return GetCount(); }
  String Strings(int Index) const { return Get(Index); }
  void SetStrings(int Index, const String& S) { Put(Index, S); }
  TObject* Objects(int Index) const { return GetObject(Index); }
  void SetObjects(int Index, TObject* AObject) { PutObject(Index, AObject); }
  int Capacity() const { return GetCapacity(); }

  String Names(int Index) const;
  String Values(const String& Name) const;
  void SetValues(const String& Name, const String& Value);
  String ValueFromIndex(int Index) const;
  void SetValueFromIndex(int Index, const String& Value);
  char NameValueSeparator() const { return name_value_separator_; }
  void SetNameValueSeparator(char Value) { name_value_separator_ = Value; }

  virtual String GetText() const;
  virtual void SetText(const String& Value);
  String Text() const { return GetText(); }
  String CommaText() const;
  void SetCommaText(const String& Value);
  String DelimitedText() const;
  void SetDelimitedText(const String& Value);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char Value) { delimiter_ = Value; }
  char QuoteChar() const { return quote_char_; }
  void SetQuoteChar(char Value) { quote_char_ = Value; }

  void BeginUpdate();
  void EndUpdate();

  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToStream(TStream* Stream) const;
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName) const;

 protected:
  // <0, 0 or >0; the base compares with AnsiCompareText.
  virtual int CompareStrings(const String& S1, const String& S2) const;
  virtual void SetUpdateState(bool /*Updating*/) {}
  int UpdateCount() const { return update_count_; }
  [[noreturn]] static void Error(const String& Msg, int Data);

 private:
  String JoinDelimited(char Delim, char Quote) const;
  void SplitDelimited(const String& Value, char Delim, char Quote);

  int update_count_ = 0;
  char name_value_separator_ = '=';
  char delimiter_ = ',';
  char quote_char_ = '"';
};

class TStringList;
using TStringListSortCompare = int (*)(TStringList* List, int Index1, int Index2);

class TStringList : public TStrings {
 public:
  TStringList() = default;
  explicit TStringList(bool OwnsObjects) : owns_objects_(OwnsObjects) {}
  ~TStringList() override;

  int GetCount() const override { return static_cast<int>(items_.size()); }
  String Get(int Index) const override;
  TObject* GetObject(int Index) const override;
  void Put(int Index, const String& S) override;
  void PutObject(int Index, TObject* AObject) override;
  void Insert(int Index, const String& S) override;
  void InsertObject(int Index, const String& S, TObject* AObject) override;
  void Delete(int Index) override;
  void Clear() override;
  int GetCapacity() const override { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int NewCapacity) override;

  int Add(const String& S) override;
  int AddObject(const String& S, TObject* AObject) override;
  void Exchange(int Index1, int Index2) override;
  void Move(int CurIndex, int NewIndex) override;
  int IndexOf(const String& S) const override;

  // Binary search of a sorted list: true when a line compares equal (Index
  // is the first such line), else false with Index the insertion point.
  virtual bool Find(const String& S, int& Index) const;
  virtual void Sort();
  virtual void CustomSort(TStringListSortCompare Compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates Value) { duplicates_ = Value; }
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool Value);
  bool OwnsObjects() const { return owns_objects_; }
  void SetOwnsObjects(bool Value) { owns_objects_ = Value; }

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }
  const TNotifyEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(TNotifyEvent Value) { on_changing_ = std::move(Value); }

 protected:
  int CompareStrings(const String& S1, const String& S2) const override;
  void SetUpdateState(bool Updating) override;
  // Fire OnChange / OnChanging unless inside an update.
  virtual void Changed();
  virtual void Changing();
  // Inserts without the sorted-list check (Index already validated).
  virtual void InsertItem(int Index, const String& S, TObject* AObject);

 private:
  struct Item {
    String S;
    TObject* Obj = nullptr;
  };
  void CheckIndex(int Index) const;
  template <class Less>
  void SortBy(Less less);

  std::vector<Item> items_;
  TDuplicates duplicates_ = dupIgnore;
  bool sorted_ = false;
  bool case_sensitive_ = false;
  bool owns_objects_ = false;
  TNotifyEvent on_change_;
  TNotifyEvent on_changing_;
};
