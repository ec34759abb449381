#include "testkit/ntfs_image.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "testkit/temp_dir.h"

extern char** environ;

namespace kerf::testing {

namespace {

std::string lines_joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + '\n';
  return text;
}

std::vector<std::string> lines_split(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs `tool` (found as find_tool finds it) with `args` and `input` on its
// standard input; returns its standard output, or throws with its
// standard error when it fails.
std::string run_tool(const std::string& tool, const std::vector<std::string>& args, const std::string& input = {}) {
  const std::string program = tool.find('/') == std::string::npos ? find_tool(tool) : tool;
  if (program.empty()) throw std::runtime_error(tool + " not found");
  const TempDir scratch;
  const std::string in = scratch.write_text("in", input);
  const std::string out = scratch.file("out");
  const std::string err = scratch.file("err");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  int status = 0;
  if (spawned != 0 || waitpid(child, &status, 0) != child)
    throw std::runtime_error("cannot run " + program);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string message = read_file_text(err);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    throw std::runtime_error(tool + " failed: " + message);
  }
  return read_file_text(out);
}

void write_fresh_sparse(const std::string& path, std::uint64_t size) {
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary).close();
  std::filesystem::resize_file(path, size);
}

// Copies `from` into `to` at `offset`, leaving blocks of zeros as holes.
void copy_sparse(const std::string& from, const std::string& to, std::uint64_t offset) {
  std::ifstream in(from, std::ios::binary);
  std::fstream out(to, std::ios::binary | std::ios::in | std::ios::out);
  if (!in || !out) throw std::runtime_error("cannot copy " + from + " into " + to);
  std::vector<char> block(64 * 1024);
  for (std::uint64_t at = offset; in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0;
       at += static_cast<std::uint64_t>(in.gcount())) {
    const auto end = block.begin() + in.gcount();
    if (std::all_of(block.begin(), end, [](char c) { return c == 0; })) continue;
    out.seekp(static_cast<std::streamoff>(at));
    out.write(block.data(), in.gcount());
  }
  if (!out) throw std::runtime_error("cannot write " + to);
}

std::vector<std::uint8_t> read_at(const std::string& path, std::uint64_t offset, std::size_t count) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(count);
  in.seekg(static_cast<std::streamoff>(offset));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count)))
    throw std::runtime_error("cannot read " + path);
  return bytes;
}

std::uint64_t little_endian(const std::vector<std::uint8_t>& bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

std::vector<std::string> split_raw(const std::string& raw, const std::string& out_base) {
  std::ifstream in(raw, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + raw);
  std::vector<std::string> made;
  std::vector<char> piece(1024 * 1024);
  while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
    std::string name = std::to_string(made.size() + 1);
    name = out_base + "." + std::string(3 - std::min<std::size_t>(3, name.size()), '0') + name;
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out.write(piece.data(), in.gcount())) throw std::runtime_error("cannot write " + name);
    made.push_back(name);
  }
  return made;
}

std::string ewf_segment(const std::string& out_base, int piece) {
  return out_base + (piece < 10 ? ".E0" : ".E") + std::to_string(piece);
}

std::vector<std::string> ewf(const std::string& raw, const std::string& out_base) {
  // ewfacquire will not write over segments an earlier run left.
  for (int piece = 1; piece < 100; ++piece) std::filesystem::remove(ewf_segment(out_base, piece));
  run_tool("ewfacquire", {"-u", "-q", "-t", out_base, "-S", "1048576", "-c", "none", "-f", "encase6", "-C", "kerf",
                          "-D", "kerf test image", "-E", "1", "-e", "kerf", "-N", "none", raw});
  std::vector<std::string> made;
  for (int piece = 1; piece < 100 && std::filesystem::exists(ewf_segment(out_base, piece)); ++piece)
    made.push_back(ewf_segment(out_base, piece));
  if (made.empty()) throw std::runtime_error("ewfacquire made no " + out_base + ".E01");
  return made;
}

}  // namespace

std::string find_tool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(std::string(path != nullptr ? path : "") + ":/usr/sbin:/sbin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate)) return candidate;
  }
  return {};
}

std::string ntfs_writer() {
#ifdef KERF_NTFS_WRITER
  return KERF_NTFS_WRITER;
#else
  return {};
#endif
}

std::string missing_tools(std::initializer_list<const char*> tools) {
  for (const std::string tool : tools) {
    if (tool == "kerf_ntfs_writer" ? ntfs_writer().empty() : find_tool(tool).empty())
      return tool == "kerf_ntfs_writer" ? "kerf_ntfs_writer not built (libntfs-3g missing)" : tool + " not found";
  }
  return {};
}

void format_ntfs(const std::string& image, std::uint64_t size) {
  write_fresh_sparse(image, size);
  run_tool("mkntfs", {"-F", "-Q", "-q", image});
}

std::vector<std::string> run_ntfs_writer(const std::string& image, const std::vector<std::string>& commands) {
  if (ntfs_writer().empty()) throw std::runtime_error(missing_tools({"kerf_ntfs_writer"}));
  return lines_split(run_tool(ntfs_writer(), {image}, lines_joined(commands)));
}

