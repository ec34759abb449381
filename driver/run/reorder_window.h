// The window of a bulk run on several threads: every name and every message
// of the walk gets a place in input order; workers decode the names in any
// order, and one writer takes the places from the front only, so the output
// is byte for byte what one thread writes.
//
//   the naming thread:  add_name / add_message      -> a place at the back
//   the workers:        take, decode, finish          (any place, in any order)
//   the writer:         write_all                    <- done places, front first
//
// The window is bounded twice: in places, so that the naming thread never
// runs far ahead, and in bytes of decoded results waiting to be written, so
// that memory stays bounded whatever the tree. Over the byte bound a worker
// takes no new name, unless that name is the very next to be written: it
// always goes ahead, so the bound is "the bytes plus one file" and the
// output never stalls.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/run/file_result.h"

namespace kerf {

class ReorderWindow {
 public:
  // Places per worker: enough that a slow file does not hold up the others.
  static constexpr std::size_t kPlacesPerWorker = 64;
  // Bytes of decoded results that may wait to be written.
  static constexpr std::size_t kMaxWaitingBytes = 64u * 1024u * 1024u;

  // What the writer is handed, in input order: a message about the walk, or
  // a decoded file.
  struct Item {
    bool is_message = false;
    std::string message;
    FileResult result;
  };

  // One place; a worker decodes into `item.result`.
  struct Place {
    Item item;
    bool assigned = false;  // a worker has it (or it needs none: a message)
    bool done = false;

    // The memory its buffers hold, written or not.
    std::size_t capacity() const noexcept;
  };

  ReorderWindow(std::size_t max_places, std::size_t max_waiting_bytes)
      : m_max_places(max_places), m_max_waiting_bytes(max_waiting_bytes) {}

  // The naming thread. Each waits for a free place; false once the run has
  // stopped. `text` is taken (swapped out).
  bool add_name(InputName& name);
  bool add_message(std::string& text);
  // No more names or messages will come.
  void close();

  // A worker: waits for a name it may decode now; null when there is no
  // more work for it (all names taken, or the run stopped). Places are
  // reached through stable pointers: the places in front may be written and
  // taken away meanwhile.
  Place* take();
  // The worker has decoded the place's file.
  void finish(Place& place);

  // The writer: calls `write` for every place, in order, as each comes due,
  // until the window is closed and empty. An exception from `write` stops
  // the run (every waiting thread wakes and gives up) and comes out of here.
  using Write = std::function<void(const Item&)>;
  void write_all(const Write& write);

  // Stops the run from outside (the writer failed before write_all).
  void stop();

  // For tests: whether the naming thread may add a place, and the place a
  // worker may take now (null: none), without waiting.
  bool has_room() const;
  Place* try_take();

 private:
  bool room() const { return m_places.size() < m_max_places; }
  bool front_done() const { return !m_places.empty() && m_places.front()->done; }
  bool over() const { return m_stopped || (m_closed && m_places.empty()); }
  Place* next_for_worker();
  // A message when `name` is null.
  bool add(std::string& text, InputName* name);
  std::unique_ptr<Place> take_spare();
  void give_back(std::unique_ptr<Place> place);
  void stop_locked();

  const std::size_t m_max_places;
  const std::size_t m_max_waiting_bytes;

  // Every member below is guarded by `m_lock`.
  mutable std::mutex m_lock;
  std::condition_variable m_space;              // the naming thread waits for a free place
  std::condition_variable m_work;               // workers wait for a name they may take
  std::condition_variable m_due;                // the writer waits for the front to be done
  std::deque<std::unique_ptr<Place>> m_places;  // front: the next to be written
  std::size_t m_first_unassigned = 0;           // position in `m_places`
  std::size_t m_unassigned = 0;                 // names no worker has taken yet
  std::size_t m_waiting_bytes = 0;              // done, not yet written
  bool m_closed = false;
  bool m_stopped = false;
  // Who sleeps, so that a thread is woken only when it has something to do:
  // every wake-up is a context switch, and a bulk run has thousands of files
  // a second.
  bool m_namer_waits = false;
  bool m_writer_waits = false;
  unsigned m_idle_workers = 0;

  // Written places, kept with their buffers for the next names.
  std::vector<std::unique_ptr<Place>> m_spare;
  std::size_t m_spare_bytes = 0;
};

}  // namespace kerf
