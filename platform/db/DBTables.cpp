#include "platform/db/DBTables.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/db/DBConsts.h"
#include "platform/db/DB_Internal.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/SysUtils.h"

using db_internal::TryFinally;

namespace {

IDBEngine* g_engine = nullptr;

std::vector<TDatabase*>& Databases() {
  static std::vector<TDatabase*> list;
  return list;
}

// --- Values between the engine's Variants and the fields' native buffers

void VariantToNative(TDataSet* DataSet, TField* Field, const Variant& V, void* Dest) {
  auto* d = static_cast<Byte*>(Dest);
  auto put = [&](auto value) { std::memcpy(d, &value, sizeof value); };
  switch (Field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftGuid: {
      String s = VarToStr(V);
      size_t n = std::min(s.size(), static_cast<size_t>(Field->Size()));
      std::memcpy(d, s.data(), n);
      d[n] = 0;
      break;
    }
    case ftWideString: {
      WideString w = VarToWideStr(V);
      DataSet->DataConvert(Field, &w, Dest, true);
      break;
    }
    case ftSmallint:
      put(V.AsSmallInt());
      break;
    case ftWord:
      put(static_cast<uint16_t>(V.AsInteger()));
      break;
    case ftBoolean:
      put(static_cast<int16_t>(V.AsBoolean() ? -1 : 0));
      break;
    case ftInteger:
    case ftAutoInc:
      put(V.AsInteger());
      break;
    case ftLargeint:
      put(V.AsInt64());
      break;
    case ftFloat:
    case ftCurrency:
      put(V.AsDouble());
      break;
    case ftBCD: {
      Currency c = V.AsCurrency();
      DataSet->DataConvert(Field, &c, Dest, true);
      break;
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
      TDateTime t = VarToDateTime(V);
      DataSet->DataConvert(Field, &t, Dest, true);
      break;
    }
    case ftBytes: {
      String s = V.AsString();
      std::memset(d, 0, static_cast<size_t>(Field->Size()));
      std::memcpy(d, s.data(), std::min(s.size(), static_cast<size_t>(Field->Size())));
      break;
    }
    case ftVarBytes: {
      String s = V.AsString();
      auto n = static_cast<uint16_t>(std::min(s.size(), static_cast<size_t>(Field->Size())));
      std::memcpy(d, &n, 2);
      std::memcpy(d + 2, s.data(), n);
      break;
    }
    default:
      DatabaseErrorFmt(SUnknownFieldType, {Field->DisplayName()});
  }
}

Variant NativeToVariant(TDataSet* DataSet, TField* Field, const void* Source) {
  const auto* s = static_cast<const Byte*>(Source);
  auto get = [&](auto value) {
    std::memcpy(&value, s, sizeof value);
    return value;
  };
  switch (Field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
      return String(reinterpret_cast<const char*>(s), strnlen(reinterpret_cast<const char*>(s), Field->Size()));
    case ftWideString: {
      WideString w;
      DataSet->DataConvert(Field, Source, &w, false);
      return w;
    }
    case ftSmallint:
      return get(int16_t{});
    case ftWord:
      return get(uint16_t{});
    case ftBoolean:
      return get(int16_t{}) != 0;
    case ftInteger:
    case ftAutoInc:
      return get(int32_t{});
    case ftLargeint:
      return Variant(get(int64_t{}));
    case ftFloat:
    case ftCurrency:
      return get(double{});
    case ftBCD: {
      Currency c;
      DataSet->DataConvert(Field, Source, &c, false);
      return c;
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
      TDateTime t = 0;
      DataSet->DataConvert(Field, Source, &t, false);
      return VarFromDateTime(t);
    }
    case ftBytes:
      return String(reinterpret_cast<const char*>(s), static_cast<size_t>(Field->Size()));
    case ftVarBytes: {
      uint16_t n = get(uint16_t{});
      return String(reinterpret_cast<const char*>(s + 2), std::min<size_t>(n, static_cast<size_t>(Field->Size())));
    }
    default:
      DatabaseErrorFmt(SUnknownFieldType, {Field->DisplayName()});
  }
}

bool IsNameChar(char C) {
  return std::isalnum(static_cast<unsigned char>(C)) || C == '_' || static_cast<unsigned char>(C) >= 0x80;
}

}  // namespace

