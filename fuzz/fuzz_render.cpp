// libFuzzer target: every layout's renderer, under any mix of a few options,
// over a run of one reported and one failed file made from fuzzed bytes
// (names of any bytes, any times, counts, volumes, file references, checksum
// and order flags). Besides not crashing:
// - every line of the JSON layouts is one valid JSON object;
// - no name adds a line to any layout, nor a '<', '>', '"' or '\'' to the
//   HTML page: the run is made again from the same bytes with every name
//   "x" (the file's name keeping its hash), and the counts must agree.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run/file_result.h"
#include "lib/text/numbers.h"
#include "prefetch/file_name_hash.h"
#include "report/renderer.h"
#include "testkit/layout_options.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

// A strict check of JSON syntax (RFC 8259) for text as kerf writes it: no
// blanks between tokens, strings of well-formed UTF-8, \u escapes of
// surrogates only in pairs.
struct JsonChecker {
  std::string_view s;
  std::size_t at = 0;

  bool eat(std::string_view any) {
    if (at >= s.size() || any.find(s[at]) == std::string_view::npos) return false;
    return ++at;
  }
  bool digits() {
    const std::size_t from = at;
    while (eat("0123456789")) {}
    return at > from;
  }
  bool value(int depth) {
    if (depth > 32 || at >= s.size()) return false;
    if (eat("{[")) {
      const std::string_view close = s[at - 1] == '{' ? "}" : "]";
      if (eat(close)) return true;
      do {
        if (close == "}" && !(string() && eat(":"))) return false;
        if (!value(depth + 1)) return false;
      } while (eat(","));
      return eat(close);
    }
    if (s[at] == '"') return string();
    for (const std::string_view word : {"true", "false", "null"}) {
      if (s.substr(at).starts_with(word)) return at += word.size();
    }
    eat("-");
    if ((!eat("0") && !digits()) || (eat(".") && !digits())) return false;
    return !eat("eE") || (eat("+-"), digits());
  }
  bool string() {
    if (!eat("\"")) return false;
    bool low_surrogate_due = false;
    while (at < s.size()) {
      if (eat("\\")) {
        unsigned unit = 0;
        if (!eat("u")) {
          if (low_surrogate_due || !eat("\"\\/bfnrt")) return false;
          continue;
        }
        if (s.size() - at < 4 || std::from_chars(&s[at], &s[at] + 4, unit, 16).ptr != &s[at] + 4) return false;
        at += 4;
        if ((unit >= 0xDC00 && unit <= 0xDFFF) != low_surrogate_due) return false;
        low_surrogate_due = unit >= 0xD800 && unit <= 0xDBFF;
        continue;
      }
      const auto c = static_cast<unsigned char>(s[at++]);
      if (low_surrogate_due || c < 0x20) return false;
      if (c == '"') return true;
      if (c < 0x80) continue;
      // UTF-8 without overlong forms, surrogates or code points above U+10FFFF.
      if (c < 0xC2 || c > 0xF4) return false;
      unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
      unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
      for (int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1; more > 0; --more, ++at, low = 0x80, high = 0xBF) {
        const auto next = at < s.size() ? static_cast<unsigned char>(s[at]) : 0;
        if (next < low || next > high) return false;
      }
    }
    return false;
  }
};

// Each run names one layout and any of the modifiers (each at most once:
// an option given twice refuses the run).
const std::vector<std::vector<std::string>> kLayouts = {
    {}, {"-csv"}, {"-csvl2t"}, {"-bodyfile"}, {"-json"}, {"-timesketch"}, {"-html"}, {"-pipe", "-enumdir", "/x"},
    {"-history"}, {"-history", "-csv"}, {"-history", "-json"}, {"-history", "-timesketch"}, {"-history", "-html"}};
const std::vector<std::vector<std::string>> kModifiers = {
    {"-v"}, {"-verify"}, {"-pf_path"}, {"-enable_quoted_csv_fields"}, {"-pair_datetime"}, {"-no_whitespace"},
    {"-csv_separator", "tab"}, {"-dateformat", "mm/dd/yyyy", "-timeformat", "hh:mm:ss"}};

struct Run {
  std::vector<std::string> words;
  kerf::InputFile input;
  kerf::PrefetchRecord record;
  std::string reason, host, user;
};

