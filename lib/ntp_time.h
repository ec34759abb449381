// The current time as an NTP time stamp, for measuring how long a run took.
//
// An NTP time stamp (RFC 5905) is 32 bits of seconds since 1900-01-01 UTC and
// 32 bits of binary fraction, both big-endian. The 64-bit values here hold
// those eight bytes exactly as they lie in memory: seconds first, then the
// fraction, whatever the host's byte order.
#pragma once

#include <cstdint>

namespace qv {

// Builds the stamp from its seconds and fraction.
std::uint64_t make_ntp_stamp(std::uint32_t seconds, std::uint32_t fraction) noexcept;

// The wall clock in whole seconds (the fraction is 0); 0 when the clock gives
// a time that no FILETIME can hold.
std::uint64_t ntp_now();

// |a - b| in seconds, fractions included.
double ntp_seconds_between(std::uint64_t a, std::uint64_t b) noexcept;

}  // namespace qv
