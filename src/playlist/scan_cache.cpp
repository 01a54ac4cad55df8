#include "playlist/scan_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "chart/extended_reader.h"
#include "chart/header_scan.h"
#include "chart/sound_count.h"
#include "shell/file_read.h"
#include "shell/paths.h"

namespace jov {

namespace {

constexpr char kMagic[] = "jov01 scan cache\n";
constexpr uint32_t kVersion = 2;
// Charts run to a few megabytes; the same bound the chart reader keeps.
constexpr std::size_t kMaxChartBytes = std::size_t{256} << 20;
constexpr std::size_t kMaxCacheBytes = std::size_t{1} << 30;

uint64_t Fnv1a(std::string_view bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

class Writer {
public:
    void U32(uint32_t v) { Raw(&v, sizeof v); }
    void I32(int32_t v) { Raw(&v, sizeof v); }
    void I64(int64_t v) { Raw(&v, sizeof v); }
    void F32(float v) { Raw(&v, sizeof v); }
    void Text(const std::string& s) {
        U32(static_cast<uint32_t>(s.size()));
        out.append(s);
    }
    void Raw(const void* p, std::size_t n) { out.append(static_cast<const char*>(p), n); }
    std::string out;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}
    template <typename T>
    bool Get(T& v) {
        if (in_.size() - pos_ < sizeof v) return false;
        std::memcpy(&v, in_.data() + pos_, sizeof v);
        pos_ += sizeof v;
        return true;
    }
    bool Text(std::string& s) {
        uint32_t n = 0;
        if (!Get(n) || in_.size() - pos_ < n) return false;
        s.assign(in_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    bool AtEnd() const { return pos_ == in_.size(); }

private:
    std::string_view in_;
    std::size_t pos_ = 0;
};

void PutInfo(Writer& w, const ScanResult& r) {
    const ChartInfo& i = r.info;
    for (const std::string* s : {&i.Title, &i.Artist, &i.Genre, &i.MidiFile, &i.StageFile, &i.FilePath}) w.Text(*s);
    w.F32(i.Bpm);
    for (int32_t v : {i.Player, i.PlayLevel, i.Rank, i.VolWav, i.Total, i.PlayTime, i.WavCount, i.BmpCount,
                      r.soundingObjects})
        w.I32(v);
    w.U32(r.choice.extended ? 1 : 0);
    w.U32(r.choice.constructs);
}

bool GetInfo(Reader& r, ScanResult& out) {
    ChartInfo& i = out.info;
    for (std::string* s : {&i.Title, &i.Artist, &i.Genre, &i.MidiFile, &i.StageFile, &i.FilePath})
        if (!r.Text(*s)) return false;
    if (!r.Get(i.Bpm)) return false;
    for (int32_t* v : {&i.Player, &i.PlayLevel, &i.Rank, &i.VolWav, &i.Total, &i.PlayTime, &i.WavCount,
                       &i.BmpCount, &out.soundingObjects})
        if (!r.Get(*v)) return false;
    uint32_t extended = 0;
    if (!r.Get(extended) || extended > 1 || !r.Get(out.choice.constructs)) return false;
    out.choice.extended = extended != 0;
    return true;
}

int64_t MtimeNs(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

namespace {

// No reading reads Classic.
std::string CacheReadingId(const ChartReading* reading) {
    return reading ? ReadingId(*reading) : ReadingModeName(ReadingMode::Classic);
}

ScanResult ScanOpenFile(int fd, std::size_t expected, const std::string& path, const ChartReading* reading) {
    bool whole = false;
    const std::string bytes = ReadUpTo(fd, kMaxChartBytes, &whole, expected);
    ScanResult r;
    if (reading) {
        ChartReading own = *reading;
        own.random.seed(1);
        ScanHeaderBytes(whole ? bytes : std::string(), path, r.info, &own, &r.choice);
    } else {
        ScanHeaderBytes(whole ? bytes : std::string(), path, r.info, nullptr, &r.choice);
    }
    r.soundingObjects = whole ? CountSoundingObjects(bytes, path, r.choice.extended) : 0;
    return r;
}

}  // namespace

std::optional<ScanResult> ScanChartFile(const std::string& path, const ChartReading* reading) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    const std::size_t expected = ::fstat(fd, &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
    ScanResult r = ScanOpenFile(fd, expected, path, reading);
    ::close(fd);
    return r;
}

std::optional<ScanResult> ScanCache::Scan(const std::string& path, const ChartReading* reading) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    std::string key = CacheReadingId(reading);
    key += '\0';
    key += path;
    {
        std::lock_guard lock(mutex_);
        auto it = records_.find(key);
        if (it != records_.end() && it->second.size == st.st_size && it->second.mtimeNs == MtimeNs(st)) {
            ::close(fd);
            return it->second.result;
        }
    }
    Record record{st.st_size, MtimeNs(st), ScanOpenFile(fd, static_cast<std::size_t>(st.st_size), path, reading)};
    ::close(fd);
    std::lock_guard lock(mutex_);
    ++misses_;
    dirty_ = true;
    return records_.insert_or_assign(std::move(key), std::move(record)).first->second.result;
}

std::size_t ScanCache::Size() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

std::size_t ScanCache::Misses() const {
    std::lock_guard lock(mutex_);
    return misses_;
}

bool ScanCache::Load() {
    std::lock_guard lock(mutex_);
    records_.clear();
    dirty_ = false;
    if (file_.empty()) return true;
    if (KindOfFile(file_) == FileKind::Missing) return true;
    auto bytes = ReadRegularFile(file_, kMaxCacheBytes);
    const std::size_t head = sizeof kMagic - 1;
    if (!bytes || bytes->size() < head + 8 || bytes->compare(0, head, kMagic) != 0) return false;
    const std::string_view body(bytes->data(), bytes->size() - 8);
    uint64_t sum = 0;
    std::memcpy(&sum, bytes->data() + body.size(), 8);
    if (sum != Fnv1a(body)) return false;
    Reader r(body.substr(head));
    uint32_t version = 0, count = 0;
    if (!r.Get(version) || version != kVersion || !r.Get(count)) return false;
    std::unordered_map<std::string, Record> loaded;
    for (uint32_t n = 0; n < count; ++n) {
        std::string key;
        Record rec;
        if (!r.Text(key) || !r.Get(rec.size) || !r.Get(rec.mtimeNs) || !GetInfo(r, rec.result)) return false;
        loaded.insert_or_assign(std::move(key), std::move(rec));
    }
    if (!r.AtEnd()) return false;
    records_ = std::move(loaded);
    return true;
}

bool ScanCache::Save() {
    Writer w;
    {
        std::lock_guard lock(mutex_);
        if (!dirty_ || file_.empty()) return true;
        w.out.append(kMagic, sizeof kMagic - 1);
        w.U32(kVersion);
        w.U32(static_cast<uint32_t>(records_.size()));
        for (const auto& [key, rec] : records_) {
            w.Text(key);
            w.I64(rec.size);
            w.I64(rec.mtimeNs);
            PutInfo(w, rec.result);
        }
        dirty_ = false;
    }
    const uint64_t sum = Fnv1a(w.out);
    w.Raw(&sum, sizeof sum);
    if (WriteFileAtomically(file_, w.out)) return true;
    std::lock_guard lock(mutex_);
    dirty_ = true;
    return false;
}

}  // namespace jov
