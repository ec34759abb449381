// The Sleuth Kit's library is loaded the first time kerf reads a disk image,
// not when kerf starts: it brings some forty other libraries (curl, TLS,
// Kerberos, through its AFF support) whose loading costs every run several
// milliseconds, a loop over thousands of loose files as much as any. kerf
// defines the functions it calls itself, each finding the library's own on
// first use. Without the library they fail as The Sleuth Kit's functions
// fail, and the error says why.
#include <dlfcn.h>
#include <tsk/libtsk.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

class TskLibrary {
 public:
  TskLibrary() {
    m_handle = ::dlopen(KERF_TSK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
      const char* why = ::dlerror();
      m_problem = std::string("The Sleuth Kit's library " KERF_TSK_LIBRARY " can't be loaded: ") +
                  (why != nullptr ? why : "no reason given");
    }
  }

  void* find(const char* name) const { return m_handle != nullptr ? ::dlsym(m_handle, name) : nullptr; }
  const std::string& problem() const noexcept { return m_problem; }

 private:
  void* m_handle = nullptr;
  std::string m_problem;
};

// Loaded once, by whichever thread asks first; never unloaded.
const TskLibrary& library() {
  static const TskLibrary loaded;
  return loaded;
}

template <typename Function>
Function* real(const char* name) {
  return reinterpret_cast<Function*>(library().find(name));
}

}  // namespace

