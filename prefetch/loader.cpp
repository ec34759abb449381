#include "prefetch/loader.h"

#include <sys/stat.h>

#include <string>

#include "lib/qv_time.h"
#include "lib/text_encoding.h"
#include "lib/uni/fileio.h"
#include "prefetch/prefetch_parser.h"
#include "prefetch/xpress.h"

namespace kerf {

namespace {

// File-system times are whole Unix seconds; the record keeps FILETIMEs.
std::uint64_t unix_seconds_to_filetime(std::int64_t seconds) {
  return qv::time(seconds, qv::type_time::unix_time).filetime();
}

// Replaces the compressed image by its decoded form. The two buffers trade
// places, so the compressed bytes' buffer becomes the next file's output.
bool undo_container(LoadBuffers& buffers) {
  if (!buffers.decoder.decompress(buffers.image) || buffers.decoder.output().empty()) return false;
  buffers.image.swap(buffers.decoder.output());
  return true;
}

}  // namespace

bool get_file_stats(const std::wstring& name, std::uint64_t& size, std::uint32_t& mode,
                    std::uint64_t& changed, std::uint64_t& modified, std::uint64_t& accessed) {
  return get_file_stats(std::string_view(qv::wide_to_utf8(name)), size, mode, changed, modified,
                        accessed);
}

bool get_file_stats(std::string_view utf8_name, std::uint64_t& size, std::uint32_t& mode,
                    std::uint64_t& changed, std::uint64_t& modified, std::uint64_t& accessed) {
  size = 0;
  mode = 0;
  changed = modified = accessed = 0;
  if (utf8_name.empty() || utf8_name.find('\0') != std::string_view::npos) return false;
  const std::string native(utf8_name);
  struct stat status {};
  if (::stat(native.c_str(), &status) != 0) return false;
  size = static_cast<std::uint64_t>(status.st_size);
  mode = static_cast<std::uint32_t>(status.st_mode);
  changed = unix_seconds_to_filetime(status.st_ctim.tv_sec);
  modified = unix_seconds_to_filetime(status.st_mtim.tv_sec);
  accessed = unix_seconds_to_filetime(status.st_atim.tv_sec);
  return true;
}

bool load_prefetch_file(std::string_view path, qv::message_sink* messages, PrefetchEntry& entry,
                        LoadBuffers& buffers) {
  if (!uni::read_whole_file(buffers.image, path, kMaxPrefetchFileSize)) {
    if (messages != nullptr) qv::report_unreadable_file(*messages, path);
    return false;
  }

  std::uint64_t changed = 0;
  std::uint64_t modified = 0;
  std::uint64_t accessed = 0;
  if (!get_file_stats(path, entry.source_size, entry.source_mode, changed, modified,
                      accessed)) {
    return false;
  }
  entry.source_stamps.stamp_b = changed;
  entry.source_stamps.stamp_m = modified;
  entry.source_stamps.stamp_a = accessed;
  entry.source_stamps.kind = qv::TimelineStamps::kFiletime;
  entry.source_stamps.subject = "PF";
  entry.source_stamps.labels[2] = "Time last run";

  if (xpress_adt::detect_container(buffers.image).kind != xpress_adt::kNone &&
      !undo_container(buffers)) {
    return false;
  }
  return parse_prefetch_image(buffers.image, entry);
}

}  // namespace kerf