FileReference reference_of(const std::string& put_line) {
  const auto last = put_line.rfind('\t');
  const auto middle = last == std::string::npos || last == 0 ? std::string::npos : put_line.rfind('\t', last - 1);
  if (middle == std::string::npos) throw std::runtime_error("not a reference: " + put_line);
  return {std::stoull(put_line.substr(middle + 1, last - middle - 1)),
          static_cast<std::uint16_t>(std::stoul(put_line.substr(last + 1)))};
}

std::vector<VolumeRun> runs_of(const std::string& clusters_line) {
  std::vector<VolumeRun> runs;
  std::istringstream fields(clusters_line);
  std::string field;
  std::getline(fields, field, '\t');  // the path
  while (std::getline(fields, field, '\t')) {
    const auto plus = field.find('+');
    if (plus == std::string::npos) throw std::runtime_error("not a run: " + field);
    const std::uint64_t begin = std::stoull(field.substr(0, plus));
    runs.push_back({begin, begin + std::stoull(field.substr(plus + 1))});
  }
  return runs;
}

std::vector<FileReference> make_ntfs_volume(const std::string& image, std::uint64_t size,
                                            const std::vector<NtfsFile>& files) {
  format_ntfs(image, size);
  const TempDir scratch;
  std::vector<std::string> commands;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].path.find_first_of("\t\n") != std::string::npos)
      throw std::runtime_error("a tab or line break in " + files[i].path);
    commands.push_back("put\t" + files[i].path + "\t" + scratch.write("file" + std::to_string(i), files[i].bytes));
  }
  for (const auto& file : files)
    if (file.deleted) commands.push_back("delete\t" + file.path);
  std::vector<FileReference> references;
  for (const auto& line : run_ntfs_writer(image, commands)) references.push_back(reference_of(line));
  if (references.size() != files.size()) throw std::runtime_error("the writer did not report every file");
  return references;
}

std::uint64_t ntfs_volume_serial(const std::string& volume_image) {
  return little_endian(read_at(volume_image, 0, 512), 0x48, 8);
}

void set_ntfs_volume_serial(const std::string& volume_image, std::uint64_t serial) {
  const auto boot = read_at(volume_image, 0, 512);
  // The backup boot sector is the sector after the last one the volume
  // counts.
  const std::uint64_t backup = little_endian(boot, 0x28, 8) * little_endian(boot, 0x0B, 2);
  std::fstream image(volume_image, std::ios::binary | std::ios::in | std::ios::out);
  char bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(serial >> (8 * i));
  for (const std::uint64_t sector : {std::uint64_t{0}, backup}) {
    if (sector != 0 && sector + 512 > std::filesystem::file_size(volume_image)) continue;
    image.seekp(static_cast<std::streamoff>(sector + 0x48));
    image.write(bytes, 8);
  }
  if (!image) throw std::runtime_error("cannot write " + volume_image);
}

void make_disk(const std::string& disk, std::uint64_t size, bool gpt, const std::vector<Partition>& parts) {
  write_fresh_sparse(disk, size);
  std::string script = std::string("label: ") + (gpt ? "gpt" : "dos") + "\nunit: sectors\n";
  for (const auto& part : parts) {
    if (part.offset % 512 != 0 || part.size % 512 != 0) throw std::runtime_error("partitions must be in sectors");
    script += "start=" + std::to_string(part.offset / 512) + ", size=" + std::to_string(part.size / 512) +
              ", type=" + part.type + "\n";
  }
  run_tool("sfdisk", {"--no-reread", "--no-tell-kernel", "-q", disk}, script);
  for (const auto& part : parts)
    if (!part.volume_image.empty()) {
      if (std::filesystem::file_size(part.volume_image) > part.size)
        throw std::runtime_error(part.volume_image + " is larger than its partition");
      copy_sparse(part.volume_image, disk, part.offset);
    }
}

std::vector<std::string> convert_image(const std::string& raw, ImageFormat format, const std::string& out_base) {
  std::string qemu_format;
  std::string extension;
  std::vector<std::string> options;
  switch (format) {
    case ImageFormat::E01: return ewf(raw, out_base);
    case ImageFormat::SplitRaw: return split_raw(raw, out_base);
    case ImageFormat::Qcow2: qemu_format = extension = "qcow2"; break;
    case ImageFormat::Vmdk: qemu_format = extension = "vmdk"; break;
    // Without force_size the virtual disk is rounded up to a whole
    // cylinder-head-sector geometry.
    case ImageFormat::Vhd: qemu_format = "vpc", extension = "vhd", options = {"-o", "force_size=on"}; break;
    case ImageFormat::Vhdx: qemu_format = extension = "vhdx"; break;
  }
  const std::string out = out_base + "." + extension;
  std::vector<std::string> args{"convert", "-q", "-f", "raw", "-O", qemu_format};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {raw, out});
  run_tool("qemu-img", args);
  return {out};
}

}  // namespace kerf::testing