// Each forwards to the library's function of the same name, found once; the
// value after the arguments is what it gives without the library.
#define KERF_TSK_FORWARD(result, name, params, args, missing) \
  extern "C" result name params {                             \
    static auto* const function = real<decltype(name)>(#name); \
    if (function == nullptr) return missing;                  \
    return function args;                                     \
  }

KERF_TSK_FORWARD(ssize_t, tsk_img_read, (TSK_IMG_INFO * img, TSK_OFF_T off, char* buf, size_t len),
                 (img, off, buf, len), -1)
KERF_TSK_FORWARD(void, tsk_img_close, (TSK_IMG_INFO * img), (img), void())
KERF_TSK_FORWARD(TSK_IMG_INFO*, tsk_img_open_utf8,
                 (int num_img, const char* const images[], TSK_IMG_TYPE_ENUM type, unsigned int a_ssize),
                 (num_img, images, type, a_ssize), nullptr)
KERF_TSK_FORWARD(TSK_IMG_INFO*, tsk_img_open_external,
                 (void* ext_img_info, TSK_OFF_T size, unsigned int sector_size,
                  ssize_t (*read)(TSK_IMG_INFO* img, TSK_OFF_T off, char* buf, size_t len),
                  void (*close)(TSK_IMG_INFO*), void (*imgstat)(TSK_IMG_INFO*, FILE*)),
                 (ext_img_info, size, sector_size, read, close, imgstat), nullptr)
KERF_TSK_FORWARD(TSK_VS_INFO*, tsk_vs_open, (TSK_IMG_INFO * img, TSK_DADDR_T offset, TSK_VS_TYPE_ENUM type),
                 (img, offset, type), nullptr)
KERF_TSK_FORWARD(const TSK_VS_PART_INFO*, tsk_vs_part_get, (const TSK_VS_INFO* vs, TSK_PNUM_T idx), (vs, idx),
                 nullptr)
KERF_TSK_FORWARD(void, tsk_vs_close, (TSK_VS_INFO * vs), (vs), void())
KERF_TSK_FORWARD(TSK_FS_INFO*, tsk_fs_open_img, (TSK_IMG_INFO * img, TSK_OFF_T offset, TSK_FS_TYPE_ENUM type),
                 (img, offset, type), nullptr)
KERF_TSK_FORWARD(void, tsk_fs_close, (TSK_FS_INFO * fs), (fs), void())
KERF_TSK_FORWARD(TSK_FS_DIR*, tsk_fs_dir_open_meta, (TSK_FS_INFO * a_fs, TSK_INUM_T a_addr), (a_fs, a_addr), nullptr)
KERF_TSK_FORWARD(size_t, tsk_fs_dir_getsize, (const TSK_FS_DIR* dir), (dir), 0)
KERF_TSK_FORWARD(const TSK_FS_NAME*, tsk_fs_dir_get_name, (const TSK_FS_DIR* a_fs_dir, size_t a_idx),
                 (a_fs_dir, a_idx), nullptr)
KERF_TSK_FORWARD(void, tsk_fs_dir_close, (TSK_FS_DIR * dir), (dir), void())
KERF_TSK_FORWARD(TSK_FS_FILE*, tsk_fs_file_open_meta, (TSK_FS_INFO * fs, TSK_FS_FILE* fs_file, TSK_INUM_T addr),
                 (fs, fs_file, addr), nullptr)
KERF_TSK_FORWARD(ssize_t, tsk_fs_file_read,
                 (TSK_FS_FILE * file, TSK_OFF_T offset, char* buf, size_t len, TSK_FS_FILE_READ_FLAG_ENUM flags),
                 (file, offset, buf, len, flags), -1)
KERF_TSK_FORWARD(void, tsk_fs_file_close, (TSK_FS_FILE * a_fs_file), (a_fs_file), void())
KERF_TSK_FORWARD(int, tsk_fs_file_attr_getsize, (TSK_FS_FILE * a_fs_file), (a_fs_file), 0)
KERF_TSK_FORWARD(const TSK_FS_ATTR*, tsk_fs_file_attr_get, (TSK_FS_FILE * a_fs_file), (a_fs_file), nullptr)
KERF_TSK_FORWARD(const TSK_FS_ATTR*, tsk_fs_file_attr_get_idx, (TSK_FS_FILE * a_fs_file, int a_idx),
                 (a_fs_file, a_idx), nullptr)
KERF_TSK_FORWARD(const TSK_FS_ATTR*, tsk_fs_file_attr_get_type,
                 (TSK_FS_FILE * a_fs_file, TSK_FS_ATTR_TYPE_ENUM type, uint16_t id, uint8_t id_used),
                 (a_fs_file, type, id, id_used), nullptr)
KERF_TSK_FORWARD(ssize_t, tsk_fs_attr_read,
                 (const TSK_FS_ATTR* a_fs_attr, TSK_OFF_T a_offset, char* a_buf, size_t a_len,
                  TSK_FS_FILE_READ_FLAG_ENUM a_flags),
                 (a_fs_attr, a_offset, a_buf, a_len, a_flags), -1)
KERF_TSK_FORWARD(uint8_t, tsk_fs_block_walk,
                 (TSK_FS_INFO * a_fs, TSK_DADDR_T a_start_blk, TSK_DADDR_T a_end_blk, TSK_FS_BLOCK_WALK_FLAG_ENUM a_flags,
                  TSK_FS_BLOCK_WALK_CB a_action, void* a_ptr),
                 (a_fs, a_start_blk, a_end_blk, a_flags, a_action, a_ptr), 1)
KERF_TSK_FORWARD(void, tsk_error_reset, (), (), void())
KERF_TSK_FORWARD(uint32_t, tsk_error_get_errno, (), (), TSK_ERR_AUX_GENERIC)
KERF_TSK_FORWARD(void, tsk_error_set_errno, (uint32_t t_errno), (t_errno), void())

// Without the library, its error is that it is missing.
extern "C" const char* tsk_error_get() {
  static auto* const function = real<decltype(tsk_error_get)>("tsk_error_get");
  return function != nullptr ? function() : library().problem().c_str();
}

// The format is applied here: a variable argument list can't be handed on.
extern "C" void tsk_error_set_errstr(const char* format, ...) {
  static auto* const function = real<decltype(tsk_error_set_errstr)>("tsk_error_set_errstr");
  if (function == nullptr) return;
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  function("%s", text);
}
