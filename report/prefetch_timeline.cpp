#include "report/prefetch_timeline.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/bodyfile_record.h"
#include "lib/l2t_record.h"
#include "lib/number_text.h"
#include "lib/string_ops.h"
#include "lib/unix_time_quad.h"
#include "report/report_text.h"

namespace kerf {

namespace {

// The B stamp of the file's own lines: a file that ran once was created by
// that run, so its last run time stands for the creation.
std::uint64_t birth_stamp(const PrefetchEntry& entry) {
  return entry.run_count == 1 ? entry.last_run_time : entry.source_stamps.stamp_b;
}

std::string_view after_last_backslash(std::string_view text) {
  const std::size_t slash = text.rfind('\\');
  return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

// "Module list: " and the loaded files: all of them in file order with
// -verbose, otherwise each base name once (the spelling met first), ordered
// by its lower-cased form.
void append_module_list(std::string& desc, const PrefetchEntry& entry, bool verbose) {
  if (entry.loaded_files.empty()) return;
  desc += "Module list: ";
  if (verbose) {
    append_joined(desc, entry.loaded_files.begin(), entry.loaded_files.end(),
                  [](std::string& out, const auto& file) { out += file.second; });
    return;
  }
  std::vector<std::pair<std::string, std::string_view>> bases;  // lower-cased, as written
  bases.reserve(entry.loaded_files.size());
  for (const auto& [offset, name] : entry.loaded_files) {
    const std::string_view base = after_last_backslash(name);
    std::string lowered(base);
    qv::to_lower(lowered);
    bases.emplace_back(std::move(lowered), base);
  }
  // Stable, so that of equal names the one met first in file order leads.
  std::stable_sort(bases.begin(), bases.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const auto last = std::unique(bases.begin(), bases.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; });
  append_joined(desc, bases.begin(), last,
                [](std::string& out, const auto& base) { out += base.second; });
}

void append_run_notes(std::string& notes, const PrefetchEntry& entry, DateTimeText& when) {
  notes += "Run count: ";
  qv::append_decimal(notes, entry.run_count);
  if (entry.prev_run_times.empty()) return;
  notes += " [Previous time";
  if (entry.run_count > 2) notes.push_back('s');
  notes += " run: ";
  append_joined(notes, entry.prev_run_times.rbegin(), entry.prev_run_times.rend(),
                [&](std::string& out, std::uint64_t time) { when.append(out, time); });
  notes.push_back(']');
}

void append_volume_list(std::string& extra, const PrefetchEntry& entry, DateTimeText& when) {
  if (entry.volume_paths.empty()) return;
  extra += "Volume name; serial#; date: ";
  append_joined(extra, entry.volume_paths.size(), [&](std::string& out, std::size_t i) {
    out.push_back('[');
    out += entry.volume_paths[i];
    out += "; ";
    append_volume_serial(out, element_or_zero(entry.volume_serials, i));
    out += "; ";
    when.append(out, element_or_zero(entry.volume_create_times, i));
    out.push_back(']');
  });
}

}  // namespace

bool write_l2t_entry(std::ostream& out, kerf_user_context& options) {
  if (!options.m_out_csvl2t) return false;
  const PrefetchEntry& entry = options.m_entry;
  DateTimeText when(options.m_date_format, options.m_time_format);

  qv::L2tRecord record;
  qv::load_settings(record, options, entry.format_label);
  record.stamps.set_stamps(entry.source_stamps.stamp_m, entry.source_stamps.stamp_a,
                           entry.last_run_time, birth_stamp(entry),
                           qv::TimelineStamps::kFiletime);
  record.stamps.set_labels("Last Modified", "Last Access", "Last Run", "Created");
  record.source = "PREFETCH";
  record.filename = options.m_input_path;
  record.format.assign(after_last_backslash(options.m_progname));
  record.format += " (quorvex)";
  record.short_text = options.m_input_name;
  record.short_text += " [";
  record.short_text += entry.exe_name;
  record.short_text += " executed]";
  append_module_list(record.desc, entry, options.m_verbose);
  append_run_notes(record.notes, entry, when);
  append_volume_list(record.extra, entry, when);
  qv::write_l2t_record(options.m_header_pending, out, record);

  if (entry.prev_run_times.empty()) return true;
  std::string last_run_desc = "Modules for last run are at record w/ same name at time: ";
  when.append(last_run_desc, entry.last_run_time);
  // Each older run is the file's record with its run-specific fields
  // replaced; they are the same fields every time, so one record serves all.
  record.stamps.set_labels("Modified", "Access", "Run", "Created");
  for (auto it = entry.prev_run_times.rbegin(); it != entry.prev_run_times.rend(); ++it) {
    record.stamps.set_stamps(*it, *it, *it, 0, qv::TimelineStamps::kFiletime);
    record.desc = last_run_desc;
    record.extra.clear();
    record.notes = "Not last time run, but a previous time run.";
    qv::write_l2t_record(options.m_header_pending, out, record);
  }
  return true;
}

bool write_bodyfile_entry(std::ostream& out, kerf_user_context& options) {
  if (!options.m_out_bodyfile) return false;
  const PrefetchEntry& entry = options.m_entry;
  const auto set_unix_stamps = [](qv::BodyfileRecord& record, std::uint64_t m, std::uint64_t a,
                                  std::uint64_t c, std::uint64_t b) {
    const auto quad = qv::unix_time_quad::convert(m, a, c, b, qv::type_time::filetime);
    record.stamps.set_stamps(quad.seconds[0], quad.seconds[1], quad.seconds[2], quad.seconds[3],
                             qv::TimelineStamps::kUnixTime);
  };

  qv::BodyfileRecord record;
  set_unix_stamps(record, entry.source_stamps.stamp_m, entry.source_stamps.stamp_a,
                  entry.last_run_time, birth_stamp(entry));
  record.size = entry.source_size;
  std::string name_head = options.m_input_name;
  name_head += " (";
  name_head += entry.format_label;
  name_head += ")";
  record.name = name_head;
  record.name += "; run count: ";
  qv::append_decimal(record.name, entry.run_count);
  record.name += "; app run: ";
  record.name += entry.app_path;
  qv::write_bodyfile_record(options.m_header_pending, out, record);

  for (auto it = entry.prev_run_times.rbegin(); it != entry.prev_run_times.rend(); ++it) {
    set_unix_stamps(record, *it, *it, *it, entry.source_stamps.stamp_b);
    record.name = name_head;
    record.name += "; not last time run - but prevtime; app run: ";
    record.name += entry.app_path;
    qv::write_bodyfile_record(options.m_header_pending, out, record);
  }
  return true;
}

}  // namespace kerf
