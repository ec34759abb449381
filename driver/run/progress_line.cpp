#include "driver/run/progress_line.h"

#include <string>
#include <utility>
#include <vector>

#include "lib/text/utf8.h"

namespace kerf {

namespace {

constexpr std::string_view kEraseLine = "\r\x1b[K";
constexpr std::string_view kEllipsis = "...";

// The name as printable characters, one string each.
std::vector<std::string_view> printable_characters(std::string_view name) {
  static constexpr std::string_view kReplacement = "?";
  std::vector<std::string_view> characters;
  characters.reserve(name.size());
  while (!name.empty()) {
    const text::Utf8Char next = text::decode_utf8_char(name);
    // C1 controls: some terminals take U+009B for the start of a command.
    const char32_t c = next.code_point;
    const bool printable = next.valid && (c < 0x80 ? c >= 0x20 && c != 0x7F : c > 0x9F);
    characters.push_back(printable ? name.substr(0, next.length) : kReplacement);
    name.remove_prefix(next.length);
  }
  return characters;
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* terminal, bool shares_with_reports, Clock now)
    : m_terminal(terminal), m_shares_with_reports(shares_with_reports), m_now(std::move(now)) {}

ProgressLine::~ProgressLine() { erase(); }

void ProgressLine::before_file(std::string_view name) {
  if (m_terminal == nullptr) return;
  ++m_handed_on;
  m_current.assign(name);
  if (m_shares_with_reports) erase();
}

void ProgressLine::after_file(bool reported) {
  if (m_terminal == nullptr) return;
  ++(reported ? m_reported : m_failed);
  const auto now = m_now();
  if (!m_ever_drawn || now - m_last_draw >= kRedrawInterval) draw(now);
}

void ProgressLine::write_message(std::string_view text) {
  erase();
  io::MessageSink::write_message(text);
}

void ProgressLine::erase() {
  if (!m_shown) return;
  write(kEraseLine);
  m_shown = false;
}

void ProgressLine::draw(std::chrono::steady_clock::time_point now) {
  std::string text = "\r";
  text += format(m_handed_on, m_reported, m_failed, m_current, kWidth);
  text += "\x1b[K";
  write(text);
  m_shown = true;
  m_ever_drawn = true;
  m_last_draw = now;
}

void ProgressLine::write(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), m_terminal);
  std::fflush(m_terminal);
}

std::string ProgressLine::format(std::uint64_t handed_on, std::uint64_t reported,
                                  std::uint64_t failed, std::string_view name, std::size_t width) {
  std::string text = std::to_string(handed_on) + " files, " + std::to_string(reported) +
                     " reported, " + std::to_string(failed) + " failed: ";
  if (text.size() >= width) return text.substr(0, width);
  const std::size_t room = width - text.size();
  const std::vector<std::string_view> characters = printable_characters(name);
  std::size_t first = 0;
  if (characters.size() > room) {
    // The end of a path tells the file apart; its start is the same for all.
    if (room > kEllipsis.size()) text += kEllipsis;
    first = characters.size() - (room > kEllipsis.size() ? room - kEllipsis.size() : room);
  }
  for (std::size_t i = first; i < characters.size(); ++i) text += characters[i];
  return text;
}

}  // namespace kerf
