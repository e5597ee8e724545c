#include "dataaccess/core/FIBSQLMonitor.h"

#include "platform/os/NamedObjects.h"
#include "platform/rtl/Component.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

String Header() {
  return "\r\n[Application: " + std::filesystem::read_symlink("/proc/self/exe").filename().string() + "]\r\n";
}

// The id the system gave to the newest process or thread.
long LastTaskId() {
  std::ifstream loadavg("/proc/loadavg");
  String load1, load5, load15, running;
  long last = 0;
  loadavg >> load1 >> load5 >> load15 >> running >> last;
  return last;
}

size_t ThreadCount() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TDateTime LocalNowForTest() {
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  return 25569.0 + static_cast<double>(now + local.tm_gmtoff) / 86400.0;
}

// Starts a program with Args (the first is its path) and the environment
// plus Env; its standard output goes to Stdout when that is given.
pid_t Spawn(std::vector<String> Args, std::vector<String> Env = {}, int Stdout = -1) {
  pid_t pid = SpawnProgram(std::move(Args), std::move(Env), -1, Stdout);
  EXPECT_GT(pid, 0);
  return pid;
}

struct TChunk {
  int Kind = -1;
  size_t Length = 0;
  double Stamp = 0;
  String Text;
};

// The reader program in its record mode, its output read through a pipe.
class TReaderProcess {
 public:
  TReaderProcess(const String& Prefix, const String& Kinds = "all") {
    int fds[2];
    EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    pid_ = Spawn({FIBMONITOR_PATH, "--records", "--prefix", Prefix, "--kinds", Kinds}, {}, fds[1]);
    ::close(fds[1]);
    fd_ = fds[0];
  }
  ~TReaderProcess() {
    if (pid_ > 0) Kill();
    ::close(fd_);
  }

  bool WaitAttached() {
    while (buffer_.find("attached\n") == String::npos)
      if (!Fill(5s)) return false;
    buffer_.erase(0, buffer_.find("attached\n") + 9);
    return true;
  }

  // The next Count chunks; fewer when they do not come within the time.
  std::vector<TChunk> Chunks(size_t Count, std::chrono::milliseconds Within = 5s) {
    std::vector<TChunk> chunks;
    const auto deadline = Clock::now() + Within;
    while (chunks.size() < Count) {
      TChunk chunk;
      if (Parse(chunk)) {
        chunks.push_back(chunk);
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= 0ms || !Fill(left)) break;
    }
    return chunks;
  }

  // Detaches the reader the orderly way and waits for it.
  int Stop() { return End(SIGTERM); }
  // The reader dies on the spot.
  void Kill() { End(SIGKILL); }

 private:
  int End(int Signal) {
    ::kill(pid_, Signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool Fill(std::chrono::milliseconds Within) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(Within.count())) <= 0) return false;
    char data[8192];
    const ssize_t n = ::read(fd_, data, sizeof data);
    if (n <= 0) return false;
    buffer_.append(data, static_cast<size_t>(n));
    return true;
  }

  // "chunk KIND LENGTH STAMP\n" LENGTH bytes "\n".
  bool Parse(TChunk& Chunk) {
    const size_t eol = buffer_.find('\n');
    if (eol == String::npos) return false;
    if (std::sscanf(buffer_.c_str(), "chunk %d %zu %lf", &Chunk.Kind, &Chunk.Length, &Chunk.Stamp) != 3) {
      ADD_FAILURE() << "unexpected reader output: " << buffer_.substr(0, eol);
      buffer_.erase(0, eol + 1);
      return false;
    }
    if (buffer_.size() < eol + 1 + Chunk.Length + 1) return false;
    Chunk.Text = buffer_.substr(eol + 1, Chunk.Length);
    buffer_.erase(0, eol + 1 + Chunk.Length + 1);
    return true;
  }

  pid_t pid_ = -1;
  int fd_ = -1;
  String buffer_;
};

