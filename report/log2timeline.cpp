#include "report/log2timeline.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/text/ascii.h"
#include "lib/text/escape.h"
#include "lib/text/line_breaks.h"
#include "lib/text/numbers.h"
#include "report/file_facts.h"
#include "report/report_text.h"
#include "report/timeline_events.h"

namespace kerf {

namespace {

constexpr std::uint32_t kTimelineVersion = 2;

// Ends the notes of every line of a Prefetch file that was found among the
// deleted entries of a volume of a disk image.
constexpr std::string_view kDeletedNote = " [Deleted file: its MFT entry is free]";

std::string_view after_last_backslash(std::string_view text) {
  const std::size_t slash = text.rfind('\\');
  return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

// "Module list: " and the loaded files: all of them in file order with
// -verbose, otherwise each base name once (the spelling met first), ordered
// by its lower-cased form.
void append_module_list(std::string& desc, const PrefetchRecord& record, bool verbose) {
  if (record.loaded_files.empty()) return;
  desc += "Module list: ";
  if (verbose) {
    append_joined(desc, record.loaded_files, [](std::string& out, std::string_view name) { out += name; });
    return;
  }
  std::vector<std::pair<std::string, std::string_view>> bases;  // lower-cased, as written
  bases.reserve(record.loaded_files.size());
  for (const std::string_view name : record.loaded_files) {
    const std::string_view base = after_last_backslash(name);
    bases.emplace_back(text::lowered(base), base);
  }
  // Stable, so that of equal names the one met first in file order leads.
  std::stable_sort(bases.begin(), bases.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  bases.erase(std::unique(bases.begin(), bases.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
              bases.end());
  append_joined(desc, bases, [](std::string& out, const auto& base) { out += base.second; });
}

// A carved find: where it starts, and for one cut short how far it goes.
std::string carved_note(const PrefetchRecord& record) {
  if (!record.source.carved_at) return {};
  std::string note = " [Carved from byte ";
  text::append_decimal(note, *record.source.carved_at);
  note.push_back(']');
  if (record.cut) {
    if (record.cut->read < record.cut->declared) {
      note += " [PARTIAL: only ";
      text::append_decimal(note, record.cut->read);
      note += " of ";
      text::append_decimal(note, record.cut->declared);
      note += " bytes read";
    } else {
      note += " [PARTIAL: overwritten after its header";
    }
    if (record.cut->loaded_files) note += "; loaded files not read";
    if (record.cut->volumes) note += "; volumes not read";
    note.push_back(']');
  }
  return note;
}

}  // namespace

// The text fields of one line; one set serves the file's lines, and, with
// the run-specific fields replaced, the lines of its older runs.
struct Log2TimelineRenderer::Fields {
  MacbStamps stamps;
  std::string sourcetype;
  std::string short_text;
  std::string desc;
  std::string filename;
  std::string notes;
  std::string extra;
};

Log2TimelineRenderer::Log2TimelineRenderer(const ReportSettings& settings)
    : m_settings(settings),
      m_format(settings.date_pattern, settings.time_pattern),
      m_format_field(std::string(after_last_backslash(settings.program_name)) + " (quorvex)") {}

// The forbidden separator character replaced and line breaks marked in the
// free-text fields, in place: names in the short text and the file name come
// from the examined files, so they are marked like the others.
void Log2TimelineRenderer::clean_free_text(Fields& fields) const {
  const char forbidden = m_settings.forbidden_char;
  const bool replace = forbidden != 0 && m_settings.forbidden_substitute != 0;
  for (std::string* field : {&fields.short_text, &fields.desc, &fields.filename, &fields.notes, &fields.extra}) {
    if (replace) std::replace(field->begin(), field->end(), forbidden, m_settings.forbidden_substitute);
    text::mark_line_breaks(*field);
  }
}

void Log2TimelineRenderer::append_lines(const Fields& fields, std::string& out) const {
  const std::string& sep = m_settings.separator;
  // A blank separator is itself the blank before the time.
  const bool blank_before_time = !m_settings.no_whitespace && !is_blank_separator(sep);
  // Text fields are quoted with -enable_quoted_csv_fields, and otherwise
  // when a quote or the separator in them would break the line apart; so
  // are a date, a time and the version when the separator is in them.
  const auto field = [&](std::string& to, std::string_view text) {
    to.append(sep);
    const std::size_t start = to.size();
    text::append_escaped(to, text);
    quote_field(to, start, sep, m_settings.quoted_fields);
  };
  // From the user on, every line of the file says the same (the module list
  // in `desc` among it): written once.
  std::string tail;
  field(tail, m_settings.username);
  field(tail, m_settings.hostname);
  field(tail, fields.short_text);
  field(tail, fields.desc);
  tail.append(sep);
  const std::size_t version_start = tail.size();
  text::append_decimal(tail, kTimelineVersion);
  quote_field(tail, version_start, sep, false);
  field(tail, fields.filename);
  field(tail, "");  // inode
  field(tail, fields.notes);
  field(tail, m_format_field);
  field(tail, fields.extra);
  tail.push_back('\n');

  std::string date;
  std::string clock;
  for (const TimelineEvent& event : build_events(fields.stamps)) {
    date.clear();
    clock.clear();
    m_format.append_date(date, event.time);
    m_format.append_time(clock, event.time);
    std::size_t start = out.size();
    if (m_settings.pair_datetime) {
      if (blank_before_time) out.push_back(' ');
      out.append(date).append(1, ' ').append(clock);
    } else {
      out.append(date);
      quote_field(out, start, sep, false);
      out.append(sep);
      start = out.size();
      if (blank_before_time) out.push_back(' ');
      out.append(clock);
    }
    quote_field(out, start, sep, false);
    field(out, "UTC");
    field(out, event.macb);
    field(out, "PREFETCH");
    field(out, fields.sourcetype);
    field(out, event.type);
    out += tail;
  }
}

void Log2TimelineRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  Fields fields;
  fields.stamps.times = {record.source.modified, record.source.accessed, record.last_run_time, birth_stamp(record)};
  fields.stamps.labels = {"Last Modified", "Last Access", "Last Run", "Created"};
  fields.sourcetype = record.format_label();
  fields.filename = input.path;
  fields.short_text = input.name + " [" + record.exe_name + " executed]";
  append_module_list(fields.desc, record, m_settings.verbose);

  fields.notes = "Run count: ";
  text::append_decimal(fields.notes, record.run_count);
  if (!record.previous_run_times.empty()) {
    fields.notes += " [Previous time";
    if (record.run_count > 2) fields.notes.push_back('s');
    fields.notes += " run: ";
    append_joined(fields.notes, record.previous_run_times,
                  [&](std::string& out, std::uint64_t time) { m_format.append_date_time(out, time); });
    fields.notes.push_back(']');
  }
  const bool deleted = record.source.in_volume && record.source.deleted;
  // With -vss, a file the volume and its stores hold with the same bytes is
  // one record: the notes say how many copies it stands for.
  std::string copies_note;
  if (input.copies.size() > 1) {
    copies_note = " [Same bytes in ";
    text::append_decimal(copies_note, input.copies.size());
    copies_note += " copies: the volume and its shadow copies]";
  }
  if (deleted) fields.notes += kDeletedNote;
  fields.notes += copies_note;
  fields.notes += carved_note(record);
  if (!record.volumes.empty()) {
    fields.extra = "Volume name; serial#; date: ";
    append_joined(fields.extra, record.volumes, [&](std::string& out, const Volume& volume) {
      out.push_back('[');
      out += volume.device_path;
      out += "; ";
      append_volume_serial(out, volume.serial);
      out += "; ";
      m_format.append_date_time(out, volume.created);
      out.push_back(']');
    });
  }
  clean_free_text(fields);
  append_lines(fields, file.text);

  if (record.previous_run_times.empty()) return;
  std::string last_run_desc = "Modules for last run are at record w/ same name at time: ";
  m_format.append_date_time(last_run_desc, record.last_run_time);
  // Each older run is the file's line with its run-specific fields replaced.
  // The fields kept were cleaned already and are cleaned again with the
  // others, as every line's fields are.
  fields.stamps.labels = {"Modified", "Access", "Run", "Created"};
  for (const std::uint64_t time : record.previous_run_times) {
    fields.stamps.times = {time, time, time, 0};
    fields.desc = last_run_desc;
    fields.extra.clear();
    fields.notes = "Not last time run, but a previous time run.";
    if (deleted) fields.notes += kDeletedNote;
    fields.notes += copies_note;
    fields.notes += carved_note(record);
    clean_free_text(fields);
    append_lines(fields, file.text);
  }
}

void Log2TimelineRenderer::emit(const RenderedFile& file, std::string& out) {
  if (m_header_pending) {
    m_header_pending = false;
    static constexpr std::string_view kNames[] = {"timezone", "MACB",    "source",   "sourcetype", "type",
                                                  "user",     "host",    "short",    "desc",       "version",
                                                  "filename", "inode",   "notes",    "format",     "extra"};
    const std::string& sep = m_settings.separator;
    const auto name = [&](std::string_view text) {
      const std::size_t start = out.size();
      out.append(text);
      quote_field(out, start, sep, false);
    };
    if (m_settings.pair_datetime) {
      name("date/time");
    } else {
      name("date");
      out.append(sep);
      name("time");
    }
    for (const std::string_view column : kNames) {
      out.append(sep);
      name(column);
    }
    out.push_back('\n');
  }
  out += file.text;
}

}  // namespace kerf
