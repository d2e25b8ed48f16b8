// Child processes for the tests that run the built binary.
#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

extern char** environ;

namespace kestrova::e2e {
namespace {

using Clock = std::chrono::steady_clock;

struct SpawnArguments {
  std::vector<std::string> strings;
  std::vector<char*> pointers;
  explicit SpawnArguments(std::vector<std::string> values) : strings(std::move(values)) {
    for (auto& value : strings) pointers.push_back(value.data());
    pointers.push_back(nullptr);
  }
};

std::vector<std::string> flatten(const Environment& environment) {
  std::vector<std::string> entries;
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  return entries;
}

struct FileActions {
  posix_spawn_file_actions_t actions;
  FileActions() { posix_spawn_file_actions_init(&actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
};

pid_t spawn(const std::vector<std::string>& argv, const Environment& environment, FileActions& files) {
  if (argv.empty()) throw std::runtime_error("nothing to start");
  const std::string path = argv.front().find('/') == std::string::npos ? requirePeer(argv.front()) : argv.front();
  SpawnArguments arguments(argv);
  SpawnArguments entries(flatten(environment));
  pid_t pid = -1;
  const int error = posix_spawn(&pid, path.c_str(), &files.actions, nullptr, arguments.pointers.data(),
                                entries.pointers.data());
  if (error != 0) throw std::runtime_error("cannot start " + path + ": " + std::strerror(error));
  return pid;
}

struct Pipe {
  int ends[2] = {-1, -1};
  Pipe() {
    if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    closeEnd(0);
    closeEnd(1);
  }
  void closeEnd(int which) {
    if (ends[which] >= 0) close(ends[which]);
    ends[which] = -1;
  }
};

}  // namespace

Environment currentEnvironment() {
  Environment environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const auto equals = text.find('=');
    if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
  }
  return environment;
}

std::string requirePeer(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  throw std::runtime_error("missing test peer '" + name + "' (scripts/install-deps.sh installs it)");
}

ProcessResult runProcess(const std::vector<std::string>& argv, const Environment& environment,
                         std::chrono::milliseconds limit, const std::string& stdinPath, StdoutSink stdoutSink,
                         int closed) {
  Pipe out;
  Pipe err;
  FileActions files;
  posix_spawn_file_actions_addopen(&files.actions, 0, stdinPath.c_str(), O_RDONLY, 0);
  switch (stdoutSink) {
    case StdoutSink::captured:
    case StdoutSink::unreadPipe:
      posix_spawn_file_actions_adddup2(&files.actions, out.ends[1], 1);
      break;
    case StdoutSink::fullDevice:
      posix_spawn_file_actions_addopen(&files.actions, 1, "/dev/full", O_WRONLY, 0);
      break;
    case StdoutSink::closed:
      posix_spawn_file_actions_addclose(&files.actions, 1);
      break;
  }
  posix_spawn_file_actions_adddup2(&files.actions, err.ends[1], 2);
  if (closed >= 0) posix_spawn_file_actions_addclose(&files.actions, closed);
  // A pipe nobody reads: its read end is gone before the child writes.
  if (stdoutSink != StdoutSink::captured) out.closeEnd(0);
  const auto started = Clock::now();
  const pid_t pid = spawn(argv, environment, files);
  out.closeEnd(1);
  err.closeEnd(1);

  ProcessResult result;
  const auto deadline = started + limit;
  std::string* sinks[2] = {&result.out, &result.err};
  int open = stdoutSink == StdoutSink::captured ? 2 : 1;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd fds[2] = {{out.ends[0], POLLIN, 0}, {err.ends[0], POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[65536];
      const ssize_t count = read(fds[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(count));
      } else {
        (i == 0 ? out : err).closeEnd(0);
        --open;
      }
    }
  }
  int status = 0;
  if (result.timedOut) kill(pid, SIGKILL);
  // Both pipes closed: the child has exited or is about to; the wait is short.
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.maxRssKb = usage.ru_maxrss;
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
  if (WIFEXITED(status) && !result.timedOut) {
    result.exited = true;
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.termSignal = WTERMSIG(status);
  }
  return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
                           const std::string& stdinPath, int passedFd) {
  FileActions files;
  posix_spawn_file_actions_addopen(&files.actions, 0, stdinPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files.actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files.actions, 2, "/dev/null", O_WRONLY, 0);
  if (passedFd >= 0) posix_spawn_file_actions_adddup2(&files.actions, passedFd, 3);
  pid_ = spawn(argv, environment, files);
}

bool ChildProcess::running() {
  if (pid_ < 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == 0) return true;
  pid_ = -1;
  return false;
}

void ChildProcess::signal(int number) const {
  if (pid_ > 0) kill(pid_, number);
}

void ChildProcess::stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGCONT);  // a stopped peer would never see the TERM
  kill(pid_, SIGTERM);
  if (!eventually([this] { return !running(); }, std::chrono::seconds(2)) && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

}  // namespace kestrova::e2e
