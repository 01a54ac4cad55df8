#include "playlist/list_file.h"

#include <bit>
#include <cstring>
#include <cstdint>
#include <optional>

#include <unistd.h>

#include "chart/text_decode.h"
#include "shell/file_read.h"

namespace jov {

namespace {

constexpr char kMagic[] = "rux_juke";

class Reader {
public:
    explicit Reader(std::string_view bytes, std::size_t pos) : bytes_(bytes), pos_(pos) {}

    bool U16(uint16_t& v) {
        if (bytes_.size() - pos_ < 2) return false;
        v = static_cast<uint16_t>(Byte(0) | (Byte(1) << 8));
        pos_ += 2;
        return true;
    }
    bool I32(int32_t& v) {
        if (bytes_.size() - pos_ < 4) return false;
        uint32_t u = Byte(0) | (Byte(1) << 8) | (Byte(2) << 16) | (static_cast<uint32_t>(Byte(3)) << 24);
        v = static_cast<int32_t>(u);
        pos_ += 4;
        return true;
    }
    bool F32(float& v) {
        int32_t bits;
        if (!I32(bits)) return false;
        v = std::bit_cast<float>(bits);
        return true;
    }
    bool Text(std::string& s) {
        if (!Bytes(s)) return false;
        s = DecodeUtf8OrCp932(s);
        return true;
    }
    // A path: its own bytes, never decoded, so a name that is not UTF-8 still names its file.
    bool Bytes(std::string& s) {
        uint16_t n;
        if (!U16(n)) return false;
        if (bytes_.size() - pos_ < n) return false;
        s.assign(bytes_.substr(pos_, n));
        pos_ += n;
        return true;
    }

private:
    uint32_t Byte(std::size_t i) const { return static_cast<unsigned char>(bytes_[pos_ + i]); }
    std::string_view bytes_;
    std::size_t pos_;
};

bool ReadRecord(Reader& r, ChartInfo& e) {
    return r.Text(e.Title) && r.Text(e.Artist) && r.Text(e.Genre) && r.F32(e.Bpm) && r.I32(e.Player) &&
           r.I32(e.PlayLevel) && r.Text(e.MidiFile) && r.I32(e.Rank) && r.I32(e.VolWav) && r.I32(e.Total) &&
           r.I32(e.PlayTime) && r.Text(e.StageFile) && r.I32(e.WavCount) && r.I32(e.BmpCount) &&
           r.Bytes(e.FilePath);
}

void PutI32(std::string& out, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

// Longest prefix of at most 65535 bytes that ends on a UTF-8 character boundary.
std::string_view FitText(std::string_view s) {
    if (s.size() <= kListTextLimit) return s;
    std::size_t n = kListTextLimit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

void PutText(std::string& out, std::string_view s) {
    s = FitText(s);
    out += static_cast<char>(s.size() & 0xFF);
    out += static_cast<char>((s.size() >> 8) & 0xFF);
    out.append(s);
}

void PutRecord(std::string& out, const ChartInfo& e) {
    PutText(out, e.Title);
    PutText(out, e.Artist);
    PutText(out, e.Genre);
    PutI32(out, std::bit_cast<int32_t>(e.Bpm));
    PutI32(out, e.Player);
    PutI32(out, e.PlayLevel);
    PutText(out, e.MidiFile);
    PutI32(out, e.Rank);
    PutI32(out, e.VolWav);
    PutI32(out, e.Total);
    PutI32(out, e.PlayTime);
    PutText(out, e.StageFile);
    PutI32(out, e.WavCount);
    PutI32(out, e.BmpCount);
    PutText(out, e.FilePath);
}

std::size_t RecordSize(const ChartInfo& e) {
    return kListMinRecordSize + FitText(e.Title).size() + FitText(e.Artist).size() + FitText(e.Genre).size() +
           FitText(e.MidiFile).size() + FitText(e.StageFile).size() + FitText(e.FilePath).size();
}

const ChartInfo& Element(const std::vector<ChartInfo>& entries, int64_t i) {
    static const ChartInfo kEmpty;
    return static_cast<std::size_t>(i) < entries.size() ? entries[static_cast<std::size_t>(i)] : kEmpty;
}

// Offset just past the record at `pos`, or nothing when the bytes end inside it.
std::optional<std::size_t> RecordEnd(std::string_view bytes, std::size_t pos) {
    // A record: three texts, 12 bytes of numbers, a text, 16 bytes, a text, 8 bytes, a text.
    static constexpr int kLayout[] = {-1, -1, -1, 12, -1, 16, -1, 8, -1};
    for (int field : kLayout) {
        std::size_t n = static_cast<std::size_t>(field);
        if (field < 0) {
            if (bytes.size() - pos < 2) return std::nullopt;
            n = 2 + (static_cast<unsigned char>(bytes[pos]) | (static_cast<unsigned char>(bytes[pos + 1]) << 8));
        }
        if (bytes.size() - pos < n) return std::nullopt;
        pos += n;
    }
    return pos;
}

}  // namespace

ListFileContents ParseListFile(std::string_view bytes) {
    ListFileContents result;
    if (bytes.size() < kListHeaderSize) return result;
    Reader header(bytes, 20);
    int32_t count = 0;
    header.I32(count);
    if (count < 0) return result;

    // Every record takes at least 48 bytes, which bounds what the count may claim.
    const std::size_t fits = (bytes.size() - kListHeaderSize) / kListMinRecordSize;
    const std::size_t wanted = static_cast<std::size_t>(count) + 1;
    result.entries.reserve(std::min(wanted, fits));

    Reader r(bytes, kListHeaderSize);
    bool complete = true;
    for (std::size_t i = 0; i < wanted; ++i) {
        ChartInfo e;
        if (!ReadRecord(r, e)) {
            complete = false;
            break;
        }
        result.entries.push_back(std::move(e));
    }
    // A count of 0 calls for no entry, so it needs no (whole) placeholder record.
    if (count == 0) complete = true;
    result.ok = complete;
    result.count = result.entries.empty() ? 0 : static_cast<int32_t>(result.entries.size() - 1);
    return result;
}

std::string EncodeListFile(const std::vector<ChartInfo>& entries, int32_t count) {
    if (count < 0) count = 0;
    std::string out;
    out.reserve(ListFileRecordEnd(entries, static_cast<int64_t>(count) + 1));
    out.append(kMagic, 8);
    out.append(11, '\0');
    out += '\x01';
    PutI32(out, count);
    for (int64_t i = 0; i <= count; ++i) PutRecord(out, Element(entries, i));
    return out;
}

std::size_t ListFileRecordEnd(const std::vector<ChartInfo>& entries, int64_t records) {
    std::size_t size = kListHeaderSize;
    for (int64_t i = 0; i < records; ++i) size += RecordSize(Element(entries, i));
    return size;
}

bool ReadListFileBytes(const std::string& path, std::string& bytes) {
    int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    bool end = false;
    bytes = ReadUpTo(fd, kListHeaderSize, &end);
    bool ok = end || bytes.size() == kListHeaderSize;
    int32_t count = -1;
    if (bytes.size() == kListHeaderSize) Reader(bytes, 20).I32(count);
    // The count calls for count + 1 records (the placeholder first); read only as far as
    // they reach, whatever lies beyond (a sparse giant, stale bytes).
    std::size_t pos = kListHeaderSize;
    for (int64_t i = 0; ok && i <= int64_t{count}; ++i) {
        std::optional<std::size_t> next;
        while (!(next = RecordEnd(bytes, pos)) && !end) {
            std::string more = ReadUpTo(fd, 1 << 16, &end);
            if (more.empty() && !end) ok = false;  // a read error
            if (more.empty()) break;
            bytes += more;
        }
        if (!next) break;
        pos = *next;
    }
    ::close(fd);
    return ok;
}

}  // namespace jov
