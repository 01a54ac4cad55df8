#include "chart/sound_count.h"

#include "chart/bmson_document.h"
#include "chart/chart_format.h"
#include "chart/chart_text.h"

namespace jov {

namespace {

bool Sounds(int32_t channel, bool extended) {
    return channel == 1 || (channel >= 11 && channel <= 29 && channel != 20) ||
           (extended && channel >= 51 && channel <= 69 && channel != 60);
}

bool Blank(char32_t c) { return c == U' ' || c == U'\t'; }

}  // namespace

int32_t CountSoundingObjects(std::string_view bytes, std::string_view path, bool extended) {
    if (FormatOf(path) == ChartFormat::Bmson) {
        thread_local BmsonDocument doc;
        if (!ReadBmsonDocument(bytes, doc)) return 0;
        const std::size_t n = doc.notes.size();
        doc = BmsonDocument{};  // a huge chart's memory does not stay with the thread
        return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
    }
    int64_t count = 0;
    ChartLineReader lines(bytes);
    std::u32string_view line;
    while (lines.Next(line)) {
        if (line.empty() || line[0] < U'0' || line[0] > U'9') continue;
        auto cl = ReadChannelLine(line);
        if (!cl || !Sounds(cl->channel, extended)) continue;
        std::u32string_view data = cl->data;
        while (!data.empty() && Blank(data.back())) data.remove_suffix(1);
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
            const char32_t a = data[i], b = data[i + 1];
            if (!(a == U'0' && b == U'0') && !Blank(a) && !Blank(b)) ++count;
        }
    }
    return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

}  // namespace jov
