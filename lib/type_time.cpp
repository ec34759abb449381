#include "lib/type_time.h"

namespace qv {

std::string_view type_time_name(type_time kind) noexcept {
  switch (kind) {
    case type_time::filetime:
      return "filetime";
    case type_time::chrome:
      return "chrome";
    case type_time::firefox3:
      return "firefox3";
    case type_time::unix_time:
      return "unix time";
    case type_time::unix_millisec_time:
      return "unix millisec time";
    case type_time::dos_time:
      return "dos time";
    case type_time::ntp:
      return "ntp";
    case type_time::guid:
      return "guid";
    case type_time::ole:
      return "ole";
    case type_time::system_time:
    case type_time::system_time_local:
      return "system time";
    case type_time::vhd_time:
      return "VHD time";
    case type_time::qpc_time:
      return "QPC time";
    case type_time::csharp_time:
      return "c# time";
    case type_time::snowflake_time:
      return "snowflake time";
    case type_time::safari_time:
      return "safari time";
    case type_time::hfs_plus_time:
      return "hfs+ time";
  }
  return {};
}

}  // namespace qv
