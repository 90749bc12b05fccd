#ifndef HUSHMARK_EXTRACT_WAVE_READER_H_
#define HUSHMARK_EXTRACT_WAVE_READER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "extract/byte_reader.h"
#include "extract/errors.h"
#include "extract/scan_state.h"
#include "extract/silence_scan.h"
#include "extract/time_base.h"
#include "extract/wave_chunks.h"

namespace hushmark {

// The identifier as it is shown: its bytes up to the first zero byte, with
// every byte outside printable ASCII written as \xNN.
std::wstring printable_chunk_id(std::uint32_t id);

// Reads the frames of one data chunk of 16-bit stereo PCM, the reader at its
// first frame; when ends_with_input is set, an input that ends early ends the
// chunk. Returns what stopped it, if anything did.
using DataChunkHandler =
    std::function<CoreError(ByteReader& in, std::uint32_t frame_count,
                            bool ends_with_input, TimeBase time_base)>;

// Checks the RIFF header of what `in` reads and walks every chunk, handing
// each data chunk of 16-bit stereo PCM to handle_data and telling notices of
// each chunk it skips. No error when the walk reached the end of the input.
CoreError walk_wave(ByteReader& in, const DataChunkHandler& handle_data,
                    const NoticeSink& notices);

// Walks what `in` reads, handing the points of every data chunk to points as
// they are found and each skipped chunk to notices, in order. No error when
// the walk reached the end of the input.
CoreError scan_wave(ByteReader& in, const ScanRequest& request,
                    const PointSink& points, const NoticeSink& notices);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_WAVE_READER_H_
