#include <cstdio>
#include <string>

#include "engine/simulate.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"

namespace jov::tool {

int CmdSimulate(const Args& argsIn) {
    Args args = argsIn;
    const ReadingArgs reading = TakeReadingArgs(args, "simulate");
    if (!reading.ok) {
        return 2;
    }
    std::string chart;
    int64_t sleepMs = 10;
    int32_t loadMode = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--sleep" || a == "--load-mode") && i + 1 < args.size()) {
            auto v = ParseInt(args[++i]);
            if (!v) {
                std::fprintf(stderr, "simulate: %s needs a whole number\n", a.c_str());
                return 2;
            }
            if (a == "--sleep") {
                if (*v < 0 || *v > 2147483647) {
                    std::fputs("simulate: --sleep out of range\n", stderr);
                    return 2;
                }
                sleepMs = *v;
            } else {
                if (*v != 0 && *v != 1) {
                    std::fputs("simulate: --load-mode is 0 or 1\n", stderr);
                    return 2;
                }
                loadMode = static_cast<int32_t>(*v);
            }
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::fprintf(stderr, "simulate: unknown or incomplete option %s\n", a.c_str());
            return 2;
        } else if (chart.empty()) {
            chart = a;
        } else {
            std::fputs("simulate: one chart only\n", stderr);
            return 2;
        }
    }
    if (chart.empty()) {
        std::fputs("usage: jov01-tool simulate CHART [--sleep MS] [--load-mode 0|1]\n", stderr);
        return 2;
    }
    if (!Readable(chart)) {
        std::fprintf(stderr, "simulate: cannot read %s\n", chart.c_str());
        return 1;
    }

    SimulateOptions options;
    options.sleepMs = sleepMs;
    options.loadMode = loadMode;
    options.reading = reading.mode;
    options.seed = reading.seed;
    Simulate(chart, options, [](int64_t, const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    });
    std::fflush(stdout);
    return 0;
}

}  // namespace jov::tool
