// The progress line of a bulk run: while thousands of files go by, one line
// on the terminal of standard error tells how many were handed to the
// decoder, how many were reported, how many failed, and which file came last.
//
// It is drawn as "\r", the text and ESC "[K" (erase the rest of the line), at
// most ten times a second, and never when standard error is not a terminal:
// a log captured from standard error holds only the messages. Standard output
// and the results file never see it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "lib/io/message_sink.h"

namespace kerf {

class ProgressLine : public io::MessageSink {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  static constexpr std::chrono::milliseconds kRedrawInterval{100};
  static constexpr std::size_t kWidth = 70;  // columns of the whole line

  // A line drawn on `terminal` (null: no line at all). `shares_with_reports`:
  // the reports are written to that terminal as well, so the line must be
  // gone before each file's report begins. `now` is the monotonic clock.
  ProgressLine(std::FILE* terminal, bool shares_with_reports,
                Clock now = std::chrono::steady_clock::now);
  ~ProgressLine() override;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // `name` is about to be handed to the decoder.
  void before_file(std::string_view name);
  // The decoder is done with it; redraws the line when it is due.
  void after_file(bool reported);

  // Whether the line stands on the terminal now: anything else written to
  // the terminal would be joined to it.
  bool shown() const noexcept { return m_shown; }
  // Takes the line off the terminal (when it is there).
  void erase();

  // A problem message during the run: the line goes first, so the message
  // stands on a line of its own; it comes back at the next redraw.
  void write_message(std::string_view text) override;

  // The text of the line, at most `width` columns: the counts, then as much
  // of the end of `name` as fits. Control characters and bytes that are not
  // UTF-8 show as '?', so a hostile file name can't steer the terminal.
  static std::string format(std::uint64_t handed_on, std::uint64_t reported,
                            std::uint64_t failed, std::string_view name, std::size_t width);

 private:
  void draw(std::chrono::steady_clock::time_point now);
  void write(std::string_view text);

  std::FILE* m_terminal;
  bool m_shares_with_reports;
  Clock m_now;
  std::chrono::steady_clock::time_point m_last_draw{};
  bool m_ever_drawn = false;
  bool m_shown = false;
  std::uint64_t m_handed_on = 0;
  std::uint64_t m_reported = 0;
  std::uint64_t m_failed = 0;
  std::string m_current;
};

}  // namespace kerf
