#include "report/csv_report.h"

#include <string>
#include <string_view>
#include <vector>

#include "lib/csv_table.h"
#include "report/report_text.h"

namespace kerf {

namespace {

using qv::CsvCell;
using qv::CsvColumn;

// With -pf_path the first column holds the whole path: its width grows with
// the directory part of the first file's path.
unsigned file_name_width(const kerf_user_context& options) {
  if (!options.m_show_prefetch_path) return 42;
  const std::string& path = options.m_input_path;
  std::size_t slash = path.rfind('\\');
  if (slash == std::string::npos) slash = path.rfind('/');
  if (slash == std::string::npos) return 42;
  return static_cast<unsigned>(slash + 43);
}

void build_columns(kerf_user_context& options) {
  std::vector<CsvColumn>& columns = options.m_columns;
  columns.clear();
  const auto date_width = static_cast<unsigned>(options.m_date_format.size());
  const auto time_width = static_cast<unsigned>(options.m_time_format.size());
  const unsigned date_time_width = date_width + time_width + 1;
  const auto add = [&](std::string name, unsigned width,
                       CsvColumn::Kind kind = CsvColumn::Kind::plain) {
    columns.push_back(CsvColumn{kind, width, std::move(name)});
  };

  add("prefetch file name", file_name_width(options));
  add("app name", 30);
  add("times ran", 9);
  if (options.m_pair_datetime) {
    add("last run [UTC]", date_time_width);
    add("modify date [UTC]", date_time_width);
    add("access date [UTC]", date_time_width);
    add("changed date [UTC]", date_time_width);
  } else {
    for (const char* name : {"last run", "mdate", "adate", "cdate"}) {
      add(name, date_width);
      add("time-UTC", time_width, CsvColumn::Kind::time_part);
    }
  }
  add("path/appname", 90);
  if (options.m_verbose && options.m_no_whitespace) {
    for (const char* name : {"Num Vols", "volume(s)", "volume serial(s)",
                             "volume date/time(s) (UTC)", "Num modules", "Module list"}) {
      add(name, 0);
    }
  }
  add("previous dates run", date_time_width);
  if (!options.m_username.empty()) add("user acct", 9);
  if (!options.m_hostname.empty()) add("host name", 9);

  if (options.m_no_whitespace) {
    for (CsvColumn& column : columns) column.width = 0;
  }
}

// The volume columns of the verbose compact look: paths, serials and
// creation times, each list joined by "; ".
std::size_t set_volume_cells(qv::CsvRow& row, std::size_t index, const PrefetchEntry& entry,
                             DateTimeText& when, std::string& text) {
  const auto set_joined_cell = [&](auto append_volume) {
    text.clear();
    append_joined(text, entry.volume_paths.size(), append_volume);
    index += qv::set_text_cell(row, index, text, 0);
  };
  set_joined_cell([&](std::string& out, std::size_t i) { out += entry.volume_paths[i]; });
  set_joined_cell([&](std::string& out, std::size_t i) {
    append_volume_serial(out, element_or_zero(entry.volume_serials, i));
  });
  set_joined_cell([&](std::string& out, std::size_t i) {
    when.append(out, element_or_zero(entry.volume_create_times, i));
  });
  return index;
}

}  // namespace

bool write_csv_entry(std::ostream& out, kerf_user_context& options) {
  if (!options.m_out_csv) return false;
  if (options.m_header_pending || options.m_columns.empty()) build_columns(options);
  if (options.m_header_pending) {
    qv::write_csv_header(out, options.m_columns, options, options.m_header_pending);
  }

  const PrefetchEntry& entry = options.m_entry;
  qv::CsvRow row(options.m_columns.size(), options.m_quoted_fields ? CsvCell::kQuoted : 0);
  const CsvCell::Kind date_time_kind =
      options.m_pair_datetime ? CsvCell::Kind::date_time_paired : CsvCell::Kind::date_time_split;
  DateTimeText when(options.m_date_format, options.m_time_format);
  std::string text;

  std::size_t index = 0;
  index += qv::set_text_cell(
      row, index, options.m_show_prefetch_path ? options.m_input_path : options.m_input_name, 0);
  index += qv::set_text_cell(row, index, entry.exe_name, 0);
  index += qv::set_number_cell(row, index, entry.run_count, CsvCell::Kind::number, 0);
  for (const std::uint64_t stamp : {entry.last_run_time, entry.source_stamps.stamp_m,
                                    entry.source_stamps.stamp_a, entry.source_stamps.stamp_b}) {
    index += qv::set_number_cell(row, index, stamp, date_time_kind, 0);
  }
  index += qv::set_text_cell(row, index, entry.app_path, 0);
  if (options.m_verbose && options.m_no_whitespace) {
    index += qv::set_number_cell(row, index, entry.volume_paths.size(), CsvCell::Kind::number, 0);
    index = set_volume_cells(row, index, entry, when, text);
    index += qv::set_number_cell(row, index, entry.loaded_files.size(), CsvCell::Kind::number, 0);
    text.clear();
    append_joined(text, entry.loaded_files.begin(), entry.loaded_files.end(),
                  [](std::string& out, const auto& file) { out += file.second; });
    index += qv::set_text_cell(row, index, text, 0);
  }
  text.clear();
  append_joined(text, entry.prev_run_times.rbegin(), entry.prev_run_times.rend(),
                [&](std::string& out, std::uint64_t time) { when.append(out, time); });
  index += qv::set_text_cell(row, index, text, 0);
  if (!options.m_username.empty()) index += qv::set_text_cell(row, index, options.m_username, 0);
  if (!options.m_hostname.empty()) qv::set_text_cell(row, index, options.m_hostname, 0);

  qv::write_csv_row(out, row, options.m_columns, options);
  return true;
}

}  // namespace kerf
