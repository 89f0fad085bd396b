// The settings record: what config.ini and config_user.ini hold, and the
// base folder they are read from.
#pragma once

#include <cstdint>
#include <string>

namespace veltrane {

// Text fields hold 8-bit ANSI text. The upper-case fields are the INI keys
// they are read from and written to; config_user.ini's keys are listed in
// settings.h (kUserSettings), the others come from config.ini.
struct TCONFIG_INFO {
    std::string BasePath;  // always ends in "\"
    std::string CTI_IPs;
    std::int32_t CTI_PORT = 0;
    std::int32_t DLL_TIME = 0;      // silence moment, seconds since 1970 on the local clock
    std::string IS_POPUP_SHOW;      // exactly "N" suppresses every alert
    std::int32_t POPUP_SHOW_TIME = 0;
    std::string IS_CALLOUT_POP;     // kept and written back, nothing else
    std::string WIN_CAPTION;
    std::string MAC_ADDR;
    std::string REG_PHONE;
    std::string PHONE_NO;
    std::string GUEST_PHONE;
    std::int32_t WEB_PORT = 0;
    // Link supervision: a link check goes out after this long without a
    // packet, and the link counts as dead when the check has had no answer
    // this long. After the library has given up reconnecting, it tries
    // again every CTI_RETRY_SECONDS (0: only when the host acts).
    std::int32_t CTI_SILENCE_SECONDS = 60;
    std::int32_t CTI_ANSWER_SECONDS = 30;
    std::int32_t CTI_RETRY_SECONDS = 0;
    std::string WEB_ORIGINS;        // more pages that may use the command server
    std::string WEB_BROWSER;        // how WEB_REQUEST opens pages (web/default_browser.h)
    // TLS on the CTI link (core/tls_policy.h).
    std::string CTI_TLS;             // "Y": TLS; anything else: plain TCP
    std::string CTI_TLS_CERT_SHA256;  // the server certificate's fingerprint, when pinned
    std::string CTI_TLS_NAME;         // the name the certificate must carry; blank: the address tried
};

// What the library knows of the user's sign-in and calls, in memory only.
struct UserSession {
    std::string LoginId;
    std::string LoginPassword;
    std::string CallState;    // "L", "1".."3", "C", "S", "B", "R" or empty
    std::string WebPopupUrl;  // the web address of the last login answer
};

}  // namespace veltrane
