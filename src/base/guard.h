// Where the library meets its caller (an export, a COM method), no
// exception may pass: the host's code would meet one it never expects.
#pragma once

namespace veltrane {

// Runs work(), the conversion of its arguments included; false when it
// threw, which it had reported if it could.
template <typename Work>
bool RunGuarded(Work&& work) noexcept {
    try {
        work();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace veltrane
