// The library as a whole: the core's state, the CTI link and the web pages,
// wired to the features. The composition root (the DLL's data module, the
// tests) owns one and hands it its platform.
#pragma once

#include <string>

#include "core/lifecycle.h"
#include "link/link.h"
#include "web/web.h"

namespace veltrane::session {

class Session final : private LifecycleSteps, private cti::LinkEvents, private web::CallRequests {
public:
    explicit Session(Platform& os);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Library lib;
    cti::Link link;
    web::Web web;

    void start(const std::string& basePath, const std::string& windowTitle);
    void finish();
    void stop();  // StopLibrary
    // The owner thread's turn is over and the library's state is whole:
    // the settings are saved and the host hears what happened.
    void endTurn();

private:
    void removeLeftoverPages() override;
    void startLink() override;
    bool stopLink() override;
    void connected() override;
    void packet(const cti::ServerFrame& frame) override;
    bool requestCall(const std::string& number) override;
};

}  // namespace veltrane::session
