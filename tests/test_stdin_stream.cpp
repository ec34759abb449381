// Reading piped names: pieces of at most 4095 bytes, trailing CR/LF removed,
// every other byte kept, and the end of the input.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lib/uni/stdin_stream.h"

namespace {

// A stream over `text`, as standard input would deliver it.
class TextInput {
 public:
  explicit TextInput(const std::string& text) : m_file(std::tmpfile()) {
    std::fwrite(text.data(), 1, text.size(), m_file);
    std::rewind(m_file);
  }
  ~TextInput() { std::fclose(m_file); }
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;
  std::FILE* get() const { return m_file; }

 private:
  std::FILE* m_file;
};

std::vector<std::string> read_all(const std::string& text, bool trim) {
  TextInput input(text);
  uni::stdin_stream stream(input.get());
  std::vector<std::string> lines;
  std::string line = "left over";
  while (stream.read_line(line, trim)) lines.push_back(line);
  EXPECT_EQ(line, "");  // cleared at the end too
  EXPECT_FALSE(stream.read_line(line, trim));  // and stays at the end
  return lines;
}

TEST(StdinStream, LinesAsTheyCome) {
  const std::string a4095(4095, 'a');
  struct Case {
    std::string name;
    std::string input;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"empty input", "", {}},
      {"last line without LF", "a.pf\nb.pf", {"a.pf", "b.pf"}},
      {"CRLF and stacked line ends", "a.pf\r\nb.pf\r\r\n", {"a.pf", "b.pf"}},
      {"empty lines stay (the driver skips them)", "\n\na\n", {"", "", "a"}},
      {"spaces kept at both ends", "  a b.pf \t\n", {"  a b.pf \t"}},
      {"CR inside a line kept", "a\rb\n", {"a\rb"}},
      {"bytes that are not UTF-8", "\xff\xfe.pf\n", {"\xff\xfe.pf"}},
      {"NUL kept, so the name can't open another file",
       std::string("real.pf\0junk\n", 13),
       {std::string("real.pf\0junk", 12)}},
      // 4095 bytes fill the buffer; the line end arrives as its own line.
      {"4095 bytes", a4095 + "\n", {a4095, ""}},
      {"4094 bytes and LF in one read", a4095.substr(1) + "\nz\n", {a4095.substr(1), "z"}},
      {"longer line in pieces", a4095 + a4095 + "bc\n", {a4095, a4095, "bc"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_all(c.input, true), c.lines) << c.name;
  }
}

}  // namespace
