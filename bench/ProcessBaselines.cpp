// The two baselines of the process benchmarks, linked into each of them so
// that one run shows them beside the measured code: running
// `ps -e -o pid,ppid,nlwp,comm` as a whole process, and a bare /proc scan
// (readdir + read of every PID/stat, nothing parsed or laid out).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <vector>

extern char** environ;

namespace {

// fork + exec of ps, reading all of its output, and waiting for it.
void BM_PsCommand(benchmark::State& state) {
  char* argv[] = {const_cast<char*>("ps"), const_cast<char*>("-e"), const_cast<char*>("-o"),
                  const_cast<char*>("pid,ppid,nlwp,comm"), nullptr};
  std::vector<char> out(1 << 16);
  size_t lines = 0;
  for (auto _ : state) {
    int pipeFd[2];
    if (pipe2(pipeFd, O_CLOEXEC) != 0) {
      state.SkipWithError("pipe failed");
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], STDOUT_FILENO);
    pid_t child = 0;
    int rc = posix_spawnp(&child, "ps", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFd[1]);
    lines = 0;
    ssize_t n;
    while ((n = read(pipeFd[0], out.data(), out.size())) > 0) {
      for (ssize_t i = 0; i < n; ++i) lines += out[static_cast<size_t>(i)] == '\n';
    }
    close(pipeFd[0]);
    int status = 0;
    if (rc != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("ps failed");
      return;
    }
  }
  state.counters["processes"] = static_cast<double>(lines > 0 ? lines - 1 : 0);
}
BENCHMARK(BM_PsCommand)->Unit(benchmark::kMicrosecond);

// The floor: list /proc and read each PID/stat once.
void BM_BareProcScan(benchmark::State& state) {
  char buf[1024];
  size_t processes = 0;
  for (auto _ : state) {
    DIR* dir = opendir("/proc");
    if (dir == nullptr) {
      state.SkipWithError("cannot open /proc");
      return;
    }
    processes = 0;
    while (dirent* entry = readdir(dir)) {
      if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
      char path[300];
      std::snprintf(path, sizeof path, "%s/stat", entry->d_name);
      int fd = openat(dirfd(dir), path, O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      if (read(fd, buf, sizeof buf) > 0) ++processes;
      close(fd);
    }
    closedir(dir);
    benchmark::DoNotOptimize(buf);
  }
  state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(BM_BareProcScan)->Unit(benchmark::kMicrosecond);

}  // namespace
