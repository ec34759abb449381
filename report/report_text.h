// Small texts shared by the report layouts: a time stamp as "date time", a
// volume serial number as "xxxx-xxxx", and lists joined by "; ".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kerf {

// Writes FILETIMEs as the date text, one blank and the time text of the
// run's patterns (both texts empty for a time that can't be shown). Keeps
// its buffers from one stamp to the next.
class DateTimeText {
 public:
  DateTimeText(std::string_view date_pattern, std::string_view time_pattern)
      : m_date_pattern(date_pattern), m_time_pattern(time_pattern) {}

  void append(std::string& out, std::uint64_t filetime);
  // The same with the time text cut at its first ".", whole seconds only.
  void append_no_fraction(std::string& out, std::uint64_t filetime);

 private:
  std::string_view m_date_pattern;
  std::string_view m_time_pattern;
  std::string m_date;
  std::string m_time;
};

// The upper and the lower 16 bits as four lower-case hex digits each, joined
// by "-" (0x0012abcd gives "0012-abcd").
void append_volume_serial(std::string& out, std::uint32_t serial);

// Calls append_item(out, item) for each of `items`, with "; " between them.
template <typename Items, typename AppendItem>
void append_joined(std::string& out, Items&& items, AppendItem append_item) {
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += "; ";
    append_item(out, item);
    first = false;
  }
}

// Element `index` of one of a record's volume lists, or zero: the lists of a
// damaged file need not be equally long.
template <typename T>
T element_or_zero(const std::vector<T>& values, std::size_t index) {
  return index < values.size() ? values[index] : T{};
}

}  // namespace kerf
