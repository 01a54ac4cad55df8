#pragma once
// Runs jov01-tool as a user runs it: arguments quoted for the shell, stdout kept, stderr
// dropped (or appended after stdout).
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace jov::tooltest {

struct ToolRun {
    int code = -1;
    std::string out;
};

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline ToolRun Tool(const std::vector<std::string>& args, bool keepStderr = false) {
    std::string cmd = Quote(JOV01_TOOL);
    for (const auto& a : args) {
        cmd += ' ';
        cmd += Quote(a);
    }
    cmd += keepStderr ? " 2>&1" : " 2>/dev/null";
    ToolRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace jov::tooltest
