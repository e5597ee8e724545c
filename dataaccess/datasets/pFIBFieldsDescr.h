// The column descriptors of a dataset: where and how each column of the
// select statement lies in the dataset's record buffer.
#pragma once

#include <memory>
#include <vector>

#include "platform/rtl/System.h"

// The character kind of a column's field.
enum TFieldDescrKind : Byte { fdkOrdinary = 0, fdkGuid = 1, fdkWideString = 2 };

// One descriptor: a 24-byte record.
struct TFIBFieldDescr {
  SmallInt SQLType = 0;  // without the nullable bit
  SmallInt Scale = 0;
  Byte Nullable = 0;     // 1 when the column's SQL type had the nullable bit
  Byte Reserved1 = 0;
  Word DataSize = 0;     // bytes of the value
  Integer Offset = 0;    // in the record buffer (of the length word for a stored-apart string)
  Byte IsDBKey = 0;      // the column is DB_KEY or RDB$DB_KEY
  Byte InCollection = 0; // kept in the string collection instead of the record
  Byte Reserved2[2] = {};
  Integer CollectionIndex = -1;  // its column there, -1 when none
  Byte Kind = fdkOrdinary;       // TFieldDescrKind
  Byte Reserved3[3] = {};
};
static_assert(sizeof(TFIBFieldDescr) == 24);

class TFIBFieldDescrList {
 public:
  TFIBFieldDescrList() = default;
  TFIBFieldDescrList(const TFIBFieldDescrList&) = delete;
  TFIBFieldDescrList& operator=(const TFIBFieldDescrList&) = delete;

  // A new descriptor (offset 0, collection index -1, for the dataset to set);
  // its index.
  Integer Add(SmallInt SQLType, SmallInt Scale, TFieldDescrKind Kind, bool InCollection, bool IsDBKey,
              bool Nullable, Word Size);
  void Clear() { items_.clear(); }
  Integer Count() const { return static_cast<Integer>(items_.size()); }
  // Index 0..Count - 1, else EListError "List index out of bounds (%d)".
  // A descriptor's address stays valid until Clear.
  TFIBFieldDescr* Items(Integer Index) const;
  void SetCapacity(Integer N) { items_.reserve(static_cast<size_t>(N)); }

 private:
  std::vector<std::unique_ptr<TFIBFieldDescr>> items_;
};
