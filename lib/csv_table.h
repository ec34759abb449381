// A small writer for delimited tables: the columns of a run, the cells of one
// row, and the rules by which each kind of cell is padded, cleaned and
// separated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct CsvColumn {
  enum class Kind : std::uint8_t { plain, time_part };

  Kind kind = Kind::plain;
  unsigned width = 0;  // blank-filled width; 0 when no filling applies
  std::string name;
};

}  // namespace qv
