// The input modes and the road of one file through them:
//
//   next name -> load -> render -> write
//
// A single file named on the command line takes that road once; a bulk run
// (-pipe, -enumdir, or several names on the command line) takes it for every
// name its source hands out that passes the input filter, and a file that
// fails does not stop the run. A bulk run spreads loading and rendering over
// several threads (-threads) and writes everything in input order.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "driver/run/file_result.h"
#include "sources/image/opened_image.h"
#include "driver/cli/run_settings.h"
#include "lib/io/message_sink.h"
#include "lib/io/output_file.h"
#include "report/renderer.h"

namespace kerf {

// What the loader works out for the layout of a run: only what the
// renderer shows (the hash check, file references, the birth time).
DecodeOptions decode_options(const Renderer& renderer);

// The one file named on the command line. `diagnostics`: the -diags file,
// or null (as for run_bulk).
RunSummary run_single_file(const RunSettings& settings, io::File* diagnostics, Renderer& renderer, io::OutputFile& out,
                           const std::vector<io::FileId>& excluded, io::MessageSink& messages);

// A bulk run over names typed on the command line, piped names or a
// directory tree, then the files of the opened disk images. Writes "kerf: N files: R reported, F failed" to `messages`
// at the end (unless -quiet), followed by ", D directories unreadable" when
// a walk could not list D directories, and ", V images or volumes
// unreadable" for the lines of `image_problems` (written first: each names
// an image, or a volume in one, that could not be opened). With -carve, the
// pieces of `carve_streams` come last; the line then counts the streams
// carved, the hits that did not decode and the finds that repeated a file
// reported, and `carve_problems` (streams that could not be opened) count
// with the ranges that could not be read.
RunSummary run_bulk(const RunSettings& settings, io::File* diagnostics, Renderer& renderer, io::OutputFile& out,
                    const std::vector<io::FileId>& excluded, io::MessageSink& messages, std::FILE* input = stdin,
                    const std::vector<std::unique_ptr<OpenedImage>>& images = {},
                    const std::vector<std::string>& image_problems = {},
                    const std::vector<std::unique_ptr<ByteStream>>& carve_streams = {},
                    const std::vector<std::string>& carve_problems = {});

}  // namespace kerf
