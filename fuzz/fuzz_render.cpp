// libFuzzer target: every layout's renderer over a record made from fuzzed
// bytes (names of any bytes, any times, counts, volumes, file references,
// checksum and order flags), under one of a few option sets of each layout,
// as a run over one reported and one failed file. Besides not crashing:
// - every line of the JSON layouts is one valid JSON object;
// - no name adds a line to any layout, nor a '<', '>', '"' or '\'' to the
//   HTML page: each run is made again from the same record with every name
//   replaced by "x" (keeping the hash the file's name carries, and empty
//   names empty), and the counts must agree.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run/file_result.h"
#include "driver/cli/options.h"
#include "lib/text/numbers.h"
#include "prefetch/file_name_hash.h"
#include "report/renderer.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

// A strict check of JSON syntax (RFC 8259), for text as kerf writes it: no
// blanks between tokens, strings of well-formed UTF-8, \u escapes of
// surrogates only in pairs.
class JsonChecker {
 public:
  explicit JsonChecker(std::string_view text) : m_text(text) {}

  bool is_object() { return m_text.starts_with('{') && value(0) && m_at == m_text.size(); }

 private:
  bool eat(char c) {
    if (m_at >= m_text.size() || m_text[m_at] != c) return false;
    ++m_at;
    return true;
  }
  bool word(std::string_view expected) {
    if (m_text.substr(m_at, expected.size()) != expected) return false;
    m_at += expected.size();
    return true;
  }
  bool value(int depth) {
    if (depth > 32 || m_at >= m_text.size()) return false;
    switch (m_text[m_at]) {
      case '{': return list(depth, '}', true);
      case '[': return list(depth, ']', false);
      case '"': return string();
      case 't': return word("true");
      case 'f': return word("false");
      case 'n': return word("null");
      default: return number();
    }
  }
  bool list(int depth, char close, bool members) {
    ++m_at;
    if (eat(close)) return true;
    do {
      if (members && !(string() && eat(':'))) return false;
      if (!value(depth + 1)) return false;
    } while (eat(','));
    return eat(close);
  }
  bool digits() {
    const std::size_t start = m_at;
    while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
    return m_at > start;
  }
  bool number() {
    eat('-');
    if (!eat('0') && !digits()) return false;
    if (eat('.') && !digits()) return false;
    if (!eat('e') && !eat('E')) return true;
    if (!eat('+')) eat('-');
    return digits();
  }
  bool hex4(unsigned& unit) {
    if (m_text.size() - m_at < 4) return false;
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = m_text[m_at++];
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) return false;
      unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return true;
  }
  // The bytes after the lead byte of a multi-byte UTF-8 sequence.
  bool utf8_rest(unsigned char lead) {
    int more = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (int i = 0; i < more; ++i, low = 0x80, high = 0xBF) {
      if (m_at >= m_text.size()) return false;
      const auto c = static_cast<unsigned char>(m_text[m_at++]);
      if (c < low || c > high) return false;
    }
    return true;
  }
  bool string() {
    if (!eat('"')) return false;
    bool low_surrogate_due = false;
    while (m_at < m_text.size()) {
      const auto c = static_cast<unsigned char>(m_text[m_at++]);
      unsigned unit = 0;
      if (c == '\\' && eat('u')) {
        if (!hex4(unit)) return false;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (low != low_surrogate_due) return false;
        low_surrogate_due = unit >= 0xD800 && unit <= 0xDBFF;
        continue;
      }
      if (low_surrogate_due || c < 0x20) return false;
      if (c == '"') return true;
      if (c == '\\') {
        if (m_at >= m_text.size() || std::string_view("\"\\/bfnrt").find(m_text[m_at++]) == std::string_view::npos) {
          return false;
        }
      } else if (c >= 0x80 && !utf8_rest(c)) {
        return false;
      }
    }
    return false;
  }

  std::string_view m_text;
  std::size_t m_at = 0;
};

// What a run is made of: one reported file, one failed file, and the
// host and user names of the options.
struct RunInput {
  kerf::InputFile input;
  kerf::PrefetchRecord record;
  std::string reason;
  std::string host;
  std::string user;
};