// ---------------------------------------------------------------------------
// Errors and the engine

EDBEngineError::EDBEngineError(std::vector<TDBError> Errors)
    : EDatabaseError(String()), errors_(std::move(Errors)) {
  String message;
  for (const TDBError& e : errors_) {
    if (e.Message().empty()) continue;
    if (!message.empty()) message += '\n';
    message += e.Message();
  }
  SetMessage(message);
}

const TDBError& EDBEngineError::Errors(int Index) const {
  if (Index < 0 || Index >= ErrorCount()) throw EListError("List index out of bounds (%d)", {Index});
  return errors_[static_cast<size_t>(Index)];
}

IDBEngine* SetDBEngine(IDBEngine* Engine) { return std::exchange(g_engine, Engine); }
IDBEngine* DBEngine() { return g_engine; }

// ---------------------------------------------------------------------------
// TDatabase

TDatabase::TDatabase(TComponent* AOwner) : TComponent(AOwner), params_(std::make_unique<TStringList>()) {
  Databases().push_back(this);
}

TDatabase::~TDatabase() {
  Disconnect();
  auto& list = Databases();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TDatabase::BeforeDestruction() {
  Disconnect();
  TComponent::BeforeDestruction();
}

void TDatabase::Disconnect() {
  CloseDataSets();
  in_transaction_ = false;
  connection_.reset();
}

TDatabase* TDatabase::Find(const String& Name) {
  for (TDatabase* db : Databases())
    if (AnsiSameText(db->database_name_, Name)) return db;
  return nullptr;
}

void TDatabase::SetDatabaseName(const String& Value) {
  if (database_name_ == Value) return;
  if (Connected()) DatabaseError(SDatabaseOpen, this);
  database_name_ = Value;
}

void TDatabase::SetConnected(bool Value) {
  if (Value == Connected()) return;
  if (Value) {
    if (g_engine == nullptr) throw EDBEngineError(DBERR_ENGINENOTAVAILABLE, SEngineNotAvailable);
    connection_ = g_engine->Connect(database_name_, *params_);
    in_transaction_ = false;
    return;
  }
  CloseDataSets();
  TryFinally(
      [&] {
        if (in_transaction_) connection_->Rollback();
      },
      [&] {
        in_transaction_ = false;
        connection_.reset();
      });
}

void TDatabase::CloseDataSets() {
  // A dataset leaves the list when it closes; a temporary database stays
  // while it closes them.
  bool was_closing = std::exchange(closing_, true);
  db_internal::TryFinally([&] { CloseEachDataSet(); }, [&] { closing_ = was_closing; });
}

void TDatabase::CloseEachDataSet() {
  while (!data_sets_.empty()) {
    TDBDataSet* ds = data_sets_.back();
    ds->Close();
    if (!data_sets_.empty() && data_sets_.back() == ds) {
      // Prepared but closed: the dataset lets go of its database.
      data_sets_.pop_back();
      ds->database_ = nullptr;
      ds->database_uses_ = 0;
    }
  }
}

bool TDatabase::IsSQLBased() const { return connection_ != nullptr && connection_->IsSQLBased(); }

void TDatabase::CheckActive() const {
  if (!Connected()) DatabaseError(SDatabaseClosed, const_cast<TDatabase*>(this));
}

void TDatabase::StartTransaction() {
  CheckActive();
  connection_->StartTransaction();
  in_transaction_ = true;
}

void TDatabase::Commit() {
  CheckActive();
  connection_->Commit();
  in_transaction_ = false;
  // A committed deletion is no longer undone.
  for (TDBDataSet* ds : data_sets_) ds->last_deleted_.reset();
}

void TDatabase::Rollback() {
  CheckActive();
  connection_->Rollback();
  in_transaction_ = false;
}

TDBDataSet* TDatabase::DataSets(int Index) const {
  if (Index < 0 || Index >= DataSetCount()) throw EListError("List index out of bounds (%d)", {Index});
  return data_sets_[static_cast<size_t>(Index)];
}

// ---------------------------------------------------------------------------
// TEngineDataSet
//
// A record buffer: the row id (8 bytes), the bookmark flag (1 byte), at the
// next aligned place the address of the buffer's own values (owned by the
// buffer), then the calculated area.

namespace {

constexpr int kValuesAt = 16;
constexpr int kRecordSize = kValuesAt + sizeof(void*);

TDBEngineRow*& ValuesOf(TRecordBuffer Buffer) { return *reinterpret_cast<TDBEngineRow**>(Buffer + kValuesAt); }

}  // namespace

TEngineDataSet::TEngineDataSet(TComponent* AOwner) : TDataSet(AOwner) {}

TEngineDataSet::~TEngineDataSet() = default;

Int64 TEngineDataSet::IdOf(const void* Buffer) {
  Int64 id;
  std::memcpy(&id, Buffer, 8);
  return id;
}

int TEngineDataSet::IndexOfId(Int64 Id) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].Id == Id) return static_cast<int>(i);
  return -1;
}

