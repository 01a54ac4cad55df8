#include <cstdio>
#include <cstring>
#include <string>

#include "tool/tool_commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const jov::tool::Args&);
    const char* usage;
};

const Command kCommands[] = {
    {"scan", jov::tool::CmdScan, "scan CHART..."},
    {"parse", jov::tool::CmdParse, "parse CHART"},
    {"simulate", jov::tool::CmdSimulate, "simulate CHART [--sleep MS] [--load-mode 0|1]"},
    {"render", jov::tool::CmdRender, "render CHART -o OUT.wav [--rate HZ]"},
    {"list", jov::tool::CmdList, "list FILE.rxl | list --write OUT.rxl CHART..."},
    {"skin", jov::tool::CmdSkin, "skin FILE.hrd"},
};

int Usage() {
    std::fputs("usage: jov01-tool COMMAND ...; commands:", stderr);
    for (const auto& c : kCommands) std::fprintf(stderr, " | %s", c.usage);
    std::fputc('\n', stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    for (const auto& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            jov::tool::Args args(argv + 2, argv + argc);
            return c.run(args);
        }
    }
    return Usage();
}
