// A stream buffer that collects output in one fixed block and hands it to a
// derived class's write_out only when the block is full or on an explicit
// flush. Used for the results file, where the report code writes many short
// lines and the file should see few large writes.
#pragma once

#include <cstddef>
#include <ios>
#include <memory>
#include <new>
#include <streambuf>

namespace uni {

template <class CharT>
class streambuf_generic_output : public std::basic_streambuf<CharT> {
 public:
  using base_type = std::basic_streambuf<CharT>;
  using int_type = typename base_type::int_type;
  using traits_type = typename base_type::traits_type;

  // Allocates a block of `capacity` characters (at least 2); ready() tells
  // whether that worked. The put area spans capacity - 1 characters, leaving
  // room for the character that triggers overflow.
  explicit streambuf_generic_output(std::size_t capacity)
      : m_capacity(capacity < 2 ? 2 : capacity),
        m_block(new (std::nothrow) CharT[m_capacity]),
        m_ready(m_block != nullptr) {
    reset_put_area();
  }
  ~streambuf_generic_output() override = default;
  streambuf_generic_output(const streambuf_generic_output&) = delete;
  streambuf_generic_output& operator=(const streambuf_generic_output&) = delete;

  bool ready() const noexcept { return m_ready; }
  std::size_t capacity() const noexcept { return m_capacity; }

  // Hands everything buffered to write_out: 0 on success, -1 on failure (or
  // when there is no buffer).
  virtual int flush() {
    if (!m_ready) return -1;
    return traits_type::eq_int_type(overflow(traits_type::eof()), traits_type::eof()) ? -1 : 0;
  }

  // Drops whatever is buffered (after a write failure that will not be
  // retried).
  void discard() { reset_put_area(); }

 protected:
  // Called with the full put area plus `ch`, or with end-of-file from flush.
  // Hands the buffered characters to write_out until all are taken; on a
  // failure reports end-of-file and leaves the buffer as it is.
  int_type overflow(int_type ch) override {
    if (!m_ready) return traits_type::eof();
    CharT* end = this->pptr();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *end++ = traits_type::to_char_type(ch);  // the reserved last slot at worst
    }
    for (CharT* from = this->pbase(); from < end;) {
      const std::streamsize taken = write_out(from, end - from);
      if (taken <= 0 || taken > end - from) return traits_type::eof();
      from += taken;
    }
    reset_put_area();
    return traits_type::not_eof(ch);
  }

  int sync() override { return flush(); }

  // Takes up to `count` characters; returns how many were taken (at least 1)
  // or -1 on failure.
  virtual std::streamsize write_out(const CharT* data, std::streamsize count) = 0;

 private:
  void reset_put_area() {
    if (m_ready) {
      this->setp(m_block.get(), m_block.get() + m_capacity - 1);
    } else {
      this->setp(nullptr, nullptr);
    }
  }

  std::size_t m_capacity;
  std::unique_ptr<CharT[]> m_block;
  bool m_ready;
};

}  // namespace uni
