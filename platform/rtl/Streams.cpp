#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr Int64 kCopyChunk = 0xF000;
constexpr Int64 kMemoryDelta = 0x2000;  // capacity granularity of memory streams

Int64 RoundToDelta(Int64 n) {
  if (n > INT64_MAX - kMemoryDelta) throw EOutOfMemory("Out of memory");
  return (n + (kMemoryDelta - 1)) & ~(kMemoryDelta - 1);
}

String OsErrorText(int err) { return String(std::strerror(err)); }

}  // namespace

// ---------------------------------------------------------------------------
// TStream

Int64 TStream::Size() {
  Int64 pos = Seek(0, soCurrent);
  Int64 result = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return result;
}

void TStream::SetSize(Int64 /*NewSize*/) {}

void TStream::ReadBuffer(void* Buffer, Int64 Count) {
  auto* p = static_cast<Byte*>(Buffer);
  while (Count > 0) {
    Int64 n = Read(p, Count);
    if (n <= 0) throw EReadError("Stream read error");
    p += n;
    Count -= n;
  }
  if (Count < 0) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, Int64 Count) {
  auto* p = static_cast<const Byte*>(Buffer);
  while (Count > 0) {
    Int64 n = Write(p, Count);
    if (n <= 0) throw EWriteError("Stream write error");
    p += n;
    Count -= n;
  }
  if (Count < 0) throw EWriteError("Stream write error");
}

Int64 TStream::CopyFrom(TStream* Source, Int64 Count) {
  if (Count < 0) throw EReadError("Stream read error");
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->Size();
  }
  const Int64 result = Count;
  std::vector<Byte> buf(static_cast<size_t>(std::min(Count, kCopyChunk)));
  while (Count > 0) {
    Int64 n = std::min(Count, kCopyChunk);
    Source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return result;
}

// ---------------------------------------------------------------------------
// TCustomMemoryStream

void TCustomMemoryStream::SetPointer(void* Ptr, Int64 Size) {
  memory_ = static_cast<Byte*>(Ptr);
  size_ = Size;
}

Int64 TCustomMemoryStream::Read(void* Buffer, Int64 Count) {
  if (position_ < 0 || Count <= 0 || position_ >= size_) return 0;
  Int64 n = std::min(Count, size_ - position_);
  std::memcpy(Buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

Int64 TCustomMemoryStream::Write(const void* /*Buffer*/, Int64 /*Count*/) { return 0; }

Int64 TCustomMemoryStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  Int64 base = Origin == soBeginning ? 0 : Origin == soCurrent ? position_ : size_;
  Int64 pos;
  if (__builtin_add_overflow(base, Offset, &pos)) return -1;  // position kept
  position_ = pos;
  return position_;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream) {
  if (size_ != 0) Stream->WriteBuffer(memory_, size_);
}

void TCustomMemoryStream::SaveToFile(const String& FileName) {
  TFileStream file(FileName, fmCreate);
  SaveToStream(&file);
}

// ---------------------------------------------------------------------------
// TMemoryStream

TMemoryStream::TMemoryStream(TBytes Initial) : buffer_(std::move(Initial)) {
  SetPointer(buffer_.data(), static_cast<Int64>(buffer_.size()));
}

void TMemoryStream::Reserve(Int64 NewCapacity) {
  if (NewCapacity < 0) throw EOutOfMemory("Out of memory");
  const Int64 size = Size();
  auto n = static_cast<size_t>(NewCapacity);
  if (n < buffer_.size()) {
    TBytes smaller(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    buffer_.swap(smaller);
  } else if (n > buffer_.size()) {
    try {
      buffer_.reserve(n);  // exactly n: no second geometric step inside resize
      buffer_.resize(n);
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Out of memory");
    } catch (const std::length_error&) {
      throw EOutOfMemory("Out of memory");
    }
  }
  SetPointer(buffer_.empty() ? nullptr : buffer_.data(), std::min(size, NewCapacity));
}

void TMemoryStream::SetCapacity(Int64 NewCapacity) {
  Reserve(RoundToDelta(NewCapacity));
}

Int64 TMemoryStream::Write(const void* Buffer, Int64 Count) {
  const Int64 pos = RawPosition();
  Int64 end;
  if (pos < 0 || Count <= 0 || __builtin_add_overflow(pos, Count, &end)) return 0;
  const Int64 size = Size();
  if (end > size) {
    if (end > Capacity()) Reserve(RoundToDelta(std::max(end, Capacity() + Capacity() / 2)));
    // Bytes between the old end and pos are zero: the buffer past the size is
    // kept zeroed (see SetSize).
    SetPointer(buffer_.data(), end);
  }
  std::memcpy(buffer_.data() + pos, Buffer, static_cast<size_t>(Count));
  SetRawPosition(end);
  return Count;
}

void TMemoryStream::SetSize(Int64 NewSize) {
  if (NewSize < 0) throw EStreamError("Stream size out of range");
  const Int64 oldPos = RawPosition();
  const Int64 oldSize = Size();
  if (NewSize < oldSize) {
    // Cut bytes must read as zero if the stream grows again.
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(NewSize),
              buffer_.begin() + static_cast<std::ptrdiff_t>(oldSize), Byte{0});
  }
  SetCapacity(NewSize);
  SetPointer(buffer_.empty() ? nullptr : buffer_.data(), NewSize);
  if (oldPos > NewSize) Seek(0, soEnd);
}

void TMemoryStream::Clear() {
  TBytes().swap(buffer_);
  SetPointer(nullptr, 0);
  SetRawPosition(0);
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  Int64 count = Stream->Size();
  SetSize(count);
  if (count != 0) Stream->ReadBuffer(Memory(), count);
}

void TMemoryStream::LoadFromFile(const String& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&file);
}