TRecordBuffer TEngineDataSet::AllocRecordBuffer() {
  auto* b = new Byte[static_cast<size_t>(kRecordSize + CalcFieldsSize())]();
  ValuesOf(b) = new TDBEngineRow(static_cast<size_t>(column_count_), Null());
  return b;
}

void TEngineDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
  delete ValuesOf(Buffer);
  delete[] Buffer;
  Buffer = nullptr;
}

void TEngineDataSet::GetBookmarkData(TRecordBuffer Buffer, void* Data) { std::memcpy(Data, Buffer, 8); }
void TEngineDataSet::SetBookmarkData(TRecordBuffer Buffer, const void* Data) { std::memcpy(Buffer, Data, 8); }
TBookmarkFlag TEngineDataSet::GetBookmarkFlag(TRecordBuffer Buffer) { return static_cast<TBookmarkFlag>(Buffer[8]); }
void TEngineDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) { Buffer[8] = Value; }

int TEngineDataSet::GetRecordSize() { return kRecordSize; }

TGetResult TEngineDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool /*DoCheck*/) {
  int n = static_cast<int>(rows_.size());
  for (;;) {
    if (GetMode == gmNext) {
      if (cursor_ < n) ++cursor_;
      if (cursor_ >= n) return grEOF;
    } else if (GetMode == gmPrior) {
      if (cursor_ >= 0) --cursor_;
      if (cursor_ < 0) return grBOF;
    } else if (cursor_ < 0 || cursor_ >= n) {
      return grError;
    }
    const TRow& row = rows_[static_cast<size_t>(cursor_)];
    if (!Visible(row)) {
      if (GetMode == gmCurrent) return grError;
      continue;
    }
    std::memcpy(Buffer, &row.Id, 8);
    SetBookmarkFlag(Buffer, bfCurrent);
    *ValuesOf(Buffer) = row.Values;
    GetCalcFields(Buffer);
    return grOK;
  }
}

void TEngineDataSet::DescribeColumns(IDBEngineCursor& Cursor) {
  std::vector<TDBEngineColumn> columns = Cursor.Columns();
  TFieldDefs* defs = FieldDefs();
  defs->BeginUpdate();
  TryFinally(
      [&] {
        defs->Clear();
        for (const TDBEngineColumn& c : columns) defs->Add(c.Name, c.DataType, c.Size, c.Required);
      },
      [&] { defs->EndUpdate(); });
  column_count_ = static_cast<int>(columns.size());
}

