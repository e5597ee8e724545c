// The record cache: blocks, the logical index, stored-apart strings and the
// old-version log.
#include "dataaccess/datasets/FIBCacheManage.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr const char kIncompatibleSizes[] = "Incompatible Sizes";
constexpr const char kCantRead[] = "Can't read Buffer.Incorrect RecordNo";
constexpr const char kCantReadLog[] = "Can't read LogBuffer.Incorrect RecordNo";
constexpr const char kCantWrite[] = "Can't write to Buffer.Incorrect RecordNo";
constexpr const char kCantReadField[] = "Can't read  FieldData .Incorrect RecordNo";
constexpr const char kCantMove[] = "Can't move record.Incorrect RecordNo";
constexpr const char kOutOfRange[] = "Record number out of range";
constexpr const char kBadStringField[] = "Can't access string field.Incorrect field number";

constexpr uint32_t kFirstChunk = 4096;
constexpr uint32_t kLargestChunk = 1u << 20;
constexpr size_t kMaxChunks = size_t{1} << 24;
constexpr Integer kMaxCapacity = 0xFFFF;

// Bytes of S without its trailing bytes below 33.
size_t TrimmedLength(const char* S, size_t Length) {
  while (Length > 0 && static_cast<unsigned char>(S[Length - 1]) <= ' ') --Length;
  return Length;
}

Integer ReadLength(const Byte* P) {
  Integer n;
  std::memcpy(&n, P, sizeof n);
  return n;
}

}  // namespace

// ===========================================================================
// TCacheStringTable

void TCacheStringTable::SetRows(int Rows) {
  if (Rows <= rows_) return;
  const size_t cells = static_cast<size_t>(Rows) * static_cast<size_t>(columns_);
  while (pages_.size() * kPageCells < cells) pages_.emplace_back(new uint64_t[kPageCells]());
  rows_ = Rows;
}

void TCacheStringTable::Set(int Column, int Row, const char* Data, size_t Length) {
  uint64_t& cell = CellRef(Column, Row);
  const size_t old = static_cast<size_t>(cell & 0xFFFF);
  if (Length <= old) {
    // Fits the bytes the cell already has.
    if (Length > 0) std::memmove(chunks_[cell >> 40].Data.get() + ((cell >> 16) & 0xFFFFFF), Data, Length);
    cell = Length == 0 ? 0 : (cell & ~uint64_t{0xFFFF}) | Length;
    live_ -= old - Length;
    garbage_ += old - Length;
    return;
  }
  if (chunks_.empty() || chunks_.back().Size - chunks_.back().Used < Length) {
    if (chunks_.size() >= kMaxChunks) throw EMemManagerError("Strings cache overflow");
    const uint32_t grown = std::min<uint32_t>(kLargestChunk, kFirstChunk << std::min<size_t>(chunks_.size(), 8));
    TChunk chunk;
    chunk.Size = std::max<uint32_t>(grown, static_cast<uint32_t>(Length));
    chunk.Data.reset(new char[chunk.Size]);
    chunks_.push_back(std::move(chunk));
  }
  TChunk& chunk = chunks_.back();
  std::memcpy(chunk.Data.get() + chunk.Used, Data, Length);
  cell = (static_cast<uint64_t>(chunks_.size() - 1) << 40) | (static_cast<uint64_t>(chunk.Used) << 16) | Length;
  chunk.Used += static_cast<uint32_t>(Length);
  live_ += Length - old;
  garbage_ += old;
  if (garbage_ > kLargestChunk && garbage_ > live_) Compact();
}

