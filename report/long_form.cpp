#include "report/long_form.h"

#include <string>
#include <string_view>

#include "lib/text/escape.h"
#include "lib/text/numbers.h"
#include "report/file_facts.h"
#include "report/report_text.h"

namespace kerf {

namespace {

constexpr std::string_view kFileSeparator = " =================================================== \n\n";

// "001 : name": at least three digits, more when the list is longer; the
// line's end is left to the caller.
void append_numbered(std::string& out, std::uint64_t number, std::string_view name) {
  text::append_zero_padded(out, number, 3);
  out += " : ";
  text::append_escaped(out, name);
}

// " [deleted]", " [reused]", " [in use]" or " [in use, now <path>]" after a
// loaded file's name: what became of it in the disk image, when known.
void append_fate(std::string& out, const PrefetchRecord& record, std::size_t index) {
  const MftLookup fate = loaded_file_fate(record, index);
  if (fate.state == MftState::unknown) return;
  out += " [";
  out += mft_state_label(fate.state);
  if (const std::string_view now = moved_to(record, index, fate); !now.empty()) {
    out += ", now ";
    text::append_escaped(out, now);
  }
  out.push_back(']');
}

// "hash:" with the stored hash, the verdict and the path it proves, and a
// warning when the file's name carries another hash.
void append_hash_lines(std::string& text, const InputFile& input, const PrefetchRecord& record) {
  text += "hash:           ";
  text::append_hex(text, record.stored_hash, 8, true);
  const HashCheck& check = record.hash_check;
  if (check.verified) {
    text += " verified ";
    text::append_escaped(text, check.device_path);
    if (check.volume_number != 0) {
      text += " (volume ";
      text::append_decimal(text, check.volume_number);
      text.push_back(')');
    }
  } else {
    text += " unverified";
  }
  text.push_back('\n');
  const NameHashMatch match = name_hash_match(input, record);
  if (match.contradicts()) {
    text += "warning:        the file name carries hash ";
    text::append_hex(text, *match.name_hash, 8, true);
    text += ", not the stored hash: the file was renamed\n";
  }
}

// A carved find: where it starts, how many bytes it took, and, for one cut
// short, a line no reader can miss with what could not be read.
void append_carved_lines(std::string& text, const PrefetchRecord& record) {
  text += "\ncarved:         ";
  text::append_decimal(text, record.source.size);
  text += " bytes from byte ";
  text::append_decimal(text, *record.source.carved_at);
  if (!record.cut) return;
  const CutShort& cut = *record.cut;
  if (cut.read < cut.declared) {
    text += "\nPARTIAL:        only ";
    text::append_decimal(text, cut.read);
    text += " of its ";
    text::append_decimal(text, cut.declared);
    text += " bytes could be read";
  } else {
    text += "\nPARTIAL:        its header survived, other data overwrote what follows";
  }
  if (cut.loaded_files || cut.volumes) {
    text += "; not read: ";
    text += cut.loaded_files && cut.volumes ? "the loaded files and the volumes"
            : cut.loaded_files              ? "the loaded files"
                                            : "the volumes";
  }
}

}  // namespace

LongFormRenderer::LongFormRenderer(const ReportSettings& settings)
    : m_format(settings.date_pattern, settings.time_pattern),
      m_separators(settings.bulk_run && settings.verbose),
      m_verify(settings.verify),
      m_verbose(settings.verbose_typed) {}

void LongFormRenderer::begin(std::string& out) {
  if (m_separators) out += kFileSeparator;
}

void LongFormRenderer::render(const InputFile& input, const PrefetchRecord& record, RenderedFile& file) const {
  file.clear();
  std::string& text = file.text;
  text.reserve(2048 + record.loaded_files.size() * 96);

  // The file's own times are shown to the second.
  text += "Analyzing file: ";
  text::append_escaped(text, input.path);
  if (record.source.carved_at) {
    // A find has no file of its own, so no times of one.
    append_carved_lines(text, record);
  } else {
    text += "\nmodified:       ";
    m_format.append_date_time(text, record.source.modified, false);
    text += "\naccessed:       ";
    m_format.append_date_time(text, record.source.accessed, false);
    text += "\nstats changed:  ";
    m_format.append_date_time(text, record.source.changed, false);
  }
  if (record.source.in_volume && record.source.deleted) text += "\ndeleted:        yes, its MFT entry is free";
  if (record.source.store) {
    text += "\nshadow copy:    store ";
    text::append_decimal(text, *record.source.store);
    text += ", made ";
    m_format.append_date_time(text, record.source.store_created, false);
  }
  if (input.copies.size() > 1) {
    text += "\nsame bytes in:  ";
    for (std::size_t i = 0; i < input.copies.size(); ++i) {
      if (i != 0) text += ", ";
      if (input.copies[i].store) {
        text += "store ";
        text::append_decimal(text, *input.copies[i].store);
      } else {
        text += "the volume";
      }
    }
  }
  text += "\n\ntarget file:    ";
  text::append_escaped(text, record.exe_name);
  text += ", run ";
  text::append_decimal(text, record.run_count);
  text += record.run_count == 1 ? " time" : " times";
  text += "\nLast run:       ";
  m_format.append_date_time(text, record.last_run_time);
  text.push_back('\n');
  for (const std::uint64_t time : record.previous_run_times) {
    text += "Prev run:       ";
    m_format.append_date_time(text, time);
    text.push_back('\n');
  }
  text += "path:           ";
  text::append_escaped(text, record.app_path);
  text.push_back('\n');
  if (m_verify) append_hash_lines(text, input, record);
  // A compressed container that carries a checksum: whether it holds. A
  // file whose checksum fails is decoded all the same; the report says so.
  if (const std::optional<bool> checksum = record.checksum_verdict()) {
    text += *checksum ? "checksum:       container CRC-32 matches\n"
                      : "checksum:       container CRC-32 does not match; decoded all the same\n";
  }
  text += "\n --------- files mapped --------- \n\n";
  if (record.cut && record.cut->loaded_files) text += "(not read: they lie past the end of the find)\n";

  // With -verbose, a file read from a disk image tells what became of each
  // loaded file there.
  const bool fates = m_verbose && record.source.in_volume;
  for (std::size_t i = 0; i < record.loaded_files.size(); ++i) {
    append_numbered(text, i + 1, record.loaded_files[i]);
    if (fates) append_fate(text, record, i);
    text.push_back('\n');
  }

  text += "\n --------- directories mapped --------- \n\n";
  if (record.cut && record.cut->volumes) text += "(not read: they lie past the end of the find)\n\n";
  for (const Volume& volume : record.volumes) {
    text += "vol path:     ";
    text::append_escaped(text, volume.device_path);
    if (fates && volume.image_volume) {
      text += " (image volume at byte ";
      text::append_decimal(text, *volume.image_volume);
      text.push_back(')');
    }
    text += "\ntime created: ";
    m_format.append_date_time(text, volume.created);
    text += "\nserial num:   ";
    append_volume_serial(text, volume.serial);
    text += "\n\n";
    std::uint64_t number = 0;
    for (const std::string_view name : volume.directories) {
      append_numbered(text, ++number, name);
      text.push_back('\n');
    }
    text.push_back('\n');
  }
  if (m_separators) text += kFileSeparator;
}

}  // namespace kerf
