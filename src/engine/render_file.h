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

// By the extension, ignoring letter case: ".flac", ".ogg" (and ".oga"); anything else is WAV.
AudioFileType AudioFileTypeOf(const std::string& path);

// RenderFailed: the audio could not be rendered as asked (summary->error says why).
enum class RenderFileStatus { Done, ChartUnreadable, CannotWrite, WriteFailed, Cancelled, RenderFailed };

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

// SIGINT, SIGTERM and SIGHUP remove the temporaries of the renders running, then end the
// program as the signal would. A render killed outright leaves its temporary; the next
// render of the same output removes it.
void RemoveRenderTemporariesOnSignals();

// `specialOutput`: a device or FIFO named as the output is written straight through
// (opened without waiting for a reader); otherwise it is refused (CannotWrite).
RenderFileResult RenderChartToFile(const std::string& chartPath, const std::string& outPath,
                                   RenderOptions options, RenderProgress* progress = nullptr,
                                   bool specialOutput = true);

}  // namespace jov
