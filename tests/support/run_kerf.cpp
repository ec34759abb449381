#include "tests/support/run_kerf.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace kerf::testing {

namespace {

// The child's standard streams are anonymous files in memory rather than
// pipes: nothing has to be read while the child runs, so no amount of
// output or input can stall either side.
int memory_file(const std::string& text) {
  const int fd = ::memfd_create("kerf-test", MFD_CLOEXEC);
  for (std::size_t done = 0; fd >= 0 && done < text.size();) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written <= 0) break;
    done += static_cast<std::size_t>(written);
  }
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

std::string contents(int fd) {
  std::string text;
  char buffer[65536];
  for (ssize_t n; (n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

int decode_status(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

}  // namespace

RunResult run_program(const std::string& program, const Args& args, const RunOptions& options) {
  std::vector<std::string> argument_texts{options.argv0.value_or(program)};
  argument_texts.insert(argument_texts.end(), args.begin(), args.end());
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    if (std::none_of(options.env.begin(), options.env.end(),
                     [&](const auto& variable) { return text.starts_with(variable.first + "="); })) {
      environment.push_back(text);
    }
  }
  for (const auto& [name, value] : options.env) environment.push_back(name + "=" + value);
  std::vector<char*> argv = pointers_to(argument_texts);
  std::vector<char*> envp = pointers_to(environment);
  const int in = memory_file(options.input);
  const int out = memory_file({});
  const int err = memory_file({});

  RunResult result;
  const pid_t child = ::fork();
  if (child == 0) {
    // Between fork and exec: only async-signal-safe calls.
    const int out_fd =
        options.stdout_path ? ::open(options.stdout_path->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666) : out;
    if (::dup2(in, STDIN_FILENO) < 0 || ::dup2(out_fd, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) {
      _exit(126);
    }
    if (options.close_stdout) ::close(STDOUT_FILENO);
    if (options.umask) ::umask(*options.umask);
    if (!options.working_dir.empty() && ::chdir(options.working_dir.c_str()) != 0) _exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  int raw = 0;
  bool reaped = false;
  while (child > 0 && !reaped) {
    const pid_t done = ::waitpid(child, &raw, WNOHANG);
    if (done == child) {
      reaped = true;
    } else if (done < 0 && errno != EINTR) {
      break;
    } else if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &raw, 0);
      result.timed_out = true;
      break;
    } else {
      ::usleep(1000);
    }
  }
  ::close(in);
  result.out = contents(out);
  result.err = contents(err);
  if (result.timed_out) {
    result.err += "\n[killed after " + std::to_string(options.timeout_seconds) + " seconds]\n";
  } else if (reaped) {
    result.status = decode_status(raw);
  }
  return result;
}

RunOptions piping(const Args& names) {
  RunOptions options;
  for (const std::string& name : names) options.input += name + "\n";
  return options;
}

std::string after_header(const std::string& output) {
  if (!output.starts_with("kerf ver: ")) return output;
  const std::size_t end = output.find("\"\n\n");
  return end == std::string::npos ? std::string() : output.substr(end + 3);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

}  // namespace kerf::testing