void TCacheStringTable::Compact() {
  std::vector<TChunk> fresh;
  const size_t cells = static_cast<size_t>(rows_) * static_cast<size_t>(columns_);
  for (size_t at = 0; at < cells; ++at) {
    uint64_t& cell = pages_[at >> kPageBits][at & (kPageCells - 1)];
    const auto length = static_cast<uint32_t>(cell & 0xFFFF);
    if (length == 0) continue;
    if (fresh.empty() || fresh.back().Size - fresh.back().Used < length) {
      TChunk chunk;
      chunk.Size = std::max(kLargestChunk, length);
      chunk.Data.reset(new char[chunk.Size]);
      fresh.push_back(std::move(chunk));
    }
    TChunk& chunk = fresh.back();
    std::memcpy(chunk.Data.get() + chunk.Used, chunks_[cell >> 40].Data.get() + ((cell >> 16) & 0xFFFFFF), length);
    cell = (static_cast<uint64_t>(fresh.size() - 1) << 40) | (static_cast<uint64_t>(chunk.Used) << 16) | length;
    chunk.Used += length;
  }
  chunks_ = std::move(fresh);
  garbage_ = 0;
}

size_t TCacheStringTable::MemoryUsed() const {
  size_t bytes = pages_.size() * kPageCells * sizeof(uint64_t) + pages_.capacity() * sizeof(void*) +
                 chunks_.capacity() * sizeof(TChunk);
  for (const TChunk& chunk : chunks_) bytes += chunk.Size;
  return bytes;
}

// ===========================================================================
// TRecordsCache

TRecordsCache::TRecordsCache(Integer ChunkRecords, Integer BufferSize, Integer RecordSize, Integer StringFieldCount)
    : record_size_(RecordSize), buffer_size_(BufferSize) {
  if (RecordSize < 1 || BufferSize < 1 || RecordSize > BufferSize || StringFieldCount < 0) RaiseError(kIncompatibleSizes);
  Int64 block = static_cast<Int64>(RecordSize) * ChunkRecords;
  if (block < 1024) block = BufferSize + 1024 - (1024 % BufferSize);
  if (block < RecordSize || block > INT32_MAX) RaiseError(kIncompatibleSizes);
  block_size_ = static_cast<Integer>(block);
  records_per_block_ = block_size_ / record_size_;
  if (StringFieldCount >= 1) {
    strings_ = std::make_unique<TCacheStringTable>(StringFieldCount);
    string_offsets_.assign(static_cast<size_t>(StringFieldCount), -1);
    string_sizes_.assign(static_cast<size_t>(StringFieldCount), 0);
  }
  work_.reset(new Byte[static_cast<size_t>(BufferSize)]);
  std::memset(work_.get(), 1, static_cast<size_t>(BufferSize));
  scratch_.reset(new Byte[static_cast<size_t>(BufferSize)]);
}

TRecordsCache::~TRecordsCache() = default;

void TRecordsCache::RaiseError(const char* Message) { throw EMemManagerError(Message); }

Integer TRecordsCache::AddBlock() {
  // The list doubles (at least 10 more): appending stays linear overall.
  if (blocks_.size() == blocks_.capacity()) blocks_.reserve(std::max(blocks_.size() + 10, blocks_.size() * 2));
  blocks_.emplace_back(new Byte[static_cast<size_t>(block_size_)]());
  return BlockCount();
}

void TRecordsCache::SetStringFieldLayout(Integer I, Integer Offset, Integer Size) {
  if (!strings_ || I < 1 || I > StringFieldCount()) return;
  if (Offset < 0 || Size < 0 || Size > kMaxCapacity) RaiseError(kIncompatibleSizes);
  // The caller's record must hold the image around the whole string stretch.
  Integer start = Offset, end = Offset + 4 + Size;
  for (size_t k = 0; k < string_offsets_.size(); ++k) {
    if (k == static_cast<size_t>(I - 1) || string_offsets_[k] < 0) continue;
    start = std::min(start, string_offsets_[k]);
    end = std::max(end, string_offsets_[k] + 4 + string_sizes_[k]);
  }
  if (start > record_size_ || static_cast<Int64>(end) + record_size_ - start > buffer_size_) RaiseError(kIncompatibleSizes);
  string_offsets_[static_cast<size_t>(I - 1)] = Offset;
  string_sizes_[static_cast<size_t>(I - 1)] = Size;
  strings_start_ = start;
  strings_end_ = end;
}

// ---------------------------------------------------------------------------
// Addressing

Integer TRecordsCache::PhysicalRecordNo(Integer RecordNo) const {
  if (RecordNo < 1) return -1;
  if (!has_index_) return RecordNo;
  if (RecordNo > static_cast<Integer>(index_.size())) return -1;
  return index_[static_cast<size_t>(RecordNo - 1)];
}

