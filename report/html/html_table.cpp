#include "report/html/html_table.h"

#include <string_view>

#include "lib/text/numbers.h"
#include "lib/time/instant.h"
#include "report/file_facts.h"
#include "report/html/html_escape.h"
#include "report/report_text.h"

namespace kerf {

namespace {

// Twenty digits hold any 64-bit value, so every key of a column is as long
// as the others and text order is number order.
void append_sort_key(std::string& out, std::uint64_t value) {
  out += " data-k=\"";
  text::append_zero_padded(out, value, 20);
  out.push_back('"');
}

// A run time as the examiner's date and time format shows it; a value that
// is no time in the years 1900 to 3000 shows raw, so that nothing a damaged
// file holds is hidden.
void append_time(std::string& out, std::uint64_t filetime, const time::DateTimeFormat& format) {
  if (filetime == 0) {
    out += "none";
  } else if (time::Instant::from_filetime(filetime).is_valid()) {
    format.append_date_time(out, filetime);
  } else {
    out += "not a valid time (0x";
    text::append_hex(out, filetime, 16, true);
    out.push_back(')');
  }
}

void append_hash_check(std::string& out, const InputFile& input, const PrefetchRecord& record) {
  out += record.hash_check.verified ? "<td class=\"verified\">verified" : "<td>unverified";
  if (record.stored_hash != 0) {
    out += "<small>stored hash ";
    text::append_hex(out, record.stored_hash, 8, true);
    out += "</small>";
    const NameHashMatch match = name_hash_match(input, record);
    if (match.contradicts()) {
      out += "<small class=\"warn\">the file's name says ";
      text::append_hex(out, *match.name_hash, 8, true);
      out += ": renamed?</small>";
    }
  }
  out += "</td>";
}

void append_name_list(std::string& out, const NameList& names) {
  if (names.empty()) return;
  out += "<ol>";
  for (const std::string_view name : names) {
    out += "<li>";
    append_html_text(out, name);
    out += "</li>";
  }
  out += "</ol>";
}

// The loaded files of a file read from a disk image, each deleted or reused
// one marked, and the path an in-use one has now when it moved.
void append_loaded_files_in_image(std::string& out, const PrefetchRecord& record) {
  if (record.loaded_files.empty()) return;
  out += "<ol>";
  for (std::size_t i = 0; i < record.loaded_files.size(); ++i) {
    out += "<li>";
    append_html_text(out, record.loaded_files[i]);
    const MftLookup fate = loaded_file_fate(record, i);
    if (fate.state == MftState::deleted) {
      out += " <span class=\"warn\">[deleted]</span>";
    } else if (fate.state == MftState::reused) {
      out += " <span class=\"warn\">[reused: another file holds its MFT entry]</span>";
    } else if (const std::string_view now = moved_to(record, i, fate); !now.empty()) {
      out += " [in use, now ";
      append_html_text(out, now);
      out.push_back(']');
    }
    out += "</li>";
  }
  out += "</ol>";
}

// The row under the file's cells, across the table: what opens.
void append_contents(std::string& out, const PrefetchRecord& record, const time::DateTimeFormat& format) {
  std::size_t directories = 0;
  for (const Volume& volume : record.volumes) directories += volume.directories.size();
  out += "<tr class=\"more\"><td colspan=\"8\"><details><summary>";
  text::append_decimal(out, record.previous_run_times.size());
  out += record.previous_run_times.size() == 1 ? " earlier run, " : " earlier runs, ";
  const bool files_cut = record.cut && record.cut->loaded_files;
  const bool volumes_cut = record.cut && record.cut->volumes;
  if (files_cut) {
    out += "loaded files not read, ";
  } else {
    text::append_decimal(out, record.loaded_files.size());
    out += record.loaded_files.size() == 1 ? " loaded file, " : " loaded files, ";
  }
  if (volumes_cut) {
    out += "directories not read</summary>\n";
  } else {
    text::append_decimal(out, directories);
    out += directories == 1 ? " directory</summary>\n" : " directories</summary>\n";
  }
  if (!record.previous_run_times.empty()) {
    out += "<p>Earlier runs: ";
    append_joined(out, record.previous_run_times,
                  [&](std::string& text, std::uint64_t time) { append_time(text, time, format); });
    out += "</p>";
  }
  out += "<p>Loaded files</p>";
  if (record.source.in_volume) {
    append_loaded_files_in_image(out, record);
  } else {
    append_name_list(out, record.loaded_files);
  }
  for (const Volume& volume : record.volumes) {
    out += "<p>Directories on ";
    append_html_text(out, volume.device_path);
    out += ", serial ";
    append_volume_serial(out, volume.serial);
    out += ", created ";
    append_time(out, volume.created, format);
    out += "</p>";
    append_name_list(out, volume.directories);
  }
  out += "</details></td></tr>";
}

}  // namespace

void append_files_table_start(std::string& out) {
  out +=
      "<section class=\"files\" id=\"files-section\">\n<h2>Files</h2>\n"
      "<div class=\"wide\"><table id=\"files\">\n<thead><tr><th>Prefetch file</th><th>Executable</th>"
      "<th>Runs</th><th>Last run (UTC)</th><th>Path</th><th>Hash check</th><th>Format</th><th>Volumes</th>"
      "</tr></thead>\n";
}

void append_file_row(std::string& out, const InputFile& input, const PrefetchRecord& record,
                     const time::DateTimeFormat& format) {
  out += "<tbody><tr><td title=\"";
  append_html_text(out, input.path);
  out += "\">";
  append_html_text(out, input.name);
  if (record.source.in_volume && record.source.deleted) {
    out += "<small class=\"warn\">deleted: its MFT entry is free</small>";
  }
  if (record.cut && record.cut->read < record.cut->declared) {
    out += "<small class=\"warn\">PARTIAL: only ";
    text::append_decimal(out, record.cut->read);
    out += " of ";
    text::append_decimal(out, record.cut->declared);
    out += " bytes could be read</small>";
  } else if (record.cut) {
    out += "<small class=\"warn\">PARTIAL: overwritten after its header</small>";
  }
  out += "</td><td>";
  append_html_text(out, record.exe_name);
  out += "</td><td";
  append_sort_key(out, record.run_count);
  out.push_back('>');
  text::append_decimal(out, record.run_count);
  out += "</td><td";
  append_sort_key(out, record.last_run_time);
  out.push_back('>');
  append_time(out, record.last_run_time, format);
  // Windows writes the run times newest first; when it did not, runs of
  // the program overlapped or the clock was set back.
  if (!record.run_times_in_order) {
    out += "<small class=\"warn\">run times stored out of order: overlapping runs or a clock change</small>";
  }
  out += "</td><td class=\"path\">";
  append_html_text(out, record.hash_check.verified ? record.hash_check.device_path : record.app_path);
  out += "</td>";
  append_hash_check(out, input, record);
  out += "<td";
  append_sort_key(out, record.format_version);
  out.push_back('>');
  out += record.format_label();
  if (record.container != ContainerKind::none) {
    out += ", ";
    out += container_label(record.container);
  }
  if (const std::optional<bool> checksum = record.checksum_verdict()) {
    out += *checksum ? "<small>checksum matches</small>" : "<small class=\"warn\">checksum mismatch</small>";
  }
  out += "</td><td class=\"path\">";
  for (const Volume& volume : record.volumes) {
    out += "<div>";
    append_html_text(out, volume.device_path);
    out += " <small>";
    append_volume_serial(out, volume.serial);
    out += "</small></div>";
  }
  out += "</td></tr>";
  append_contents(out, record, format);
  out += "</tbody>\n";
}

void append_files_table_end(std::string& out, bool no_file_reported) {
  out += "</table></div>\n";
  if (no_file_reported) out += "<p class=\"note\">No file was reported.</p>\n";
  out += "</section>\n";
}

}  // namespace kerf
