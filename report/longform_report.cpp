#include "report/longform_report.h"

#include <string>
#include <string_view>

#include "lib/number_text.h"
#include "lib/text_escape.h"
#include "report/report_text.h"

namespace kerf {

namespace {

// "001 : name": at least three digits, more when the list is longer.
void append_numbered(std::string& out, std::uint64_t number, std::string_view name) {
  qv::append_decimal(out, number, 3, '0');
  out += " : ";
  qv::append_escaped(out, name);
  out.push_back('\n');
}

}  // namespace

bool write_longform_entry(std::ostream& out, const kerf_user_context& options) {
  if (options.m_out_csv || options.m_out_csvl2t || options.m_out_bodyfile) return false;
  const PrefetchEntry& entry = options.m_entry;
  DateTimeText when(options.m_date_format, options.m_time_format);

  std::string text;
  text.reserve(2048 + entry.loaded_files.size() * 96);

  text += "Analyzing file: ";
  qv::append_escaped(text, options.m_input_path);
  text += "\nmodified:       ";
  when.append_no_fraction(text, entry.source_stamps.stamp_m);
  text += "\naccessed:       ";
  when.append_no_fraction(text, entry.source_stamps.stamp_a);
  text += "\nstats changed   ";
  when.append_no_fraction(text, entry.source_stamps.stamp_b);
  text += "\n\ntarget file:    ";
  qv::append_escaped(text, entry.exe_name);
  text += ", run ";
  qv::append_decimal(text, entry.run_count);
  text += " times\nLast run:       ";
  when.append(text, entry.last_run_time);
  text.push_back('\n');
  for (auto it = entry.prev_run_times.rbegin(); it != entry.prev_run_times.rend(); ++it) {
    text += "Prev run:       ";
    when.append(text, *it);
    text.push_back('\n');
  }
  text += "path:           ";
  qv::append_escaped(text, entry.app_path);
  text += "\n\n --------- files mapped --------- \n\n";

  std::uint64_t number = 0;
  for (const auto& [offset, name] : entry.loaded_files) append_numbered(text, ++number, name);

  text += "\n --------- directories mapped --------- \n\n";
  for (std::size_t i = 0; i < entry.volume_paths.size(); ++i) {
    text += "vol path:     ";
    qv::append_escaped(text, entry.volume_paths[i]);
    text += "\ntime created: ";
    when.append(text, element_or_zero(entry.volume_create_times, i));
    text += "\nserial num:   ";
    append_volume_serial(text, element_or_zero(entry.volume_serials, i));
    text += "\n\n";
    if (i < entry.volume_dirs.size()) {
      number = 0;
      for (const auto& [key, name] : entry.volume_dirs[i]) append_numbered(text, ++number, name);
      text.push_back('\n');
    }
  }

  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return true;
}

}  // namespace kerf
