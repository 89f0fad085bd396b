// What the simulated CTI server accepts: its one subscriber, the timing of
// calls and the SMS it turns down. Set from the command line.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace veltrane::tools {

struct ServerRules {
    // Texts in the wire's code page.
    std::string phone = "0212345678";        // the one registered subscriber
    std::string certificationNo = "123456";  // what CERTIFY must carry
    std::string loginId = "agent";
    std::string password = "secret";
    std::string webAddress = "http://127.0.0.1/veltrane/";
    bool checkMac = true;  // LOGIN only from a PC certified for the phone

    std::int64_t answerAfterMs = 1000;  // an outbound call: dialing -> calling
    std::int64_t callLengthMs = 3000;   // calling -> call finished; 0: until hung up

    // SMS and BOOKED to these numbers fail with the code given.
    std::map<std::string, int> smsFailures;

    // Faults from the start (the commands flap and silent switch them later).
    bool flapping = false;  // every connection is closed as soon as it is accepted
    bool silent = false;    // no answers, link checks included
};

}  // namespace veltrane::tools