void TEngineDataSet::InternalInitFieldDefs() {
  if (!engine_open_) {
    OpenEngine();
    engine_open_ = true;
  }
  if (!cursor_object_) cursor_object_ = CreateCursor();
  DescribeColumns(*cursor_object_);
}

void TEngineDataSet::InternalOpen() {
  InternalInitFieldDefs();
  FieldDefs()->SetUpdated(true);
  can_modify_ = cursor_object_->CanModify();
  rows_.clear();
  TDBEngineRow values;
  while (cursor_object_->Fetch(values)) {
    values.resize(static_cast<size_t>(column_count_), Null());
    rows_.push_back(TRow{next_id_++, values, values, usUnmodified});
  }
  if (DefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(8);
  cursor_ = -1;
  open_ = true;
}

void TEngineDataSet::InternalClose() {
  if (open_) {
    BindFields(false);
    if (DefaultFields()) DestroyFields();
  }
  open_ = false;
  rows_.clear();
  last_deleted_.reset();
  cursor_object_.reset();
  if (engine_open_) {
    engine_open_ = false;
    CloseEngine();
  }
}

void TEngineDataSet::InternalInitRecord(TRecordBuffer Buffer) {
  std::memset(Buffer, 0, kValuesAt);
  ValuesOf(Buffer)->assign(static_cast<size_t>(column_count_), Null());
}

void TEngineDataSet::ClearCalcFields(TRecordBuffer Buffer) {
  std::memset(Buffer + kRecordSize, 0, static_cast<size_t>(CalcFieldsSize()));
}

void TEngineDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
  int i = IndexOfId(IdOf(Buffer));
  if (i >= 0) cursor_ = i;
}

void TEngineDataSet::InternalGotoBookmark(const void* Bookmark) { cursor_ = IndexOfId(IdOf(Bookmark)); }

void TEngineDataSet::StoreNewRow(TRecordBuffer Buffer, int At) {
  const TDBEngineRow& values = *ValuesOf(Buffer);
  if (!cached_updates_) cursor_object_->InsertRow(values);
  TRow row{next_id_++, values, cached_updates_ ? TDBEngineRow() : values,
           cached_updates_ ? usInserted : usUnmodified};
  rows_.insert(rows_.begin() + At, row);
  std::memcpy(Buffer, &row.Id, 8);
  cursor_ = At;
}

void TEngineDataSet::InternalAddRecord(const void* Buffer, bool Append) {
  auto* buf = static_cast<TRecordBuffer>(const_cast<void*>(Buffer));
  StoreNewRow(buf, Append ? static_cast<int>(rows_.size()) : std::max(cursor_, 0));
}

void TEngineDataSet::InternalPost() {
  TDataSet::InternalPost();
  TRecordBuffer buf = ActiveBuffer();
  if (State() == dsEdit) {
    int i = IndexOfId(IdOf(buf));
    if (i < 0) DatabaseError(SRecordNotFound, this);
    TRow& row = rows_[static_cast<size_t>(i)];
    const TDBEngineRow& values = *ValuesOf(buf);
    if (cached_updates_) {
      if (row.Status == usUnmodified) row.Status = usModified;
    } else {
      cursor_object_->ModifyRow(row.Original, values);
      row.Original = values;
    }
    row.Values = values;
    cursor_ = i;
    return;
  }
  int at = static_cast<int>(rows_.size());
  if (GetBookmarkFlag(buf) == bfBOF) {
    at = 0;
  } else if (GetBookmarkFlag(buf) != bfEOF) {
    int i = IndexOfId(IdOf(buf));
    if (i >= 0) at = i;
  }
  StoreNewRow(buf, at);
}

