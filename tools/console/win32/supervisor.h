// Runs a script in a child copy of the console and judges how it ended
// (see console/verdict.h for why a child is needed).
#pragma once

namespace veltrane::tools::win32 {

// Starts this program again with `--child-status HANDLE` added to its
// command line, passes the console's standard handles on, waits for it
// and returns the console's exit code.
int SuperviseChild();

}  // namespace veltrane::tools::win32
