#include "driver/run/reorder_window.h"

namespace kerf {

namespace {

// Written places are kept for the next names with their buffers, up to this
// many bytes: a report then costs no allocation (and, for a long report, no
// fresh pages from the system), yet a run of huge reports leaves little held.
constexpr std::size_t kMaxSpareBytes = 16u * 1024u * 1024u;

}  // namespace

std::size_t ReorderWindow::Place::capacity() const noexcept {
  const FileResult& result = item.result;
  return item.message.capacity() + result.path.capacity() + result.reason.capacity() + result.diagnostics.capacity() +
         result.rendered.text.capacity() + result.finds_capacity();
}

bool ReorderWindow::add_name(InputName& name) { return add(name.path, &name); }

bool ReorderWindow::add_message(std::string& text) { return add(text, nullptr); }

bool ReorderWindow::add(std::string& text, InputName* name) {
  const bool message = name == nullptr;
  std::unique_lock guard(m_lock);
  m_namer_waits = true;
  m_space.wait(guard, [&] { return room() || m_stopped; });
  m_namer_waits = false;
  if (m_stopped) return false;
  std::unique_ptr<Place> place = take_spare();
  if (message) {
    place->item.is_message = true;
    place->item.message.swap(text);
    place->assigned = place->done = true;
  } else {
    place->item.result.path.assign(text);
    place->item.result.in_volume = std::move(name->in_volume);
    place->item.result.copies.swap(name->copies);
    place->item.result.carve = name->carve;
    ++m_unassigned;
  }
  m_places.push_back(std::move(place));
  if (message) {
    // It may be the next to be written, with no worker to finish it.
    if (m_places.size() == 1 && m_writer_waits) m_due.notify_one();
  } else if (m_idle_workers > 0) {
    m_work.notify_one();
  }
  return true;
}

void ReorderWindow::close() {
  std::lock_guard guard(m_lock);
  m_closed = true;
  m_work.notify_all();
  m_due.notify_one();
}

ReorderWindow::Place* ReorderWindow::next_for_worker() {
  std::size_t at = m_first_unassigned;
  while (at < m_places.size() && m_places[at]->assigned) ++at;
  if (at == m_places.size()) return nullptr;
  // The next file to be written always goes ahead.
  if (at != 0 && m_waiting_bytes >= m_max_waiting_bytes) return nullptr;
  Place& place = *m_places[at];
  place.assigned = true;
  --m_unassigned;
  m_first_unassigned = at + 1;
  while (m_first_unassigned < m_places.size() && m_places[m_first_unassigned]->assigned) ++m_first_unassigned;
  return &place;
}

ReorderWindow::Place* ReorderWindow::take() {
  std::unique_lock guard(m_lock);
  Place* place = nullptr;
  ++m_idle_workers;
  m_work.wait(guard, [&] {
    if (m_stopped) return true;
    place = next_for_worker();
    return place != nullptr || (m_closed && m_unassigned == 0);
  });
  --m_idle_workers;
  return m_stopped ? nullptr : place;
}

ReorderWindow::Place* ReorderWindow::try_take() {
  std::lock_guard guard(m_lock);
  return m_stopped ? nullptr : next_for_worker();
}

bool ReorderWindow::has_room() const {
  std::lock_guard guard(m_lock);
  return room();
}

void ReorderWindow::finish(Place& place) {
  std::lock_guard guard(m_lock);
  place.done = true;
  m_waiting_bytes += place.item.result.size();
  if (m_writer_waits && m_places.front().get() == &place) m_due.notify_one();
}

void ReorderWindow::write_all(const Write& write) {
  std::unique_lock guard(m_lock);
  while (true) {
    m_writer_waits = true;
    m_due.wait(guard, [&] { return front_done() || over(); });
    m_writer_waits = false;
    if (m_stopped || !front_done()) return;
    std::unique_ptr<Place> place = std::move(m_places.front());
    m_places.pop_front();
    if (m_first_unassigned > 0) --m_first_unassigned;
    guard.unlock();
    try {
      write(place->item);
    } catch (...) {
      guard.lock();
      stop_locked();
      throw;
    }
    const std::size_t size = place->item.is_message ? 0 : place->item.result.size();
    guard.lock();
    give_back(std::move(place));
    const bool was_full = m_waiting_bytes >= m_max_waiting_bytes;
    m_waiting_bytes -= size;
    // The naming thread refills the window once half of it is written, in
    // one go, rather than waking for every place.
    if (m_namer_waits && m_places.size() <= m_max_places / 2) m_space.notify_one();
    // Workers held back by the byte bound may go on (or take the new front).
    if (was_full && m_idle_workers > 0) m_work.notify_all();
  }
}

void ReorderWindow::stop() {
  std::lock_guard guard(m_lock);
  stop_locked();
}

void ReorderWindow::stop_locked() {
  m_stopped = true;
  m_space.notify_all();
  m_work.notify_all();
  m_due.notify_all();
}

std::unique_ptr<ReorderWindow::Place> ReorderWindow::take_spare() {
  if (m_spare.empty()) return std::make_unique<Place>();
  std::unique_ptr<Place> place = std::move(m_spare.back());
  m_spare.pop_back();
  m_spare_bytes -= place->capacity();
  place->item.is_message = false;
  place->item.message.clear();
  place->assigned = place->done = false;
  return place;
}

void ReorderWindow::give_back(std::unique_ptr<Place> place) {
  const std::size_t bytes = place->capacity();
  if (m_spare_bytes + bytes > kMaxSpareBytes) return;  // freed
  m_spare_bytes += bytes;
  m_spare.push_back(std::move(place));
}

}  // namespace kerf