Integer TRecordsCache::PhysicalOrRaise(Integer RecordNo, const char* Message) const {
  Integer physical = PhysicalRecordNo(RecordNo);
  if (physical < 1) RaiseError(Message);
  return physical;
}

Byte* TRecordsCache::ImageOf(const std::vector<std::unique_ptr<Byte[]>>& Blocks, Integer Number,
                             const char* Message) const {
  if (Number < 1) RaiseError(Message);
  const auto block = static_cast<size_t>((Number - 1) / records_per_block_);
  if (block >= Blocks.size()) RaiseError(Message);
  return Blocks[block].get() + static_cast<size_t>((Number - 1) % records_per_block_) * static_cast<size_t>(record_size_);
}

void TRecordsCache::EnsureBlocks(Integer Physical) {
  const auto needed = static_cast<size_t>((Physical - 1) / records_per_block_) + 1;
  while (blocks_.size() < needed) AddBlock();
}

void TRecordsCache::EnsureStringRows(TCacheStringTable& Table, Integer Rows) {
  if (Table.Rows() < Rows) Table.SetRows(Rows);
}

Integer TRecordsCache::LogicalIndexOf(Integer Physical) const {
  if (!has_index_) return Physical - 1;
  if (Physical < 1 || Physical > static_cast<Integer>(index_.size())) return -1;
  if (index_[static_cast<size_t>(Physical - 1)] == Physical) return Physical - 1;
  if (!positions_valid_) {
    positions_.assign(index_.size(), -1);
    for (size_t i = 0; i < index_.size(); ++i) positions_[static_cast<size_t>(index_[i] - 1)] = static_cast<Integer>(i);
    positions_valid_ = true;
  }
  return positions_[static_cast<size_t>(Physical - 1)];
}

bool TRecordsCache::RecordExists(Integer Physical) const {
  // Physical numbers start at 1: 0 names no record.
  if (Physical < 1) return false;
  if (!has_index_) return Physical <= record_count_;
  return LogicalIndexOf(Physical) >= 0;
}

// ---------------------------------------------------------------------------
// Records

Byte* TRecordsCache::GetRecordForWrite(Integer RecordNo) {
  if (RecordNo < 1) RaiseError(kCantWrite);
  Integer physical;
  if (has_index_) {
    const auto length = static_cast<Integer>(index_.size());
    if (RecordNo > length) {
      EnsureBlocks(record_count_ + (RecordNo - length));
      index_.reserve(static_cast<size_t>(RecordNo));
      while (static_cast<Integer>(index_.size()) < RecordNo) {
        index_.push_back(++record_count_);
        if (positions_valid_) positions_.push_back(static_cast<Integer>(index_.size()) - 1);
      }
    }
    physical = index_[static_cast<size_t>(RecordNo - 1)];
  } else {
    physical = RecordNo;
    EnsureBlocks(physical);
    record_count_ = std::max(record_count_, RecordNo);
  }
  EnsureBlocks(physical);
  if (strings_) EnsureStringRows(*strings_, record_count_);
  return ImageOf(blocks_, physical, kCantWrite);
}

Byte* TRecordsCache::GetRecordPtr(Integer RecordNo) {
  return ImageOf(blocks_, PhysicalOrRaise(RecordNo, kCantRead), kCantRead);
}

Byte* TRecordsCache::FindRecordPtr(Integer RecordNo) {
  const Integer physical = PhysicalRecordNo(RecordNo);
  if (physical < 1 || static_cast<size_t>((physical - 1) / records_per_block_) >= blocks_.size()) return nullptr;
  return ImageOf(blocks_, physical, kCantRead);
}

Byte* TRecordsCache::GetFieldPtr(Integer RecordNo, Integer Offset, Byte*& RecPtr) {
  RecPtr = ImageOf(blocks_, PhysicalOrRaise(RecordNo, kCantReadField), kCantReadField);
  return RecPtr + Offset;
}

