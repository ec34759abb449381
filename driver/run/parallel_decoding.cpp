#include "driver/run/parallel_decoding.h"

#include <sched.h>

#include <exception>
#include <string>
#include <thread>

namespace kerf {

namespace {

void name_files(ReorderWindow& window, NameSource& names) {
  try {
    InputName name;
    bool going = true;
    while (going) {
      const bool more = names.next(name);
      for (std::string& problem : names.take_problems()) going = going && window.add_message(problem);
      if (!more) break;
      going = going && window.add_name(name);
    }
  } catch (const std::exception& problem) {
    std::string message = std::string("kerf: no more names: ") + problem.what() + "\n";
    window.add_message(message);
  }
  window.close();
}

void decode_files(ReorderWindow& window, FileDecoder& decoder, NameOrigin origin) {
  while (ReorderWindow::Place* place = window.take()) {
    FileResult& result = place->item.result;
    if (result.carve.is_set()) {
      decoder.carve(result);
    } else {
      decoder.decode(result.path, result.in_volume, origin, result);  // decode() may be handed its own path
    }
    window.finish(*place);
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
  ReorderWindow window(ReorderWindow::kPlacesPerWorker * m_workers, ReorderWindow::kMaxWaitingBytes);

  std::vector<FileDecoder> decoders;
  decoders.reserve(m_workers);
  for (unsigned i = 0; i < m_workers; ++i) decoders.emplace_back(m_renderer, m_excluded, m_options, m_carving);

  // Every thread started is joined, whatever stops the run.
  std::vector<std::thread> threads;
  std::exception_ptr failure;
  try {
    threads.emplace_back(name_files, std::ref(window), std::ref(names));
    for (FileDecoder& decoder : decoders)
      threads.emplace_back(decode_files, std::ref(window), std::ref(decoder), origin);
    window.write_all(write);
  } catch (...) {
    failure = std::current_exception();
    window.stop();
  }
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kerf
