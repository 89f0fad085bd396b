// cti-simulator: a stand-in CTI server for trying out veltrane.dll.
#include <cstdio>
#include <string>
#include <vector>

#include "simulator/options.h"
#include "simulator/server_loop.h"

int main(int argc, char** argv) {
    using namespace veltrane::tools;
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = ParseSimulatorOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "cti-simulator: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(SimulatorUsage().c_str(), stdout);
        return 0;
    }
    return RunSimulator(*options);
}
