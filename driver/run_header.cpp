#include "driver/run_header.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <array>

#include "driver/version.h"
#include "lib/date_time_format.h"
#include "lib/text_escape.h"

namespace kerf {

namespace {

constexpr std::string_view kUnknown = "<unk>";
constexpr std::string_view kDefaultDatePattern = "mm/dd/yyyy";
constexpr std::string_view kTimePattern = "hh:mm:ss";

std::string host_name() {
  std::array<char, 256> name{};
  // A name that fills the buffer may come without its terminating NUL.
  if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') {
    return std::string(kUnknown);
  }
  return std::string(name.data());
}

std::string system_description() {
  std::string text;
  utsname kernel{};
  if (::uname(&kernel) == 0) {
    text.append(kernel.sysname)
        .append(" ")
        .append(kernel.release)
        .append(" ")
        .append(kernel.machine);
  } else {
    text = kUnknown;
  }
  text.append(" (").append(std::to_string(sizeof(void*) * 8)).append("-bit)");
  return text;
}

}  // namespace

run_facts read_run_facts() {
  run_facts facts;
  facts.started = qv::time::now();
  facts.host_name = host_name();
  facts.system = system_description();
  return facts;
}

std::string build_run_header(const qv::arg_list& args, const run_facts& facts) {
  std::string date_pattern(kDefaultDatePattern);
  qv::peek_option_value("-dateformat", date_pattern, args, 1);
  std::string date;
  std::string clock;
  std::string started;
  if (qv::format_date_time(date, clock, facts.started, date_pattern, kTimePattern)) {
    started = date + " " + clock + " UTC";
  } else {
    started = kUnknown;
  }

  std::string header(kBanner);
  header += '\n';
  header += "Run start: " + started + "; Host: " + facts.host_name + "; OS: " + facts.system + '\n';
  header += "\"Command line: ";
  if (qv::has_option("-pipe", args, 1)) header += "<filelist> ... | ";
  // A file name handed over from a hostile tree must not reach the terminal
  // raw, here any more than in the report.
  qv::append_escaped(header, qv::join_arguments(args, '\''));
  header += "\"\n";
  return header;
}

}  // namespace kerf
