// Path handling: the pure helpers on arbitrary text, and the resolver inside a small
// scratch tree (names are taken relative to it).
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "audio/path_resolver.h"

using namespace jov;

namespace {
void Touch(const std::string& p) {
    if (FILE* f = std::fopen(p.c_str(), "wb")) std::fclose(f);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        std::string root = "/tmp/jov01_fuzz_resolver_" + std::to_string(::getpid());
        ::mkdir(root.c_str(), 0755);
        ::mkdir((root + "/Snd").c_str(), 0755);
        ::mkdir((root + "/Snd/Sub").c_str(), 0755);
        Touch(root + "/Snd/Kick.OGG");
        Touch(root + "/Snd/Sub/hat.flac");
        Touch(root + "/a.wav");
        return root;
    }();
    std::string name(reinterpret_cast<const char*>(data), size);
    std::string norm = NormalizeSeparators(name);
    if (norm.size() != name.size() || norm.find('\\') != std::string::npos) __builtin_trap();
    for (const auto& part : SplitComponents(norm))
        if (part.empty() || part.find('/') != std::string::npos) __builtin_trap();
    (void)ReplaceExtension(norm, ".wav");
    if (!name.empty() && name[0] == '/') return 0;  // stay in the scratch tree
    if (auto found = ResolvePath(root + "/" + name)) {
        struct stat st {};
        if (::stat(found->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) __builtin_trap();
    }
    return 0;
}
