#ifndef HUSHMARK_CHAPTERS_SPLIT_H_
#define HUSHMARK_CHAPTERS_SPLIT_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "chapters/breaks.h"
#include "chapters/embed.h"
#include "chapters/embed_plan.h"
#include "platform/console.h"

namespace hushmark {

// Whether the file name in outfile (its last part) holds a chapter number,
// %d, %02d or %03d, and so names one file per chapter.
bool names_chapter_files(std::wstring_view outfile);

// Checks a media output's file name: one with a chapter number holds no %
// sequence but %d, %02d, %03d, %t (the chapter's title) and %%; one without
// holds no %t. False once the reason is out.
bool check_chapter_files(std::wstring_view outfile, platform::Console& console);

// name made safe as a file name on Linux and Windows alike: / \ : * ? " < >
// | and control characters become "_", trailing dots and spaces go, a name
// that Windows keeps for a device (CON, NUL, COM1, ... with any ending) gets
// a "_" before it, and it is cut to what every file system takes (255 bytes
// of UTF-8 and 255 UTF-16 units) while keeping its ending.
std::wstring safe_file_name(std::wstring_view name);

// The path of chapter number's file: outfile's folder, and its file name
// with %d, %02d and %03d the number, %t the title (UTF-8) and %% a percent
// sign, made safe by safe_file_name.
std::wstring chapter_file_path(std::wstring_view outfile, std::uint64_t number,
                               std::string_view title);

// Refuses, before the recording is read, a media output that would replace
// a file: the file outfile names, or with a chapter number any file in its
// folder that the name could give. Nothing is refused with overwrite (-y).
// False once the reason, naming the file and -y, is out.
bool check_new_output(std::wstring_view outfile, bool chapter_files,
                      bool overwrite, platform::Console& console);

// Makes the folders of a name with a chapter number before the scan, so that
// one that cannot be made is known then. False once the reason is out.
bool make_chapter_folder(std::wstring_view outfile, platform::Console& console);

// Writes one file per chapter, named by outfile (see chapter_file_path),
// from the encoder's audio, or the inputs' joined: each file's packets a run
// of the source's, copied, with the chapter's title, its number of all, the
// plan's book tags and cover. From one source, an mp3 file starts frames
// before its chapter and its LAME tag skips to the chapter's sample and ends
// it at the next's, and an mp4 file starts 300 ms early and its edit list
// does the same; other files start at the first packet from their
// chapter's start on. The files are written into a folder of their own beside
// them and moved into place once all are complete; without overwrite, a file
// that has come there since check_new_output is not replaced, and an input
// never is. False, once its message is out, when that cannot be done; then
// no file has changed.
bool write_chapter_files(const EmbedPlan& plan,
                         std::span<const std::wstring> inputs,
                         EmbedEncoder& encoder,
                         std::span<const Chapter> chapters,
                         std::wstring_view outfile, bool overwrite,
                         platform::Console& console);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_SPLIT_H_