std::string fuzzed_name(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(48); }

// Mostly times between 1601 and the year 3000; now and then any value.
std::uint64_t fuzzed_time(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint64_t>(0, 450'000'000'000'000'000)
                          : in.ConsumeIntegral<std::uint64_t>();
}

RunInput fuzzed_run(FuzzedDataProvider& in) {
  RunInput run;
  run.input.path = fuzzed_name(in);
  run.input.name = kerf::input_name(run.input.path);
  run.reason = fuzzed_name(in);
  run.host = fuzzed_name(in);
  run.user = fuzzed_name(in);
  kerf::PrefetchRecord& record = run.record;
  record.format_version = in.ConsumeIntegralInRange<std::uint32_t>(0, 40);
  record.container = static_cast<kerf::ContainerKind>(in.ConsumeIntegralInRange<int>(0, 3));
  record.container_method = in.ConsumeIntegral<std::uint8_t>();
  record.exe_name = fuzzed_name(in);
  record.app_path = fuzzed_name(in);
  record.embedded_path = fuzzed_name(in);
  record.run_count = in.ConsumeIntegral<std::uint32_t>();
  record.last_run_time = fuzzed_time(in);
  for (int n = in.ConsumeIntegralInRange(0, 7); n > 0; --n) record.previous_run_times.push_back(fuzzed_time(in));
  record.run_times_in_order = in.ConsumeBool();
  for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) {
    record.loaded_files.push_back(fuzzed_name(in));
    if (in.ConsumeBool()) {
      record.file_references.emplace_back(kerf::FileReference{in.ConsumeIntegral<std::uint64_t>() >> 16,
                                                              in.ConsumeIntegral<std::uint16_t>()});
    } else {
      record.file_references.emplace_back();
    }
  }
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
    kerf::Volume& volume = record.volumes.emplace_back();
    volume.device_path = fuzzed_name(in);
    volume.serial = in.ConsumeIntegral<std::uint32_t>();
    volume.created = fuzzed_time(in);
    if (in.ConsumeBool()) volume.name_matches = in.ConsumeBool();
    for (int d = in.ConsumeIntegralInRange(0, 3); d > 0; --d) volume.directories.push_back(fuzzed_name(in));
  }
  record.source = {in.ConsumeIntegral<std::uint64_t>(), in.ConsumeIntegral<std::uint32_t>(), fuzzed_time(in),
                   fuzzed_time(in), fuzzed_time(in), fuzzed_time(in)};
  record.stored_hash = in.ConsumeIntegral<std::uint32_t>();
  record.hash_check.verified = in.ConsumeBool();
  if (record.hash_check.verified) {
    record.hash_check.device_path = fuzzed_name(in);
    record.hash_check.volume_number = in.ConsumeIntegral<std::uint32_t>();
  }
  record.checksum_present = in.ConsumeBool();
  record.checksum_matches = in.ConsumeBool();
  return run;
}

// The same run with every name "x" (an empty one stays empty, so that no
// layout takes another turn for it), the file's name keeping its hash.
RunInput with_plain_names(const RunInput& run) {
  const auto plain = [](std::string& name) {
    if (!name.empty()) name = "x";
  };
  RunInput twin = run;
  twin.input.path = "x";
  if (const std::optional<std::uint32_t> hash = kerf::hash_in_file_name(run.input.name)) {
    twin.input.path += '-';
    kerf::text::append_hex(twin.input.path, *hash, 8, true);
    twin.input.path += ".pf";
  }
  twin.input.name = kerf::input_name(twin.input.path);
  for (std::string* name : {&twin.reason, &twin.host, &twin.user, &twin.record.exe_name, &twin.record.app_path,
                            &twin.record.embedded_path, &twin.record.hash_check.device_path}) {
    plain(*name);
  }
  const auto plain_list = [&](kerf::NameList& list) {
    const kerf::NameList names = list;
    list.clear();
    for (const std::string_view name : names) list.push_back(name.empty() ? "" : "x");
  };
  plain_list(twin.record.loaded_files);
  for (kerf::Volume& volume : twin.record.volumes) {
    plain(volume.device_path);
    plain_list(volume.directories);
  }
  return twin;
}

