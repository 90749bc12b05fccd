#ifndef HUSHMARK_EXTRACT_FFMPEG_H_
#define HUSHMARK_EXTRACT_FFMPEG_H_

#include <string>
#include <string_view>

namespace hushmark {

// The ffmpeg to run: HUSHMARK_FFMPEG when it is set and not empty, else
// "ffmpeg", which the platform looks up as it looks up any program.
std::wstring ffmpeg_program();

// The ffprobe to run: HUSHMARK_FFPROBE when it is set and not empty, else the
// one beside HUSHMARK_FFMPEG when that is set and not empty, else "ffprobe".
std::wstring ffprobe_program();

// The ffprobe to run beside an ffmpeg program: the same folder, and what
// follows "ffmpeg" in its name ("ffmpeg.exe" gives "ffprobe.exe").
std::wstring ffprobe_beside(std::wstring_view ffmpeg);

// The last line of what ffmpeg or ffprobe wrote on its standard error that
// says something, which is where it says what failed; a file it was named as
// "file:NAME" is shown as NAME.
std::wstring ffmpeg_said(std::string_view error_text);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_FFMPEG_H_
