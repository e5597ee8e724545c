#include "dataaccess/datasets/pFIBFieldsDescr.h"

#include "platform/rtl/Exceptions.h"

Integer TFIBFieldDescrList::Add(SmallInt SQLType, SmallInt Scale, TFieldDescrKind Kind, bool InCollection,
                                bool IsDBKey, bool Nullable, Word Size) {
  auto d = std::make_unique<TFIBFieldDescr>();
  d->SQLType = SQLType;
  d->Scale = Scale;
  d->Kind = Kind;
  d->InCollection = InCollection ? 1 : 0;
  d->IsDBKey = IsDBKey ? 1 : 0;
  d->Nullable = Nullable ? 1 : 0;
  d->DataSize = Size;
  items_.push_back(std::move(d));
  return Count() - 1;
}

TFIBFieldDescr* TFIBFieldDescrList::Items(Integer Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (%d)", {Index});
  return items_[static_cast<size_t>(Index)].get();
}