void TEngineDataSet::InternalDelete() {
  int i = IndexOfId(IdOf(ActiveBuffer()));
  if (i < 0) DatabaseError(SRecordNotFound, this);
  TRow& row = rows_[static_cast<size_t>(i)];
  last_deleted_.reset();
  TDeletedRow deleted{i, row};
  if (cached_updates_ && row.Status != usInserted) {
    row.Status = usDeleted;
    row.Values = row.Original;
  } else {
    if (!cached_updates_) cursor_object_->DeleteRow(row.Original);
    rows_.erase(rows_.begin() + i);
  }
  cursor_ = i;
  last_deleted_ = std::move(deleted);
}

bool TEngineDataSet::UndoDelete() {
  std::optional<TDeletedRow> deleted = std::move(last_deleted_);
  last_deleted_.reset();
  if (!deleted || !open_) return false;
  int i = IndexOfId(deleted->Row.Id);
  if (i >= 0) {
    // Marked for cached updates.
    if (rows_[static_cast<size_t>(i)].Status != usDeleted) return false;
    rows_[static_cast<size_t>(i)] = std::move(deleted->Row);
  } else {
    // Removed: sent to the engine, or an insert never sent.
    i = std::min(deleted->Index, static_cast<int>(rows_.size()));
    rows_.insert(rows_.begin() + i, std::move(deleted->Row));
  }
  cursor_ = i;
  Resync({});
  return true;
}

TDBEngineRow* TEngineDataSet::ActiveValues() {
  switch (State()) {
    case dsCalcFields:
    case dsInternalCalc:
      return ValuesOf(CalcBuffer());
    case dsOldValue: {
      if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return nullptr;
      int i = IndexOfId(IdOf(ActiveBuffer()));
      if (i < 0 || rows_[static_cast<size_t>(i)].Status == usInserted) return nullptr;
      return &rows_[static_cast<size_t>(i)].Original;
    }
    default:
      return IsEmpty() ? nullptr : ValuesOf(ActiveBuffer());
  }
}

TRecordBuffer TEngineDataSet::ActiveCalcBuffer() {
  if (State() == dsCalcFields || State() == dsInternalCalc) return CalcBuffer();
  return IsEmpty() ? nullptr : ActiveBuffer();
}

bool TEngineDataSet::GetFieldData(TField* Field, void* Buffer) {
  if (Field->FieldNo() > 0) {
    TDBEngineRow* values = ActiveValues();
    size_t i = static_cast<size_t>(Field->FieldNo() - 1);
    if (values == nullptr || i >= values->size()) return false;
    const Variant& v = (*values)[i];
    if (VarIsNull(v) || VarIsClear(v)) return false;
    if (Buffer != nullptr && !Field->IsBlob()) VariantToNative(this, Field, v, Buffer);
    return true;
  }
  TRecordBuffer rec = ActiveCalcBuffer();
  if (rec == nullptr) return false;
  Byte* calc = rec + kRecordSize + Field->Offset();
  if (calc[0] == 0) return false;
  if (Buffer != nullptr) std::memcpy(Buffer, calc + 1, static_cast<size_t>(Field->DataSize()));
  return true;
}

void TEngineDataSet::SetFieldData(TField* Field, const void* Buffer) {
  if (!dsWriteModes.Contains(State())) DatabaseError(SNotEditing, this);
  if (Field->FieldNo() > 0) {
    TDBEngineRow* values = ActiveValues();
    if (values == nullptr || State() == dsCalcFields) DatabaseError(SNotEditing, this);
    if (Field->ReadOnly() && State() != dsSetKey && State() != dsFilter)
      DatabaseErrorFmt(SFieldReadOnly, {Field->DisplayName()});
    Field->Validate(Buffer);
    (*values)[static_cast<size_t>(Field->FieldNo() - 1)] =
        Buffer == nullptr ? Null() : NativeToVariant(this, Field, Buffer);
  } else {
    TRecordBuffer rec = ActiveCalcBuffer();
    if (rec == nullptr) DatabaseError(SNotEditing, this);
    Byte* calc = rec + kRecordSize + Field->Offset();
    calc[0] = Buffer == nullptr ? 0 : 1;
    if (Buffer != nullptr) std::memcpy(calc + 1, Buffer, static_cast<size_t>(Field->DataSize()));
  }
  TDataSetState s = State();
  if (s != dsCalcFields && s != dsFilter && s != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<NativeInt>(Field));
}