// Each test has a channel of its own, apart from a real monitor's.
class FIBSQLMonitor : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    prefix_ = "FIBSQLMonitorTest." + std::to_string(::getpid()) + "." + std::to_string(++counter) + ".";
    SetMonitorNamePrefix(prefix_);
    InitializeUnits({&unit_FIBSQLMonitor});
  }
  void TearDown() override {
    FinalizeUnits();
    SetMonitorNamePrefix(kDefaultMonitorNamePrefix);
    for (const String& name : TMonitorChannel::ObjectNames(prefix_)) DeleteNamedObject(name);
  }

  // Waits until the counter of the block has the value.
  static bool WaitForCounter(TMonitorBlock& Block, TMonitorBlock::TCounter Counter, Integer Value,
                             std::chrono::milliseconds Within = 5s) {
    const auto deadline = Clock::now() + Within;
    while (Block.Get(Counter) != Value) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  String prefix_;
};

TEST(FIBSQLMonitorTexts, OperationsComposeTheirTexts) {
  const auto raises = []() -> String { throw Exception("no plan"); };
  const TMonitorParam params[] = {
      {"ID", [] { return MonitorParamValue(496, false, [] { return String("7"); }); }},
      {"NAME", [] { return MonitorParamValue(449, false, [] { return String("Bob"); }); }},
      {"CODE", [] { return MonitorParamValue(452, false, [] { return String("X "); }); }},
      {"NOTE", [] { return MonitorParamValue(448, true, [] { return String("unused"); }); }},
      {"DOC", [] { return MonitorParamValue(521, false, nullptr, -2, 4000000000u); }},
      {"GRID", [] { return MonitorParamValue(540, false, nullptr); }},
      {"BAD", [] { return MonitorParamValue(480, false, [] () -> String { throw EConvertError("bad"); }); }},
      {"LAST", [] { return MonitorParamValue(580, false, [] { return String("1.5"); }); }},
  };
  const TMonitorColumn columns[] = {{"ID", String("1")}, {"NAME", std::nullopt}};
  const struct {
    String actual, expected;
  } cases[] = {
      {SQLPrepareText("Q1", "select 1 from rdb$database", [] { return String("PLAN (RDB$DATABASE NATURAL)"); }),
       "Q1: [Prepare] select 1 from rdb$database\r\n  Plan: PLAN (RDB$DATABASE NATURAL)"},
      {SQLPrepareText("Q1", "select 1", raises), "Q1: [Prepare] select 1\r\n  Plan: Can't retrieve plan "},
      {SQLExecuteText("DS.Q", "update T set A=?", params, 3, 12, 4000000000u),
       "DS.Q: [Execute] update T set A=?\r\n  ID = 7\r\n  NAME = 'Bob'\r\n  CODE = 'X '\r\n  NOTE = <NULL>"
       "\r\n  DOC = <BLOB> (BLOB_ID=-2,4000000000)\r\n  GRID = <ARRAY>\r\n  BAD = <Can't print value>"
       "\r\n  LAST = 1.5\r\nRows Affected:  12\r\nExecute tick count 4000000000"},
      {SQLExecuteText("Q", "select 1", {}, 1, 12, 5), "Q: [Execute] select 1\r\nExecute tick count 5"},
      {SQLExecuteText("Q", "execute procedure P", {}, 8, 1, 0), "Q: [Execute] execute procedure P\r\nExecute tick count 0"},
      {SQLExecuteText("Q", "delete from T", {}, 4, 0, 1), "Q: [Execute] delete from T\r\nRows Affected:  0\r\nExecute tick count 1"},
      {SQLFetchText("Q", "select ID, NAME from T", columns, false),
       "\r\nQ: [Fetch] select ID, NAME from TID = 1\r\nNAME = NULL\r\n"},
      {SQLFetchText("Q", "select 1", {}, true), "\r\nQ: [Fetch] select 1\r\n  End of file reached"},
      {DBConnectText("localhost:/db/test.fdb"), "localhost:/db/test.fdb: [Connect]"},
      {DBDisconnectText("db"), "db: [Disconnect]"},
      {TransactionText("TR", mtaStart, 15), "TR: [Start transaction](15)"},
      {TransactionText("TR", mtaCommit, 15), "TR: [Commit (Hard commit)](15)"},
      {TransactionText("TR", mtaCommitRetaining, 15), "TR: [Commit retaining (Soft commit)](15)"},
      {TransactionText("TR", mtaRollback, 15), "TR: [Rollback](15)"},
      {TransactionText("TR", mtaRollbackRetaining, 15), "TR: [Rollback retaining (Soft rollback)](15)"},
      {SavepointText("TR", 9, "SP1", 0), "TR: Transaction(9) - [SetSavePoint(\"SP1\")]"},
      {SavepointText("TR", 9, "SP1", 1), "TR: Transaction(9) - [RollBackToSavePoint(\"SP1\")]"},
      {SavepointText("TR", 9, "SP1", 2), "TR: Transaction(9) - [ReleaseSavePoint(\"SP1\")]"},
      {SavepointText("TR", 9, "SP1", 3), "TR: Transaction(9) -"},
      {ServiceText("Svc", msaAttach), "Svc: [Attach]"},
      {ServiceText("Svc", msaDetach), "Svc: [Detach]"},
      {ServiceText("Svc", msaQuery), "Svc: [Query]"},
      {ServiceText("Svc", msaStart), "Svc: [Start]"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(FIBSQLMonitorTexts, ControlBytesAreEscaped) {
  const struct {
    String text, escaped;
  } cases[] = {
      {String("a\x01" "b", 3), "a#$01b"},
      {String("\0\x07\x08", 3), "#$00#$07#$08"},
      {"\x0b\x0c\x0e\x1f", "#$0B#$0C#$0E#$1F"},
      {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
      {"\x20\x7f\x80\xff", "\x20\x7f\x80\xff"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeMonitorText(c.text), c.escaped);
}

TEST_F(FIBSQLMonitor, TextsArriveFramedEscapedAndCutIntoChunks) {
  TReaderProcess reader(prefix_);
  ASSERT_TRUE(reader.WaitAttached());
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  ASSERT_NE(hook, nullptr);
  ASSERT_TRUE(hook->Enabled());
  const String header = Header();
  const size_t room = TMonitorBlock::kTextSize - header.size();

  hook->WriteSQLData(String(room, 'a'), mdkExecute);                 // one full chunk
  hook->WriteSQLData(String(room + 1, 'b'), mdkPrepare);             // one byte more
  hook->WriteSQLData(String(room - 3, 'c') + "\x01", mdkFetch);      // over the edge once escaped
  hook->WriteSQLData("x\x01y\tz\r\n\x1f end", mdkTransaction);
  const TDateTime now = LocalNowForTest();

  const std::vector<TChunk> chunks = reader.Chunks(6);
  ASSERT_EQ(chunks.size(), 6u);
  EXPECT_EQ(chunks[0].Kind, mdkExecute);
  EXPECT_EQ(chunks[0].Text, header + String(room, 'a'));

  EXPECT_EQ(chunks[1].Kind, mdkPrepare);
  EXPECT_EQ(chunks[1].Text, header + String(room, 'b'));
  EXPECT_EQ(chunks[2].Kind, mdkPrepare);
  EXPECT_EQ(chunks[2].Text, "b");
  EXPECT_EQ(chunks[1].Stamp, chunks[2].Stamp);

  EXPECT_EQ(chunks[3].Text, header + String(room - 3, 'c') + "#$0");
  EXPECT_EQ(chunks[4].Text, "1");
  EXPECT_EQ(chunks[4].Kind, mdkFetch);

  EXPECT_EQ(chunks[5].Kind, mdkTransaction);
  EXPECT_EQ(chunks[5].Text, header + "x#$01y\tz\r\n#$1F end");
  for (const TChunk& chunk : chunks) {
    EXPECT_EQ(chunk.Length, chunk.Text.size());
    EXPECT_NEAR(chunk.Stamp, now, 10.0 / 86400);  // local time, days since 1899-12-30
  }
  EXPECT_EQ(reader.Stop(), 0);
}

TEST_F(FIBSQLMonitor, OnlyTheKindsReadersAskForArePassed) {
  TReaderProcess reader(prefix_, "execute");
  ASSERT_TRUE(reader.WaitAttached());
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  EXPECT_TRUE(MonitoringActive());
  for (TMonitorDataKind kind : {mdkPrepare, mdkExecute, mdkFetch, mdkConnect, mdkTransaction, mdkService}) {
    EXPECT_EQ(hook->KindMonitored(kind), kind == mdkExecute || kind == mdkService) << int(kind);
    if (hook->KindMonitored(kind)) hook->WriteSQLData("kind " + std::to_string(kind), kind);
  }
  auto* service = new TComponent(nullptr);
  service->SetName("Service1");
  hook->ServiceAttach(service);
  hook->ServiceStart(service);

  const std::vector<TChunk> chunks = reader.Chunks(4);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].Text, Header() + "kind 1");
  EXPECT_EQ(chunks[1].Text, Header() + "kind 5");
  EXPECT_EQ(chunks[2].Text, Header() + "Service1: [Attach]");
  EXPECT_EQ(chunks[3].Text, Header() + "Service1: [Start]");
  EXPECT_EQ(chunks[3].Kind, mdkService);

  hook->SetEnabled(false);
  EXPECT_FALSE(hook->KindMonitored(mdkExecute));
  EXPECT_FALSE(hook->KindMonitored(mdkService));
  hook->SetEnabled(true);
  EXPECT_EQ(reader.Stop(), 0);
  EXPECT_FALSE(MonitoringActive());  // detached: nobody reads
  EXPECT_FALSE(hook->KindMonitored(mdkExecute));
  EXPECT_FALSE(hook->KindMonitored(mdkService));
  delete service;
}

TEST_F(FIBSQLMonitor, WithoutReadersTextsCostNothingAndTheWriterGoes) {
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  ASSERT_TRUE(hook->Enabled());
  EXPECT_FALSE(MonitoringActive());
  auto* service = new TComponent(nullptr);
  service->SetName("Service1");
  const size_t threads = ThreadCount();
  const long lastTask = LastTaskId();
  constexpr int kTexts = 20000;
  const auto start = Clock::now();
  for (int i = 0; i < kTexts; ++i) {
    hook->WriteSQLData("select * from T", mdkExecute);
    hook->ServiceQuery(service);
  }
  const double perText = SecondsSince(start) / kTexts;
  EXPECT_EQ(ThreadCount(), threads);
  EXPECT_LT(LastTaskId() - lastTask, kTexts / 10);  // no writer was started (system noise aside)
  EXPECT_LT(perText, 100e-6);

  // A writer started for a reader is freed by the first text after it left.
  {
    TReaderProcess reader(prefix_);
    ASSERT_TRUE(reader.WaitAttached());
    hook->WriteSQLData("one", mdkExecute);
    EXPECT_EQ(reader.Chunks(1).size(), 1u);
    EXPECT_EQ(ThreadCount(), threads + 1);
    EXPECT_EQ(reader.Stop(), 0);
  }
  hook->WriteSQLData("two", mdkExecute);
  EXPECT_EQ(ThreadCount(), threads);
  delete service;
}

TEST_F(FIBSQLMonitor, ADeadReaderCostsTheWriterOnlyItsTimeOuts) {
  TReaderProcess reader(prefix_);
  ASSERT_TRUE(reader.WaitAttached());
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  hook->WriteSQLData("before", mdkExecute);
  ASSERT_EQ(reader.Chunks(1).size(), 1u);
  TMonitorChannel channel(prefix_);
  TMonitorBlock& block = channel.Block();
  ASSERT_TRUE(WaitForCounter(block, TMonitorBlock::ReadersPending, 1));
  reader.Kill();  // counted as attached and ready; never answers again
  ASSERT_EQ(block.Get(TMonitorBlock::ReaderCount), 1);
  const auto start = Clock::now();
  for (int i = 0; i < 5; ++i) hook->WriteSQLData("after " + std::to_string(i), mdkExecute);
  EXPECT_LT(SecondsSince(start), 0.1);  // the posting thread does not wait
  // One second for the chunk it took as read, one for the next readiness.
  ASSERT_TRUE(WaitForCounter(block, TMonitorBlock::ReaderCount, 0, 5s));
  EXPECT_GT(SecondsSince(start), 1.5);
  EXPECT_EQ(block.Get(TMonitorBlock::ExecuteReaders), 0);  // what it wanted goes with it
  EXPECT_EQ(block.Get(TMonitorBlock::ReadersPending), 0);
  EXPECT_FALSE(MonitoringActive());

  const auto closing = Clock::now();
  FinalizeUnits();  // the writer is stopped and joined
  EXPECT_LT(SecondsSince(closing), 2.5);
}

// Run as a second process by SecondWriterLeavesTheCountersAlone.
TEST(FIBSQLMonitorChild, Writer) {
  const char* prefix = std::getenv("FIBSQLMONITOR_CHILD_PREFIX");
  if (prefix == nullptr) GTEST_SKIP() << "runs only as the second writer";
  SetMonitorNamePrefix(prefix);
  InitializeUnits({&unit_FIBSQLMonitor});
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  ASSERT_TRUE(hook->Enabled());
  ASSERT_TRUE(hook->KindMonitored(mdkExecute));
  hook->WriteSQLData("from the second writer", mdkExecute);
  // Done once the writer has handed it over: the mutex is free again, the
  // chunk still in the block.
  TMonitorChannel channel(prefix);
  const auto deadline = Clock::now() + 5s;
  for (;;) {
    ASSERT_EQ(channel.Mutex().Acquire(), wrSignaled);
    const String chunk(channel.Block().Text(), static_cast<size_t>(channel.Block().ChunkLength()));
    channel.Mutex().Release();
    if (chunk.ends_with("second writer")) break;
    ASSERT_LT(Clock::now(), deadline);
    std::this_thread::sleep_for(5ms);
  }
  FinalizeUnits();
}

TEST_F(FIBSQLMonitor, SecondWriterLeavesTheCountersAlone) {
  ASSERT_TRUE(GetMonitorHook()->Enabled());  // this process creates the block
  TReaderProcess reader(prefix_, "execute,fetch");
  ASSERT_TRUE(reader.WaitAttached());
  TMonitorChannel channel(prefix_);
  TMonitorBlock& block = channel.Block();
  ASSERT_EQ(block.Get(TMonitorBlock::ReaderCount), 1);

  const pid_t pid = Spawn({"/proc/self/exe", "--gtest_filter=FIBSQLMonitorChild.Writer"},
                         {"FIBSQLMONITOR_CHILD_PREFIX=" + prefix_});
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const std::vector<TChunk> chunks = reader.Chunks(1);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0].Text, Header() + "from the second writer");
  EXPECT_EQ(block.Get(TMonitorBlock::ReaderCount), 1);
  EXPECT_EQ(block.Get(TMonitorBlock::ExecuteReaders), 1);
  EXPECT_EQ(block.Get(TMonitorBlock::FetchReaders), 1);
  EXPECT_EQ(block.Get(TMonitorBlock::PrepareReaders), 0);
  EXPECT_EQ(reader.Stop(), 0);
  EXPECT_EQ(block.Get(TMonitorBlock::ReaderCount), 0);
  EXPECT_EQ(block.Get(TMonitorBlock::ExecuteReaders), 0);
  EXPECT_EQ(block.Get(TMonitorBlock::ReadersPending), 0);
}

TEST_F(FIBSQLMonitor, ChannelThatCannotBeOpenedDisablesTheHook) {
  // Left by someone else, readable by all: not ours to write parameter values into.
  const int fd = ::open(NamedObjectPath(prefix_ + "SharedMem").c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ::fchmod(fd, 0644);
  ::ftruncate(fd, TMonitorBlock::kSize);
  ::close(fd);

  const size_t threads = ThreadCount();
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  ASSERT_NE(hook, nullptr);
  EXPECT_FALSE(hook->Enabled());
  EXPECT_FALSE(hook->KindMonitored(mdkExecute));
  EXPECT_TRUE(MonitoringActive());  // the block is not mapped
  hook->WriteSQLData("dropped", mdkExecute);
  EXPECT_FALSE(hook->Enabled());
  EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(FIBSQLMonitor, CountersOfAKilledReaderGoWithTheLastPeer) {
  auto peer = std::make_unique<TMonitorChannel>(prefix_);
  EXPECT_TRUE(peer->Created());
  TReaderProcess reader(prefix_, "execute,fetch");
  ASSERT_TRUE(reader.WaitAttached());
  ASSERT_TRUE(WaitForCounter(peer->Block(), TMonitorBlock::ReadersPending, 1));
  reader.Kill();
  const TMonitorBlock::TCounter counters[] = {TMonitorBlock::ReaderCount, TMonitorBlock::ReadersPending,
                                              TMonitorBlock::ExecuteReaders, TMonitorBlock::FetchReaders};
  {
    TMonitorChannel second(prefix_);  // a peer is alive: nothing is touched
    EXPECT_FALSE(second.Created());
    for (auto counter : counters) EXPECT_EQ(second.Block().Get(counter), 1) << counter;
  }
  peer.reset();

  // The next program finds the channel afresh: nobody reads, and a new
  // reader gets its texts at once.
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  ASSERT_TRUE(hook->Enabled());
  EXPECT_FALSE(MonitoringActive());
  EXPECT_FALSE(hook->KindMonitored(mdkExecute));
  TMonitorChannel channel(prefix_);
  for (auto counter : counters) EXPECT_EQ(channel.Block().Get(counter), 0) << counter;
  TReaderProcess again(prefix_, "execute");
  ASSERT_TRUE(again.WaitAttached());
  const auto start = Clock::now();
  hook->WriteSQLData("after the reset", mdkExecute);
  const std::vector<TChunk> chunks = again.Chunks(1);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0].Text, Header() + "after the reset");
  EXPECT_LT(SecondsSince(start), 0.9);  // no silent reader to count off
  EXPECT_EQ(again.Stop(), 0);
}

// Run as a second process by HalfMadeObjectsAreMadeAfresh: starts making the
// block, says so on its standard output and waits there to be killed.
TEST(FIBSQLMonitorChild, HalfMakesTheBlock) {
  const char* prefix = std::getenv("FIBSQLMONITOR_HALF_PREFIX");
  if (prefix == nullptr) GTEST_SKIP() << "runs only as the process killed half-way";
  TNamedMapping block;
  block.Open(String(prefix) + "SharedMem", TMonitorBlock::kSize, [](void* memory) {
    TMonitorBlock(memory).Counter(TMonitorBlock::ReaderCount).store(1);
    (void)::write(STDOUT_FILENO, "making\n", 7);
    for (;;) ::pause();
  });
}

// A process killed while it made the block, and a mutex an older program
// left unsized, cost the next program nothing.
TEST_F(FIBSQLMonitor, HalfMadeObjectsAreMadeAfresh) {
  ::close(::open(NamedObjectPath(prefix_ + "Mutex").c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  int out[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  const pid_t pid = Spawn({"/proc/self/exe", "--gtest_filter=FIBSQLMonitorChild.HalfMakesTheBlock"},
                          {"FIBSQLMONITOR_HALF_PREFIX=" + prefix_}, out[1]);
  ::close(out[1]);
  String said;
  char c;
  while (said.find("making\n") == String::npos && ::read(out[0], &c, 1) == 1) said += c;
  ::close(out[0]);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  ASSERT_NE(said.find("making\n"), String::npos) << said;

  const auto start = Clock::now();
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  EXPECT_TRUE(hook->Enabled());
  EXPECT_LT(SecondsSince(start), 0.5);
  EXPECT_FALSE(MonitoringActive());
  TReaderProcess reader(prefix_);
  ASSERT_TRUE(reader.WaitAttached());
  hook->WriteSQLData("through", mdkExecute);
  const std::vector<TChunk> chunks = reader.Chunks(1);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0].Text, Header() + "through");
  EXPECT_EQ(reader.Stop(), 0);
}

TEST_F(FIBSQLMonitor, NoHookOnceClosingHasBegun) {
  TFIBSQLMonitorHook* hook = GetMonitorHook();
  EXPECT_EQ(GetMonitorHook(), hook);
  FinalizeUnits();
  EXPECT_EQ(GetMonitorHook(), nullptr);
  InitializeUnits({&unit_FIBSQLMonitor});
  EXPECT_NE(GetMonitorHook(), nullptr);
}

}  // namespace
