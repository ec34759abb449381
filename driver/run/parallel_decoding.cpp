#include "driver/run/parallel_decoding.h"

#include <sched.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace kerf {

namespace {

// One place in the window.
struct Slot {
  ParallelDecoding::Item item;
  bool assigned = false;  // a worker has it (or it needs none: a message)
  bool done = false;

  // The memory its buffers hold, written or not.
  std::size_t capacity() const noexcept {
    const FileResult& result = item.result;
    return item.message.capacity() + result.path.capacity() + result.reason.capacity() +
           result.diagnostics.capacity() + result.rendered.text.capacity();
  }
};

// Written places are kept for the next names with their buffers, up to this
// many bytes: a report then costs no allocation (and, for a long report, no
// fresh pages from the system), yet a run of huge reports leaves little held.
constexpr std::size_t kMaxSpareBytes = 16u * 1024u * 1024u;

using WriteItem = std::function<void(const ParallelDecoding::Item&)>;

// The window shared by every thread of the run; every member is guarded by
// `lock`.
struct Window {
  std::mutex lock;
  std::condition_variable space;     // the naming thread waits for a free place
  std::condition_variable work;      // workers wait for a name they may take
  std::condition_variable finished;  // the calling thread waits for the end
  std::deque<std::unique_ptr<Slot>> slots;  // front: the next to be written
  std::size_t first_unassigned = 0;         // position in `slots`
  std::size_t unassigned = 0;               // names no worker has taken yet
  std::size_t waiting_bytes = 0;
  std::size_t max_slots = 0;
  bool naming_done = false;
  bool writing = false;        // a thread is writing the front places
  std::exception_ptr failure;  // what stopped the writing; the run then stops
  // Who sleeps, so that a thread is woken only when it has something to
  // do: every wake-up is a context switch, and a bulk run has thousands of
  // files a second.
  bool namer_waits = false;
  unsigned idle_workers = 0;

  std::vector<std::unique_ptr<Slot>> spare;  // written places, ready for reuse
  std::size_t spare_bytes = 0;

  bool front_done() const { return !slots.empty() && slots.front()->done; }
  bool over() const { return failure != nullptr || (naming_done && slots.empty() && !writing); }

  // Position of the next place a worker may take now, or npos.
  std::size_t next_for_worker() const {
    std::size_t at = first_unassigned;
    while (at < slots.size() && slots[at]->assigned) ++at;
    if (at == slots.size()) return std::string::npos;
    const bool front = at == 0;
    return front || waiting_bytes < ParallelDecoding::kMaxWaitingBytes ? at : std::string::npos;
  }

  std::unique_ptr<Slot> take_spare() {
    if (spare.empty()) return std::make_unique<Slot>();
    std::unique_ptr<Slot> slot = std::move(spare.back());
    spare.pop_back();
    spare_bytes -= slot->capacity();
    slot->item.is_message = false;
    slot->item.message.clear();
    slot->assigned = slot->done = false;
    return slot;
  }

