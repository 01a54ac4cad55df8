#include "playlist/uri_list.h"

namespace jov {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// The local path of one URI, or "" when it names none.
std::string LocalPath(std::string_view uri) {
    if (!StartsNoCase(uri, "file:")) return {};
    uri.remove_prefix(5);
    if (uri.substr(0, 2) == "//") {
        uri.remove_prefix(2);
        const std::size_t slash = uri.find('/');
        if (slash == std::string_view::npos) return {};
        const std::string_view host = uri.substr(0, slash);
        if (!host.empty() && !StartsNoCase(host, "localhost")) return {};
        if (!host.empty() && host.size() != 9) return {};
        uri.remove_prefix(slash);
    }
    uri = uri.substr(0, uri.find_first_of("?#"));
    if (uri.empty() || uri.front() != '/') return {};
    std::string path;
    path.reserve(uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        int hi, lo;
        if (uri[i] == '%' && i + 2 < uri.size() && (hi = HexValue(uri[i + 1])) >= 0 &&
            (lo = HexValue(uri[i + 2])) >= 0) {
            path += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            path += uri[i];
        }
    }
    if (path.find('\0') != std::string::npos) return {};
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::vector<std::string> UriListPaths(std::string_view text) {
    std::vector<std::string> paths;
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        std::string path = LocalPath(line);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace jov
