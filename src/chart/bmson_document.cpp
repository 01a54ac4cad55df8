#include "chart/bmson_document.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace jov {
namespace {

using json = nlohmann::json;

// Deep enough for any extension a file may carry in the places we skip; the parser
// itself keeps no recursion, and no tree is built, so depth costs only this stack.
constexpr size_t kMaxDepth = 64;

enum class Ctx : uint8_t {
    Top, Root, Info, Subartists, Lines, Line, Bpms, Bpm, Stops, Stop, Channels, Channel, Notes, Note, Skip
};

// Reads the document as a stream of parser events: no tree of the whole file is built,
// so memory stays proportional to the notes it holds.
class Reader final : public nlohmann::json_sax<json> {
public:
    explicit Reader(BmsonDocument& out) : doc(out) {}
    BmsonDocument& doc;
    bool sawInfo = false;

    bool null() override { return Scalar(Value{}); }
    bool boolean(bool v) override { return Scalar(Value{Value::Bool, 0.0, v}); }
    bool number_integer(number_integer_t v) override { return Number(static_cast<double>(v)); }
    bool number_unsigned(number_unsigned_t v) override { return Number(static_cast<double>(v)); }
    bool number_float(number_float_t v, const string_t&) override { return Number(v); }
    bool string(string_t& v) override { return Scalar(Value{Value::String, 0.0, false, &v}); }
    bool binary(binary_t&) override { return false; }
    bool key(string_t& k) override {
        key_ = k;
        return true;
    }
    bool start_object(std::size_t) override { return Open(true); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    struct Value {
        enum Kind { Null, Bool, Number, String } kind = Null;
        double number = 0.0;
        bool flag = false;
        std::string* text = nullptr;
    };

    Ctx Top() const { return stack_.empty() ? Ctx::Top : stack_.back(); }
    bool Number(double v) { return std::isfinite(v) && Scalar(Value{Value::Number, v}); }

    bool Open(bool object) {
        if (stack_.size() >= kMaxDepth) return false;
        Ctx next = Ctx::Skip;
        switch (Top()) {
            case Ctx::Top: if (!object) return false; next = Ctx::Root; break;
            case Ctx::Root:
                if (key_ == "info") { if (!object) return false; next = Ctx::Info; sawInfo = true; }
                else if (key_ == "lines") next = List(object, Ctx::Lines);
                else if (key_ == "bpm_events") next = List(object, Ctx::Bpms);
                else if (key_ == "stop_events") next = List(object, Ctx::Stops);
                else if (key_ == "sound_channels") next = List(object, Ctx::Channels);
                break;
            case Ctx::Info: if (key_ == "subartists") next = List(object, Ctx::Subartists); break;
            case Ctx::Lines: next = Item(object, Ctx::Line, [&] { doc.lines.push_back(-1.0); }); break;
            case Ctx::Bpms: next = Item(object, Ctx::Bpm, [&] { doc.bpmEvents.push_back({-1.0, NAN}); }); break;
            case Ctx::Stops: next = Item(object, Ctx::Stop, [&] { doc.stopEvents.push_back({-1.0, NAN}); }); break;
            case Ctx::Channels: next = Item(object, Ctx::Channel, [&] { doc.channelNames.emplace_back(); }); break;
            case Ctx::Channel: if (key_ == "notes") next = List(object, Ctx::Notes); break;
            case Ctx::Notes:
                next = Item(object, Ctx::Note, [&] {
                    BmsonNote n;
                    n.y = -1.0;
                    n.channel = static_cast<uint32_t>(doc.channelNames.size() - 1);
                    doc.notes.push_back(n);
                });
                break;
            case Ctx::Subartists: return false;
            default: break;  // anything else inside an ignored member or an item
        }
        if (next == Ctx::Top) return false;  // the wrong kind of container
        stack_.push_back(next);
        return true;
    }

    static Ctx List(bool object, Ctx list) { return object ? Ctx::Top : list; }
    template <class F>
    static Ctx Item(bool object, Ctx item, F begin) {
        if (!object) return Ctx::Top;
        begin();
        return item;
    }

    bool Close() {
        if (stack_.empty()) return false;
        const Ctx done = stack_.back();
        stack_.pop_back();
        // Items need their place (and tempo and stop events their amount).
        switch (done) {
            case Ctx::Line: return doc.lines.back() >= 0.0;
            case Ctx::Bpm: return doc.bpmEvents.back().y >= 0.0 && !std::isnan(doc.bpmEvents.back().value);
            case Ctx::Stop: return doc.stopEvents.back().y >= 0.0 && !std::isnan(doc.stopEvents.back().value);
            case Ctx::Note: return doc.notes.back().y >= 0.0;
            default: return true;
        }
    }

    static bool Text(const Value& v, std::string& out) {
        if (v.kind != Value::String) return false;
        out = std::move(*v.text);
        return true;
    }
    static bool Num(const Value& v, double& out) {
        if (v.kind != Value::Number) return false;
        out = v.number;
        return true;
    }
    // A place in pulses: never negative.
    static bool Pulse(const Value& v, double& out) { return Num(v, out) && out >= 0.0; }

    bool Scalar(const Value& v) {
        switch (Top()) {
            case Ctx::Top: return false;
            case Ctx::Root:
                return key_ != "info" && key_ != "lines" && key_ != "bpm_events" && key_ != "stop_events" &&
                       key_ != "sound_channels";
            case Ctx::Info: return InfoMember(v);
            case Ctx::Subartists: return Text(v, doc.subartists.emplace_back());
            case Ctx::Line: return key_ != "y" || Pulse(v, doc.lines.back());
            case Ctx::Bpm:
                if (key_ == "y") return Pulse(v, doc.bpmEvents.back().y);
                return key_ != "bpm" || Num(v, doc.bpmEvents.back().value);
            case Ctx::Stop:
                if (key_ == "y") return Pulse(v, doc.stopEvents.back().y);
                return key_ != "duration" || Pulse(v, doc.stopEvents.back().value);
            case Ctx::Channel: return key_ != "name" || Text(v, doc.channelNames.back());
            case Ctx::Note: return NoteMember(v, doc.notes.back());
            case Ctx::Skip: return true;
            default: return false;  // a bare value where the format wants an object
        }
    }

    bool InfoMember(const Value& v) {
        if (key_ == "title") return Text(v, doc.title);
        if (key_ == "subtitle") return Text(v, doc.subtitle);
        if (key_ == "artist") return Text(v, doc.artist);
        if (key_ == "genre") return Text(v, doc.genre);
        if (key_ == "back_image") return Text(v, doc.backImage);
        if (key_ == "eyecatch_image") return Text(v, doc.eyecatchImage);
        if (key_ == "init_bpm") return Num(v, doc.initBpm);
        if (key_ == "level") return Num(v, doc.level);
        if (key_ == "total") return Num(v, doc.total);
        if (key_ == "resolution") return Num(v, doc.resolution);
        if (key_ == "subartists") return false;
        return true;
    }

    bool NoteMember(const Value& v, BmsonNote& n) {
        if (key_ == "y") return Pulse(v, n.y);
        if (key_ == "x") {
            if (v.kind == Value::Null) return true;
            double x = 0.0;
            if (!Num(v, x)) return false;
            n.x = std::fabs(x) < 1e9 ? static_cast<int64_t>(x) : -1;
            return true;
        }
        if (key_ == "c") {
            if (v.kind != Value::Bool) return false;
            n.c = v.flag;
            return true;
        }
        if (key_ == "l") return v.kind == Value::Number && v.number >= 0.0;
        return true;
    }

    std::vector<Ctx> stack_;
    std::string key_;
};

}  // namespace

bool ReadBmsonDocument(std::string_view text, BmsonDocument& doc) {
    doc.title.clear();
    doc.subtitle.clear();
    doc.artist.clear();
    doc.genre.clear();
    doc.backImage.clear();
    doc.eyecatchImage.clear();
    doc.subartists.clear();
    doc.initBpm = doc.level = doc.total = doc.resolution = 0.0;
    doc.lines.clear();
    doc.bpmEvents.clear();
    doc.stopEvents.clear();
    doc.channelNames.clear();
    doc.notes.clear();
    Reader reader(doc);
    bool ok = false;
    try {
        ok = json::sax_parse(text.begin(), text.end(), &reader, json::input_format_t::json, true);
    } catch (const std::exception&) {
        return false;  // the parser's own limits (it reports most errors to the reader)
    }
    return ok && reader.sawInfo;
}

}  // namespace jov
