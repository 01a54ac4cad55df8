#pragma once
// jov01-tool's commands; each returns the process exit code (0 ok, 1 unreadable file, 2 bad arguments).
#include <string>
#include <vector>

namespace jov::tool {

using Args = std::vector<std::string>;  // the words after the command name

int CmdScan(const Args& args);
int CmdParse(const Args& args);
int CmdSimulate(const Args& args);
int CmdRender(const Args& args);
int CmdList(const Args& args);
int CmdSkin(const Args& args);
int CmdTimes(const Args& args);
int CmdLoudness(const Args& args);

}  // namespace jov::tool