  void give_back(std::unique_ptr<Slot> slot) {
    const std::size_t bytes = slot->capacity();
    if (spare_bytes + bytes > kMaxSpareBytes) return;  // freed
    spare_bytes += bytes;
    spare.push_back(std::move(slot));
  }
};

// Writes the done places at the front of the window, in order, on the
// calling thread, unless another thread is at it already (which then writes
// these too before it stops). The thread that finishes the next file to be
// written is the one that writes it, while its report is still in that
// core's cache: a long-form run moves some 30 KB of text per file.
void write_front(Window& window, std::unique_lock<std::mutex>& guard, const WriteItem& write) {
  if (window.writing) return;
  window.writing = true;
  while (window.front_done() && !window.failure) {
    std::unique_ptr<Slot> slot = std::move(window.slots.front());
    window.slots.pop_front();
    if (window.first_unassigned > 0) --window.first_unassigned;
    guard.unlock();
    std::exception_ptr failure;
    try {
      write(slot->item);
    } catch (...) {
      failure = std::current_exception();
    }
    const std::size_t size = slot->item.is_message ? 0 : slot->item.result.size();
    guard.lock();
    if (failure) window.failure = failure;
    window.give_back(std::move(slot));
    const bool was_full = window.waiting_bytes >= ParallelDecoding::kMaxWaitingBytes;
    window.waiting_bytes -= size;
    // The naming thread refills the window once half of it is written, in
    // one go, rather than waking for every place.
    if (window.namer_waits && window.slots.size() <= window.max_slots / 2) window.space.notify_one();
    // Workers held back by the byte bound may go on (or take the new front).
    if (was_full && window.idle_workers > 0) window.work.notify_all();
  }
  window.writing = false;
  if (window.failure) {
    window.space.notify_all();
    window.work.notify_all();
  }
  if (window.over()) window.finished.notify_all();
}

void name_files(Window& window, NameSource& names, const WriteItem& write) {
  // A place for a name (a file to decode) or a message of the walk. False
  // when the run has stopped.
  const auto add = [&](std::string& text, bool message) {
    std::unique_lock guard(window.lock);
    window.namer_waits = true;
    window.space.wait(guard, [&] { return window.slots.size() < window.max_slots || window.failure; });
    window.namer_waits = false;
    if (window.failure) return false;
    std::unique_ptr<Slot> slot = window.take_spare();
    if (message) {
      slot->item.is_message = true;
      slot->item.message.swap(text);
      slot->assigned = slot->done = true;
    } else {
      slot->item.result.path.assign(text);
    }
    window.slots.push_back(std::move(slot));
    if (message) {
      write_front(window, guard, write);  // it may be next, with no worker to write it
    } else {
      ++window.unassigned;
      if (window.idle_workers > 0) window.work.notify_one();
    }
    return true;
  };
  try {
    std::string path;
    bool going = true;
    while (going) {
      const bool more = names.next(path);
      for (std::string& problem : names.take_problems()) going = going && add(problem, true);
      if (!more) break;
      going = going && add(path, false);
    }
  } catch (const std::exception& problem) {
    std::string message = std::string("kerf: no more names: ") + problem.what() + "\n";
    add(message, true);
  }
  std::unique_lock guard(window.lock);
  window.naming_done = true;
  window.work.notify_all();
  write_front(window, guard, write);
  if (window.over()) window.finished.notify_all();
}

void decode_files(Window& window, FileDecoder& decoder, NameOrigin origin, const WriteItem& write) {
  std::unique_lock guard(window.lock);
  while (true) {
    std::size_t at = std::string::npos;
    ++window.idle_workers;
    window.work.wait(guard, [&] {
      at = window.next_for_worker();
      return at != std::string::npos || (window.naming_done && window.unassigned == 0) || window.failure;
    });
    --window.idle_workers;
    if (at == std::string::npos || window.failure) return;
    Slot& slot = *window.slots[at];
    slot.assigned = true;
    --window.unassigned;
    while (window.first_unassigned < window.slots.size() && window.slots[window.first_unassigned]->assigned) {
      ++window.first_unassigned;
    }
    // Slots are reached through stable pointers: the places in front of
    // this one may be written and taken away meanwhile.
    guard.unlock();
    FileResult& result = slot.item.result;
    decoder.decode(result.path, origin, result);  // decode() may be handed its own path
    guard.lock();
    slot.done = true;
    window.waiting_bytes += result.size();
    write_front(window, guard, write);
  }
}

}  // namespace

unsigned available_cpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}

void ParallelDecoding::run(NameSource& names, NameOrigin origin, const WriteItem& write) {
  Window window;
  window.max_slots = 64 * static_cast<std::size_t>(m_workers);

  std::vector<FileDecoder> decoders;
  decoders.reserve(m_workers);
  for (unsigned i = 0; i < m_workers; ++i) decoders.emplace_back(m_renderer, m_excluded, m_options);

  std::vector<std::thread> threads;
  threads.emplace_back(name_files, std::ref(window), std::ref(names), std::cref(write));
  for (FileDecoder& decoder : decoders) {
    threads.emplace_back(decode_files, std::ref(window), std::ref(decoder), origin, std::cref(write));
  }
  {
    std::unique_lock guard(window.lock);
    window.finished.wait(guard, [&] { return window.over(); });
  }
  for (std::thread& thread : threads) thread.join();
  if (window.failure) std::rethrow_exception(window.failure);
}

}  // namespace kerf
