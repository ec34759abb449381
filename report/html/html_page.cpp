#include "report/html/html_page.h"

#include "lib/text/numbers.h"
#include "report/html/html_escape.h"
#include "report/html/html_page_parts.h"
#include "report/html/html_table.h"

namespace kerf {

namespace {

void append_fact(std::string& out, std::string_view term, std::string_view value_html) {
  out += "<dt>";
  out += term;
  out += "</dt><dd>";
  out += value_html;
  out += "</dd>\n";
}

}  // namespace

HtmlPageRenderer::HtmlPageRenderer(const ReportSettings& settings)
    : m_settings(settings), m_format(settings.date_pattern, settings.time_pattern) {}

void HtmlPageRenderer::open_page(std::string& out) {
  if (m_opened) return;
  m_opened = true;
  out +=
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
      "script-src 'sha256-";
  out += kPageScriptHash;
  out +=
      "'; base-uri 'none'; form-action 'none'\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Prefetch execution report";
  if (!m_settings.hostname.empty()) {
    out += ": ";
    append_html_text(out, m_settings.hostname);
  }
  out += "</title>\n<style>";
  out += kPageStyle;
  out +=
      "</style>\n</head>\n<body>\n<header class=\"page-head\">\n<h1>Prefetch execution report</h1>\n"
      "<p class=\"legend\">Timeline: one row per executable, sorted by first run; "
      "<svg viewBox=\"0 0 14 14\" aria-hidden=\"true\"><circle class=\"key last\" cx=\"7\" cy=\"7\" r=\"5\"/></svg> "
      "last run, "
      "<svg viewBox=\"0 0 14 14\" aria-hidden=\"true\"><circle class=\"key\" cx=\"7\" cy=\"7\" r=\"3.5\"/></svg> "
      "earlier run; point at a mark for its time and Prefetch file. All times UTC.</p>\n"
      "<p class=\"legend\">Files: the path is the one the hash check verified, else the one the file names; "
      "open the line under a file for its earlier runs, loaded files and directories."
      "<span class=\"sort-hint\"> Click a column's heading to sort by it.</span></p>\n";
  if (m_settings.history) {
    out +=
        "<p class=\"legend\">History: the timeline holds every run time any copy of a Prefetch file holds, each once, "
        "the newest as its last run; a mark tells which copies hold it (numbered oldest first). The table lists every "
        "copy read.</p>\n";
  }
  out += "</header>\n";
  append_files_table_start(out);
}

void HtmlPageRenderer::begin(std::string& out) { open_page(out); }

void HtmlPageRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  file.text.reserve(1024 + record.loaded_files.size() * 80);
  append_file_row(file.text, input, record, m_format);
  if (m_settings.history) {
    describe_copy(input, record, file.new_facts<HistoryCopy>());
    return;
  }
  TimelineFacts& facts = file.new_facts<TimelineFacts>();
  append_html_text(facts.executable, record.exe_name);
  // The path: in a tree of several hosts many files share a name.
  append_html_text(facts.prefetch_file, input.path);
  // Every recorded run is a mark, the last run first: two slots that hold
  // the same time are two runs.
  facts.run_times.reserve(1 + record.previous_run_times.size());
  facts.run_times.push_back(record.last_run_time);
  facts.run_times.insert(facts.run_times.end(), record.previous_run_times.begin(), record.previous_run_times.end());
}

void HtmlPageRenderer::emit(const RenderedFile& file, std::string& out) {
  open_page(out);
  out += file.text;
  if (m_settings.history) {
    m_history.add(file.facts<HistoryCopy>());
    return;
  }
  const TimelineFacts& facts = file.facts<TimelineFacts>();
  m_timeline.add(facts.executable, facts.prefetch_file, facts.run_times);
}

void HtmlPageRenderer::failed(const InputFile& input, std::string_view reason, std::string& out) {
  open_page(out);
  if (m_failed.size() > kMaxFailedBytes) {
    ++m_failed_left_out;
    return;
  }
  m_failed += "<li><span class=\"name\">";
  append_html_text(m_failed, input.path);
  m_failed += "</span>: ";
  append_html_text(m_failed, reason);
  m_failed += "</li>\n";
}

