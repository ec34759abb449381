#include "driver/cli/run_header.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <array>

#include "driver/cli/version.h"
#include "lib/text/escape.h"
#include "lib/time/date_time_format.h"

namespace kerf {

namespace {

constexpr std::string_view kUnknown = "<unk>";

std::string host_name() {
  std::array<char, 256> name{};
  // A name that fills the buffer may come without its terminating NUL.
  if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return std::string(kUnknown);
  return std::string(name.data());
}

std::string system_description() {
  std::string text;
  utsname kernel{};
  if (::uname(&kernel) == 0) {
    text.append(kernel.sysname).append(" ").append(kernel.release).append(" ").append(kernel.machine);
  } else {
    text = kUnknown;
  }
  text.append(" (").append(std::to_string(sizeof(void*) * 8)).append("-bit)");
  return text;
}

}  // namespace

RunFacts read_run_facts() { return {time::Instant::now(), host_name(), system_description()}; }

std::string build_run_header(const RunHeaderSettings& settings, const RunFacts& facts) {
  const time::DateTimeFormat format(settings.date_pattern, "hh:mm:ss");
  std::string started;
  if (facts.started.is_valid()) {
    format.append_date(started, facts.started);
    started += ' ';
    format.append_time(started, facts.started);
    started += " UTC";
  } else {
    started = kUnknown;
  }

  std::string header(kBanner);
  header += '\n';
  header += "Run start: " + started + "; Host: " + facts.host_name + "; OS: " + facts.system + '\n';
  header += "\"Command line: ";
  if (settings.piped) header += "<filelist> ... | ";
  // A file name handed over from a hostile tree must not reach the terminal
  // raw, here any more than in the report.
  text::append_escaped(header, settings.command_line);
  header += "\"\n";
  return header;
}

}  // namespace kerf
