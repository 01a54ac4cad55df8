// The message a later start hands over, as the running jukebox reads it: in one piece
// and split where the input says, as a socket may deliver it.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/single_instance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t split = data[0] % (size);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    std::vector<std::string> paths, again;
    bool complete = false, completeAgain = false;
    const bool ok = jov::SingleInstance::Decode(bytes, paths, complete);
    // A prefix never reads as more than the whole: once complete, it stays so.
    const bool prefixOk = jov::SingleInstance::Decode(bytes.left(static_cast<qsizetype>(split)), again, completeAgain);
    if (prefixOk && completeAgain && !ok && !complete) __builtin_trap();
    for (const std::string& p : paths)
        if (p.find('\0') != std::string::npos) __builtin_trap();
    // What is read, sent again, reads back the same (numbers may have had leading zeros).
    std::vector<std::string> round;
    bool roundComplete = false;
    if (ok && (!jov::SingleInstance::Decode(jov::SingleInstance::Encode(paths), round, roundComplete) || round != paths))
        __builtin_trap();
    return 0;
}
