#include "report/report_text.h"

#include "lib/date_time_format.h"
#include "lib/number_text.h"
#include "lib/qv_time.h"

namespace kerf {

namespace {

qv::time filetime_value(std::uint64_t filetime) {
  return qv::time(static_cast<std::int64_t>(filetime), qv::type_time::filetime);
}

}  // namespace

void DateTimeText::append(std::string& out, std::uint64_t filetime) {
  qv::format_date_time(m_date, m_time, filetime_value(filetime), m_date_pattern, m_time_pattern);
  out.append(m_date).append(1, ' ').append(m_time);
}

void DateTimeText::append_no_fraction(std::string& out, std::uint64_t filetime) {
  qv::format_date_time_no_fraction(m_date, m_time, filetime_value(filetime), m_date_pattern,
                                   m_time_pattern);
  out.append(m_date).append(1, ' ').append(m_time);
}

void append_volume_serial(std::string& out, std::uint32_t serial) {
  qv::append_hex(out, serial >> 16, 4);
  out.push_back('-');
  qv::append_hex(out, serial & 0xFFFFu, 4);
}

}  // namespace kerf