Byte* TRecordsCache::GetFieldPtr0(Integer Index, Integer Offset, Byte*& RecPtr) {
  return GetFieldPtr(Index + 1, Offset, RecPtr);
}

std::string_view TRecordsCache::GetFieldString(Integer RecordNo, Integer StringIndex) {
  CheckStringColumn(StringIndex);
  const Integer physical = PhysicalOrRaise(RecordNo, kCantReadField);
  ImageOf(blocks_, physical, kCantReadField);
  if (physical > strings_->Rows()) RaiseError(kCantReadField);
  return strings_->Get(StringIndex, physical - 1);
}

std::string_view TRecordsCache::GetStringCell(Integer Index, Integer Column) { return GetFieldString(Index + 1, Column); }

void TRecordsCache::ImageToCaller(const Byte* Image, TCacheStringTable* Strings, Integer Row, Byte* Buffer) {
  if (!strings_) {
    std::memcpy(Buffer, Image, static_cast<size_t>(record_size_));
    return;
  }
  std::memcpy(Buffer, Image, static_cast<size_t>(strings_start_));
  std::memcpy(Buffer + strings_end_, Image + strings_start_, static_cast<size_t>(record_size_ - strings_start_));
  if (Strings == nullptr || Row >= Strings->Rows()) return;
  for (Integer i = 0; i < StringFieldCount(); ++i) {
    const Integer offset = string_offsets_[static_cast<size_t>(i)];
    if (offset < 0) continue;
    const Integer capacity = StringCapacity(i);
    std::string_view text = Strings->Get(i, Row);
    if (static_cast<Integer>(text.size()) > capacity) {
      Strings->Set(i, Row, text.data(), static_cast<size_t>(capacity));
      text = Strings->Get(i, Row);
    }
    const auto length = static_cast<Integer>(text.size());
    std::memcpy(Buffer + offset, &length, sizeof length);
    if (length > 0) std::memcpy(Buffer + offset + 4, text.data(), text.size());
    if (length < capacity) Buffer[offset + 4 + length] = 0;
  }
}

void TRecordsCache::CallerToImage(const Byte* Buffer, Byte* Image, Integer Row) {
  if (!strings_) {
    if (Buffer != nullptr) std::memcpy(Image, Buffer, static_cast<size_t>(record_size_));
    else std::memset(Image, 0, static_cast<size_t>(record_size_));
    return;
  }
  if (Buffer == nullptr) {
    std::memset(Image, 0, static_cast<size_t>(record_size_));
    for (Integer i = 0; i < StringFieldCount(); ++i) strings_->Set(i, Row, nullptr, 0);
    return;
  }
  std::memcpy(Image, Buffer, static_cast<size_t>(strings_start_));
  std::memcpy(Image + strings_start_, Buffer + strings_end_, static_cast<size_t>(record_size_ - strings_start_));
  for (Integer i = 0; i < StringFieldCount(); ++i) {
    const Integer offset = string_offsets_[static_cast<size_t>(i)];
    if (offset < 0) continue;
    const Integer length = std::clamp(ReadLength(Buffer + offset), 0, StringCapacity(i));
    strings_->Set(i, Row, reinterpret_cast<const char*>(Buffer + offset + 4), static_cast<size_t>(length));
  }
}

void TRecordsCache::ReadRecordEx(Integer RecordNo, void* Buffer, bool FromLog) {
  const Integer physical = PhysicalOrRaise(RecordNo, kCantRead);
  if (FromLog) {
    if (const Integer slot = LogSlotOf(physical); slot != 0) {
      ImageToCaller(ImageOf(log_blocks_, slot, kCantReadLog), log_strings_.get(), slot - 1,
                    static_cast<Byte*>(Buffer));
      return;
    }
  }
  ImageToCaller(ImageOf(blocks_, physical, kCantRead), strings_.get(), physical - 1, static_cast<Byte*>(Buffer));
}

