// A list of names stored back to back in one buffer.
//
// A Prefetch file lists hundreds of loaded files; keeping each in a string
// of its own costs an allocation per name per file. Here the names of one
// list share a buffer that keeps its capacity when the list is cleared, so a
// bulk run reuses the same memory from file to file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace kerf {

class NameList {
 public:
  std::size_t size() const noexcept { return m_ends.size(); }
  bool empty() const noexcept { return m_ends.empty(); }

  std::string_view operator[](std::size_t i) const noexcept {
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return std::string_view(m_text).substr(begin, m_ends[i] - begin);
  }

  void clear() noexcept {
    m_text.clear();
    m_ends.clear();
  }

  void push_back(std::string_view name) {
    m_text.append(name);
    end_name();
  }

  // For decoders that write a name straight into the list: append its text
  // to pending_text(), then call end_name(). The text after the last name is
  // available as pending_name() until then.
  std::string& pending_text() noexcept { return m_text; }
  std::string_view pending_name() const noexcept {
    return std::string_view(m_text).substr(m_ends.empty() ? 0 : m_ends.back());
  }
  void end_name() { m_ends.push_back(m_text.size()); }
  // Drops the text after the last name.
  void drop_pending() { m_text.resize(m_ends.empty() ? 0 : m_ends.back()); }

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    const_iterator() = default;
    const_iterator(const NameList* list, std::size_t index) : m_list(list), m_index(index) {}
    std::string_view operator*() const { return (*m_list)[m_index]; }
    const_iterator& operator++() {
      ++m_index;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++m_index;
      return before;
    }
    bool operator==(const const_iterator& other) const { return m_index == other.m_index; }

   private:
    const NameList* m_list = nullptr;
    std::size_t m_index = 0;
  };

  const_iterator begin() const noexcept { return {this, 0}; }
  const_iterator end() const noexcept { return {this, size()}; }

 private:
  std::string m_text;
  std::vector<std::size_t> m_ends;  // end of each name in m_text
};

}  // namespace kerf