class QuietSink : public kerf::io::MessageSink {
 public:
  void write_message(std::string_view) override {}
};

// The settings of a run with the option words `look` and the host and user
// names given (none when empty); nothing when the parser refuses them.
std::optional<kerf::ReportSettings> settings_for(std::vector<std::string> look, const std::string& host,
                                                 const std::string& user) {
  std::vector<std::string> words{"kerf"};
  words.insert(words.end(), look.begin(), look.end());
  if (std::find(look.begin(), look.end(), "-enumdir") == look.end()) words.push_back("x.pf");
  if (!host.empty()) words.insert(words.end(), {"-hostname", host});
  if (!user.empty()) words.insert(words.end(), {"-username", user});
  kerf::ArgList args(std::move(words));
  QuietSink quiet;
  const std::optional<kerf::RunSettings> settings = kerf::parse_command_line(args, quiet);
  if (!settings) return std::nullopt;
  return settings->report;
}

std::string run_text(const kerf::ReportSettings& settings, const RunInput& run) {
  const std::unique_ptr<kerf::Renderer> renderer = kerf::make_renderer(settings);
  std::string out;
  renderer->begin(out);
  kerf::RenderedFile file;
  renderer->render(run.input, run.record, file);
  renderer->emit(file, out);
  renderer->failed(run.input, run.reason, out);
  kerf::RunSummary summary;
  summary.handed_on = 2;
  summary.reported = 1;
  summary.failed = 1;
  renderer->end(summary, out);
  return out;
}

const std::vector<std::vector<std::string>> kLooks = {
    {},
    {"-v", "-verify", "-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss"},
    {"-csv"},
    {"-csv", "-v", "-verify", "-pf_path"},
    {"-csv", "-enable_quoted_csv_fields", "-pair_datetime"},
    {"-csv", "-csv_separator", "tab", "-no_whitespace", "-v"},
    {"-pipe", "-enumdir", "/x", "-pf_path", "-verify"},
    {"-csvl2t"},
    {"-csvl2t", "-v", "-enable_quoted_csv_fields", "-csv_separator", ";"},
    {"-csvl2t", "-pair_datetime", "-no_whitespace"},
    {"-bodyfile"},
    {"-json"},
    {"-timesketch"},
    {"-html"},
    {"-html", "-verify"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // One option set per input, so that each runs fast and the fuzzer learns
  // which layout an input drives.
  const std::vector<std::string>& look = kLooks[in.ConsumeIntegralInRange<std::size_t>(0, kLooks.size() - 1)];
  const RunInput run = fuzzed_run(in);
  const RunInput twin = with_plain_names(run);
  // Host and user names the parser refuses are left out of both runs.
  std::optional<kerf::ReportSettings> settings = settings_for(look, run.host, run.user);
  std::optional<kerf::ReportSettings> plain_settings = settings_for(look, twin.host, twin.user);
  if (!settings || !plain_settings) {
    settings = settings_for(look, "", "");
    plain_settings = settings;
  }
  check(settings.has_value());
  const std::string text = run_text(*settings, run);
  const std::string plain = run_text(*plain_settings, twin);
  check(std::count(text.begin(), text.end(), '\n') == std::count(plain.begin(), plain.end(), '\n'));
  if (settings->layout == kerf::Layout::json_record || settings->layout == kerf::Layout::timesketch) {
    std::string_view rest = text;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      check(end != std::string_view::npos && JsonChecker(rest.substr(0, end)).is_object());
      rest.remove_prefix(end + 1);
    }
  }
  if (settings->layout == kerf::Layout::html_page) {
    for (const char c : {'<', '>', '"', '\''}) {
      check(std::count(text.begin(), text.end(), c) == std::count(plain.begin(), plain.end(), c));
    }
  }
  return 0;
}
