// The encodings a raw time value can arrive in.
//
// Prefetch files store Windows FILETIMEs, file systems give Unix seconds and
// the timeline layouts meet a few browser and Apple epochs; each is one bit so
// that callers can keep sets of kinds in a mask.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

enum class type_time : std::uint32_t {
  filetime = 1,              // unsigned 100-ns ticks since 1601-01-01 UTC
  chrome = 2,                // microseconds since 1601-01-01 UTC
  firefox3 = 4,              // signed microseconds since 1970-01-01 UTC
  unix_time = 8,             // signed whole seconds since 1970-01-01 UTC
  unix_millisec_time = 16,   // milliseconds since 1970-01-01 UTC
  dos_time = 32,             // DOS packed date and time
  ntp = 64,                  // NTP time stamp
  guid = 128,                // time field of a time-based GUID
  ole = 256,                 // whole days since 1899-12-30 UTC
  system_time = 512,         // broken-down calendar time (UTC)
  system_time_local = 1024,  // broken-down calendar time (local)
  vhd_time = 2048,           // seconds since 2000-01-01 UTC
  qpc_time = 4096,           // performance-counter value
  csharp_time = 32768,       // 100-ns ticks since 0001-01-01 UTC
  snowflake_time = 131072,   // top 42 bits: milliseconds since 2015-01-01 UTC
  safari_time = 262144,      // seconds since 2001-01-01 UTC
  hfs_plus_time = 524288,    // seconds since 1904-01-01 UTC
};

// The name shown for a kind ("filetime", "unix time", ...); empty for a value
// that is not one of the kinds above.
std::string_view type_time_name(type_time kind) noexcept;

}  // namespace qv
