// The simulator's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulator/rules.h"

namespace veltrane::tools {

struct SimulatorOptions {
    ServerRules rules;  // texts as given (UTF-8) until the program converts them
    bool webAddressGiven = false;
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 2209;
    std::optional<std::uint16_t> controlPort;
    std::optional<std::uint16_t> webPort;
    std::string webPage;  // a file answered to GET requests on the web port
    std::string portsFile;
    std::string encoding = "cp949";
    std::string tlsCertificate;  // PEM files: the CTI port speaks TLS
    std::string tlsKey;
    bool readStdin = true;
    bool help = false;
};

// nullopt with `error` set when an option is unknown or its value unusable.
std::optional<SimulatorOptions> ParseSimulatorOptions(const std::vector<std::string>& args, std::string& error);

std::string SimulatorUsage();

}  // namespace veltrane::tools
