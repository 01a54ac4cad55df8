// Command strings into the MIDI command layer, and arbitrary bytes into the SMF reader.
// The first byte chooses: even = SMF bytes, odd = command lines (one per line, each
// stamped with a growing time), with "@FILE" standing for a file holding the rest.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "audio/midi_command_layer.h"
#include "audio/midi_song.h"
#include "audio/mixer.h"

using namespace jov;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if ((data[0] & 1) == 0) {
        auto song = ParseSmf(data + 1, size - 1);
        if (song) {
            double last = 0;
            for (const auto& e : song->events) {
                if (!(e.ms >= last) || e.status < 0x80 || e.status >= 0xF0) __builtin_trap();
                last = e.ms;
            }
            if (!(song->lengthMs >= last)) __builtin_trap();
        }
        return 0;
    }
    static const std::string smfPath = [] {
        std::string p = "/tmp/jov01_fuzz_midi_" + std::to_string(::getpid()) + ".mid";
        // A tiny valid song for "open" lines to find.
        const unsigned char smf[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0,
                                     13, 0, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0, 0, 0xFF, 0x2F, 0};
        if (FILE* f = std::fopen(p.c_str(), "wb")) {
            std::fwrite(smf, 1, sizeof smf, f);
            std::fclose(f);
        }
        return p;
    }();
    static Mixer mixer(8000);
    MidiCommandLayer layer(&mixer);
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    double at = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        for (size_t i; (i = line.find("@FILE")) != std::string::npos;) line.replace(i, 5, smfPath);
        std::string reply;
        int32_t rc = layer.SendString(line, reply, at);
        if (rc != 0 && !reply.empty()) __builtin_trap();
        at += 7.5;
        pos = nl + 1;
    }
    int16_t out[2 * 256];
    mixer.Pull(out, 256);
    std::string reply;
    layer.SendString("close tmid", reply, at);
    mixer.Pull(out, 256);
    mixer.CollectGarbage();
    return 0;
}
