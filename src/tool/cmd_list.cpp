#include <cstdio>

#include "tool/tool_commands.h"

namespace jov::tool {

int CmdList(const Args&) {
    std::fputs("not built yet\n", stderr);
    return 2;
}

}  // namespace jov::tool
