#include "tests/support/run_kerf.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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
    // Between fork and exec: only async-signal-safe calls. The alarm
    // survives exec and ends a child that outlives its time.
    const int out_flags = O_WRONLY | O_CREAT | (options.append_stdout ? O_APPEND : O_TRUNC);
    const int out_fd = options.stdout_path ? ::open(options.stdout_path->c_str(), out_flags, 0666) : out;
    if (::dup2(in, STDIN_FILENO) < 0 || ::dup2(out_fd, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) {
      _exit(126);
    }
    if (options.close_stdout) ::close(STDOUT_FILENO);
    if (options.umask) ::umask(*options.umask);
    if (!options.working_dir.empty() && ::chdir(options.working_dir.c_str()) != 0) _exit(126);
    ::alarm(static_cast<unsigned>(options.timeout_seconds));
    ::execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int raw = 0;
  pid_t waited = -1;
  while (child > 0 && (waited = ::waitpid(child, &raw, 0)) < 0 && errno == EINTR) {
  }
  ::close(in);
  result.out = contents(out);
  result.err = contents(err);
  if (waited != child) {
    result.err += "[no child process]\n";
  } else if (WIFSIGNALED(raw) && WTERMSIG(raw) == SIGALRM) {
    result.timed_out = true;
    result.err += "\n[killed after " + std::to_string(options.timeout_seconds) + " seconds]\n";
  } else {
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
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

std::string output_of(const std::string& command) { return run_program("/bin/sh", {"-c", command}).out; }

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

}  // namespace kerf::testing
