// Streams: sequential and random access to bytes with 64-bit positions.
//
//  - TStream: the abstract stream. Read/Write move up to Count bytes at the
//    position and return how many moved (0 at the end or on failure);
//    ReadBuffer/WriteBuffer move exactly Count bytes or raise EReadError
//    "Stream read error" / EWriteError "Stream write error", reading and
//    writing again after short transfers. Seek returns the new position, or
//    -1 for one that cannot be had (the position is then kept); positions
//    are not clamped to the size.
//  - TCustomMemoryStream: reads and seeks over a block of memory it does not
//    manage (SetPointer); TMemoryStream owns a growing buffer and writes.
//    Bytes between the old end and a write or SetSize beyond it read as zero.
//  - TBytesStream: a memory stream over a TBytes it takes over; TStringStream:
//    a memory stream whose content is read as a String (DataString).
//  - TFileStream: a file opened with fmCreate or fmOpenRead / fmOpenWrite /
//    fmOpenReadWrite (share-mode bits are accepted and ignored). Failures
//    raise EFCreateError "Cannot create file "<name>". <OS error>" or
//    EFOpenError "Cannot open file "<name>". <OS error>".
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

#include <vector>

using TBytes = std::vector<Byte>;

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// File open modes: one access mode, optionally or-ed with a share mode.
constexpr Word fmCreate = 0xFF00;
constexpr Word fmOpenRead = 0x0000;
constexpr Word fmOpenWrite = 0x0001;
constexpr Word fmOpenReadWrite = 0x0002;
constexpr Word fmShareCompat = 0x0000;
constexpr Word fmShareExclusive = 0x0010;
constexpr Word fmShareDenyWrite = 0x0020;
constexpr Word fmShareDenyRead = 0x0030;
constexpr Word fmShareDenyNone = 0x0040;

class TStream : public TObject {
 public:
  // Up to Count bytes from the position into Buffer; the number read.
  virtual Int64 Read(void* Buffer, Int64 Count) = 0;
  // Up to Count bytes from Buffer at the position; the number written.
  virtual Int64 Write(const void* Buffer, Int64 Count) = 0;
  // Moves the position; returns the new position.
  virtual Int64 Seek(Int64 Offset, TSeekOrigin Origin) = 0;

  Int64 Position() { return Seek(0, soCurrent); }
  void SetPosition(Int64 Pos) { Seek(Pos, soBeginning); }
  // The default seeks to the end and back.
  virtual Int64 Size();
  // The default does nothing (streams of a fixed size).
  virtual void SetSize(Int64 NewSize);

  // Exactly Count bytes, or EReadError / EWriteError.
  void ReadBuffer(void* Buffer, Int64 Count);
  void WriteBuffer(const void* Buffer, Int64 Count);
  // Copies Count bytes from the source's position; Count 0 copies the whole
  // source from its start. Returns the number of bytes copied.
  Int64 CopyFrom(TStream* Source, Int64 Count);
};

class TCustomMemoryStream : public TStream {
 public:
  Int64 Read(void* Buffer, Int64 Count) override;
  // Writing is refused (returns 0): the memory is not the stream's.
  Int64 Write(const void* Buffer, Int64 Count) override;
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  Int64 Size() override { return size_; }

  void* Memory() const { return memory_; }
  // The whole content, whatever the position.
  void SaveToStream(TStream* Stream);
  void SaveToFile(const String& FileName);

 protected:
  // The block the stream reads; the position is kept.
  void SetPointer(void* Ptr, Int64 Size);
  Int64 RawSize() const { return size_; }
  Int64 RawPosition() const { return position_; }
  void SetRawPosition(Int64 Pos) { position_ = Pos; }

 private:
  Byte* memory_ = nullptr;
  Int64 size_ = 0;
  Int64 position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
 public:
  TMemoryStream() = default;

  Int64 Write(const void* Buffer, Int64 Count) override;
  // Grows or cuts the content; a position beyond the new end moves to it.
  void SetSize(Int64 NewSize) override;
  // Frees the buffer: size, capacity and position 0.
  void Clear();
  // Replaces the content with the whole source (read from its start).
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(const String& FileName);

  // Bytes allocated, a multiple of 8 KiB: SetSize allocates what it needs,
  // a write past the capacity grows it by at least half.
  Int64 Capacity() const { return static_cast<Int64>(buffer_.size()); }

 protected:
  explicit TMemoryStream(TBytes Initial);
  void SetCapacity(Int64 NewCapacity);
  const TBytes& Buffer() const { return buffer_; }

 private:
  void Reserve(Int64 NewCapacity);
  TBytes buffer_;  // its size is the capacity; bytes past Size() are zero
};

class TBytesStream : public TMemoryStream {
 public:
  TBytesStream() = default;
  // Takes the bytes over as the content (position 0).
  explicit TBytesStream(TBytes Bytes);
  // The buffer: the content followed by unused capacity (zero bytes).
  const TBytes& Bytes() const { return Buffer(); }
};

class TStringStream : public TMemoryStream {
 public:
  TStringStream() = default;
  // The text is the content; the position is 0.
  explicit TStringStream(const String& AString);

  String DataString() const;
  // Up to Count bytes from the position.
  String ReadString(Int64 Count);
  // The text at the position.
  void WriteString(const String& AString);
};

class TFileStream : public TStream {
 public:
  TFileStream(const String& FileName, Word Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  Int64 Read(void* Buffer, Int64 Count) override;
  Int64 Write(const void* Buffer, Int64 Count) override;
  // -1 when the system refuses the position (before the start).
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  // Truncates or extends the file; the position moves to the new end.
  // A refusal raises EOSError with the OS error text.
  void SetSize(Int64 NewSize) override;

  const String& FileName() const { return file_name_; }
  int Handle() const { return fd_; }

 private:
  String file_name_;
  int fd_ = -1;
};