TStream* TEngineDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  if (Mode != bmRead && !dsEditModes.Contains(State())) DatabaseError(SNotEditing, this);
  TDBEngineRow* values = Field->FieldNo() > 0 ? ActiveValues() : nullptr;
  if (values == nullptr) return CreateFieldBlobStream(Field, Mode, String(), nullptr);
  size_t i = static_cast<size_t>(Field->FieldNo() - 1);
  return CreateFieldBlobStream(Field, Mode, VarToStr((*values)[i]),
                               [values, i](const String& V) { (*values)[i] = V.empty() ? Null() : Variant(V); });
}

bool TEngineDataSet::BookmarkValid(const TBookmark& Bookmark) {
  if (Bookmark.size() < 8) return false;
  int i = IndexOfId(IdOf(Bookmark.data()));
  return i >= 0 && Visible(rows_[static_cast<size_t>(i)]);
}

int TEngineDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  if (Bookmark1.empty() || Bookmark2.empty()) {
    if (Bookmark1.empty() && Bookmark2.empty()) return 0;
    return Bookmark1.empty() ? 1 : -1;
  }
  int a = IndexOfId(IdOf(Bookmark1.data())), b = IndexOfId(IdOf(Bookmark2.data()));
  return a < b ? -1 : (a > b ? 1 : 0);
}

bool TEngineDataSet::GetCurrentRecord(TRecordBuffer Buffer) {
  if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
  std::memcpy(Buffer, ActiveBuffer(), kValuesAt);
  *ValuesOf(Buffer) = *ValuesOf(ActiveBuffer());
  return true;
}

int TEngineDataSet::GetRecNo() {
  if (IsEmpty()) return 0;
  Int64 id = IdOf(ActiveBuffer());
  int n = 0;
  for (const TRow& row : rows_) {
    if (!Visible(row)) continue;
    ++n;
    if (row.Id == id) return n;
  }
  return 0;
}

int TEngineDataSet::GetRecordCount() {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [&](const TRow& r) { return Visible(r); }));
}

// --- Cached updates

void TEngineDataSet::SetCachedUpdates(bool Value) {
  if (cached_updates_ == Value) return;
  if (Active()) {
    CheckBrowseMode();
    if (!Value && UpdatesPending()) DatabaseError(SCachedUpdatesPending, this);
  }
  cached_updates_ = Value;
}

bool TEngineDataSet::UpdatesPending() const {
  return std::any_of(rows_.begin(), rows_.end(), [](const TRow& r) { return r.Status != usUnmodified; });
}

void TEngineDataSet::ApplyUpdates() {
  CheckActive();
  if (!cached_updates_) DatabaseError(SNoCachedUpdates, this);
  CheckBrowseMode();
  for (const TRow& row : rows_) {
    switch (row.Status) {
      case usInserted:
        cursor_object_->InsertRow(row.Values);
        break;
      case usModified:
        cursor_object_->ModifyRow(row.Original, row.Values);
        break;
      case usDeleted:
        cursor_object_->DeleteRow(row.Original);
        break;
      case usUnmodified:
        break;
    }
  }
}

void TEngineDataSet::CommitUpdates() {
  CheckActive();
  if (!cached_updates_) DatabaseError(SNoCachedUpdates, this);
  std::erase_if(rows_, [](const TRow& r) { return r.Status == usDeleted; });
  for (TRow& row : rows_) {
    row.Original = row.Values;
    row.Status = usUnmodified;
  }
  CursorPosChanged();
}

