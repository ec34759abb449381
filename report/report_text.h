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

// Calls append_item(out, *it) for each element from `first` to `last`, with
// "; " between them.
template <typename Iterator, typename AppendItem>
void append_joined(std::string& out, Iterator first, Iterator last, AppendItem append_item) {
  for (Iterator it = first; it != last; ++it) {
    if (it != first) out += "; ";
    append_item(out, *it);
  }
}

// The same for the positions 0 to count - 1 of a record's parallel lists.
template <typename AppendItem>
void append_joined(std::string& out, std::size_t count, AppendItem append_item) {
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) out += "; ";
    append_item(out, i);
  }
}

// Element `index` of one of a record's volume lists, or zero: the lists of a
// damaged file need not be equally long.
template <typename T>
T element_or_zero(const std::vector<T>& values, std::size_t index) {
  return index < values.size() ? values[index] : T{};
}

}  // namespace kerf
