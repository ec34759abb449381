#include "tests/support/run_kerf.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

extern char** environ;

namespace kerf::testing {

namespace {

struct Pipe {
  int read_end = -1;
  int write_end = -1;
  bool open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    read_end = fds[0];
    write_end = fds[1];
    return true;
  }
};

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::vector<std::string> build_environment(const RunOptions& options) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : options.env) variables[name] = value;
  std::vector<std::string> environment;
  for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
  return environment;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_child(const std::string& program, char** argv, char** envp,
                             const RunOptions& options, const Pipe& in, const Pipe& out,
                             const Pipe& err) {
  if (::dup2(in.read_end, STDIN_FILENO) < 0 || ::dup2(err.write_end, STDERR_FILENO) < 0) _exit(126);
  if (options.close_stdout) {
    ::close(STDOUT_FILENO);
  } else if (options.stdout_path) {
    const int fd = ::open(options.stdout_path->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) _exit(126);
    if (fd != STDOUT_FILENO) ::close(fd);
  } else if (::dup2(out.write_end, STDOUT_FILENO) < 0) {
    _exit(126);
  }
  if (options.umask) ::umask(*options.umask);
  if (!options.working_dir.empty() && ::chdir(options.working_dir.c_str()) != 0) _exit(126);
  ::execve(program.c_str(), argv, envp);
  _exit(127);
}

int decode_status(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
  RunResult result;
  std::vector<std::string> argument_texts;
  argument_texts.push_back(options.argv0.value_or(program));
  argument_texts.insert(argument_texts.end(), args.begin(), args.end());
  std::vector<std::string> environment = build_environment(options);
  std::vector<char*> argv = pointers_to(argument_texts);
  std::vector<char*> envp = pointers_to(environment);

  Pipe in, out, err;
  if (!in.open() || !out.open() || !err.open()) return result;

  const pid_t child = ::fork();
  if (child < 0) return result;
  if (child == 0) exec_child(program, argv.data(), envp.data(), options, in, out, err);

  close_fd(in.read_end);
  close_fd(out.write_end);
  close_fd(err.write_end);
  // The child may stop reading early; its end of the pipe going away must
  // not kill the test with SIGPIPE.
  ::fcntl(in.write_end, F_SETFL, O_NONBLOCK);
  struct sigaction ignore {
  }, saved{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &saved);

  std::size_t input_sent = 0;
  if (options.input.empty()) close_fd(in.write_end);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  char buffer[65536];
  while (out.read_end >= 0 || err.read_end >= 0 || in.write_end >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      ::kill(child, SIGKILL);
      break;
    }
    pollfd watched[3] = {
        {out.read_end, POLLIN, 0}, {err.read_end, POLLIN, 0}, {in.write_end, POLLOUT, 0}};
    const int ready = ::poll(watched, 3, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (watched[i].fd < 0 || watched[i].revents == 0) continue;
      const ssize_t n = ::read(watched[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close_fd(i == 0 ? out.read_end : err.read_end);
      }
    }
    if (watched[2].fd >= 0 && watched[2].revents != 0) {
      const ssize_t n = ::write(in.write_end, options.input.data() + input_sent,
                                options.input.size() - input_sent);
      if (n > 0) input_sent += static_cast<std::size_t>(n);
      if ((n < 0 && errno != EAGAIN && errno != EINTR) || input_sent == options.input.size()) {
        close_fd(in.write_end);
      }
    }
  }
  close_fd(in.write_end);
  close_fd(out.read_end);
  close_fd(err.read_end);
  ::sigaction(SIGPIPE, &saved, nullptr);

  int raw = 0;
  while (::waitpid(child, &raw, 0) < 0 && errno == EINTR) {
  }
  if (!result.timed_out) result.status = decode_status(raw);
  return result;
}

}  // namespace kerf::testing