void TEngineDataSet::CancelUpdates() {
  CheckActive();
  if (!cached_updates_) DatabaseError(SNoCachedUpdates, this);
  Cancel();
  last_deleted_.reset();
  Int64 current = IsEmpty() ? 0 : IdOf(ActiveBuffer());
  std::erase_if(rows_, [](const TRow& r) { return r.Status == usInserted; });
  for (TRow& row : rows_) {
    row.Values = row.Original;
    row.Status = usUnmodified;
  }
  int i = IndexOfId(current);
  cursor_ = i >= 0 ? i : std::min(std::max(cursor_, 0), static_cast<int>(rows_.size()));
  Resync({});
}

TUpdateStatus TEngineDataSet::UpdateStatus() {
  if (State() == dsInsert) return usInserted;
  if (IsEmpty()) return usUnmodified;
  int i = IndexOfId(IdOf(ActiveBuffer()));
  return i >= 0 ? rows_[static_cast<size_t>(i)].Status : usUnmodified;
}

// ---------------------------------------------------------------------------
// TDBDataSet

TDBDataSet::TDBDataSet(TComponent* AOwner) : TEngineDataSet(AOwner) {}

TDBDataSet::~TDBDataSet() {
  // Closed here too when the dataset lives on the stack.
  Destroying();
  Close();
  while (database_uses_ > 0) CloseDatabase();
}

void TDBDataSet::SetDatabaseName(const String& Value) {
  if (database_name_ == Value) return;
  CheckInactive();
  database_name_ = Value;
}

void TDBDataSet::OpenDatabase() {
  if (database_uses_ == 0) {
    TDatabase* db = TDatabase::Find(database_name_);
    bool temporary = db == nullptr;
    if (temporary) {
      db = new TDatabase(nullptr);
      db->temporary_ = true;
      db->SetDatabaseName(database_name_);
    }
    try {
      db->Open();
    } catch (...) {
      if (temporary) delete db;
      throw;
    }
    database_ = db;
    db->data_sets_.push_back(this);
  }
  ++database_uses_;
}

void TDBDataSet::CloseDatabase() {
  if (database_uses_ == 0 || --database_uses_ != 0) return;
  TDatabase* db = std::exchange(database_, nullptr);
  auto& list = db->data_sets_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (db->temporary_ && list.empty() && !db->closing_) delete db;
}

// ---------------------------------------------------------------------------
// TQuery

class TQuery::TMasterLink : public TDetailDataLink {
 public:
  explicit TMasterLink(TQuery* Query) : query_(Query) {}

 protected:
  TDataSet* GetDetailDataSet() override { return query_; }
  void ActiveChanged() override {
    if (Active()) query_->RefreshFromMaster();
  }
  void RecordChanged(TField* Field) override {
    if (Field == nullptr) query_->RefreshFromMaster();
  }
  void CheckBrowseMode() override {
    if (query_->Active()) query_->CheckBrowseMode();
  }

 private:
  TQuery* query_;
};

TQuery::TQuery(TComponent* AOwner)
    : TDBDataSet(AOwner),
      sql_(std::make_unique<TStringList>()),
      params_(std::make_unique<TParams>(this)),
      master_link_(std::make_unique<TMasterLink>(this)) {
  sql_->SetOnChange({this, &TQuery::QueryChanged});
}

TQuery::~TQuery() {
  Destroying();
  Close();
  UnPrepare();
  master_link_->SetDataSource(nullptr);
  sql_->SetOnChange(nullptr);
}

