#include "driver/parallel_decoding.h"

#include <sched.h>

#include <condition_variable>
#include <deque>
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

// The window shared by the three kinds of thread; every member is guarded
// by `lock`.
struct Window {
  std::mutex lock;
  std::condition_variable space;    // the naming thread waits for a free place
  std::condition_variable work;     // workers wait for a name they may take
  std::condition_variable written;  // the writer waits for the front to be done
  std::deque<std::unique_ptr<Slot>> slots;  // front: the next to be written
  std::size_t first_unassigned = 0;         // position in `slots`
  std::size_t unassigned = 0;               // names no worker has taken yet
  std::size_t waiting_bytes = 0;
  bool naming_done = false;
  std::size_t max_slots = 0;
  // Who sleeps, so that a thread is woken only when it has something to
  // do: every wake-up is a context switch, and a bulk run has thousands of
  // files a second.
  bool namer_waits = false;
  bool writer_waits = false;
  unsigned idle_workers = 0;

  std::vector<std::unique_ptr<Slot>> spare;  // written places, ready for reuse
  std::size_t spare_bytes = 0;

  bool front_done() const { return !slots.empty() && slots.front()->done; }

  // Whether a worker that finished a file wakes the writer: once the front
  // is done and a batch waits behind it, so that the writer wakes once for
  // many files; at once when the workers may be about to stop (no name left
  // to take, or the byte bound reached), so that nothing stalls.
  bool writer_should_wake() const {
    constexpr std::size_t kBatch = 16;
    if (!writer_waits || !front_done()) return false;
    if (unassigned == 0 || waiting_bytes >= ParallelDecoding::kMaxWaitingBytes) return true;
    if (slots.size() < kBatch) return false;
    for (std::size_t at = 1; at < kBatch; ++at) {
      if (!slots[at]->done) return false;
    }
    return true;
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

  // Position of the next place a worker may take now, or npos.
  std::size_t next_for_worker() const {
    std::size_t at = first_unassigned;
    while (at < slots.size() && slots[at]->assigned) ++at;
    if (at == slots.size()) return std::string::npos;
    const bool front = at == 0;
    return front || waiting_bytes < ParallelDecoding::kMaxWaitingBytes ? at : std::string::npos;
  }
};

void name_files(Window& window, NameSource& names) {
  // A place for a name (a file to decode) or a message of the walk.
  const auto add = [&](std::string& text, bool message) {
    std::unique_lock guard(window.lock);
    window.namer_waits = true;
    window.space.wait(guard, [&] { return window.slots.size() < window.max_slots; });
    window.namer_waits = false;
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
      if (window.writer_waits && window.front_done()) window.written.notify_one();
    } else {
      ++window.unassigned;
      if (window.idle_workers > 0) window.work.notify_one();
    }
  };
  try {
    std::string path;
    while (true) {
      const bool more = names.next(path);
      for (std::string& problem : names.take_problems()) add(problem, true);
      if (!more) break;
      add(path, false);
    }
  } catch (const std::exception& problem) {
    std::string message = std::string("kerf: no more names: ") + problem.what() + "\n";
    add(message, true);
  }
  const std::lock_guard guard(window.lock);
  window.naming_done = true;
  window.work.notify_all();
  window.written.notify_all();
}

void decode_files(Window& window, FileDecoder& decoder, NameOrigin origin) {
  std::unique_lock guard(window.lock);
  while (true) {
    std::size_t at = std::string::npos;
    ++window.idle_workers;
    window.work.wait(guard, [&] {
      at = window.next_for_worker();
      return at != std::string::npos || (window.naming_done && window.unassigned == 0);
    });
    --window.idle_workers;
    if (at == std::string::npos) return;
    Slot& slot = *window.slots[at];
    slot.assigned = true;
    --window.unassigned;
    while (window.first_unassigned < window.slots.size() && window.slots[window.first_unassigned]->assigned) {
      ++window.first_unassigned;
    }
    // Slots are reached through stable pointers: the writer may pop the
    // ones in front of this one meanwhile.
    guard.unlock();
    FileResult& result = slot.item.result;
    decoder.decode(result.path, origin, result);  // decode() may be handed its own path
    guard.lock();
    slot.done = true;
    window.waiting_bytes += result.size();
    if (window.writer_should_wake()) window.written.notify_one();
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

void ParallelDecoding::run(NameSource& names, NameOrigin origin, const std::function<void(const Item&)>& write) {
  Window window;
  window.max_slots = 64 * static_cast<std::size_t>(m_workers);

  std::vector<FileDecoder> decoders;
  decoders.reserve(m_workers);
  for (unsigned i = 0; i < m_workers; ++i) decoders.emplace_back(m_renderer, m_excluded, m_options);

  std::vector<std::thread> threads;
  threads.emplace_back(name_files, std::ref(window), std::ref(names));
  for (FileDecoder& decoder : decoders) threads.emplace_back(decode_files, std::ref(window), std::ref(decoder), origin);

  std::unique_lock guard(window.lock);
  while (true) {
    window.writer_waits = true;
    window.written.wait(guard, [&] { return window.front_done() || (window.naming_done && window.slots.empty()); });
    window.writer_waits = false;
    if (window.slots.empty()) break;
    std::unique_ptr<Slot> slot = std::move(window.slots.front());
    window.slots.pop_front();
    if (window.first_unassigned > 0) --window.first_unassigned;
    guard.unlock();
    write(slot->item);
    const std::size_t size = slot->item.is_message ? 0 : slot->item.result.size();
    guard.lock();
    window.give_back(std::move(slot));
    const bool was_full = window.waiting_bytes >= kMaxWaitingBytes;
    window.waiting_bytes -= size;
    // The naming thread refills the window once half of it is written, in
    // one go, rather than waking for every place.
    if (window.namer_waits && window.slots.size() <= window.max_slots / 2) window.space.notify_one();
    // Workers held back by the byte bound may go on (or take the new front).
    if (was_full && window.idle_workers > 0) window.work.notify_all();
  }
  guard.unlock();
  for (std::thread& thread : threads) thread.join();
}

}  // namespace kerf
