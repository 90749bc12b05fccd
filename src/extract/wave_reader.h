#ifndef HUSHMARK_EXTRACT_WAVE_READER_H_
#define HUSHMARK_EXTRACT_WAVE_READER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "extract/byte_reader.h"
#include "extract/scan_state.h"
#include "extract/time_base.h"
#include "extract/wave_chunks.h"
#include "platform/console.h"
#include "platform/files.h"

namespace hushmark {

// The identifier as it is shown: its bytes up to the first zero byte, with
// every byte outside printable ASCII written as \xNN.
std::wstring printable_chunk_id(std::uint32_t id);

// Reads the frames of one data chunk of 16-bit stereo PCM, the reader at its
// first frame; when ends_with_input is set, an input that ends early ends the
// chunk. False after a failure, once its message is out.
using DataChunkHandler =
    std::function<bool(ByteReader& in, std::uint32_t frame_count,
                       bool ends_with_input, TimeBase time_base)>;

// Checks the RIFF header of what `in` reads and walks every chunk, handing
// each data chunk of 16-bit stereo PCM to handle_data. True when the walk
// reached the end of the input; false after any failure, once its message is
// out.
bool walk_wave(ByteReader& in, const DataChunkHandler& handle_data,
               platform::Console& console);

// Walks what `in` reads, writing a console line and a chapter line for every
// point of every data chunk; chapters stays open. True when the walk reached
// the end of the input; false after any failure, once its message is out.
bool extract_points(ByteReader& in, const ScanRequest& request,
                    platform::OutputFile& chapters, platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_WAVE_READER_H_
