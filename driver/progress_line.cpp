#include "driver/progress_line.h"

#include <string>
#include <utility>
#include <vector>


namespace kerf {

namespace {

constexpr std::string_view kEraseLine = "\r\x1b[K";
constexpr std::string_view kEllipsis = "...";

// The character at the start of `text`: its length in bytes (at least 1)
// and whether it may go to the terminal as it is. A byte that begins no
// well-formed UTF-8 sequence is a character of its own that may not.
struct character {
  std::size_t length;
  bool printable;
};

character first_character(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {1, lead >= 0x20 && lead != 0x7F};
  std::size_t length = 0;
  char32_t code = 0;
  char32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, smallest = 0x10000;
  } else {
    return {1, false};
  }
  if (text.size() < length) return {1, false};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {1, false};
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {1, false};
  // C1 controls: some terminals take U+009B for the start of a command.
  return {length, code > 0x9F};
}

// The name as printable characters, one string each.
std::vector<std::string_view> printable_characters(std::string_view name) {
  static constexpr std::string_view kReplacement = "?";
  std::vector<std::string_view> characters;
  characters.reserve(name.size());
  while (!name.empty()) {
    const character next = first_character(name);
    characters.push_back(next.printable ? name.substr(0, next.length) : kReplacement);
    name.remove_prefix(next.length);
  }
  return characters;
}

}  // namespace

progress_line::progress_line(std::FILE* terminal, bool shares_with_reports, clock now)
    : m_terminal(terminal), m_shares_with_reports(shares_with_reports), m_now(std::move(now)) {}

progress_line::~progress_line() { erase(); }

void progress_line::before_file(std::string_view name) {
  if (m_terminal == nullptr) return;
  ++m_handed_on;
  m_current.assign(name);
  if (m_shares_with_reports) erase();
}

void progress_line::after_file(bool reported) {
  if (m_terminal == nullptr) return;
  ++(reported ? m_reported : m_failed);
  const auto now = m_now();
  if (!m_ever_drawn || now - m_last_draw >= kRedrawInterval) draw(now);
}

void progress_line::write_message(std::string_view text) {
  erase();
  qv::message_sink::write_message(text);
}

void progress_line::erase() {
  if (!m_shown) return;
  write(kEraseLine);
  m_shown = false;
}

void progress_line::draw(std::chrono::steady_clock::time_point now) {
  std::string text = "\r";
  text += format(m_handed_on, m_reported, m_failed, m_current, kWidth);
  text += "\x1b[K";
  write(text);
  m_shown = true;
  m_ever_drawn = true;
  m_last_draw = now;
}

void progress_line::write(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), m_terminal);
  std::fflush(m_terminal);
}

std::string progress_line::format(std::uint64_t handed_on, std::uint64_t reported,
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
