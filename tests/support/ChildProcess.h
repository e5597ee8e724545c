// A child process for tests that need a second program: started with extra
// environment variables, its standard input and output on pipes held by the
// test, read line by line with a time limit.
//
//   TChildProcess child({"/proc/self/exe", "--gtest_filter=Peer.Run"}, {"PEER=1"});
//   String line;
//   ASSERT_TRUE(child.ReadLine(line, 5s));
//   int code = child.Wait(5s);   // the exit code; -1 when it had to be killed
//
// The environment is the test's own with Env added before it (an entry of
// Env wins over the inherited one). The destructor kills a child still
// running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <vector>

#include "platform/rtl/System.h"

class TChildProcess {
 public:
  TChildProcess(std::vector<String> Args, std::vector<String> Env = {});
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // The next line of the child's output (without its line feed); false when
  // none comes within the time or the output ended.
  bool ReadLine(String& Line, std::chrono::milliseconds Within);
  // Everything the child writes until it closes its output (or the time
  // runs out), after what was read already.
  String ReadAll(std::chrono::milliseconds Within);
  // Closes the child's standard input.
  void CloseInput();
  // Waits for the child to end: its exit code, 128 + the signal that ended
  // it, or -1 when it did not end within the time (it is then killed).
  int Wait(std::chrono::milliseconds Within);

 private:
  bool Fill(std::chrono::milliseconds Within);

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  String buffer_;
};

// Starts a program with Args (the first is its path) and the environment
// with Env added before it; Stdin and Stdout, when not -1, become its
// standard input and output. The process id, or -1 when it did not start.
pid_t SpawnProgram(std::vector<String> Args, std::vector<String> Env, int Stdin = -1, int Stdout = -1);

// The path of a program found in PATH; empty when there is none.
String FindProgram(const String& Name);

// The lines of Output that begin with Prefix, the prefix taken off.
std::vector<String> PrefixedLines(const String& Output, const String& Prefix);
