// BLOB contents and array values of descriptor entries, through the BLOB
// stream and the BLOB calls (unit FIBMiscellaneous) and the array columns
// (unit pFIBArray).
#include <cstdlib>
#include <cstring>

#include "dataaccess/core/FIBMiscellaneous.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/pFIBArray.h"

namespace {

// A malloc'ed block (what BLOB filters take) freed when it goes.
struct TBlobContent {
  void* data = nullptr;
  Integer size = 0;
  TBlobContent() = default;
  TBlobContent(const TBlobContent&) = delete;
  TBlobContent& operator=(const TBlobContent&) = delete;
  ~TBlobContent() { std::free(data); }
  void Assign(const void* Bytes, size_t Size) {
    void* p = Size > 0 ? std::malloc(Size) : nullptr;
    if (Size > 0 && p == nullptr) throw EOutOfMemory("Out of memory");
    if (Size > 0) std::memcpy(p, Bytes, Size);
    std::free(data);
    data = p;
    size = static_cast<Integer>(Size);
  }
};

bool IsTextType(Integer Type) { return Type == SQL_TEXT || Type == SQL_VARYING; }

// The statement of a variable that reads or writes a BLOB.
TFIBQuery* LinkedStatement(TFIBQuery* Query, const String& Name) {
  if (Query == nullptr) RaiseClientError(fceDatabaseNotAssigned, {Name});
  return Query;
}

// Closes a BLOB handle after a failure, keeping the failure's error.
void CloseQuietly(IIBClientLibrary* Lib, isc_blob_handle& Handle) {
  if (Handle == 0) return;
  ISC_STATUS_ARRAY status{};
  Lib->isc_close_blob(status, &Handle);
  Handle = 0;
}

}  // namespace

String TFIBXSQLVAR::ReadBlobText() const {
  TFIBDatabase* db = Database();
  TFIBTransaction* tr = query_ != nullptr ? query_->Transaction() : nullptr;
  if (tr != nullptr && !tr->Active() && query_->Options().Contains(qoStartTransaction)) tr->StartTransaction();
  TFIBBlobStream stream;
  stream.SetMode(bmRead);
  stream.SetDatabase(db);
  stream.SetTransaction(tr);
  if (NeedUnicodeConvert()) stream.SetCharSetID(record_->sqlscale);
  stream.SetBlobID(AsQuad());
  stream.SetBlobSubType(record_->sqlsubtype);
  return stream.GetAsString();
}

void TFIBXSQLVAR::CopyBlobValue(TFIBXSQLVAR* Source) {
  const bool source_blob = Source->SQLType() == SQL_BLOB;
  const Integer source_subtype = Source->SQLSubtype();

  // Is the target to receive a BLOB? A user parameter whose server
  // parameter is a BLOB takes that parameter's type first; the statement is
  // prepared to know it.
  bool target_blob = SQLType() == SQL_BLOB;
  Integer target_subtype = SQLSubtype();
  if (source_blob && !target_blob && InUserArea()) {
    if (!query_->Prepared()) query_->Prepare();
    TFIBXSQLVAR* server = query_->ServerParams()->ByName(name_);
    if (server != nullptr && server->SQLType() == SQL_BLOB) {
      SetAsQuad(server->AsQuad());
      target_blob = true;
      target_subtype = server->SQLSubtype();
    }
  }
  const bool same_kind = source_blob && target_blob && source_subtype == target_subtype;

  TBlobContent content;
  if (!source_blob) {
    // A text gives its characters (a VARCHAR without its length word).
    const String text = IsTextType(Source->SQLType()) ? Source->RawText() : String();
    if (IsTextType(Source->SQLType())) content.Assign(text.data(), text.size());
    else content.Assign(Source->record_->sqldata, static_cast<size_t>(std::max<ISC_SHORT>(Source->record_->sqllen, 0)));
  } else if (TMemoryStream* pending = Source->ValueStream()) {
    // A parameter's content that is not on the server yet.
    content.Assign(pending->Memory(), static_cast<size_t>(pending->Size()));
  } else {
    TFIBQuery* from = LinkedStatement(Source->query_, Source->Name());
    isc_db_handle* dbh = from->Base()->GetDBHandle();
    isc_tr_handle* trh = from->Base()->GetTRHandle();
    TFIBDatabase* db = from->Database();
    IIBClientLibrary* lib = db->GetClientLibrary();
    isc_blob_handle blob = 0;
    ISC_QUAD id = Source->AsQuad();
    from->Transaction()->CheckCall(lib->isc_open_blob2(StatusVector(), dbh, trh, &blob, &id, 0, nullptr));
    try {
      Integer segments = 0, max_segment = 0;
      SmallInt type = 0;
      GetBlobInfo(lib, &blob, segments, max_segment, content.size, type);
      content.data = std::malloc(static_cast<size_t>(std::max(content.size, 1)));
      if (content.data == nullptr) throw EOutOfMemory("Out of memory");
      ReadBlob(lib, &blob, content.data, content.size);  // the length may change (text conversion)
      if (!same_kind) db->StoreCachedItem(content.data, content.size, true, source_subtype);
      from->Transaction()->CheckCall(lib->isc_close_blob(StatusVector(), &blob));
    } catch (...) {
      CloseQuietly(lib, blob);
      throw;
    }
  }

  if (target_blob) {
    TFIBQuery* to = LinkedStatement(query_, name_);
    isc_db_handle* dbh = to->Base()->GetDBHandle();
    isc_tr_handle* trh = to->Base()->GetTRHandle();
    TFIBDatabase* db = to->Database();
    TFIBTransaction* tr = to->Transaction();
    IIBClientLibrary* lib = db->GetClientLibrary();
    if (!same_kind) db->StoreCachedItem(content.data, content.size, false, source_subtype);
    isc_blob_handle blob = 0;
    ISC_QUAD id{0, 0};
    tr->CheckCall(lib->isc_create_blob2(StatusVector(), dbh, trh, &blob, &id, 0, nullptr));
    try {
      WriteBlob(lib, &blob, content.data, content.size);
      tr->CheckCall(lib->isc_close_blob(StatusVector(), &blob));
    } catch (...) {
      CloseQuietly(lib, blob);
      throw;
    }
    SetIsNull(false);
    SetAsQuad(id);
    return;
  }

  // A text: its length must fit the record's 16-bit length.
  if (content.size > INT16_MAX) RaiseClientError(fceInvalidDataConversion);
  SetIsNullable(false);
  SetTyped(SQL_TEXT, content.size, content.data);
}

void TFIBXSQLVAR::WriteArray(const Variant& Value) {
  if (array_ == nullptr) RaiseNotArray();
  TFIBBase* link = LinkedStatement(query_, name_)->Base();
  ISC_QUAD id{0, 0};  // a new array
  array_->PutArray(Value, id, link->GetDBHandle(), link->GetTRHandle());
  SetAsQuad(id);
}

Integer TFIBXSQLVAR::ArrayDimensions() const {
  if (array_ == nullptr) RaiseNotArray();
  return array_->DimensionCount();
}
