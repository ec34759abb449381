// A bulk run on several cores, with output byte for byte as on one.
//
// The work is shared like this:
//
//   naming thread:  next name -> a place in the window  (the walk, standard input, the filter)
//   N workers:      load -> render                      (each with its own buffers)
//   calling thread: write, in input order               (report, messages, progress, counts)
//
// The window (driver/reorder_window.h) keeps the names and messages in input
// order and bounds what waits. The thread that called run() is the one
// writer, so the renderer's run state, the counts, the progress line and the
// output are touched by that thread alone.
#pragma once

#include <functional>
#include <vector>

#include "driver/input/name_source.h"
#include "driver/run/file_result.h"
#include "driver/run/reorder_window.h"

namespace kerf {

class ParallelDecoding {
 public:
  // `carving`: the run carves (see FileDecoder).
  ParallelDecoding(unsigned workers, const Renderer& renderer, std::vector<io::FileId> excluded,
                   const DecodeOptions& options, bool carving = false)
      : m_workers(workers),
        m_renderer(renderer),
        m_excluded(std::move(excluded)),
        m_options(options),
        m_carving(carving) {}

  // What the writer is handed, in input order: a message about the walk, or
  // a decoded file.
  using Item = ReorderWindow::Item;

  // Decodes every name `names` hands out and calls `write` for each item, in
  // the order the names and messages came, on the calling thread. An
  // exception from `write` stops the run and comes out of run().
  void run(NameSource& names, NameOrigin origin, const std::function<void(const Item&)>& write);

 private:
  unsigned m_workers;
  const Renderer& m_renderer;
  std::vector<io::FileId> m_excluded;
  DecodeOptions m_options;
  bool m_carving;
};

// The number of CPUs this process may run on (at least 1).
unsigned available_cpus();

}  // namespace kerf
