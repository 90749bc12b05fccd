#include "chapters/run.h"

#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chapters/align.h"
#include "chapters/breaks.h"
#include "chapters/chapter_list.h"
#include "chapters/choose.h"
#include "chapters/messages.h"
#include "chapters/output.h"
#include "chapters/tables.h"
#include "chapters/titles.h"
#include "cli/core_words.h"
#include "extract/ffmpeg.h"
#include "extract/point_format.h"
#include "extract/progress.h"
#include "extract/recording_scan.h"
#include "extract/timeline.h"

namespace hushmark {
namespace {

// Reads the inputs as one recording, refusing one without sound, and
// chooses what the options leave to the recording. An encoded copy hears the
// samples as ffmpeg decodes them, its delay and padding trimmed.
bool read_recording(const ChapterSettings& settings, Embedding& embedding,
                    Timeline& timeline, AutoChoice& choice,
                    platform::Console& console) {
  ScanPlan plan = scan_plan(settings);
  if (settings.embed && embedding.plan.route == EmbedRoute::kEncode) {
    plan.every_sample = false;
    plan.channels = embedding.plan.channels;
    plan.tee = [&embedding](std::span<const std::uint8_t> samples) {
      feed_encoder(embedding.encoder, samples);
    };
  }
  RecordingRuns runs;
  Progress progress;
  if (console.is_terminal()) {
    progress_start(progress, console, settings.inputs);
    plan.progress = &progress;
  }
  const CoreError error =
      scan_recording(settings.inputs, plan, runs, notices_to(console));
  progress_end(progress);
  if (!succeeded(error, console)) return false;
  timeline = choose_timeline(settings, runs, choice);
  if (timeline_end_ms(timeline) == 0) {
    console.write(msg::kChaptersNoSound);
    return false;
  }
  note_later_data(timeline, console);
  return true;
}

// The chapters: the given list aligned, or the breaks chosen (none besides
// the files' with -x alone), titled in order from the titles file, then the
// long ones split. titled_count is their number before the split.
std::vector<Chapter> make_list(const ChapterSettings& settings,
                               std::span<const std::string> titles,
                               std::span<const ListedChapter> listed,
                               const AutoChoice& choice, Timeline& timeline,
                               std::size_t& titled_count,
                               platform::Console& console) {
  // Files that are the chapters start them, and nothing else does.
  const bool file_starts = settings.file_chapters || choice.files.chapters;
  const BreakRules rules = break_rules(
      settings, titles, choice.pauses.found && !choice.files.chapters);
  if (settings.lead_in_ms) {
    place_lead_in(timeline, cut_position_of(settings.scan.cut_position),
                  static_cast<std::uint32_t>(*settings.lead_in_ms));
  }
  std::vector<Chapter> chapters;
  if (settings.align_file) {
    // The list gives the chapters; its drift is fitted to the pauses.
    const Alignment alignment =
        align_chapters(listed, timeline, rules.cut, settings.align_window);
    console.write(alignment_table(alignment, listed, timeline,
                                  locale_decimal_separator()));
    chapters = aligned_chapters(alignment, listed, timeline);
    number_titles(timeline, chapters, settings.title);
  } else {
    chapters = list_chapters(timeline, choose_breaks(timeline, rules),
                             settings.title, file_starts);
  }
  titled_count = chapters.size();
  apply_titles(chapters, titles);
  if (settings.split_seconds) {
    chapters = split_long_chapters(timeline, chapters, split_rules(settings));
    number_titles(timeline, chapters, settings.title);
  }
  return chapters;
}

// Shows the chapters, then what the console should know of them.
void show_list(const ChapterSettings& settings, const Timeline& timeline,
               const AutoChoice& choice, std::span<const Chapter> chapters,
               std::size_t titles, std::size_t titled_count,
               platform::Console& console) {
  show_chapters(timeline, chapters, console);
  note_titles(titles, titled_count, console);
  if (settings.split_seconds) {
    note_long(chapters, split_max_ms(settings), console);
  }
  note_cue_tracks(settings.format, chapters.size(), console);
  note_choice(choice, timeline.time_base, console);
  console.flush();
}

// The input's own chapters, each to the next one's start and the last to
// the recording's end, titled from the titles file where it gives one. A
// chapter that starts where the one before it does, or at the end, has no
// sound of its own and goes.
std::vector<Chapter> own_chapter_list(std::span<const ListedChapter> own,
                                      std::span<const std::string> titles,
                                      std::uint64_t end_ms) {
  std::vector<Chapter> chapters;
  for (const ListedChapter& c : own) {
    if (c.start_ms >= end_ms ||
        (!chapters.empty() && c.start_ms <= chapters.back().start_ms)) {
      continue;
    }
    if (!chapters.empty()) chapters.back().end_ms = c.start_ms;
    chapters.push_back({c.start_ms, end_ms, 0, c.title, true});
  }
  apply_titles(chapters, titles);
  return chapters;
}

// -c: the input's own chapters written as they are. Only an encoded output
// reads the recording, for the samples its encoder takes; the others ask
// ffprobe for its length.
bool write_own_chapters(const ChapterSettings& settings,
                        std::span<const std::string> titles,
                        std::span<const ListedChapter> own,
                        platform::WholeFile& output, Embedding& embedding,
                        platform::Console& console) {
  Timeline timeline;
  std::uint64_t end_ms = own.back().start_ms + 1;
  if (settings.embed && embedding.plan.route == EmbedRoute::kEncode) {
    AutoChoice choice;
    if (!read_recording(settings, embedding, timeline, choice, console)) {
      return false;
    }
    end_ms = timeline_end_ms(timeline);
  } else if (std::optional<double> seconds =
                 probe_seconds(settings.inputs.front())) {
    end_ms = static_cast<std::uint64_t>(*seconds * 1000 + 0.5);
  }
  const std::vector<Chapter> chapters = own_chapter_list(own, titles, end_ms);
  if (chapters.empty()) {
    console.write(msg::kOwnChaptersNone + settings.inputs.front() +
                  msg::kOwnChaptersNoneEnd);
    return false;
  }
  show_chapters(timeline, chapters, console);
  console.flush();
  return write_output(settings, chapters, output, embedding, console);
}

// The run, its steps in order; run_chapters adds what running out of memory
// says.
bool make_chapters(const ChapterSettings& settings,
                   platform::Console& console) {
  // What can be refused is refused before the scan.
  std::vector<std::string> titles;
  if (settings.titles_file &&
      !read_titles(*settings.titles_file, titles, console)) {
    return false;
  }
  std::vector<ListedChapter> listed;
  if (settings.align_file &&
      !read_chapter_list(*settings.align_file, listed, console)) {
    return false;
  }
  std::vector<ListedChapter> own;
  if (settings.own_chapters &&
      !read_own_chapters(settings.inputs.front(), own, console)) {
    return false;
  }
  platform::WholeFile output;
  Embedding embedding;
  if (!ready_output(settings, output, embedding, console)) return false;
  if (settings.own_chapters) {
    return write_own_chapters(settings, titles, own, output, embedding,
                              console);
  }
  Timeline timeline;
  AutoChoice choice;
  if (!read_recording(settings, embedding, timeline, choice, console)) {
    return false;
  }
  std::size_t titled_count = 0;
  const std::vector<Chapter> chapters = make_list(
      settings, titles, listed, choice, timeline, titled_count, console);
  show_list(settings, timeline, choice, chapters, titles.size(), titled_count,
            console);
  return write_output(settings, chapters, output, embedding, console);
}

}  // namespace

bool run_chapters(const ChapterSettings& settings, platform::Console& console) {
  try {
    return make_chapters(settings, console);
  } catch (const std::bad_alloc&) {
    // Only a recording with hundreds of millions of silences gets here.
    console.write(msg::kChaptersOutOfMemory);
    return false;
  }
}

}  // namespace hushmark