void TRecordsCache::WriteRecord(Integer RecordNo, const void* Buffer, bool Extend) {
  Byte* image;
  Integer physical;
  if (Extend) {
    image = GetRecordForWrite(RecordNo);
    physical = PhysicalRecordNo(RecordNo);
  } else {
    physical = PhysicalOrRaise(RecordNo, kCantWrite);
    image = ImageOf(blocks_, physical, kCantWrite);
  }
  if (strings_) EnsureStringRows(*strings_, physical);
  CallerToImage(static_cast<const Byte*>(Buffer), image, physical - 1);
}

// ---------------------------------------------------------------------------
// Strings

void TRecordsCache::CheckStringColumn(Integer Column) const {
  if (!strings_ || Column < 0 || Column >= StringFieldCount()) RaiseError(kBadStringField);
}

void TRecordsCache::StoreString(TCacheStringTable& Table, Integer Column, Integer Row, std::string_view Value) {
  Table.Set(Column, Row, Value.data(), std::min(Value.size(), static_cast<size_t>(kMaxCapacity)));
}

void TRecordsCache::SetStringValue(Integer Column, Integer Index, std::string_view Value) {
  CheckStringColumn(Column);
  const Integer physical = Index < 0 ? -1 : PhysicalRecordNo0(Index);
  if (physical < 1) RaiseError(kCantWrite);
  EnsureStringRows(*strings_, physical);
  const auto capacity = static_cast<size_t>(StringCapacity(Column));
  size_t length = Value.size();
  if (length > capacity) {
    // Cut to the capacity unless nothing but the cut part would go.
    const size_t trimmed = TrimmedLength(Value.data(), capacity);
    if (trimmed < capacity) length = trimmed;
  } else if (length > 0 && static_cast<unsigned char>(Value[length - 1]) <= ' ') {
    length = TrimmedLength(Value.data(), length);
  }
  StoreString(*strings_, Column, physical - 1, Value.substr(0, length));
}

void TRecordsCache::SetStringFromBuffer(Integer Column, Integer Index, bool Trim, Integer Length, char* Chars) {
  CheckStringColumn(Column);
  const Integer physical = Index < 0 ? -1 : PhysicalRecordNo0(Index);
  if (physical < 1) RaiseError(kCantWrite);
  EnsureStringRows(*strings_, physical);
  const Integer capacity = StringCapacity(Column);
  auto length = static_cast<size_t>(Length < 0 || Length > capacity ? capacity : Length);
  if (Trim) {
    length = TrimmedLength(Chars, length);
    if (static_cast<Integer>(length) < capacity) Chars[length] = 0;
  }
  StoreString(*strings_, Column, physical - 1, std::string_view(Chars, length));
}

// ---------------------------------------------------------------------------
// Old versions

Byte* TRecordsCache::GetOldVersion(Integer RecordNo) {
  const Integer physical = PhysicalRecordNo(RecordNo);
  if (!log_old_versions_ && physical == work_physical_ && physical >= 1) return work_.get();
  if (physical < 1 || physical > record_count_) {
    std::memset(scratch_.get(), 1, static_cast<size_t>(buffer_size_));
  } else {
    std::memset(scratch_.get(), 0, static_cast<size_t>(buffer_size_));
    ReadRecordEx(RecordNo, scratch_.get(), log_old_versions_);
  }
  return scratch_.get();
}

void TRecordsCache::SaveOldVersion(Integer RecordNo) {
  if (log_old_versions_) {
    LogOldVersion(RecordNo);
    return;
  }
  const Integer physical = PhysicalRecordNo(RecordNo);
  if (physical < 1 || physical > record_count_) {
    std::memset(work_.get(), 1, static_cast<size_t>(buffer_size_));
  } else {
    std::memset(work_.get(), 0, static_cast<size_t>(buffer_size_));
    ReadRecord(RecordNo, work_.get());
  }
  work_physical_ = physical;
}

