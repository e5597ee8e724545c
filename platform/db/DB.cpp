#include "platform/db/DB.h"

#include <algorithm>
#include <cstring>

#include "platform/db/DBConsts.h"
#include "platform/db/DB_Internal.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

using db_internal::TryFinally;

namespace {

// The key values of a search: one value for one key field, else the
// elements of a variant array from its low bound.
std::vector<Variant> KeyValueList(size_t Count, const Variant& KeyValues) {
  std::vector<Variant> values;
  if (Count == 1 && !VarIsArray(KeyValues)) {
    values.push_back(KeyValues);
    return values;
  }
  Integer low = VarArrayLowBound(KeyValues, 1);
  for (size_t i = 0; i < Count; ++i) values.push_back(VarArrayGet(KeyValues, low + static_cast<Integer>(i)));
  return values;
}

bool TextMatches(const String& Value, const String& Key, TLocateOptions Options) {
  bool ci = Options.Contains(loCaseInsensitive);
  if (!Options.Contains(loPartialKey)) return ci ? AnsiSameText(Value, Key) : Value == Key;
  WideString v = Utf8ToWide(Value), k = Utf8ToWide(Key);
  if (v.size() < k.size()) return false;
  v.resize(k.size());
  return ci ? WideCompareText(v, k) == 0 : v == k;
}

// The active record's key fields against the key values: NULL (or an empty
// value) matches only NULL, texts by TextMatches, other values by variant
// equality.
bool RecordMatches(const std::vector<TField*>& Keys, const std::vector<Variant>& Values, TLocateOptions Options) {
  for (size_t i = 0; i < Keys.size(); ++i) {
    TField* f = Keys[i];
    const Variant& key = Values[i];
    bool key_null = VarIsNull(key) || VarIsClear(key);
    if (f->IsNull() || key_null) {
      if (f->IsNull() != key_null) return false;
      continue;
    }
    if (ftStringTypes.Contains(f->DataType()) || f->DataType() == ftMemo) {
      if (!TextMatches(f->AsString(), VarToStr(key), Options)) return false;
    } else if (VarCompareValue(f->AsVariant(), key) != vrEqual) {
      return false;
    }
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Errors and helpers

void DatabaseError(const String& Message, TComponent* Component) {
  if (Component != nullptr && !Component->Name().empty())
    throw EDatabaseError(Component->Name() + ": " + Message);
  throw EDatabaseError(Message);
}

void DatabaseErrorFmt(const String& Message, std::initializer_list<TVarRec> Args, TComponent* Component) {
  DatabaseError(Format(Message, Args), Component);
}

String ExtractFieldName(const String& Fields, size_t& Pos) {
  size_t i = Pos;
  while (i < Fields.size() && Fields[i] != ';') ++i;
  String result = Trim(Fields.substr(Pos, i - Pos));
  if (i < Fields.size() && Fields[i] == ';') ++i;
  Pos = i;
  return result;
}

const char* FieldTypeName(TFieldType Type) {
  static const char* const kNames[FieldTypeCount] = {
      "Unknown",    "String",    "SmallInt",   "Integer",    "Word",       "Boolean",      "Float",
      "Currency",   "BCD",       "Date",       "Time",       "DateTime",   "Bytes",        "VarBytes",
      "AutoInc",    "Blob",      "Memo",       "Graphic",    "FmtMemo",    "ParadoxOle",   "dBaseOle",
      "TypedBinary", "Cursor",   "FixedChar",  "WideString", "Largeint",   "ADT",          "Array",
      "Reference",  "DataSet",   "OraBlob",    "OraClob",    "Variant",    "Interface",    "IDispatch",
      "Guid",       "TimeStamp", "FMTBcd",     "FixedWideChar", "WideMemo", "OraTimeStamp", "OraInterval"};
  int i = static_cast<int>(Type);
  return i >= 0 && i < FieldTypeCount ? kNames[i] : "Unknown";
}

int FieldDataSize(TFieldType Type, int Size) {
  switch (Type) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
      return Size + 1;
    case ftWideString:
    case ftFixedWideChar:
      return (Size + 1) * 2;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
      return 2;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
      return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
      return 8;
    case ftBCD:
      return sizeof(TBcd);
    case ftBytes:
      return Size;
    case ftVarBytes:
      return Size + 2;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// TDataSet: life

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner), fields_(std::make_unique<TFields>(this)), field_defs_(std::make_unique<TFieldDefs>(this)) {}

TDataSet::~TDataSet() {
  // A dataset not freed with delete (BeforeDestruction skipped): what needs
  // no virtual call is undone here; its most derived class closes it.
  for (TDataSource* ds : data_sources_) {
    ds->data_set_ = nullptr;
    ds->UpdateState();
  }
  data_sources_.clear();
  fields_->Clear();
}

void TDataSet::BeforeDestruction() {
  Destroying();
  // Closing cannot report a failure from a destructor; the cursor is gone
  // either way.
  try {
    Close();
  } catch (...) {
    state_ = dsInactive;
  }
  while (!data_sources_.empty()) RemoveDataSource(data_sources_.back());
  DestroyFields();
  TComponent::BeforeDestruction();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (!streamed_active_) return;
  try {
    SetActive(true);
  } catch (...) {
    if (!IsDesigning()) throw;
    InternalHandleException();
  }
}

// ---------------------------------------------------------------------------
// Opening and closing

void TDataSet::SetActive(bool Value) {
  if (ComponentState().Contains(csReading)) {
    streamed_active_ = Value;
    return;
  }
  if (Active() == Value) return;
  if (Value) {
    DoBeforeOpen();
    TryFinally([&] { OpenCursor(false); }, [&] { OpenCursorComplete(); });
  } else {
    if (!IsDestroying()) DoBeforeClose();
    SetState(dsInactive);
    CloseCursor();
    if (!IsDestroying()) DoAfterClose();
  }
}

void TDataSet::OpenCursor(bool InfoQuery) {
  if (InfoQuery) InternalInitFieldDefs();
  else DoInternalOpen();
}

void TDataSet::DoInternalOpen() {
  default_fields_ = FieldCount() == 0;
  InternalOpen();
  internal_open_complete_ = IsCursorOpen();
  UpdateBufferCount();
  bof_ = true;
}

void TDataSet::OpenCursorComplete() {
  if (internal_open_complete_) {
    SetState(dsBrowse);
    DoAfterOpen();
    if (!IsEmpty()) DoAfterScroll();
  } else {
    SetState(dsInactive);
    CloseCursor();
  }
}

void TDataSet::CloseCursor() {
  SetBlockReadSize(0);
  internal_open_complete_ = false;
  FreeFieldBuffers();
  ClearBuffers();
  SetBufListSize(0);
  InternalClose();
  buffer_count_ = 0;
  default_fields_ = false;
}

void TDataSet::CheckInactive() {
  if (!Active()) return;
  TComponentState cs = ComponentState();
  if (cs.Contains(csUpdating) || cs.Contains(csDesigning)) Close();
  else DatabaseError(SDataSetOpen, this);
}

void TDataSet::CheckActive() {
  if (state_ == dsInactive) DatabaseError(SDataSetClosed, this);
}

void TDataSet::CheckBiDirectional() {
  if (uni_directional_) DatabaseError(SDataSetUnidirectional, this);
}

void TDataSet::CheckCanModify() {
  if (!CanModify()) DatabaseError(SDataSetReadOnly, this);
}

void TDataSet::SetBlockReadSize(int Value) {
  if (Value > 0) {
    CheckActive();
    SetState(dsBlockRead);
  } else if (state_ == dsBlockRead) {
    SetState(dsBrowse);
  }
  block_read_size_ = Value;
}

// ---------------------------------------------------------------------------
// States

void TDataSet::SetState(TDataSetState Value) {
  if (state_ == Value) return;
  state_ = Value;
  modified_ = false;
  DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
  TDataSetState old = state_;
  state_ = Value;
  ++disable_count_;
  return old;
}

void TDataSet::RestoreState(TDataSetState Value) {
  state_ = Value;
  --disable_count_;
}

void TDataSet::DisableControls() {
  if (disable_count_ == 0) {
    disable_state_ = state_;
    enable_event_ = deDataSetChange;
  }
  ++disable_count_;
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ != 0) return;
  if (disable_state_ != state_) DataEvent(deUpdateState, 0);
  if (disable_state_ != dsInactive && state_ != dsInactive) DataEvent(enable_event_, 0);
}

// ---------------------------------------------------------------------------
// Data events

void TDataSet::DataEvent(TDataEvent Event, NativeInt Info) {
  bool notify = !(ControlsDisabled() || state_ == dsBlockRead);
  switch (Event) {
    case deFieldChange: {
      auto* field = reinterpret_cast<TField*>(Info);
      if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) SetModified(true);
      UpdateCalcFieldsOf(field);
      break;
    }
    case dePropertyChange:
      field_defs_->SetUpdated(false);
      break;
    case deLayoutChange:
      if (ControlsDisabled()) enable_event_ = deLayoutChange;
      break;
    case deUpdateState:
      if (ControlsDisabled()) {
        Event = deDisabledStateChange;
        Info = state_ != dsInactive ? 1 : 0;
        notify = true;
        enable_event_ = deLayoutChange;
      }
      break;
    default:
      break;
  }
  if (!notify) return;
  // A handler may detach a source: walk a copy.
  std::vector<TDataSource*> sources = data_sources_;
  for (TDataSource* ds : sources) {
    if (std::find(data_sources_.begin(), data_sources_.end(), ds) != data_sources_.end())
      ds->DataEvent(Event, Info);
  }
}

void TDataSet::UpdateCalcFieldsOf(TField* Field) {
  if (state_ == dsSetKey) return;
  if (internal_calc_fields_ && Field->FieldKind() == fkData) {
    RefreshInternalCalcFields(ActiveBuffer());
  } else if (calc_fields_size_ != 0 && auto_calc_fields_ && Field->FieldKind() == fkData) {
    CalculateFields(ActiveBuffer());
  }
  Field->Change();
}

void TDataSet::AddDataSource(TDataSource* DataSource) {
  data_sources_.push_back(DataSource);
  DataSource->data_set_ = this;
  UpdateBufferCount();
  DataSource->UpdateState();
}

void TDataSet::RemoveDataSource(TDataSource* DataSource) {
  DataSource->data_set_ = nullptr;
  data_sources_.erase(std::remove(data_sources_.begin(), data_sources_.end(), DataSource), data_sources_.end());
  DataSource->UpdateState();
  UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(TDataSource* DataSource) {
  // Bounded walk: a broken chain that loops must not hang.
  for (int guard = 0; DataSource != nullptr && guard < 10000; ++guard) {
    TDataSet* ds = DataSource->DataSet();
    if (ds == nullptr) break;
    if (ds == this) return true;
    DataSource = ds->GetDataSource();
  }
  return false;
}

// ---------------------------------------------------------------------------
// The buffer window

TRecordBuffer TDataSet::ActiveBuffer() const {
  return buffers_.empty() ? nullptr : buffers_[static_cast<size_t>(active_record_)];
}

void TDataSet::UpdateBufferCount() {
  if (!IsCursorOpen()) return;
  int max_count = 1;
  first_data_link_ = nullptr;
  for (auto s = data_sources_.rbegin(); s != data_sources_.rend(); ++s) {
    auto& links = (*s)->data_links_;
    for (auto l = links.rbegin(); l != links.rend(); ++l) {
      (*l)->next_ = first_data_link_;
      first_data_link_ = *l;
      max_count = std::max(max_count, (*l)->buffer_count_);
    }
  }
  SetBufferCount(max_count);
}

void TDataSet::SetBufferCount(int Value) {
  if (buffer_count_ == Value) return;
  auto adjust_first_record = [this](int delta) {
    if (delta == 0) return;
    for (TDataLink* link = first_data_link_; link != nullptr; link = link->next_)
      if (link->Active()) link->first_record_ += delta;
  };
  if (buffer_count_ > Value && record_count_ > 0) {
    int delta = active_record_;
    for (TDataLink* link = first_data_link_; link != nullptr; link = link->next_)
      if (link->Active() && link->first_record_ < delta) delta = link->first_record_;
    for (int i = 0; i < Value; ++i) MoveBuffer(i + delta, i);
    active_record_ -= delta;
    if (current_record_ != -1) current_record_ -= delta;
    if (record_count_ > Value) record_count_ = Value;
    adjust_first_record(-delta);
  }
  SetBufListSize(Value + 1);
  buffer_count_ = Value;
  GetNextRecords();
  adjust_first_record(GetPriorRecords());
}

void TDataSet::SetBufListSize(int Value) {
  size_t n = static_cast<size_t>(Value);
  while (buffers_.size() > n) {
    TRecordBuffer b = buffers_.back();
    buffers_.pop_back();
    FreeRecordBuffer(b);
  }
  while (buffers_.size() < n) buffers_.push_back(AllocRecordBuffer());
}

void TDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  auto b = buffers_.begin();
  if (CurIndex < NewIndex) std::rotate(b + CurIndex, b + CurIndex + 1, b + NewIndex + 1);
  else std::rotate(b + NewIndex, b + CurIndex, b + CurIndex + 1);
}

void TDataSet::SetCurrentRecord(int Index) {
  if (current_record_ == Index) return;
  if (!uni_directional_) {
    TRecordBuffer buffer = buffers_[static_cast<size_t>(Index)];
    switch (GetBookmarkFlag(buffer)) {
      case bfCurrent:
      case bfInserted:
        InternalSetToRecord(buffer);
        break;
      case bfBOF:
        InternalFirst();
        break;
      case bfEOF:
        InternalLast();
        break;
    }
  }
  current_record_ = Index;
}

bool TDataSet::GetNextRecord() {
  TGetMode mode = gmNext;
  if (record_count_ > 0) {
    SetCurrentRecord(record_count_ - 1);
    if (state_ == dsInsert && current_record_ == active_record_ && GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
      mode = gmCurrent;
  }
  bool ok = GetRecord(buffers_[static_cast<size_t>(record_count_)], mode, true) == grOK;
  if (ok) {
    if (record_count_ == 0) {
      ActivateBuffers();
    } else if (record_count_ < buffer_count_) {
      ++record_count_;
    } else {
      MoveBuffer(0, record_count_);
    }
    current_record_ = record_count_ - 1;
  } else {
    CursorPosChanged();
  }
  return ok;
}

bool TDataSet::GetPriorRecord() {
  CheckBiDirectional();
  if (record_count_ > 0) SetCurrentRecord(0);
  bool ok = GetRecord(buffers_[static_cast<size_t>(record_count_)], gmPrior, true) == grOK;
  if (ok) {
    if (record_count_ == 0) {
      ActivateBuffers();
    } else {
      MoveBuffer(record_count_, 0);
      if (record_count_ < buffer_count_) {
        ++record_count_;
        ++active_record_;
      }
    }
    current_record_ = 0;
  } else {
    CursorPosChanged();
  }
  return ok;
}

int TDataSet::GetNextRecords() {
  int n = 0;
  while (record_count_ < buffer_count_ && GetNextRecord()) ++n;
  return n;
}

int TDataSet::GetPriorRecords() {
  int n = 0;
  while (record_count_ < buffer_count_ && GetPriorRecord()) ++n;
  return n;
}

void TDataSet::UpdateCursorPos() {
  if (record_count_ > 0) SetCurrentRecord(active_record_);
}

void TDataSet::Resync(TResyncMode Mode) {
  if (uni_directional_ || buffers_.empty()) return;
  TRecordBuffer temp = buffers_[static_cast<size_t>(record_count_)];
  if (Mode.Contains(rmExact)) {
    CursorPosChanged();
    if (GetRecord(temp, gmCurrent, true) != grOK) DatabaseError(SRecordNotFound, this);
  } else if (GetRecord(temp, gmCurrent, false) != grOK && GetRecord(temp, gmNext, false) != grOK &&
             GetRecord(temp, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  int count = Mode.Contains(rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  TryFinally(
      [&] {
        while (count > 0 && GetPriorRecord()) --count;
        GetNextRecords();
        GetPriorRecords();
      },
      [&] { DataEvent(deDataSetChange, 0); });
}

// ---------------------------------------------------------------------------
// Navigation

void TDataSet::DoBeforeScroll() { before_scroll_(this); }
void TDataSet::DoAfterScroll() { after_scroll_(this); }

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  TryFinally(
      [&] {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
      },
      [&] {
        bof_ = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
      });
}

void TDataSet::Last() {
  CheckBiDirectional();
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  TryFinally(
      [&] {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
      },
      [&] {
        eof_ = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
      });
}

void TDataSet::Next() {
  if (block_read_size_ > 0) BlockReadNext();
  else MoveBy(1);
}

void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int Distance) {
  CheckBrowseMode();
  int result = 0;
  DoBeforeScroll();
  if ((Distance > 0 && !eof_) || (Distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    int scroll_count = 0;
    TryFinally(
        [&] {
          while (Distance > 0) {
            if (active_record_ < record_count_ - 1) {
              ++active_record_;
            } else {
              int shift = record_count_ < buffer_count_ ? 0 : 1;
              if (!GetNextRecord()) {
                eof_ = true;
                break;
              }
              scroll_count -= shift;
              // The buffer window grew or slid: the new record is the last.
              active_record_ = record_count_ - 1;
            }
            --Distance;
            ++result;
          }
          while (Distance < 0) {
            if (active_record_ > 0) {
              --active_record_;
            } else {
              int shift = record_count_ < buffer_count_ ? 0 : 1;
              if (!GetPriorRecord()) {
                bof_ = true;
                break;
              }
              scroll_count += shift;
              active_record_ = 0;
            }
            ++Distance;
            --result;
          }
        },
        [&] {
          DataEvent(deDataSetScroll, scroll_count);
          DoAfterScroll();
        });
  }
  return result;
}

void TDataSet::Refresh() {
  DoBeforeRefresh();
  CheckBrowseMode();
  UpdateCursorPos();
  TryFinally([&] { InternalRefresh(); }, [&] { Resync({}); });
  DoAfterRefresh();
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  switch (state_) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (modified_) Post();
      else Cancel();
      break;
    case dsSetKey:
      Post();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Bookmarks

bool TDataSet::BookmarkAvailable() {
  return (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && !IsEmpty() &&
         GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() {
  if (!BookmarkAvailable() || bookmark_size_ <= 0) return TBookmark();
  TBookmark b(static_cast<size_t>(bookmark_size_), '\0');
  GetBookmarkData(ActiveBuffer(), b.data());
  return b;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
  if (Bookmark.empty()) return;
  // A shorter byte string is not a bookmark of this dataset: the descendant
  // would read past its end.
  if (static_cast<int>(Bookmark.size()) < bookmark_size_) DatabaseError(SInvalidBookmark, this);
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(Bookmark.data());
  Resync({rmExact, rmCenter});
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& /*Bookmark*/) { return false; }

int TDataSet::CompareBookmarks(const TBookmark& /*Bookmark1*/, const TBookmark& /*Bookmark2*/) { return 0; }

// ---------------------------------------------------------------------------
// Editing

void TDataSet::CheckOperation(TDataOperation Operation, const TDataSetErrorEvent& ErrorEvent) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*Operation)();
      return;
    } catch (EDatabaseError& E) {
      TDataAction action = daFail;
      if (ErrorEvent.Assigned()) ErrorEvent(this, &E, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (record_count_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  CheckOperation(&TDataSet::InternalEdit, on_edit_error_);
  GetCalcFields(ActiveBuffer());
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    UpdateCursorPos();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  TBookmarkStr old_current = Bookmark();
  MoveBuffer(record_count_, active_record_);
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (record_count_ == 0) SetBookmarkFlag(buffer, bfBOF);
  else if (!old_current.empty()) SetBookmarkData(buffer, old_current.data());
  if (record_count_ < buffer_count_) ++record_count_;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, bfEOF);
  record_count_ = 1;
  bof_ = false;
  GetPriorRecords();
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::InitRecord(TRecordBuffer Buffer) {
  InternalInitRecord(Buffer);
  ClearCalcFields(Buffer);
  SetBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::FreeFieldBuffers() {
  for (int i = 0; i < fields_->Count(); ++i) fields_->Fields(i)->FreeBuffers();
}

void TDataSet::UpdateRecord() {
  if (!dsEditModes.Contains(state_)) DatabaseError(SNotEditing, this);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::Post() {
  UpdateRecord();
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  DoBeforePost();
  CheckOperation(&TDataSet::InternalPost, on_post_error_);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterPost();
}

void TDataSet::Cancel() {
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeCancel();
  bool scroll_events = state_ == dsInsert;
  if (scroll_events) DoBeforeScroll();
  UpdateCursorPos();
  InternalCancel();
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterCancel();
  if (scroll_events) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (record_count_ == 0) DatabaseError(SDataSetEmpty, this);
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation(&TDataSet::InternalDelete, on_delete_error_);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::InternalPost() { CheckRequiredFields(); }

void TDataSet::CheckRequiredFields() {
  for (int i = 0; i < FieldCount(); ++i) {
    TField* f = fields_->Fields(i);
    if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()) {
      f->FocusControl();
      DatabaseErrorFmt(SFieldRequired, {f->DisplayName()});
    }
  }
}

TUpdateStatus TDataSet::UpdateStatus() { return usUnmodified; }

// ---------------------------------------------------------------------------
// Fields

TField* TDataSet::FindField(const String& FieldName) { return fields_->FindField(FieldName); }

TField* TDataSet::FieldByName(const String& FieldName) {
  TField* f = FindField(FieldName);
  if (f == nullptr) DatabaseErrorFmt(SFieldNotFound, {FieldName}, this);
  return f;
}

void TDataSet::GetFieldList(std::vector<TField*>& List, const String& FieldNames) {
  size_t pos = 0;
  while (pos < FieldNames.size()) List.push_back(FieldByName(ExtractFieldName(FieldNames, pos)));
}

void TDataSet::GetFieldNames(TStrings* List) { fields_->GetFieldNames(List); }

Variant TDataSet::FieldValues(const String& FieldName) {
  if (FieldName.find(';') == String::npos) return FieldByName(FieldName)->Value();
  std::vector<TField*> list;
  GetFieldList(list, FieldName);
  return db_internal::ValuesOf(list);
}

void TDataSet::SetFieldValues(const String& FieldName, const Variant& Value) {
  if (FieldName.find(';') == String::npos) {
    FieldByName(FieldName)->SetValue(Value);
    return;
  }
  std::vector<TField*> list;
  GetFieldList(list, FieldName);
  db_internal::SetValuesOf(list, Value);
}

TFieldClass TDataSet::GetFieldClass(TFieldType FieldType) {
  switch (FieldType) {
    case ftString:
    case ftFixedChar:
      return FieldClassOf<TStringField>();
    case ftSmallint:
      return FieldClassOf<TSmallintField>();
    case ftInteger:
      return FieldClassOf<TIntegerField>();
    case ftWord:
      return FieldClassOf<TWordField>();
    case ftBoolean:
      return FieldClassOf<TBooleanField>();
    case ftFloat:
      return FieldClassOf<TFloatField>();
    case ftCurrency:
      return FieldClassOf<TCurrencyField>();
    case ftBCD:
      return FieldClassOf<TBCDField>();
    case ftDate:
      return FieldClassOf<TDateField>();
    case ftTime:
      return FieldClassOf<TTimeField>();
    case ftDateTime:
      return FieldClassOf<TDateTimeField>();
    case ftBytes:
      return FieldClassOf<TBytesField>();
    case ftVarBytes:
      return FieldClassOf<TVarBytesField>();
    case ftAutoInc:
      return FieldClassOf<TAutoIncField>();
    case ftBlob:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
      return FieldClassOf<TBlobField>();
    case ftMemo:
    case ftOraClob:
      return FieldClassOf<TMemoField>();
    case ftGraphic:
      return FieldClassOf<TGraphicField>();
    case ftWideString:
      return FieldClassOf<TWideStringField>();
    case ftLargeint:
      return FieldClassOf<TLargeintField>();
    case ftGuid:
      return FieldClassOf<TGuidField>();
    default:
      return nullptr;
  }
}

void TDataSet::CreateFields() {
  for (int i = 0; i < field_defs_->Count(); ++i) {
    TFieldDef* def = field_defs_->Items(i);
    if (def->DataType() == ftUnknown) continue;
    if (def->Attributes().Contains(faHiddenCol) && !field_defs_->HiddenFields()) continue;
    def->CreateField(this);
  }
}

void TDataSet::DestroyFields() { fields_->Clear(); }

void TDataSet::CheckFieldCompatibility(TField* Field, TFieldDef* FieldDef) {
  // Types that hold the same kind of value are compatible.
  auto base = [](TFieldType t) {
    switch (t) {
      case ftSmallint:
      case ftInteger:
      case ftWord:
      case ftAutoInc:
        return ftInteger;
      case ftCurrency:
        return ftFloat;
      case ftDate:
      case ftTime:
        return ftDateTime;
      case ftFixedChar:
        return ftString;
      case ftMemo:
      case ftGraphic:
      case ftFmtMemo:
      case ftParadoxOle:
      case ftDBaseOle:
      case ftTypedBinary:
      case ftOraBlob:
      case ftOraClob:
      case ftWideMemo:
        return ftBlob;
      case ftFixedWideChar:
        return ftWideString;
      case ftIDispatch:
        return ftInterface;
      case ftCursor:
        return ftUnknown;
      default:
        return t;
    }
  };
  if (base(Field->DataType()) != base(FieldDef->DataType()))
    DatabaseErrorFmt(SFieldTypeMismatch,
                     {Field->DisplayName(), FieldTypeName(Field->DataType()), FieldTypeName(FieldDef->DataType())},
                     this);
  TFieldType t = Field->DataType();
  if ((t == ftBytes || t == ftVarBytes || t == ftBCD || t == ftReference) && Field->Size() != FieldDef->Size())
    DatabaseErrorFmt(SFieldSizeMismatch, {Field->DisplayName(), Field->Size(), FieldDef->Size()}, this);
}

void TDataSet::BindFields(bool Binding) {
  static constexpr TFieldTypes kCalcTypes{ftString,   ftSmallint, ftInteger,  ftWord,      ftBoolean, ftFloat,
                                          ftCurrency, ftBCD,      ftDate,     ftTime,      ftDateTime, ftAutoInc,
                                          ftFixedChar, ftWideString, ftLargeint, ftGuid};
  calc_fields_size_ = 0;
  blob_field_count_ = 0;
  internal_calc_fields_ = false;
  for (int i = 0; i < FieldCount(); ++i) {
    TField* f = fields_->Fields(i);
    if (Binding) {
      if (f->FieldKind() == fkCalculated || f->FieldKind() == fkLookup) {
        if (!kCalcTypes.Contains(f->DataType())) DatabaseErrorFmt(SInvalidCalcType, {f->DisplayName()});
        f->field_no_ = -1;
        f->offset_ = calc_fields_size_;
        calc_fields_size_ += f->DataSize() + 1;
      } else {
        TFieldDef* def = field_defs_->Find(f->FullName());
        f->field_no_ = def->FieldNo();
        CheckFieldCompatibility(f, def);
        if (def->InternalCalcField()) internal_calc_fields_ = true;
        if (f->IsBlob()) {
          f->size_ = def->Size();
          f->offset_ = blob_field_count_++;
        }
      }
      f->Bind(true);
    } else {
      f->Bind(false);
      f->field_no_ = 0;
    }
  }
}

void TDataSet::InitFieldDefs() {
  if (IsCursorOpen()) {
    InternalInitFieldDefs();
    return;
  }
  TryFinally([&] { OpenCursor(true); }, [&] { CloseCursor(); });
}

// ---------------------------------------------------------------------------
// Calculated fields

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
  calc_buffer_ = Buffer;
  if (!uni_directional_ && state_ != dsInternalCalc) {
    ClearCalcFields(calc_buffer_);
    for (int i = 0; i < FieldCount(); ++i) {
      TField* f = fields_->Fields(i);
      if (f->FieldKind() == fkLookup) f->CalcLookupValue();
    }
  }
  DoOnCalcFields();
}

void TDataSet::GetCalcFields(TRecordBuffer Buffer) {
  if (calc_fields_size_ <= 0 && !internal_calc_fields_) return;
  TDataSetState saved = state_;
  state_ = dsCalcFields;
  TryFinally([&] { CalculateFields(Buffer); }, [&] { state_ = saved; });
}

void TDataSet::RefreshInternalCalcFields(TRecordBuffer Buffer) { CalculateFields(Buffer); }

// ---------------------------------------------------------------------------
// Field data

bool TDataSet::GetFieldData(TField* /*Field*/, void* /*Buffer*/) { return false; }

namespace {

// Zeroed bytes for a native value: on the stack when small (most values).
class TNativeBuffer {
 public:
  explicit TNativeBuffer(int Size) : size_(static_cast<size_t>(std::max(Size, 1))) {
    if (size_ > sizeof local_) heap_.resize(size_);
    std::memset(Data(), 0, size_);
  }
  Byte* Data() { return heap_.empty() ? local_ : heap_.data(); }

 private:
  size_t size_;
  alignas(16) Byte local_[64];
  std::vector<Byte> heap_;
};

}  // namespace

bool TDataSet::GetFieldData(TField* Field, void* Buffer, bool NativeFormat) {
  if (NativeFormat || Buffer == nullptr) return GetFieldData(Field, Buffer);
  TNativeBuffer temp(Field->DataSize());
  bool has_value = GetFieldData(Field, temp.Data());
  if (has_value) DataConvert(Field, temp.Data(), Buffer, false);
  return has_value;
}

void TDataSet::SetFieldData(TField* /*Field*/, const void* /*Buffer*/) {}

void TDataSet::SetFieldData(TField* Field, const void* Buffer, bool NativeFormat) {
  if (NativeFormat || Buffer == nullptr) {
    SetFieldData(Field, Buffer);
    return;
  }
  TNativeBuffer temp(Field->DataSize());
  DataConvert(Field, Buffer, temp.Data(), true);
  SetFieldData(Field, temp.Data());
}

void TDataSet::DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) {
  db_internal::DataConvert(Field, Source, Dest, ToNative);
}

Variant TDataSet::GetStateFieldValue(TDataSetState State, TField* Field) {
  if (Field->FieldKind() != fkData && Field->FieldKind() != fkInternalCalc) return Null();
  TDataSetState saved = SetTempState(State);
  Variant result;
  TryFinally([&] { result = Field->AsVariant(); }, [&] { RestoreState(saved); });
  return result;
}

void TDataSet::SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value) {
  if (Field->FieldKind() != fkData) return;
  TDataSetState saved = SetTempState(State);
  TryFinally([&] { Field->SetAsVariant(Value); }, [&] { RestoreState(saved); });
}

TStream* TDataSet::CreateBlobStream(TField* /*Field*/, TBlobStreamMode /*Mode*/) { return nullptr; }

bool TDataSet::GetCurrentRecord(TRecordBuffer /*Buffer*/) { return false; }

int TDataSet::Translate(const char* Src, char* Dest, bool /*ToOem*/) {
  if (Src == nullptr) return 0;
  size_t n = std::strlen(Src);
  if (Dest != nullptr && Dest != Src) std::memmove(Dest, Src, n + 1);
  return static_cast<int>(n);
}

// ---------------------------------------------------------------------------
// Locate and Lookup

bool TDataSet::ScanRecords(const std::vector<TField*>& Keys, const std::vector<Variant>& Values,
                           TLocateOptions Options, bool Stay, const String& ResultFields, Variant* Result) {
  if (IsEmpty()) return false;
  // The records are read into the spare buffer, made the active one for the
  // duration, so fields read them without touching the window.
  size_t active = static_cast<size_t>(active_record_), spare = static_cast<size_t>(record_count_);
  std::swap(buffers_[active], buffers_[spare]);
  TDataSetState saved = SetTempState(state_);
  bool found = false;
  auto restore = [&] {
    std::swap(buffers_[active], buffers_[spare]);
    RestoreState(saved);
    CursorPosChanged();
  };
  try {
    CursorPosChanged();
    InternalFirst();
    while (!found && GetRecord(ActiveBuffer(), gmNext, true) == grOK)
      found = RecordMatches(Keys, Values, Options);
    if (found && Result != nullptr) *Result = FieldValues(ResultFields);
  } catch (...) {
    restore();
    throw;
  }
  restore();
  // The descendant's cursor stays on the found record: Resync reads it.
  if (found && Stay) Resync({rmExact, rmCenter});
  return found;
}

bool TDataSet::Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
  CheckBrowseMode();
  std::vector<TField*> keys;
  GetFieldList(keys, KeyFields);
  std::vector<Variant> values = KeyValueList(keys.size(), KeyValues);
  DoBeforeScroll();
  bool found = ScanRecords(keys, values, Options, true, String(), nullptr);
  if (found) DoAfterScroll();
  return found;
}

Variant TDataSet::Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields) {
  CheckBrowseMode();
  std::vector<TField*> keys;
  GetFieldList(keys, KeyFields);
  std::vector<Variant> values = KeyValueList(keys.size(), KeyValues);
  Variant result = Null();
  ScanRecords(keys, values, {}, false, ResultFields, &result);
  return result;
}
