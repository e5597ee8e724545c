// Array columns: the column's array descriptor from the server, and whole
// array values moved between the server and variant arrays.
//
//   TpFIBArray a(lib, "T", "A", db->HandlePtr(), tr->HandlePtr(), var);  // INTEGER[1:3, 0:4]
//   Variant v = a.GetArrayValues(id, db->HandlePtr(), tr->HandlePtr());  // [1..3, 0..4] of variants
//   a.PutArray(v, id, db->HandlePtr(), tr->HandlePtr());                 // id: the new array
//
// Elements travel in the server's slice order (the last dimension varies
// fastest), which is the order of the variant-array walk. A variant array
// written into a column fills the slice in that order and may have fewer
// dimensions or other bounds; elements it lacks are written as zero or empty.
//
// Element values: SMALLINT/INTEGER as Integer (Double when scaled); BIGINT
// and NUMERIC over 64 bits as Int64, Currency when scaled by up to 4 places,
// else Double; FLOAT/DOUBLE as Double; DATE, TIME and TIMESTAMP as dates;
// CHAR and VARCHAR as strings (CHAR with its padding). The server hands
// VARCHAR elements over as zero-terminated text in slots of length + 2
// bytes, not with a length word, so such a text cannot hold a zero byte.
#pragma once

#include "dataaccess/core/IB_Intf.h"
#include "dataaccess/core/ibase.h"
#include "platform/db/DB.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

class TpFIBArray : public TObject {
 public:
  // Reads the column's descriptor (isc_array_lookup_bounds); a failure
  // raises the server's error. For a text column it also reads the column's
  // character length and the attachment's bytes per character from the
  // system tables (one statement; when it fails the descriptor's length
  // stays).
  TpFIBArray(IIBClientLibrary* ClientLibrary, const String& Relation, const String& Column,
             isc_db_handle* DBHandle, isc_tr_handle* TRHandle, XSQLVAR* OwnerRecord);

  Integer DimensionCount() const { return desc_.array_desc_dimensions; }
  // Decimal places of the elements (the descriptor's scale negated).
  Integer Scale() const { return -desc_.array_desc_scale; }
  // Client error 60 for a dimension outside 0 .. DimensionCount - 1.
  ISC_ARRAY_BOUND Bounds(Integer Dimension) const;
  // Bytes of the whole slice: element length (+ 2 for VARCHAR) times the
  // number of elements. A text element is as long as the column's
  // characters in the attachment's character set where that is more than the
  // column's own bytes (a NONE or WIN1251 column over a UTF8 attachment):
  // the engine converts elements into the attachment's character set.
  Integer SliceSize() const;
  // The element's BLR data type (blr_long, blr_varying, ...) and the field
  // type it reads as (ftUnknown for a type arrays do not carry).
  Byte ElementDataType() const { return desc_.array_desc_dtype; }
  TFieldType ElementFieldType() const { return element_type_; }
  const ISC_ARRAY_DESC& Descriptor() const { return desc_; }
  const String& RelationName() const { return relation_; }
  const String& ColumnName() const { return column_; }
  XSQLVAR* OwnerRecord() const { return owner_record_; }

  // The whole array as a variant array of variants with the column's bounds.
  Variant GetArrayValues(const ISC_QUAD& ArrayID, isc_db_handle* DBHandle, isc_tr_handle* TRHandle);
  // Stores a variant array as a new array value; ArrayID receives its id.
  // Client error 60 for more dimensions than the column has; a value that
  // does not fit an element (a text too long, a number out of range)
  // raises client error 33 and more elements than the column holds
  // EVariantBadIndexError.
  void PutArray(const Variant& Value, ISC_QUAD& ArrayID, isc_db_handle* DBHandle, isc_tr_handle* TRHandle);

  // The same through a dataset field whose data begins with the 8-byte
  // array id (a field without data reads as id 0); writing stores the new id
  // in the field.
  Variant GetFieldArrayValues(TField* Field, isc_db_handle* DBHandle, isc_tr_handle* TRHandle);
  void SetFieldArrayValues(const Variant& Value, TField* Field, isc_db_handle* DBHandle, isc_tr_handle* TRHandle);

 private:
  // The id in the field's data; client error 59 for a field too small.
  ISC_QUAD FieldArrayID(TField* Field) const;
  // Element bytes, with the room for the end of a VARCHAR.
  Integer ElementSize() const;
  String FullName() const { return relation_ + "." + column_; }

  IIBClientLibraryRef client_library_;
  XSQLVAR* owner_record_;
  String relation_;
  String column_;
  TFieldType element_type_ = ftUnknown;
  ISC_ARRAY_DESC desc_{};
};