void TQuery::QueryChanged(TObject* /*Sender*/) {
  Close();
  UnPrepare();
  if (!param_check_) return;
  TParams saved;
  saved.Assign(params_.get());
  params_->BeginUpdate();
  TryFinally(
      [&] {
        params_->Clear();
        for (const String& name : SQLParamNames(Text())) {
          TParam* p = params_->CreateParam(ftUnknown, name, ptInput);
          if (TParam* old = saved.FindParam(name)) {
            p->Assign(old);
            p->SetName(name);
          }
        }
      },
      [&] { params_->EndUpdate(); });
}

TDataSource* TQuery::DataSource() const { return master_link_->DataSource(); }

void TQuery::SetDataSource(TDataSource* Value) {
  if (Value != nullptr && IsLinkedTo(Value)) DatabaseError(SCircularDataLink, this);
  master_link_->SetDataSource(Value);
}

void TQuery::SetParamsFromMaster() {
  TDataSource* source = DataSource();
  TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
  if (master == nullptr || !master->Active()) return;
  for (int i = 0; i < params_->Count(); ++i) {
    TParam* p = params_->Items(i);
    if (p->Bound()) continue;
    if (TField* f = master->FindField(p->Name())) {
      p->AssignFieldValue(f, f->Value());
      // Still unbound: it follows the master's next record too.
      p->SetBound(false);
    }
  }
}

void TQuery::RefreshFromMaster() {
  if (!Active()) return;
  DisableControls();
  TryFinally(
      [&] {
        Close();
        Open();
      },
      [&] { EnableControls(); });
}

void TQuery::SetPrepared(bool Value) {
  if (Value == prepared_) return;
  if (Value) {
    OpenDatabase();
    prepared_ = true;
  } else {
    prepared_ = false;
    CloseDatabase();
  }
}

std::unique_ptr<IDBEngineCursor> TQuery::CreateCursor() {
  SetParamsFromMaster();
  return Database()->Connection()->OpenQuery(Text(), *params_);
}

void TQuery::ExecSQL() {
  OpenDatabase();
  TryFinally([&] { rows_affected_ = Database()->Connection()->ExecSQL(Text(), *params_); },
             [&] { CloseDatabase(); });
}

std::vector<String> SQLParamNames(const String& SQL) {
  std::vector<String> names;
  auto add = [&](const String& name) {
    if (name.empty()) return;
    for (const String& n : names)
      if (AnsiSameText(n, name)) return;
    names.push_back(name);
  };
  size_t i = 0, n = SQL.size();
  auto skip_to = [&](const char* end) {
    size_t at = SQL.find(end, i);
    i = at == String::npos ? n : at + std::strlen(end);
  };
  while (i < n) {
    char c = SQL[i];
    if (c == '\'' || c == '"') {
      ++i;
      skip_to(c == '\'' ? "'" : "\"");
    } else if (c == '-' && i + 1 < n && SQL[i + 1] == '-') {
      skip_to("\n");
    } else if (c == '/' && i + 1 < n && SQL[i + 1] == '*') {
      i += 2;
      skip_to("*/");
    } else if (c == ':' && i + 1 < n && SQL[i + 1] == ':') {
      i += 2;
    } else if (c == ':' && i + 1 < n && SQL[i + 1] == '"') {
      size_t start = i + 2;
      size_t end = SQL.find('"', start);
      if (end == String::npos) end = n;
      add(SQL.substr(start, end - start));
      i = end + 1;
    } else if (c == ':') {
      size_t start = ++i;
      while (i < n && IsNameChar(SQL[i])) ++i;
      add(SQL.substr(start, i - start));
    } else {
      ++i;
    }
  }
  return names;
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void FinalDBTables() {
  // Temporary databases left connected by datasets that were never closed
  // go with their datasets; closed ones no dataset uses are freed here.
  std::vector<TDatabase*> list = Databases();
  for (TDatabase* db : list)
    if (db->Temporary() && db->DataSetCount() == 0) delete db;
}

constexpr const TUnit* kUses[] = {&unit_DB};

}  // namespace

constinit const TUnit unit_DBTables("DBTables", kUses, nullptr, FinalDBTables);
