#include "engine/render_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cctype>
#include <cstdio>

#include "engine/wav_writer.h"

namespace jov {

namespace {

std::string LowerExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// A fresh file next to `out` (so the final rename stays on one file system), created
// with the usual permissions; -1 when the folder cannot take one.
int OpenTemporary(const std::string& out, std::string& name) {
    static std::atomic<unsigned> counter{0};
    const auto slash = out.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : out.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part";
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

std::optional<AudioFileType> AudioFileTypeOf(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext.empty() || ext == ".wav") return AudioFileType::Wav;
    if (ext == ".flac") return AudioFileType::Flac;
    if (ext == ".ogg" || ext == ".oga") return AudioFileType::Ogg;
    return std::nullopt;
}

std::string MissingSoundsText(const RenderSummary& summary) {
    const size_t missing = summary.missing.size();
    if (missing == 0) return {};
    const int64_t tried = std::max<int64_t>(summary.soundFiles, static_cast<int64_t>(missing));
    return std::to_string(missing) + " of " + std::to_string(tried) + (tried == 1 ? " key sound" : " key sounds") +
           " could not be loaded";
}

RenderFileResult RenderChartToFile(const std::string& chartPath, const std::string& outPath,
                                   RenderOptions options, RenderProgress* progress) {
    RenderFileResult result;
    const auto type = AudioFileTypeOf(outPath);
    if (!type) {
        result.status = RenderFileStatus::UnknownFormat;
        return result;
    }
    std::string temp;
    // A device or pipe named as the output (/dev/null, a FIFO) is written straight through.
    struct stat st {};
    const bool special = ::stat(outPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    const int fd = special ? ::open(outPath.c_str(), O_WRONLY | O_CLOEXEC) : OpenTemporary(outPath, temp);
    if (fd < 0) {
        result.status = RenderFileStatus::CannotWrite;
        return result;
    }
    // WAV through our own writer (the plain form readers expect); FLAC and Ogg through libsndfile.
    std::optional<WavWriter> wav;
    SNDFILE* file = nullptr;
    if (*type == AudioFileType::Wav) {
        wav.emplace(fd, options.rate, 2);
    } else {
        SF_INFO info{};
        info.samplerate = options.rate;
        info.channels = 2;
        info.format = *type == AudioFileType::Flac ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16 : SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        file = sf_open_fd(fd, SFM_WRITE, &info, 0);
        if (!file) {
            ::close(fd);
            if (!special) ::unlink(temp.c_str());
            result.status = RenderFileStatus::CannotWrite;
            return result;
        }
    }

    bool writeFailed = false;
    if (progress) {
        options.cancel = [progress, &writeFailed] { return writeFailed || progress->cancel.load(); };
    } else {
        options.cancel = [&writeFailed] { return writeFailed; };
    }
    result.summary = RenderChart(chartPath, options, [&](const int16_t* pcm, int64_t frames) {
        if (writeFailed) return;
        if (wav ? !wav->Write(pcm, frames) : sf_writef_short(file, pcm, frames) != frames) writeFailed = true;
        if (progress) progress->frames += frames;
    });
    const bool closed = wav ? wav->Finish() : sf_close(file) == 0;
    const bool synced = special || ::fsync(fd) == 0;
    const bool fdClosed = ::close(fd) == 0;
    if (!result.summary) result.status = RenderFileStatus::ChartUnreadable;
    else if (!result.summary->error.empty()) result.status = RenderFileStatus::RenderFailed;
    else if (writeFailed || !closed || !synced || !fdClosed) result.status = RenderFileStatus::WriteFailed;
    else if (result.summary->cancelled) result.status = RenderFileStatus::Cancelled;
    else if (!special && ::rename(temp.c_str(), outPath.c_str()) != 0) result.status = RenderFileStatus::CannotWrite;
    if (result.status != RenderFileStatus::Done && !special) ::unlink(temp.c_str());
    return result;
}

}  // namespace jov
