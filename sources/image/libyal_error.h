// The reason a libyal library (libewf, libqcow, libvmdk, libvhdi) gives for
// a failure, in a few plain words.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kerf::image {

// The innermost message of a libyal error backtrace (its first line), without
// the function name before it and the full stop after it: "media type does
// not match". `fallback` when there is none.
std::string innermost_message(std::string_view backtrace, std::string_view fallback);

// Takes the library's error (freeing it) and gives its innermost message.
// Each library has its own error type and functions, hence the template.
template <typename Error, typename Sprint, typename Free>
std::string take_library_error(Error*& error, Sprint backtrace_sprint, Free free_error) {
  if (error == nullptr) return "unknown error";
  std::array<char, 4096> text{};
  const bool printed = backtrace_sprint(error, text.data(), text.size()) > 0;
  free_error(&error);
  error = nullptr;
  return innermost_message(printed ? std::string_view(text.data()) : std::string_view(), "unknown error");
}

}  // namespace kerf::image
