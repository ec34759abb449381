// The long form of a history: the Prefetch file, its copies oldest first,
// every run time any copy holds with the copies that hold it, and the flags.
#include "lib/text/escape.h"
#include "lib/text/numbers.h"
#include "report/history_layouts.h"

namespace kerf {

namespace {

// "copy 2" or "copies 1, 3".
void append_copy_numbers(std::string& out, const std::vector<std::uint32_t>& numbers) {
  out += numbers.size() == 1 ? "copy " : "copies ";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i != 0) out += ", ";
    text::append_decimal(out, numbers[i]);
  }
}

}  // namespace

void append_history_long_form(std::string& out, const HistoryRecord& record, const time::DateTimeFormat& format) {
  out += "Prefetch file:  ";
  text::append_escaped(out, record.name);
  out += "\nexecutable:     ";
  text::append_escaped(out, record.executable);
  out += "\nhash:           ";
  text::append_hex(out, record.hash, 8, true);
  out += "\ncopies:         ";
  text::append_decimal(out, record.copies.size());
  out += ", oldest first\n";
  for (std::size_t i = 0; i < record.copies.size(); ++i) {
    const HistoryCopy& copy = record.copies[i];
    out += "copy ";
    text::append_decimal(out, i + 1);
    out += ":";
    out.append(i + 1 < 10 ? 9 : i + 1 < 100 ? 8 : 1, ' ');
    text::append_escaped(out, copy.path);
    if (copy.store) {
      out += ", store ";
      text::append_decimal(out, *copy.store);
      out += " made ";
      format.append_date_time(out, copy.store_created.value_or(0), false);
    } else {
      out += ", modified ";
      format.append_date_time(out, copy.modified, false);
    }
    out += ", run ";
    text::append_decimal(out, copy.run_count);
    out += copy.run_count == 1 ? " time" : " times";
    if (copy.deleted) out += ", deleted";
    out.push_back('\n');
  }
  out += "run times:      ";
  text::append_decimal(out, record.run_times.size());
  out += " known, newest first\n";
  for (const HistoryTime& time : record.run_times) {
    out += "                ";
    format.append_date_time(out, time.time);
    out += "  ";
    append_copy_numbers(out, time.copies);
    out.push_back('\n');
  }
  out += "flags:          ";
  std::size_t flags = 0;
  const auto flag = [&](bool set, std::string_view text) {
    if (!set) return;
    if (flags++ != 0) out += "\n                ";
    out += text;
  };
  flag(record.count_went_down, "count went down: a newer copy counts fewer runs (deleted and made again, or reset)");
  flag(record.runs_beyond_eight, "runs beyond eight: more run times are known than one file holds");
  flag(record.last_copy_deleted, "last copy deleted: the newest copy is a deleted file");
  if (flags == 0) out += "none";
  out += "\n\n";
}

}  // namespace kerf
