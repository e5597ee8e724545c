#include "platform/rtl/Streams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

std::string TempPath(const char* name) {
  return std::string(::testing::TempDir()) + "streams_" + name + "_" + std::to_string(::getpid());
}

std::string ReadAll(TStream& s) {
  std::string out(static_cast<size_t>(s.Size()), '\0');
  s.SetPosition(0);
  s.ReadBuffer(out.data(), static_cast<Int64>(out.size()));
  return out;
}

// Removes its file at the end of a test.
struct TempFile {
  std::string path;
  explicit TempFile(const char* name) : path(TempPath(name)) {}
  ~TempFile() { std::remove(path.c_str()); }
};

}  // namespace

TEST(MemoryStream, WriteSeekReadAndZeroFilledGaps) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Position(), 5);
  EXPECT_EQ(m.Seek(-2, soEnd), 3);
  m.WriteBuffer("LOX", 3);  // overwrites 2 bytes, appends 1
  EXPECT_EQ(m.Size(), 6);
  EXPECT_EQ(ReadAll(m), "helLOX");

  // Positions are not clamped: reading there gives nothing; writing there
  // leaves zero bytes in between.
  EXPECT_EQ(m.Seek(10, soBeginning), 10);
  char c;
  EXPECT_EQ(m.Read(&c, 1), 0);
  m.WriteBuffer("!", 1);
  EXPECT_EQ(ReadAll(m), std::string("helLOX\0\0\0\0!", 11));

  // Cutting and growing again: the cut bytes read as zero, and a position
  // past the new end moves to it.
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  m.SetSize(4);
  EXPECT_EQ(ReadAll(m), std::string("he\0\0", 4));

  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(m.Capacity(), 0);
  EXPECT_EQ(m.Memory(), nullptr);
}

TEST(MemoryStream, CapacityGrowsGeometrically) {
  TMemoryStream m;
  std::vector<char> block(1000, 'x');
  int reallocations = 0;
  Int64 last = 0;
  for (int i = 0; i < 1000; ++i) {
    m.WriteBuffer(block.data(), static_cast<Int64>(block.size()));
    if (m.Capacity() != last) ++reallocations;
    last = m.Capacity();
    ASSERT_EQ(m.Capacity() % 8192, 0);
    ASSERT_GE(m.Capacity(), m.Size());
  }
  EXPECT_EQ(m.Size(), 1000000);
  EXPECT_LT(reallocations, 20);  // a fixed step would need over 120
  m.SetSize(10);
  EXPECT_EQ(m.Capacity(), 8192);
}

TEST(MemoryStream, SixtyFourBitPositions) {
  TMemoryStream m;
  const Int64 far = Int64{5} << 30;
  EXPECT_EQ(m.Seek(far, soBeginning), far);
  EXPECT_EQ(m.Seek(far, soCurrent), 2 * far);
  EXPECT_EQ(m.Position(), 2 * far);
}

TEST(Stream, ReadAndWriteBufferErrors) {
  TStringStream s("abc");
  char buf[8];
  EXPECT_THAT([&] { s.ReadBuffer(buf, 4); }, ThrowsMessage<EReadError>(StrEq("Stream read error")));
  s.SetPosition(0);
  EXPECT_EQ(s.Read(buf, 8), 3);  // Read itself just reads less

  TempFile f("readonly");
  { TFileStream create(f.path, fmCreate); }
  TFileStream ro(f.path, fmOpenRead);
  EXPECT_THAT([&] { ro.WriteBuffer("x", 1); }, ThrowsMessage<EWriteError>(StrEq("Stream write error")));
}

TEST(Stream, CopyFrom) {
  TStringStream src("0123456789");
  TMemoryStream dst;
  src.SetPosition(7);
  EXPECT_EQ(dst.CopyFrom(&src, 0), 10);  // 0: the whole source from its start
  EXPECT_EQ(ReadAll(dst), "0123456789");
  EXPECT_EQ(src.Position(), 10);

  src.SetPosition(2);
  dst.Clear();
  EXPECT_EQ(dst.CopyFrom(&src, 3), 3);  // from the source's position
  EXPECT_EQ(ReadAll(dst), "234");
  EXPECT_EQ(src.Position(), 5);

  src.SetPosition(8);
  EXPECT_THROW(dst.CopyFrom(&src, 5), EReadError);

  // Larger than one copy chunk.
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  TStringStream bigSrc(big);
  TMemoryStream bigDst;
  bigDst.CopyFrom(&bigSrc, 0);
  EXPECT_EQ(ReadAll(bigDst), big);
}

TEST(StringStream, DataStringReadAndWrite) {
  TStringStream s("Привет");
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.ReadString(2), "П");
  EXPECT_EQ(s.ReadString(100), "ривет");
  EXPECT_EQ(s.ReadString(1), "");
  s.SetPosition(0);
  s.WriteString("Ж");  // overwrites in place; the rest stays
  EXPECT_EQ(s.DataString(), "Жривет");
  s.Seek(0, soEnd);
  s.WriteString("!");
  EXPECT_EQ(s.DataString(), "Жривет!");
  EXPECT_EQ(TStringStream().DataString(), "");

  TBytesStream b(TBytes{1, 2, 3});
  EXPECT_EQ(b.Size(), 3);
  b.Seek(0, soEnd);
  b.WriteBuffer("\x04", 1);
  ASSERT_GE(b.Bytes().size(), 4u);
  EXPECT_EQ(b.Bytes()[3], 4);
}

