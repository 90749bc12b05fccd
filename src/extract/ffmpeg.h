#ifndef HUSHMARK_EXTRACT_FFMPEG_H_
#define HUSHMARK_EXTRACT_FFMPEG_H_

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

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

// ffmpeg's arguments that every run begins with, so that it shows nothing but
// its errors and never reads the console, followed by rest.
std::vector<std::wstring> ffmpeg_arguments(
    std::initializer_list<std::wstring> rest = {});

// A path as ffmpeg and ffprobe are given it: always the file of that name,
// even one that begins with "-" or looks like "concat:" or "http:".
std::wstring ffmpeg_file(std::wstring_view path);

// The last line of what ffmpeg or ffprobe wrote on its standard error that
// says something, which is where it says what failed; a file named to it by
// ffmpeg_file is shown by its path alone.
std::wstring ffmpeg_said(std::string_view error_text);

}  // namespace hushmark

#endif  // HUSHMARK_EXTRACT_FFMPEG_H_
