// The file a report is about, as the user named it.
#pragma once

#include <string>

namespace kerf {

struct InputFile {
  std::string path;  // as typed or read, %NAME% references expanded
  std::string name;  // its file-name part, shown in the tables and timelines
};

}  // namespace kerf
