#include "chapters/output.h"

#include <string>

#include "chapters/formats.h"
#include "chapters/messages.h"
#include "chapters/split.h"

namespace hushmark {

bool ready_output(const ChapterSettings& settings, platform::WholeFile& output,
                  Embedding& embedding, platform::Console& console) {
  if (settings.embed) {
    const std::wstring& outfile = settings.scan.outfile;
    return make_embed_plan(settings.inputs, outfile, settings.kbit_rate,
                           embedding.plan, console, settings.chapter_files) &&
           check_new_output(outfile, settings.chapter_files, settings.overwrite,
                            console) &&
           (!settings.chapter_files || make_chapter_folder(outfile, console)) &&
           (embedding.plan.route == EmbedRoute::kCopy ||
            start_encoder(embedding.plan, settings.scan.outfile,
                          embedding.encoder, console));
  }
  if (input_named_by(settings.inputs, settings.scan.outfile) <
      settings.inputs.size()) {
    console.write(msg::kChaptersSameAsInput);
    return false;
  }
  if (!output.open(settings.scan.outfile)) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  return true;
}

bool write_output(const ChapterSettings& settings,
                  std::span<const Chapter> chapters,
                  platform::WholeFile& output, Embedding& embedding,
                  platform::Console& console) {
  if (settings.chapter_files) {
    return write_chapter_files(
        embedding.plan, settings.inputs, embedding.encoder, chapters,
        settings.scan.outfile, settings.overwrite, console);
  }
  if (settings.embed && embedding.plan.route == EmbedRoute::kEncode) {
    return write_encoded(embedding.plan, embedding.encoder, chapters,
                         settings.scan.outfile, console);
  }
  if (settings.embed) {
    return embed_chapters(embedding.plan, settings.inputs, chapters,
                          settings.scan.outfile, console);
  }
  if (!output.commit(format_chapters(settings.format, chapters,
                                     input_name(settings.scan.infile)))) {
    console.write(msg::kCannotWriteChapters);
    return false;
  }
  return true;
}

}  // namespace hushmark
