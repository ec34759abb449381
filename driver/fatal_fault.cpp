#include "driver/fatal_fault.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KERF_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KERF_SANITIZED 1
#endif

namespace kerf {

#ifndef KERF_SANITIZED
namespace {

constexpr std::array kFatalSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Only what is safe in a signal handler: write(2) and _exit(2).
void on_fatal_fault(int signal_number) {
  static constexpr char kMessage[] =
      "kerf: internal fault (signal ";
  static constexpr char kAfter[] =
      ") while reading the input: the run stopped, and its results are incomplete\n";
  char number[4] = {static_cast<char>('0' + signal_number / 10 % 10), static_cast<char>('0' + signal_number % 10)};
  [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  ignored = ::write(STDERR_FILENO, signal_number >= 10 ? number : number + 1, signal_number >= 10 ? 2 : 1);
  ignored = ::write(STDERR_FILENO, kAfter, sizeof kAfter - 1);
  ::_exit(255);
}

}  // namespace
#endif

void end_cleanly_on_fatal_faults() {
#ifndef KERF_SANITIZED
  // The handlers' own stack, for a fault that is a stack overflow. It lives
  // as long as the process.
  static std::array<char, 64 * 1024> stack;
  stack_t alternate{};
  alternate.ss_sp = stack.data();
  alternate.ss_size = stack.size();
  ::sigaltstack(&alternate, nullptr);
  struct sigaction action {};
  action.sa_handler = on_fatal_fault;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : kFatalSignals) ::sigaction(signal_number, &action, nullptr);
#endif
}

}  // namespace kerf
