// A bulk run on several cores, with output byte for byte as on one.
//
// The work is shared like this:
//
//   naming thread:  next name -> screen     (the walk, standard input, the filter)
//   N workers:      load -> render          (each with its own buffers)
//   the writer:     write, in input order   (report, messages, progress, counts)
//
// Every name and every message of the walk gets a place in one ordered
// window; workers fill the places in any order, and the places are written
// from the front only, one thread at a time. The writer is whichever worker
// finishes the next place to be written (or the naming thread, for a
// message): it writes that place and every done one behind it while its
// report is still in its core's cache. The window is bounded twice: in
// places, so that the naming thread never runs far ahead, and in bytes
// waiting to be written, so that memory stays bounded whatever the tree (a
// worker takes a new name only while less than the byte bound waits, unless
// that name is the very next to be written, which always goes ahead: the
// bound is "64 MiB plus one file").
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "driver/run/file_result.h"
#include "driver/input/name_source.h"

namespace kerf {

class ParallelDecoding {
 public:
  static constexpr std::size_t kMaxWaitingBytes = 64u * 1024u * 1024u;

  ParallelDecoding(unsigned workers, const Renderer& renderer, std::vector<io::FileId> excluded,
                   const DecodeOptions& options)
      : m_workers(workers), m_renderer(renderer), m_excluded(std::move(excluded)), m_options(options) {}

  // What the writer is handed, in input order: a message about the walk, or
  // a decoded file.
  struct Item {
    bool is_message = false;
    std::string message;
    FileResult result;
  };

  // Decodes every name `names` hands out and calls `write` for each item, in
  // the order the names and messages came: on one thread at a time, not
  // always the same one. An exception from `write` stops the run and comes
  // out of run().
  void run(NameSource& names, NameOrigin origin, const std::function<void(const Item&)>& write);

 private:
  unsigned m_workers;
  const Renderer& m_renderer;
  std::vector<io::FileId> m_excluded;
  DecodeOptions m_options;
};

// The number of CPUs this process may run on (at least 1).
unsigned available_cpus();

}  // namespace kerf