void HtmlPageRenderer::append_run_facts(std::string& out, const RunSummary& summary) const {
  out += "<section class=\"run\">\n<h2>Run</h2>\n<dl>\n";
  std::string value;
  if (summary.started.is_valid()) {
    m_format.append_date_time(value, summary.started.filetime(), false);
    value += " UTC";
    append_fact(out, "kerf ran", value);
  }
  if (!m_settings.hostname.empty()) {
    value.clear();
    append_html_text(value, m_settings.hostname);
    append_fact(out, "Host", value);
  }
  if (!m_settings.username.empty()) {
    value.clear();
    append_html_text(value, m_settings.username);
    append_fact(out, "User", value);
  }
  value.clear();
  text::append_decimal(value, summary.handed_on);
  // Handed on, not all Prefetch files: a walk hands on whatever passes the filter.
  value += summary.handed_on == 1 ? " file read: " : " files read: ";
  text::append_decimal(value, summary.reported);
  value += " reported, ";
  if (summary.failed != 0) value += "<a href=\"#failed\" class=\"warn\">";
  text::append_decimal(value, summary.failed);
  value += " failed";
  if (summary.failed != 0) value += "</a>";
  append_fact(out, "Files", value);
  // What the run could not read: the page of an incomplete run says so.
  const auto count = [&](std::uint64_t number, std::string_view one, std::string_view many) {
    if (number == 0) return;
    if (!value.empty()) value += ", ";
    text::append_decimal(value, number);
    value += number == 1 ? one : many;
  };
  value.clear();
  count(summary.unreadable_directories, " directory", " directories");
  count(summary.unreadable_volumes, " image or volume", " images or volumes");
  count(summary.unreadable_ranges, " carved range", " carved ranges");
  if (!value.empty()) append_fact(out, "Not read", "<span class=\"warn\">" + value + "</span>");
  if (summary.carved_streams != 0) {
    value.clear();
    count(summary.carved_streams, " stream scanned", " streams scanned");
    count(summary.hits_not_decoded, " hit did not decode", " hits did not decode");
    count(summary.repeated_finds, " find repeated a reported file", " finds repeated reported files");
    append_fact(out, "Carved", value);
  }
  out += "</dl>\n</section>\n";
}

// -history: one row of marks per Prefetch file's history, a mark for each
// time any copy holds, saying which copies hold it.
void HtmlPageRenderer::add_histories_to_timeline() {
  std::string name;
  std::string executable;
  std::vector<std::uint64_t> times;
  std::vector<std::string> notes;
  m_history.for_each([&](const HistoryRecord& record) {
    name.clear();
    executable.clear();
    append_html_text(name, record.name);
    append_html_text(executable, record.executable);
    times.clear();
    notes.clear();
    for (const HistoryTime& time : record.run_times) {
      times.push_back(time.time);
      std::string& note = notes.emplace_back(time.copies.size() == 1 ? "held by copy " : "held by copies ");
      for (std::size_t i = 0; i < time.copies.size(); ++i) {
        if (i != 0) note += ", ";
        text::append_decimal(note, time.copies[i]);
      }
      note += " of ";
      text::append_decimal(note, record.copies.size());
      note += " (";
      for (std::size_t i = 0; i < time.copies.size(); ++i) {
        if (i != 0) note += "; ";
        append_html_text(note, record.copies[time.copies[i] - 1].path);
      }
      note += ")";
    }
    m_timeline.add(executable, name, times, notes);
  });
}

void HtmlPageRenderer::end(const RunSummary& summary, std::string& out) {
  open_page(out);
  append_files_table_end(out, summary.reported == 0);
  append_run_facts(out, summary);
  out += "<section class=\"timeline\">\n<h2>Execution timeline</h2>\n";
  if (m_settings.history) add_histories_to_timeline();
  m_timeline.write(out, m_format);
  out += "</section>\n";
  if (summary.failed != 0) {
    out += "<section class=\"failed\" id=\"failed\">\n<h2>Failed files</h2>\n<ul>\n";
    out += m_failed;
    out += "</ul>\n";
    if (m_failed_left_out != 0) {
      out += "<p class=\"note warn\">";
      text::append_decimal(out, m_failed_left_out);
      out += " more failed files are not listed here (the page keeps at most 8 MiB of them)";
      out += m_settings.failures_named ? "; kerf named each on standard error.</p>\n"
                                       : "; -quiet kept kerf from naming them on standard error.</p>\n";
    }
    out += "</section>\n";
  }
  out += "<script>";
  out += kPageScript;
  out += "</script>\n</body>\n</html>\n";
}

}  // namespace kerf
