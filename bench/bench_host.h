// What the Wine benchmarks share: a host program and a fake CTI server, the
// library's settings made for them (its phone number, alerts off).
#pragma once

#include <cstdio>
#include <cstdlib>

#include "harness/cti_fixture.h"

namespace veltrane::bench {

struct BenchHost {
    wine::TestHost host;
    wine::TempFolder base;
    wine::FakeCtiServer server;

    BenchHost() {
        wine::WriteConfig(base.path(), "127.0.0.1", server.port());
        wine::WriteIni(base.path() + L"config_user.ini", "MyInfo", "PHONE_NO", "0212345678");
        wine::WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
    }

    // DLL_START, then the connection; a benchmark without it has nothing to measure.
    void startConnected() {
        host.start(base.path());
        if (!host.waitForEvent(wine::Event("conn|connect||")) || !host.waitFor([&] { return server.clientConnected(); })) {
            std::fprintf(stderr, "the library did not connect\n");
            std::exit(2);
        }
    }
};

}  // namespace veltrane::bench
