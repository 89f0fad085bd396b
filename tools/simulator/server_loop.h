// The simulator's sockets: the CTI port, the control port and the web
// address, served from one thread with select.
#pragma once

#include "simulator/options.h"

namespace veltrane::tools {

// Runs until the quit command; the exit code of the program.
int RunSimulator(const SimulatorOptions& options);

}  // namespace veltrane::tools