TEST(FileStream, RoundTripModesAndSize) {
  TempFile f("data.bin");
  {
    TFileStream w(f.path, fmCreate | fmShareExclusive);
    w.WriteBuffer("abcdef", 6);
    EXPECT_EQ(w.Size(), 6);
  }
  {
    TFileStream rw(f.path, fmOpenReadWrite | fmShareDenyNone);
    EXPECT_EQ(rw.Seek(2, soBeginning), 2);
    rw.WriteBuffer("XY", 2);
    rw.SetSize(5);
    EXPECT_EQ(rw.Position(), 5);
  }
  {
    TFileStream r(f.path, fmOpenRead);
    EXPECT_EQ(ReadAll(r), "abXYe");
    EXPECT_EQ(r.Seek(-1, soEnd), 4);
    EXPECT_EQ(r.Seek(-10, soBeginning), -1);  // refused
  }
  {
    TFileStream w(f.path, fmOpenWrite);
    w.Seek(0, soEnd);
    w.WriteBuffer("!", 1);
  }
  TMemoryStream m;
  m.LoadFromFile(f.path);
  EXPECT_EQ(ReadAll(m), "abXYe!");
  TempFile copy("copy.bin");
  m.SaveToFile(copy.path);
  TFileStream again(copy.path, fmOpenRead);
  EXPECT_EQ(ReadAll(again), "abXYe!");
}

TEST(FileStream, SixtyFourBitSizesAndPositions) {
  TempFile f("large.bin");
  TFileStream s(f.path, fmCreate);
  const Int64 size = (Int64{3} << 30) + 5;  // sparse: no data is written
  s.SetSize(size);
  EXPECT_EQ(s.Size(), size);
  EXPECT_EQ(s.Seek(-1, soEnd), size - 1);
  s.WriteBuffer("Z", 1);
  s.SetPosition(size - 1);
  char c = 0;
  s.ReadBuffer(&c, 1);
  EXPECT_EQ(c, 'Z');
  s.SetSize(0);
}

TEST(FileStream, ErrorsNameTheFileAndTheSystemReason) {
  const std::string missingDir = TempPath("no_such_dir") + "/file.txt";
  const std::string missing = TempPath("no_such_file");
  const std::string dir = ::testing::TempDir();
  struct Case {
    const char* what;
    std::string name;
    Word mode;
    std::string message;
  };
  const Case cases[] = {
      {"create", missingDir, fmCreate,
       "Cannot create file \"" + missingDir + "\". No such file or directory"},
      {"open", missing, fmOpenRead, "Cannot open file \"" + missing + "\". No such file or directory"},
      {"directory", dir, fmOpenRead, "Cannot open file \"" + dir + "\". Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto open = [&] { TFileStream s(c.name, c.mode); };
    if (c.mode == fmCreate) EXPECT_THAT(open, ThrowsMessage<EFCreateError>(StrEq(c.message)));
    else EXPECT_THAT(open, ThrowsMessage<EFOpenError>(StrEq(c.message)));
  }
}

namespace {

// Hands out at most two bytes per call, as pipes and sockets may.
class TTrickleStream : public TStream {
 public:
  explicit TTrickleStream(TStream* inner) : inner_(inner) {}
  Int64 Read(void* Buffer, Int64 Count) override { return inner_->Read(Buffer, std::min<Int64>(Count, 2)); }
  Int64 Write(const void* Buffer, Int64 Count) override { return inner_->Write(Buffer, std::min<Int64>(Count, 2)); }
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override { return inner_->Seek(Offset, Origin); }

 private:
  TStream* inner_;
};

}  // namespace

TEST(Stream, BufferCallsCompleteShortTransfers) {
  TStringStream text("abcdefg");
  TTrickleStream in(&text);
  char buf[5];
  in.ReadBuffer(buf, 5);
  EXPECT_EQ(std::string(buf, 5), "abcde");
  EXPECT_THROW(in.ReadBuffer(buf, 3), EReadError);

  TStringStream sink;
  TTrickleStream out(&sink);
  out.WriteBuffer("12345", 5);
  out.CopyFrom(&text, 0);
  EXPECT_EQ(sink.DataString(), "12345abcdefg");
}

TEST(MemoryStream, PositionsThatCannotBeHad) {
  TMemoryStream m;
  m.WriteBuffer("ab", 2);
  m.Seek(INT64_MAX - 1, soBeginning);
  EXPECT_EQ(m.Write("xyz", 3), 0);  // the end would not fit in 64 bits
  EXPECT_EQ(m.Seek(10, soCurrent), -1);
  EXPECT_EQ(m.Position(), INT64_MAX - 1);
  EXPECT_EQ(m.Size(), 2);
}
