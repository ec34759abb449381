#include "testkit/vss_image.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>

#include "testkit/prefetch_image_builder.h"
#include "testkit/temp_dir.h"

extern char** environ;

namespace kerf::testing {

namespace {

// Runs the writer with `args`; throws with what it said when it fails.
void run_vss_writer(const std::vector<std::string>& args) {
  if (vss_writer().empty()) throw std::runtime_error("kerf_vss_writer not built");
  const TempDir scratch;
  const std::string err = scratch.file("err");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::string program = vss_writer();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  int status = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0 || waitpid(child, &status, 0) != child) throw std::runtime_error("cannot run " + program);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string message = read_file_text(err);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    throw std::runtime_error("kerf_vss_writer failed: " + message);
  }
}

constexpr std::uint64_t kHour = 36000000000ull;
constexpr std::uint64_t kStart = 132588576000000000ull;  // 2021-02-27 00:00:00 UTC
constexpr std::uint64_t kVolumeSize = 8 * 1024 * 1024;

std::uint64_t at_hour(unsigned hour) { return kStart + hour * kHour; }

PrefetchCopy prefetch(const std::string& name, const std::wstring& exe, std::uint32_t hash, std::uint32_t runs,
                      std::vector<std::uint64_t> times) {
  PrefetchCopy copy{name, {}, runs, std::move(times), {}};
  copy.bytes = PrefetchImageBuilder(30)
                   .exe_name(exe)
                   .path_hash(hash)
                   .run_count(runs)
                   .run_times(copy.run_times)
                   .file_names({L"\\VOLUME{01d70c5a00000000-5eed1234}\\WINDOWS\\SYSTEM32\\" + exe})
                   .add_volume({L"\\VOLUME{01d70c5a00000000-5eed1234}", 0x5eed1234, at_hour(0), {L"\\WINDOWS"}})
                   .build();
  return copy;
}

std::string path_of(const PrefetchCopy& copy) { return "\\Windows\\Prefetch\\" + copy.name; }

}  // namespace

std::string vss_writer() {
#ifdef KERF_VSS_WRITER
  return KERF_VSS_WRITER;
#else
  return {};
#endif
}

void add_shadow_copies(const std::string& live_volume, const std::vector<std::string>& older_volumes,
                       const std::vector<std::uint64_t>& creation_times) {
  std::vector<std::string> args;
  for (const std::uint64_t time : creation_times) args.insert(args.end(), {"-t", std::to_string(time)});
  args.push_back(live_volume);
  args.insert(args.end(), older_volumes.begin(), older_volumes.end());
  run_vss_writer(args);
}

const PrefetchCopy* PrefetchState::find(const std::string& name) const {
  for (const auto& file : files)
    if (file.name == name) return &file;
  return nullptr;
}

PrefetchHistory make_prefetch_history(const std::string& folder) {
  const std::string cmd = "CMD.EXE-4A81B364.pf", notepad = "NOTEPAD.EXE-D8414F97.pf", calc = "CALC.EXE-AC08706A.pf";
  PrefetchHistory history;
  // NOTEPAD.EXE's runs; a file keeps the last 8, newest first.
  const unsigned notepad_hours[] = {1, 2, 13, 14, 15, 16, 17, 18, 19, 35};
  auto last = [&](unsigned runs) {
    std::vector<std::uint64_t> times;
    for (unsigned run = runs; run >= 1 && times.size() < 8; --run) times.push_back(at_hour(notepad_hours[run - 1]));
    return times;
  };
  history.oldest_only_time = at_hour(notepad_hours[0]);
  history.states = {
      {folder + "/store1.raw",
       at_hour(12),
       {prefetch(cmd, L"CMD.EXE", 0x4A81B364, 12, {at_hour(11), at_hour(9)}),
        prefetch(notepad, L"NOTEPAD.EXE", 0xD8414F97, 2, last(2)),
        prefetch(calc, L"CALC.EXE", 0xAC08706A, 1, {at_hour(5)})}},
      {folder + "/store2.raw",
       at_hour(30),
       {prefetch(cmd, L"CMD.EXE", 0x4A81B364, 14, {at_hour(25), at_hour(20), at_hour(11), at_hour(9)}),
        prefetch(notepad, L"NOTEPAD.EXE", 0xD8414F97, 9, last(9)),
        prefetch(calc, L"CALC.EXE", 0xAC08706A, 2, {at_hour(22), at_hour(5)})}},
      {folder + "/live.raw",
       0,
       {prefetch(cmd, L"CMD.EXE", 0x4A81B364, 2, {at_hour(41), at_hour(40)}),
        prefetch(notepad, L"NOTEPAD.EXE", 0xD8414F97, 10, last(10))}},
  };
  history.live_volume = history.states.back().volume;

  // Each state grows out of the one before it: files rewritten in place,
  // CALC.EXE deleted last.
  const TempDir scratch;
  auto& oldest = history.states.front();
  std::vector<NtfsFile> files;
  for (const auto& copy : oldest.files) files.push_back({path_of(copy), copy.bytes});
  const auto references = make_ntfs_volume(oldest.volume, kVolumeSize, files);
  for (std::size_t i = 0; i < references.size(); ++i) oldest.files[i].reference = references[i];
  for (std::size_t s = 1; s < history.states.size(); ++s) {
    const auto& before = history.states[s - 1];
    auto& state = history.states[s];
    std::filesystem::copy_file(before.volume, state.volume, std::filesystem::copy_options::overwrite_existing);
    std::vector<std::string> commands;
    for (auto& copy : state.files) {
      copy.reference = before.find(copy.name)->reference;
      commands.push_back("fill\t" + path_of(copy) + "\t" + scratch.write(std::to_string(s) + copy.name, copy.bytes));
    }
    for (const auto& copy : before.files)
      if (state.find(copy.name) == nullptr) commands.push_back("delete\t" + path_of(copy));
    run_ntfs_writer(state.volume, commands);
  }
  add_shadow_copies(history.live_volume, {history.states[0].volume, history.states[1].volume},
                    {history.states[0].creation_time, history.states[1].creation_time});
  return history;
}

}  // namespace kerf::testing
