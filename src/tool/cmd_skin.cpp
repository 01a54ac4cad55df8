#include <cstdio>

#include "tool/tool_commands.h"

namespace jov::tool {

int CmdSkin(const Args&) {
    std::fputs("not built yet\n", stderr);
    return 2;
}

}  // namespace jov::tool
