// The files a run reads from disk images (-image): for every NTFS volume of
// every image, the files of \Windows\Prefetch, or of the -enumdir folder
// and its subfolders down to -num_subdirs levels, through the input filter.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "driver/cli/run_settings.h"
#include "driver/input/input_name.h"
#include "report/input_file.h"

namespace kerf {

class ImageWalk {
 public:
  // `settings` and `images` must outlive the walk.
  ImageWalk(const InputSettings& settings, const std::vector<std::unique_ptr<OpenedImage>>& images);

  // The next file that passes the filter; false when there is none.
  bool next(InputName& name);

  // Message lines about folders that could not be listed, met since the
  // last call.
  std::vector<std::string> take_problems();
  // How many folders could not be listed (a folder missing from every
  // volume of an image counts once).
  std::uint64_t unreadable_directories() const noexcept { return m_unreadable; }

 private:
  // One file found, in a volume state.
  struct Found {
    const VolumeCopy* copy = nullptr;
    VolumeEntry entry;
    std::vector<SameCopy> copies;  // with -vss: the copies that hold the same bytes, this one first
  };

  // Lists the folder of the next volume, with its shadow-copy stores, into
  // m_found; false when none is left.
  bool list_next_volume();
  // Lists the folder of one volume state; whether the folder is there.
  bool list_copy(const OpenedImage& image, const VolumeCopy& copy, std::vector<Found>& found);
  // Folds the copies of one path whose bytes are the same into the first.
  void fold_same_copies(const OpenedImage& image, std::vector<Found>& found);
  bool passes(const InputName& name);

  const InputSettings& m_settings;
  const std::vector<std::unique_ptr<OpenedImage>>& m_images;
  std::string m_folder;
  unsigned m_depth;
  std::size_t m_image = 0;
  std::size_t m_volume = 0;
  // Whether some volume of the current image holds the folder, and the
  // messages of those that don't, kept until that is known.
  bool m_image_has_folder = false;
  std::vector<std::string> m_missing_folder;
  std::deque<Found> m_found;
  std::vector<std::string> m_problems;
  std::uint64_t m_unreadable = 0;
};

// The folder an image run reads on each volume when -enumdir gives none.
inline constexpr std::string_view kPrefetchFolder = "\\Windows\\Prefetch";

}  // namespace kerf
