#include "report/timesketch.h"

#include <string>
#include <vector>

#include "lib/text/numbers.h"
#include "report/json_writer.h"

namespace kerf {

namespace {

// One line of the timeline.
struct Event {
  std::uint64_t time = 0;
  std::string_view description;  // Timesketch's timestamp_desc
  std::string_view data_type;
  std::string message;
  const Volume* volume = nullptr;  // for a volume's creation
};

// "2016-01-11 22:08:20": a time as the messages show it, to the second.
void append_message_time(std::string& out, std::uint64_t filetime) {
  const std::size_t start = out.size();
  append_json_time(out, filetime);  // "yyyy-mm-ddThh:mm:ss.fffffffZ"
  out.resize(start + 19);
  out[start + 10] = ' ';
}

// "(2 runs; last 2016-01-11 22:08:20)": how often the executable ran and
// when it ran last.
std::string run_summary(const PrefetchRecord& record) {
  std::string summary = "(";
  text::append_decimal(summary, record.run_count);
  summary += record.run_count == 1 ? " run" : " runs";
  if (has_json_time(record.last_run_time)) {
    summary += "; last ";
    append_message_time(summary, record.last_run_time);
  }
  summary.push_back(')');
  return summary;
}

// The run times, the last run first and then the older ones as stored, then
// the volumes in the file's order. A stamp that is no time can't be placed
// on a timeline and gives no event.
std::vector<Event> build_events(const PrefetchRecord& record) {
  std::vector<Event> events;
  const std::string summary = run_summary(record);
  if (has_json_time(record.last_run_time)) {
    events.push_back({record.last_run_time, "Last Time Executed", "windows:prefetch:execution",
                      record.exe_name + " ran " + summary});
  }
  for (const std::uint64_t time : record.previous_run_times) {
    if (!has_json_time(time)) continue;
    events.push_back({time, "Previous Time Executed", "windows:prefetch:execution",
                      record.exe_name + " ran before its last run " + summary});
  }
  for (const Volume& volume : record.volumes) {
    if (!has_json_time(volume.created)) continue;
    std::string message = "Volume " + volume.device_path + " (serial ";
    text::append_hex(message, volume.serial, 8, true);
    message += ") created; used by " + record.exe_name;
    events.push_back({volume.created, "Volume Creation Time", "windows:volume:creation", std::move(message), &volume});
  }
  return events;
}

}  // namespace

void TimesketchRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  JsonLineWriter json(file.text);
  // Where the executable ran from: the path the stored hash proves, when it
  // proves one.
  const std::string_view path = record.hash_check.verified ? record.hash_check.device_path : record.app_path;

  for (const Event& event : build_events(record)) {
    json.begin_object();
    json.key("message");
    json.text(event.message);
    json.key("datetime");
    json.time(event.time);
    json.key("timestamp_desc");
    json.text(event.description);
    json.key("data_type");
    json.text(event.data_type);
    json.key("executable");
    json.text(record.exe_name);
    json.key("path");
    json.text(path);
    json.key("run_count");
    json.number(record.run_count);
    json.key("hash");
    json.hex32(record.stored_hash);
    json.key("prefetch_file");
    json.text(input.path);
    // Only a file read from a volume of a disk image can have been deleted.
    if (record.source.in_volume && record.source.deleted) {
      json.key("deleted");
      json.optional_boolean(true);
    }
    if (record.source.carved_at) {
      json.key("carved_offset");
      json.number(*record.source.carved_at);
      json.key("partial");
      json.optional_boolean(record.cut.has_value());
    }
    if (event.volume != nullptr) {
      json.key("volume_device_path");
      json.text(event.volume->device_path);
      json.key("volume_serial");
      json.hex32(event.volume->serial);
    }
    json.text_member_if_given("hostname", m_settings.hostname);
    json.text_member_if_given("username", m_settings.username);
    json.end_object();
    json.end_line();
  }
}

}  // namespace kerf
