#include "report/json_record.h"

#include "report/file_facts.h"
#include "report/json_writer.h"

namespace kerf {

namespace {

void write_source(JsonLineWriter& json, const InputFile& input, const PrefetchRecord& record, bool shadow_copies) {
  const SourceFile& source = record.source;
  json.key("source");
  json.begin_object();
  json.key("path");
  json.text(input.path);
  json.key("name");
  json.text(input.name);
  json.key("size");
  json.number(source.size);
  json.key("modified");
  json.time(source.modified);
  json.key("accessed");
  json.time(source.accessed);
  json.key("changed");
  json.time(source.changed);
  json.key("born");
  json.time(source.born);
  // A file read from a volume of a disk image: whether it was among the
  // volume's deleted entries, and its $FILE_NAME times.
  if (source.in_volume) {
    const FileNameTimes times = source.file_name_times.value_or(FileNameTimes{});
    json.key("deleted");
    json.optional_boolean(source.deleted);
    json.key("fn_modified");
    json.time(times.modified);
    json.key("fn_accessed");
    json.time(times.accessed);
    json.key("fn_changed");
    json.time(times.changed);
    json.key("fn_born");
    json.time(times.born);
    // With -vss: the shadow-copy store that held it; null for the live volume.
    if (shadow_copies) json.store_members(source.store, source.store_created);
  }
  // A find carved from a stream of bytes: where it starts, and whether it
  // stops short of the size its header declares.
  if (source.carved_at) {
    json.key("carved");
    json.optional_boolean(true);
    json.key("offset");
    json.number(*source.carved_at);
    json.key("partial");
    json.optional_boolean(record.cut.has_value());
    if (record.cut) {
      json.key("bytes_read");
      json.number(record.cut->read);
      json.key("bytes_declared");
      json.number(record.cut->declared);
      json.key("overwritten");
      json.optional_boolean(record.cut->overwritten);
    }
  }
  json.end_object();
}

// What the stored hash proves, and whether the hash in the file's own name
// agrees with it (null when the name carries none).
void write_hash_check(JsonLineWriter& json, const PrefetchRecord& record, const NameHashMatch& name) {
  const HashCheck& check = record.hash_check;
  json.key("hash_check");
  json.begin_object();
  json.key("verdict");
  json.text(check.verified ? "verified" : "unverified");
  // The path and volume number are facts only of a verified hash.
  json.key("device_path");
  json.text_or_null(check.verified ? std::string_view(check.device_path) : std::string_view());
  json.key("volume_number");
  json.optional_number(check.verified ? std::optional<std::uint64_t>(check.volume_number) : std::nullopt);
  json.key("name_matches");
  json.optional_boolean(name.matches);
  json.end_object();
}

// A file read from a disk image says which of the image's volumes each of
// its volumes is.
void write_volumes(JsonLineWriter& json, const std::vector<Volume>& volumes, bool in_image) {
  json.key("volumes");
  json.begin_array();
  for (const Volume& volume : volumes) {
    json.begin_object();
    json.key("device_path");
    json.text(volume.device_path);
    json.key("serial");
    json.hex32(volume.serial);
    json.key("created");
    json.time(volume.created);
    json.key("name_matches");
    json.optional_boolean(volume.name_matches);
    if (in_image) {
      json.key("image_volume");
      json.optional_number(volume.image_volume);
    }
    json.key("directories");
    json.begin_array();
    for (const std::string_view directory : volume.directories) json.text(directory);
    json.end_array();
    json.end_object();
  }
  json.end_array();
}

// Each loaded file with its NTFS file reference; a file past the end of the
// reference list, or without one, has null for both numbers. A file read
// from a disk image adds what became of each one there.
void write_files(JsonLineWriter& json, const PrefetchRecord& record) {
  json.key("files");
  json.begin_array();
  for (std::size_t i = 0; i < record.loaded_files.size(); ++i) {
    const FileReference* reference = nullptr;
    if (i < record.file_references.size() && record.file_references[i]) reference = &*record.file_references[i];
    json.begin_object();
    json.key("path");
    json.text(record.loaded_files[i]);
    json.key("mft_entry");
    json.optional_number(reference ? std::optional<std::uint64_t>(reference->mft_entry) : std::nullopt);
    json.key("mft_sequence");
    json.optional_number(reference ? std::optional<std::uint64_t>(reference->sequence) : std::nullopt);
    if (record.source.in_volume) {
      const MftLookup fate = loaded_file_fate(record, i);
      json.key("mft_state");
      json.text(mft_state_label(fate.state));
      json.key("current_path");
      json.text_or_null(fate.state == MftState::in_use ? std::string_view(fate.current_path) : std::string_view());
    }
    json.end_object();
  }
  json.end_array();
}

}  // namespace

void JsonRecordRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  JsonLineWriter json(file.text);
  const NameHashMatch name = name_hash_match(input, record);

  json.begin_object();
  write_source(json, input, record, m_settings.shadow_copies);
  // With -vss: every copy (the live volume's, the stores') holding exactly
  // these bytes; `source` is the first.
  if (!input.copies.empty()) {
    json.key("copies");
    json.begin_array();
    for (const SameCopy& copy : input.copies) {
      json.begin_object();
      json.store_members(copy.store, copy.store_created);
      json.key("path");
      json.text(copy.path);
      json.end_object();
    }
    json.end_array();
  }
  json.key("format_version");
  json.number(record.format_version);
  json.key("format");
  json.text(record.format_label());
  json.key("container");
  json.text(container_label(record.container));
  json.key("checksum");
  const std::optional<bool> checksum = record.checksum_verdict();
  json.text_or_null(!checksum ? "" : *checksum ? "match" : "mismatch");
  json.key("executable");
  json.text(record.exe_name);
  json.key("run_count");
  json.number(record.run_count);
  json.key("last_run");
  json.time(record.last_run_time);
  json.key("previous_runs");
  json.begin_array();
  for (const std::uint64_t time : record.previous_run_times) json.time(time);
  json.end_array();
  json.key("run_times_in_order");
  json.optional_boolean(record.run_times_in_order);
  json.key("path");
  json.text(record.app_path);
  json.key("hash");
  json.hex32(record.stored_hash);
  json.key("name_hash");
  if (name.name_hash) {
    json.hex32(*name.name_hash);
  } else {
    json.null();
  }
  // What a find cut short could not read is null, never an empty list or
  // a verdict reached without it.
  const bool volumes_cut = record.cut && record.cut->volumes;
  const bool files_cut = record.cut && record.cut->loaded_files;
  if (volumes_cut || files_cut) {
    json.key("hash_check");
    json.null();
  } else {
    write_hash_check(json, record, name);
  }
  json.key("embedded_path");
  json.text_or_null(record.embedded_path);
  if (volumes_cut) {
    json.key("volumes");
    json.null();
  } else {
    write_volumes(json, record.volumes, record.source.in_volume);
  }
  if (files_cut) {
    json.key("files");
    json.null();
  } else {
    write_files(json, record);
  }
  json.text_member_if_given("hostname", m_settings.hostname);
  json.text_member_if_given("username", m_settings.username);
  json.end_object();
  json.end_line();
}

}  // namespace kerf
