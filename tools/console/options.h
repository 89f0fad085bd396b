// The host console's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/script_runner.h"

namespace veltrane::tools {

struct ConsoleOptions {
    std::string dllPath;  // empty: veltrane.dll beside the console, else the search path
    std::string script;   // empty: commands from standard input
    RunnerSettings runner;
    bool inProcess = false;
    std::optional<std::uintptr_t> childStatus;  // set in the supervised child
    bool help = false;
};

std::optional<ConsoleOptions> ParseConsoleOptions(const std::vector<std::string>& args, std::string& error);
std::string ConsoleUsage();

}  // namespace veltrane::tools
