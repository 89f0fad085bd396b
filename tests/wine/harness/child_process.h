// Scenarios that end the process (DLL_FINISH) run in a child: the test
// program starts itself with "--child=<name> <args>" and reads the exit code.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace veltrane::wine {

using ChildScenario = std::function<int(const std::vector<std::wstring>& args)>;

// Registers a scenario; returns true so it can initialise a static.
bool RegisterChildScenario(const std::string& name, ChildScenario scenario);

// Runs the scenario in a new process; its exit code, or -1 when it could
// not be started or did not end within the time.
int RunChild(const std::string& name, const std::vector<std::wstring>& args, unsigned timeoutMs = 30000);

// Called by main: runs the scenario named on the command line, if any.
bool RunChildFromCommandLine(int& exitCode);

}  // namespace veltrane::wine

#define VELTRANE_CONCAT_INNER(a, b) a##b
#define VELTRANE_CONCAT(a, b) VELTRANE_CONCAT_INNER(a, b)
// VELTRANE_CHILD_SCENARIO(name) { ... return exitCode; }  — `args` are its arguments.
#define VELTRANE_CHILD_SCENARIO(name)                                                                       \
    static int VELTRANE_CONCAT(ChildScenario_, name)(const std::vector<std::wstring>& args);                \
    static const bool VELTRANE_CONCAT(registered_, name) =                                                  \
        ::veltrane::wine::RegisterChildScenario(#name, &VELTRANE_CONCAT(ChildScenario_, name));             \
    static int VELTRANE_CONCAT(ChildScenario_, name)([[maybe_unused]] const std::vector<std::wstring>& args)