void TRecordsCache::LogOldVersion(Integer RecordNo) {
  const Integer physical = PhysicalOrRaise(RecordNo, kCantRead);
  const Byte* image = ImageOf(blocks_, physical, kCantRead);
  Integer slot = LogSlotOf(physical);
  if (slot == 0) {
    if (log_count_ == INT32_MAX) RaiseError(kOutOfRange);
    slot = log_count_ + 1;
    const auto needed = static_cast<size_t>((slot - 1) / records_per_block_) + 1;
    while (log_blocks_.size() < needed) log_blocks_.emplace_back(new Byte[static_cast<size_t>(block_size_)]());
    if (strings_ && !log_strings_) log_strings_ = std::make_unique<TCacheStringTable>(StringFieldCount());
    if (log_strings_) EnsureStringRows(*log_strings_, slot);
    if (log_slots_.size() < static_cast<size_t>(physical)) log_slots_.resize(static_cast<size_t>(physical), 0);
    log_slots_[static_cast<size_t>(physical - 1)] = slot;
    log_count_ = slot;
  }
  std::memcpy(ImageOf(log_blocks_, slot, kCantReadLog), image, static_cast<size_t>(record_size_));
  if (strings_) {
    for (Integer i = 0; i < StringFieldCount(); ++i) {
      std::string_view text = physical <= strings_->Rows() ? strings_->Get(i, physical - 1) : std::string_view();
      log_strings_->Set(i, slot - 1, text.data(), text.size());
    }
  }
}

void TRecordsCache::ClearLog() {
  log_blocks_.clear();
  log_slots_.clear();
  log_count_ = 0;
}

// ---------------------------------------------------------------------------
// Order

void TRecordsCache::BuildIndex() {
  if (has_index_) return;
  index_.resize(static_cast<size_t>(record_count_));
  for (Integer i = 0; i < record_count_; ++i) index_[static_cast<size_t>(i)] = i + 1;
  has_index_ = true;
}

void TRecordsCache::SwapRecords(Integer I, Integer J) {
  if (I < 0 || J < 0 || I >= record_count_ || J >= record_count_) RaiseError(kCantMove);
  BuildIndex();
  std::swap(index_[static_cast<size_t>(I)], index_[static_cast<size_t>(J)]);
  positions_valid_ = false;
}

void TRecordsCache::MoveRecord(Integer From, Integer To) {
  if (From < 0 || To < 0 || From >= record_count_ || To >= record_count_) RaiseError(kCantMove);
  BuildIndex();
  auto at = [this](Integer i) { return index_.begin() + i; };
  if (From < To) std::rotate(at(From), at(From + 1), at(To + 1));
  else if (From > To) std::rotate(at(To), at(From), at(From + 1));
  positions_valid_ = false;
}

void TRecordsCache::ReorderRecords(std::span<const Integer> Order) {
  const size_t count = Order.size();
  if (count > static_cast<size_t>(record_count_)) RaiseError(kCantMove);
  std::vector<bool> seen(count, false);
  for (Integer i : Order) {
    if (i < 0 || static_cast<size_t>(i) >= count || seen[static_cast<size_t>(i)]) RaiseError(kCantMove);
    seen[static_cast<size_t>(i)] = true;
  }
  BuildIndex();
  std::vector<Integer> reordered(count);
  for (size_t i = 0; i < count; ++i) reordered[i] = index_[static_cast<size_t>(Order[i])];
  std::copy(reordered.begin(), reordered.end(), index_.begin());
  positions_valid_ = false;
}

void TRecordsCache::InsertRecord(Integer Position) {
  if (Position < 0 || Position > record_count_) RaiseError(kCantMove);
  if (record_count_ == INT32_MAX) RaiseError(kOutOfRange);
  EnsureBlocks(record_count_ + 1);
  if (strings_) EnsureStringRows(*strings_, record_count_ + 1);
  BuildIndex();
  ++record_count_;
  index_.insert(index_.begin() + Position, record_count_);
  positions_valid_ = false;
}

size_t TRecordsCache::MemoryUsed() const {
  size_t bytes = (blocks_.capacity() + log_blocks_.capacity()) * sizeof(void*) +
                 (blocks_.size() + log_blocks_.size()) * static_cast<size_t>(block_size_) +
                 index_.capacity() * sizeof(Integer) + log_slots_.capacity() * sizeof(Integer) +
                 2 * static_cast<size_t>(buffer_size_);
  if (strings_) bytes += strings_->MemoryUsed();
  if (log_strings_) bytes += log_strings_->MemoryUsed();
  return bytes;
}
