#pragma once
// A chart's offline render written to a sound file: WAV, FLAC or Ogg Vorbis by the
// name's extension. The file is written under a temporary name in the same folder and
// renamed over the target only when complete, so a failed or cancelled export never
// leaves a partial file behind (nor damages a file of that name already there).
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/offline_render.h"

namespace jov {

enum class AudioFileType { Wav, Flac, Ogg };

// By the extension, ignoring letter case: ".wav", ".flac", ".ogg" (and ".oga"); a name
// without one is WAV (a device such as /dev/null); nullopt for any other extension.
std::optional<AudioFileType> AudioFileTypeOf(const std::string& path);
// The message for a name whose extension is none we write.
inline std::string UnknownFormatText(const std::string& name) {
    return "cannot write " + name + ": not an audio format this writes (use .flac, .ogg or .wav)";
}

// RenderFailed: the audio could not be rendered as asked (summary->error says why).
// UnknownFormat: the name's extension is none we write (nothing was written).
enum class RenderFileStatus { Done, ChartUnreadable, CannotWrite, WriteFailed, Cancelled, RenderFailed, UnknownFormat };

struct RenderFileResult {
    RenderFileStatus status = RenderFileStatus::Done;
    std::optional<RenderSummary> summary;
};

// Progress and cancel, shared with another thread: the render adds the frames it has
// written to `frames` and stops soon after `cancel` is set.
struct RenderProgress {
    std::atomic<int64_t> frames{0};
    std::atomic<bool> cancel{false};
};

// "2 of 5 key sounds could not be loaded"; empty when every sound loaded.
std::string MissingSoundsText(const RenderSummary& summary);

RenderFileResult RenderChartToFile(const std::string& chartPath, const std::string& outPath,
                                   RenderOptions options, RenderProgress* progress = nullptr);

}  // namespace jov