// The run the fuzzed bytes describe; with `plain`, every name is "x" (an
// empty one stays empty, so that no layout takes another turn for it).
Run fuzzed_run(const std::uint8_t* data, std::size_t size, bool plain) {
  FuzzedDataProvider in(data, size);
  Run run;
  const auto add = [&](const std::vector<std::string>& words) {
    run.words.insert(run.words.end(), words.begin(), words.end());
  };
  add(kLayouts[in.ConsumeIntegralInRange<std::size_t>(0, kLayouts.size() - 1)]);
  const auto mask = in.ConsumeIntegral<std::uint16_t>();
  for (std::size_t i = 0; i < kModifiers.size(); ++i) {
    if (mask >> i & 1) add(kModifiers[i]);
  }
  const auto name = [&] {
    const std::string fuzzed = in.ConsumeRandomLengthString(48);
    return plain && !fuzzed.empty() ? "x" : fuzzed;
  };
  // Mostly times between 1601 and the year 3000; now and then any value.
  const auto time = [&] {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint64_t>(0, 450'000'000'000'000'000)
                            : in.ConsumeIntegral<std::uint64_t>();
  };
  run.input.path = in.ConsumeRandomLengthString(48);
  if (plain) {
    const std::optional<std::uint32_t> hash = kerf::hash_in_file_name(kerf::input_name(run.input.path));
    run.input.path = "x";
    if (hash) {
      run.input.path += '-';
      kerf::text::append_hex(run.input.path, *hash, 8, true);
      run.input.path += ".pf";
    }
  }
  run.input.name = kerf::input_name(run.input.path);
  run.reason = name();
  run.host = name();
  run.user = name();
  kerf::PrefetchRecord& record = run.record;
  record.format_version = in.ConsumeIntegralInRange<std::uint32_t>(0, 40);
  record.container = static_cast<kerf::ContainerKind>(in.ConsumeIntegralInRange<int>(0, 3));
  record.exe_name = name();
  record.app_path = name();
  record.embedded_path = name();
  record.run_count = in.ConsumeIntegral<std::uint32_t>();
  record.last_run_time = time();
  for (int n = in.ConsumeIntegralInRange(0, 7); n > 0; --n) record.previous_run_times.push_back(time());
  record.run_times_in_order = in.ConsumeBool();
  for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) {
    record.loaded_files.push_back(name());
    record.file_references.emplace_back();
    if (in.ConsumeBool()) {
      record.file_references.back() = kerf::FileReference{in.ConsumeIntegral<std::uint64_t>() >> 16,
                                                          in.ConsumeIntegral<std::uint16_t>()};
    }
  }
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
    kerf::Volume& volume = record.volumes.emplace_back();
    volume.device_path = name();
    volume.serial = in.ConsumeIntegral<std::uint32_t>();
    volume.created = time();
    if (in.ConsumeBool()) volume.name_matches = in.ConsumeBool();
    for (int d = in.ConsumeIntegralInRange(0, 3); d > 0; --d) volume.directories.push_back(name());
  }
  record.source.size = in.ConsumeIntegral<std::uint64_t>();
  for (std::uint64_t* stamp : {&record.source.modified, &record.source.accessed, &record.source.changed,
                               &record.source.born}) {
    *stamp = time();
  }
  record.stored_hash = in.ConsumeIntegral<std::uint32_t>();
  record.hash_check.verified = in.ConsumeBool();
  if (record.hash_check.verified) {
    record.hash_check.device_path = name();
    record.hash_check.volume_number = in.ConsumeIntegral<std::uint32_t>();
  }
  record.checksum_present = in.ConsumeBool();
  record.checksum_matches = in.ConsumeBool();
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Run run = fuzzed_run(data, size, false);
  const Run twin = fuzzed_run(data, size, true);
  const std::optional<kerf::RunSettings> settings = kerf::testing::settings_for(run.words);
  check(settings.has_value());
  const auto run_text = [&](const Run& each) {
    kerf::ReportSettings report = settings->report;
    report.hostname = each.host;
    report.username = each.user;
    const std::unique_ptr<kerf::Renderer> renderer = kerf::make_renderer(report);
    std::string out;
    renderer->begin(out);
    kerf::RenderedFile file;
    renderer->render(each.input, each.record, file);
    renderer->emit(file, out);
    renderer->failed(each.input, each.reason, out);
    renderer->end(kerf::RunSummary{{}, 2, 1, 1}, out);
    return out;
  };
  const std::string text = run_text(run);
  const std::string plain = run_text(twin);
  const auto same_count = [&](char c) {
    return std::count(text.begin(), text.end(), c) == std::count(plain.begin(), plain.end(), c);
  };
  check(same_count('\n'));
  if (settings->report.layout == kerf::Layout::json_record || settings->report.layout == kerf::Layout::timesketch) {
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
      end = text.find('\n', start);
      JsonChecker line{std::string_view(text).substr(start, end - start)};
      check(end != std::string::npos && line.s.starts_with('{') && line.value(0) && line.at == line.s.size());
    }
  }
  if (settings->report.layout == kerf::Layout::html_page) {
    for (const char c : {'<', '>', '"', '\''}) check(same_count(c));
  }
  return 0;
}
