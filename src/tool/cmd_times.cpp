// jov01-tool times: every sounding object of a chart with its time on the clock line.
#include <cstdio>
#include <string>

#include "chart/clock_line.h"
#include "chart/extended_reader.h"
#include "engine/chart_loader.h"
#include "engine/engine_state.h"
#include "shell/clock.h"
#include "shell/json.h"
#include "shell/status.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"
#include "tool/tool_json.h"

namespace jov::tool {

namespace {

bool Sounds(int32_t ch, bool extended) {
    if (ch == kChannelBackground || (ch >= 11 && ch <= 19 && ch != 17)) return true;
    // The Extended reader keeps only the starts of long notes.
    return extended && ((ch >= 51 && ch <= 59 && ch != 57) || (ch >= 61 && ch <= 69));
}

}  // namespace

int CmdTimes(const Args& argsIn) {
    Args args = argsIn;
    const ReadingArgs r = TakeReadingArgs(args, "times");
    if (!r.ok || args.size() != 1 || (!args[0].empty() && args[0][0] == '-' && args[0] != "-")) {
        std::fputs("usage: jov01-tool times CHART [--reading auto|classic|extended] [--seed N]\n", stderr);
        return 2;
    }
    ChartReading reading = MakeReading(r);
    ChartModel model;
    if (!LoadChartQuietly(args[0], reading, model)) return 1;

    const std::vector<double> times = EventTimesMs(model);
    std::string out;
    for (size_t i = 0; i < times.size(); ++i) {
        const ChartEvent& e = model.Events[i];
        if (!Sounds(e.Channel, model.Extended.active)) continue;
        JsonWriter w;
        w.BeginObject();
        if (model.Extended.active)
            w.Key("tick").Double(model.Extended.ExactTick[i]);
        else
            w.Key("tick").Int(e.Tick);
        w.Key("channel").Int(e.Channel);
        w.Key("value").Int(e.Value);
        w.Key("ms").Double(times[i]);
        w.EndObject();
        out += w.str();
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace jov::tool
