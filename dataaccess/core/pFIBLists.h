// Small containers of the data-access library: a string-keyed object list
// with an optional hash index, an ascending set of integers, and a table of
// strings with a fixed number of columns. None of them locks.
#pragma once

#include <memory>
#include <vector>

#include "platform/rtl/System.h"

class TStringList;

// Keys with one owned object each.
//  - Plain mode: a sorted string list, case-insensitive under the user's
//    locale, duplicates ignored.
//  - Hashed mode: case-sensitive byte comparison; entries are kept in the
//    ascending (signed) order of HashOf, with a parallel list of the hashes.
//    Meant for long keys (whole SQL texts): the hash samples about nine bytes
//    and full comparisons run only among entries with an equal hash.
// Adding a key that is present adds nothing and gives the present position;
// the object passed then stays the caller's. Delete and DeleteAt do not free
// the object; Clear and the destructor free all of them.
class TObjStringList : public TObject {
 public:
  TObjStringList(TObject* AOwner, bool AHashed);
  ~TObjStringList() override;
  TObjStringList(const TObjStringList&) = delete;
  TObjStringList& operator=(const TObjStringList&) = delete;

  int AddObject(const String& S, TObject* AObject);
  void Delete(const String& S);
  // Whether S is present; Index is its position or the insertion point.
  bool Find(const String& S, int& Index) const;
  // Position errors raise EStringListError "List index out of bounds (<index>)".
  TObject* Objects(int Index) const;
  String Strings(int Index) const;
  void DeleteAt(int Index);
  void Clear();
  int Count() const;

  TObject* Owner() const { return owner_; }
  bool Hashed() const { return hashed_; }

  static Integer HashOf(const String& S);

 private:
  bool HashFind(const String& S, Integer& Hash, int& Index) const;

  TObject* owner_;
  bool hashed_;
  std::unique_ptr<TStringList> strings_;
  std::vector<Integer> hashes_;  // hashed mode: hashes_[i] = HashOf(string i)
};

// Ascending 32-bit integers without duplicates.
class TSortedList : public TObject {
 public:
  // Inserts Value at its place unless present; its position either way.
  int Add(Integer Value);
  void Remove(Integer Value);
  // Whether Value is present; Index is its position or the insertion point.
  bool Find(Integer Value, int& Index) const;
  // Adds Delta to every value at or above FromValue (wrapping on overflow).
  // A negative Delta must not move them onto or below the values before
  // them, or the order is lost.
  void ShiftValues(Integer FromValue, Integer Delta);
  // Errors: EListError "List index out of bounds (<index>)".
  Integer GetValue(int Index) const;
  int Count() const { return static_cast<int>(values_.size()); }
  void Clear() { values_.clear(); }
  // The largest value, -1 when empty.
  Integer LastValue() const { return values_.empty() ? -1 : values_.back(); }

 private:
  std::vector<Integer> values_;
};

// XCount columns of strings and a growing number of rows; cell (X, Y) is
// column X, row Y, from 0. Rows are added without moving other rows; the
// capacity grows to 128 rows, then by half. Reading or writing a cell outside
// the table raises EAssertionFailed and touches nothing.
class TStringCollection : public TObject {
 public:
  explicit TStringCollection(int AXCount);
  ~TStringCollection() override;

  // Appends a row of empty cells; the new row count.
  int AddRow();
  // Removes row Y from every column; later rows move up.
  void DeleteRow(int Y);
  const String& GetString(int X, int Y) const;
  void SetString(int X, int Y, const String& S);
  // Length bytes from Buffer; 0 (or no buffer) empties the cell, a negative
  // Length reads up to the first zero byte.
  void SetPChar(int X, int Y, int Length, const char* Buffer);
  // The cell's string, or nullptr when X or Y is out of range.
  String* CellPtr(int X, int Y);
  // Releases every cell; row count and capacity 0.
  void Clear();

  int XCount() const { return x_count_; }
  int YCount() const { return y_count_; }
  int Capacity() const { return capacity_; }

 private:
  void CheckCell(int X, int Y, bool Write) const;

  int x_count_;
  int y_count_ = 0;
  int capacity_ = 0;
  std::vector<std::vector<String>> columns_;
};
