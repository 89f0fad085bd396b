// Text between the tools' UTF-8 side (terminal, scripts, options) and the
// 8-bit code page the library speaks on the CTI link (CP949 on the target
// systems).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrane::tools {

class WireEncoding {
public:
    // "cp949" (also "949", "uhc") or "utf-8" (also "utf8", bytes pass unchanged).
    static std::optional<WireEncoding> Named(std::string_view name);

    // Bytes that cannot be converted become '?'; the rest of the text survives.
    std::string toWire(std::string_view utf8) const;
    std::string fromWire(std::string_view wire) const;

    bool passesThrough() const { return codePage_ == 0; }

private:
    explicit WireEncoding(unsigned codePage) : codePage_(codePage) {}
    unsigned codePage_;  // 0: UTF-8, no conversion
};

}  // namespace veltrane::tools
