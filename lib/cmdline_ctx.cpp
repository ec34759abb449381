#include "lib/cmdline_ctx.h"

#include <string>

#include "lib/ntp_time.h"

namespace qv {

namespace {

// Erase the whole line, return to its start, overwrite what a terminal
// without the erase sequence still shows, and return again.
constexpr char kClearLine[] = "\x1b[2K\r                           \r";

}  // namespace

cmdline_ctx::cmdline_ctx(std::FILE* messages) : m_messages(messages) {}

cmdline_ctx::~cmdline_ctx() { finish(); }

void cmdline_ctx::take_over(const cmd_params& params) {
  m_quiet = !params.m_messages_on;
  m_profile = params.m_profile;
  m_diags_file = params.m_diags_file;
  m_started = ntp_now();
  m_taken_over = true;
}

void cmdline_ctx::finish() {
  if (!m_taken_over) return;
  m_taken_over = false;
  if (!m_quiet) {
    std::fputs(kClearLine, m_messages);
    std::fflush(m_messages);
  }
  if (m_profile) {
    const double elapsed = ntp_seconds_between(ntp_now(), m_started);
    char line[64];
    std::snprintf(line, sizeof line, "->%f secs\n", elapsed);
    std::fputs(line, m_messages);
    std::fflush(m_messages);
    if (m_diags_file && m_diags_file->is_open()) m_diags_file->append_text(std::string_view(line));
  }
  m_diags_file.reset();
}

}  // namespace qv
