#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

extern char** environ;

using Clock = std::chrono::steady_clock;

pid_t SpawnProgram(std::vector<String> Args, std::vector<String> Env, int Stdin, int Stdout) {
  for (char** e = environ; *e != nullptr; ++e) Env.emplace_back(*e);
  std::vector<char*> argv, envp;
  for (String& arg : Args) argv.push_back(arg.data());
  for (String& e : Env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (Stdin >= 0) posix_spawn_file_actions_adddup2(&actions, Stdin, STDIN_FILENO);
  if (Stdout >= 0) posix_spawn_file_actions_adddup2(&actions, Stdout, STDOUT_FILENO);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

TChildProcess::TChildProcess(std::vector<String> Args, std::vector<String> Env) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  pid_ = SpawnProgram(std::move(Args), std::move(Env), in[0], out[1]);
  ::close(in[0]);
  ::close(out[1]);
  in_ = in[1];
  out_ = out[0];
}

TChildProcess::~TChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

bool TChildProcess::Fill(std::chrono::milliseconds Within) {
  if (out_ < 0) return false;
  pollfd p{out_, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(std::max<std::chrono::milliseconds::rep>(Within.count(), 0))) <= 0) return false;
  char chunk[4096];
  ssize_t n = ::read(out_, chunk, sizeof chunk);
  if (n <= 0) {
    ::close(out_);
    out_ = -1;
    return false;
  }
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

bool TChildProcess::ReadLine(String& Line, std::chrono::milliseconds Within) {
  const auto deadline = Clock::now() + Within;
  for (;;) {
    size_t end = buffer_.find('\n');
    if (end != String::npos) {
      Line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !Fill(left)) return false;
  }
}

String TChildProcess::ReadAll(std::chrono::milliseconds Within) {
  const auto deadline = Clock::now() + Within;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !Fill(left)) break;
  }
  return std::exchange(buffer_, String());
}

void TChildProcess::CloseInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

int TChildProcess::Wait(std::chrono::milliseconds Within) {
  if (pid_ <= 0) return -1;
  const auto deadline = Clock::now() + Within;
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) break;
    if (r < 0 || Clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

String FindProgram(const String& Name) {
  const char* path = std::getenv("PATH");
  String dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == String::npos) end = dirs.size();
    String candidate = dirs.substr(start, end - start) + "/" + Name;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return String();
}

std::vector<String> PrefixedLines(const String& Output, const String& Prefix) {
  std::vector<String> lines;
  size_t start = 0;
  while (start < Output.size()) {
    size_t end = Output.find('\n', start);
    if (end == String::npos) end = Output.size();
    const String line = Output.substr(start, end - start);
    if (line.rfind(Prefix, 0) == 0) lines.push_back(line.substr(Prefix.size()));
    start = end + 1;
  }
  return lines;
}
