#include "lib/ntp_time.h"

#include <array>
#include <cmath>
#include <cstring>
#include <ctime>

#include "lib/qv_time.h"

namespace qv {

namespace {

constexpr std::uint64_t kNtpEpochFiletime = 94'354'848'000'000'000;  // 1900-01-01 UTC

void put_big_endian(std::uint8_t* bytes, std::uint32_t value) noexcept {
  bytes[0] = static_cast<std::uint8_t>(value >> 24);
  bytes[1] = static_cast<std::uint8_t>(value >> 16);
  bytes[2] = static_cast<std::uint8_t>(value >> 8);
  bytes[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t get_big_endian(const std::uint8_t* bytes) noexcept {
  return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

double stamp_seconds(std::uint64_t stamp) noexcept {
  std::array<std::uint8_t, 8> bytes{};
  std::memcpy(bytes.data(), &stamp, bytes.size());
  return static_cast<double>(get_big_endian(bytes.data())) +
         std::ldexp(static_cast<double>(get_big_endian(bytes.data() + 4)), -32);
}

}  // namespace

std::uint64_t make_ntp_stamp(std::uint32_t seconds, std::uint32_t fraction) noexcept {
  std::array<std::uint8_t, 8> bytes{};
  put_big_endian(bytes.data(), seconds);
  put_big_endian(bytes.data() + 4, fraction);
  std::uint64_t stamp = 0;
  std::memcpy(&stamp, bytes.data(), bytes.size());
  return stamp;
}

std::uint64_t ntp_now() {
  const time now(static_cast<std::int64_t>(std::time(nullptr)), type_time::unix_time);
  const std::uint64_t filetime = now.filetime();
  if (static_cast<std::int64_t>(filetime) < 0) return 0;
  // The seconds field wraps every 136 years (NTP era 1 begins in 2036).
  const auto seconds = static_cast<std::uint32_t>((filetime - kNtpEpochFiletime) / 10'000'000);
  return make_ntp_stamp(seconds, 0);
}

double ntp_seconds_between(std::uint64_t a, std::uint64_t b) noexcept {
  return std::fabs(stamp_seconds(a) - stamp_seconds(b));
}

}  // namespace qv