// ---------------------------------------------------------------------------
// TBytesStream, TStringStream

TBytesStream::TBytesStream(TBytes Bytes) : TMemoryStream(std::move(Bytes)) {}

TStringStream::TStringStream(const String& AString) : TMemoryStream(TBytes(AString.begin(), AString.end())) {}

String TStringStream::DataString() const {
  return RawSize() == 0 ? String() : String(static_cast<const char*>(Memory()), static_cast<size_t>(RawSize()));
}

String TStringStream::ReadString(Int64 Count) {
  const Int64 pos = RawPosition();
  Int64 n = pos < 0 ? 0 : std::min(Count, Size() - pos);
  if (n <= 0) return String();
  String result(static_cast<size_t>(n), '\0');
  Read(result.data(), n);
  return result;
}

void TStringStream::WriteString(const String& AString) {
  Write(AString.data(), static_cast<Int64>(AString.size()));
}

// ---------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const String& FileName, Word Mode) : file_name_(FileName) {
  if ((Mode & fmCreate) == fmCreate) {
    fd_ = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw EFCreateError("Cannot create file \"%s\". %s", {FileName, OsErrorText(errno)});
    return;
  }
  int flags = O_CLOEXEC;
  switch (Mode & 3) {
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
  }
  fd_ = ::open(FileName.c_str(), flags);
  int err = errno;
  if (fd_ >= 0) {
    // A directory opens read-only on Linux, but is no file to stream.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      err = EISDIR;
    }
  }
  if (fd_ < 0) throw EFOpenError("Cannot open file \"%s\". %s", {FileName, OsErrorText(err)});
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

Int64 TFileStream::Read(void* Buffer, Int64 Count) {
  if (Count <= 0) return 0;
  ssize_t n;
  do {
    n = ::read(fd_, Buffer, static_cast<size_t>(Count));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : n;
}

Int64 TFileStream::Write(const void* Buffer, Int64 Count) {
  if (Count <= 0) return 0;
  ssize_t n;
  do {
    n = ::write(fd_, Buffer, static_cast<size_t>(Count));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : n;
}

Int64 TFileStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  return ::lseek(fd_, static_cast<off_t>(Offset), whence);
}

void TFileStream::SetSize(Int64 NewSize) {
  if (NewSize < 0 || ::ftruncate(fd_, static_cast<off_t>(NewSize)) != 0)
    throw EOSError(OsErrorText(NewSize < 0 ? EINVAL : errno));
  Seek(NewSize, soBeginning);
}
