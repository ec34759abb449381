#include "prefetch/loaded_file_fates.h"

#include "lib/text/ascii.h"

namespace kerf {

const Volume* volume_of_loaded_file(const PrefetchRecord& record, std::string_view path) noexcept {
  for (const Volume& volume : record.volumes) {
    const std::string_view device = volume.device_path;
    // An empty device path would claim every path that starts with "\".
    if (device.empty() || path.size() <= device.size() || path[device.size()] != '\\') continue;
    if (text::equals_ignoring_case(path.substr(0, device.size()), device)) return &volume;
  }
  return nullptr;
}

void look_up_loaded_files(const VolumeLookup& volumes, PrefetchRecord& record) {
  for (Volume& volume : record.volumes) volume.image_volume = volumes.volume_with_serial(volume.serial);
  record.loaded_file_fates.assign(record.loaded_files.size(), LoadedFileFate{});
  for (std::size_t i = 0; i < record.loaded_files.size(); ++i) {
    const Volume* volume = volume_of_loaded_file(record, record.loaded_files[i]);
    if (volume == nullptr || !volume->image_volume) continue;
    LoadedFileFate& fate = record.loaded_file_fates[i];
    fate.image_volume = volume->image_volume;
    if (i >= record.file_references.size() || !record.file_references[i]) continue;
    const FileReference& reference = *record.file_references[i];
    fate.lookup = volumes.look_up(*volume->image_volume, reference.mft_entry, reference.sequence);
  }
}

}  // namespace kerf
