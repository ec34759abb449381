#include "lib/unix_time_quad.h"

#include "lib/qv_time.h"

namespace qv {

namespace {

std::uint64_t filetime_to_unix_seconds(std::uint64_t filetime) noexcept {
  // Unsigned subtraction would turn a time before 1970 into nonsense seconds
  // far in the future, so it reads as "not known", like 0 and negatives.
  if (static_cast<std::int64_t>(filetime) <= 0 || filetime < kUnixEpochFiletime) return 0;
  return (filetime - kUnixEpochFiletime) / 10'000'000;
}

}  // namespace

unix_time_quad unix_time_quad::convert(std::uint64_t a, std::uint64_t b, std::uint64_t c,
                                       std::uint64_t d, type_time kind) noexcept {
  unix_time_quad quad;
  quad.kind = type_time::unix_time;
  if (kind == type_time::filetime) {
    quad.seconds = {filetime_to_unix_seconds(a), filetime_to_unix_seconds(b),
                    filetime_to_unix_seconds(c), filetime_to_unix_seconds(d)};
  } else if (kind == type_time::unix_time) {
    quad.seconds = {a, b, c, d};
  }
  return quad;
}

unix_time_quad unix_time_quad::store(std::uint64_t a, std::uint64_t b, std::uint64_t c,
                                     std::uint64_t d, type_time kind) noexcept {
  unix_time_quad quad;
  quad.seconds = {a, b, c, d};
  quad.kind = kind;
  return quad;
}

}  // namespace qv
