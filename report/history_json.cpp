// The two JSON Lines layouts of a history: one record per Prefetch file, and
// one Timesketch event per run time.
#include "report/history_layouts.h"
#include "report/json_writer.h"
#include "lib/text/numbers.h"

namespace kerf {

void append_history_json(std::string& out, const HistoryRecord& record, const ReportSettings& settings) {
  JsonLineWriter json(out);
  json.begin_object();
  json.key("name");
  json.text(record.name);
  json.key("executable");
  json.text(record.executable);
  json.key("hash");
  json.hex32(record.hash);
  json.key("run_times");
  json.begin_array();
  for (const HistoryTime& time : record.run_times) {
    json.begin_object();
    json.key("time");
    json.time(time.time);
    json.key("copies");
    json.begin_array();
    for (const std::uint32_t number : time.copies) json.number(number);
    json.end_array();
    json.end_object();
  }
  json.end_array();
  json.key("copies");
  json.begin_array();
  for (const HistoryCopy& copy : record.copies) {
    json.begin_object();
    json.store_members(copy.store, copy.store_created.value_or(0));
    json.key("run_count");
    json.number(copy.run_count);
    json.key("deleted");
    json.optional_boolean(copy.deleted);
    json.key("path");
    json.text(copy.path);
    json.key("modified");
    json.time(copy.modified);
    json.end_object();
  }
  json.end_array();
  json.key("count_went_down");
  json.optional_boolean(record.count_went_down);
  json.key("runs_beyond_eight");
  json.optional_boolean(record.runs_beyond_eight);
  json.key("last_copy_deleted");
  json.optional_boolean(record.last_copy_deleted);
  json.text_member_if_given("hostname", settings.hostname);
  json.text_member_if_given("username", settings.username);
  json.end_object();
  json.end_line();
}

void append_history_events(std::string& out, const HistoryRecord& record, const ReportSettings& settings) {
  JsonLineWriter json(out);
  bool newest = true;
  for (const HistoryTime& time : record.run_times) {
    // A stamp that is no time can't be placed on a timeline.
    if (!has_json_time(time.time)) continue;
    std::string message = record.executable + " ran (held by ";
    text::append_decimal(message, time.copies.size());
    message += " of ";
    text::append_decimal(message, record.copies.size());
    message += record.copies.size() == 1 ? " copy of " : " copies of ";
    message += record.name;
    message.push_back(')');
    json.begin_object();
    json.key("message");
    json.text(message);
    json.key("datetime");
    json.time(time.time);
    json.key("timestamp_desc");
    json.text(newest ? "Last Time Executed" : "Previous Time Executed");
    json.key("data_type");
    json.text("windows:prefetch:execution");
    json.key("executable");
    json.text(record.executable);
    json.key("hash");
    json.hex32(record.hash);
    json.key("name");
    json.text(record.name);
    // The event stands alone on a timeline: each copy that holds the time
    // is named, not numbered.
    json.key("copies");
    json.begin_array();
    for (const std::uint32_t number : time.copies) {
      const HistoryCopy& copy = record.copies[number - 1];
      json.begin_object();
      json.store_members(copy.store, copy.store_created.value_or(0));
      json.key("path");
      json.text(copy.path);
      json.end_object();
    }
    json.end_array();
    json.key("copy_count");
    json.number(record.copies.size());
    json.text_member_if_given("hostname", settings.hostname);
    json.text_member_if_given("username", settings.username);
    json.end_object();
    json.end_line();
    newest = false;
  }
}

}  // namespace kerf
