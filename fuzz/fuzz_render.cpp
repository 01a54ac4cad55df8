// The render writer on charts of any bytes: a short render (a tiny rate, a length limit)
// into WAV, FLAC or Ogg by the input's first byte. It finishes with a file whose frames
// are those it reported, or fails leaving none; it never writes over its chart.
#include <sndfile.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/render_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    static const fs::path dir = fs::temp_directory_path() / ("jov01-fuzz-render-" + std::to_string(::getpid()));
    if (size == 0) return 0;
    fs::create_directories(dir);
    const std::string chart = (dir / "chart.bms").string();
    std::ofstream(chart, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    static const char* const kNames[] = {"out.wav", "out.flac", "out.ogg", "chart.bms"};
    const std::string out = (dir / kNames[data[0] % 4]).string();
    std::error_code ec;
    if (data[0] % 4 != 3) fs::remove(out, ec);

    jov::RenderOptions options;
    options.rate = 8000;
    options.soundFont = std::string();  // MIDI silenced: the synthesiser is not under test here
    options.maxLengthMs = 2000;
    options.maxTailMs = 100;
    options.reading = (data[0] & 4) != 0 ? jov::ReadingMode::Extended : jov::ReadingMode::Classic;
    const jov::RenderFileResult r = jov::RenderChartToFile(chart, out, options);
    if (data[0] % 4 == 3) {  // the chart itself named as the output: refused, the chart kept
        if (r.status == jov::RenderFileStatus::Done) __builtin_trap();
        if (fs::file_size(chart, ec) != size - 1) __builtin_trap();
    } else if (r.status == jov::RenderFileStatus::Done) {
        SF_INFO info{};
        SNDFILE* f = sf_open(out.c_str(), SFM_READ, &info);
        if (!f || info.channels != 2 || info.samplerate != 8000) __builtin_trap();
        if (data[0] % 4 != 2 && info.frames != r.summary->frames) __builtin_trap();  // Vorbis rounds its end
        sf_close(f);
    } else if (fs::exists(out, ec)) {
        __builtin_trap();
    }
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".part") __builtin_trap();
    return 0;
}
