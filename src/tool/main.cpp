#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "tool/tool_commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const jov::tool::Args&);  // null: the command lives in `module`
    const char* usage;
    const char* module = nullptr;
};

const Command kCommands[] = {
    {"scan", jov::tool::CmdScan, "scan CHART... [--reading auto|classic|extended] [--seed N]"},
    {"parse", jov::tool::CmdParse, "parse CHART [--reading auto|classic|extended] [--seed N]"},
    {"simulate", jov::tool::CmdSimulate, "simulate CHART [--sleep MS] [--load-mode 0|1] [--reading auto|classic|extended] [--seed N]"},
    {"render", nullptr, "render CHART -o OUT.wav|.flac|.ogg [--rate HZ] [--even-loudness] [--reading auto|classic|extended] [--seed N]", "jov01-tool-render.so"},
    {"list", jov::tool::CmdList, "list FILE.rxl | list --write OUT.rxl CHART... [--reading auto|classic|extended] [--seed N]"},
    {"skin", nullptr, "skin FILE.hrd", "jov01-tool-skin.so"},
    {"times", jov::tool::CmdTimes, "times CHART [--reading auto|classic|extended] [--seed N]"},
    {"loudness", nullptr, "loudness CHART... [--reading auto|classic|extended] [--seed N]", "jov01-tool-loudness.so"},
};

int Usage() {
    std::fputs("usage: jov01-tool COMMAND ...; commands:", stderr);
    for (const auto& c : kCommands) std::fprintf(stderr, " | %s", c.usage);
    std::fputc('\n', stderr);
    return 2;
}

std::string ProgramFolder() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The sound and image libraries are loaded only by the commands that need them, so the
// others start at once. The module is looked for beside the program, then where it is installed.
int RunModule(const Command& c, const jov::tool::Args& args) {
    void* handle = nullptr;
    std::string error;
    for (const std::string& dir : {ProgramFolder(), std::string(JOV01_TOOL_MODULE_DIR)}) {
        handle = ::dlopen((dir + "/" + c.module).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle) break;
        if (const char* e = ::dlerror(); e && error.empty()) error = e;
    }
    if (!handle) {
        std::fprintf(stderr, "%s: cannot load %s: %s\n", c.name, c.module, error.c_str());
        return 1;
    }
    using Entry = int (*)(const jov::tool::Args*);
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, "jov01_tool_run"));
    if (!entry) {
        std::fprintf(stderr, "%s: %s has no entry point\n", c.name, c.module);
        return 1;
    }
    return entry(&args);  // the module stays loaded until the process ends
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    for (const auto& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            // Whatever a command meets (out of memory on a giant file), the caller gets an
            // error line and a failing exit code, never an abort.
            try {
                jov::tool::Args args(argv + 2, argv + argc);
                return c.run ? c.run(args) : RunModule(c, args);
            } catch (const std::exception& e) {
                std::fflush(stdout);
                std::fprintf(stderr, "%s: %s\n", c.name, e.what());
            } catch (...) {
                std::fflush(stdout);
                std::fprintf(stderr, "%s: failed\n", c.name);
            }
            return 1;
        }
    }
    return Usage();
}
