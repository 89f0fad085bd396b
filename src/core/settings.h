// config.ini (installation, read only) and config_user.ini (per user).
#pragma once

#include <string>

#include "base/outcome.h"
#include "core/library.h"

namespace veltrane {

inline constexpr std::int32_t kDefaultCtiPort = 2209;
inline constexpr std::int32_t kDefaultWebPort = 12209;
inline constexpr std::int32_t kDefaultSilenceSeconds = 60;
inline constexpr std::int32_t kDefaultAnswerSeconds = 30;
inline constexpr std::int32_t kDefaultRetrySeconds = 0;  // no retries after giving up

// One key of config_user.ini and the field of the record it is read into and
// written from: a text field, or a number written in decimal.
struct UserSetting {
    const char* section;
    const char* key;
    std::string TCONFIG_INFO::*text = nullptr;
    std::int32_t TCONFIG_INFO::*number = nullptr;
    const char* textDefault = "";  // when the key is missing
    std::int32_t numberDefault = 0;  // when the key is missing or no number
};

// The keys of config_user.ini, in the order they are read and written.
inline constexpr UserSetting kUserSettings[] = {
    {"SendMessage", "DLL_TIME", nullptr, &TCONFIG_INFO::DLL_TIME},
    {"SendMessage", "WIN_CAPTION", &TCONFIG_INFO::WIN_CAPTION},
    {"Connect", "IS_CALLOUT_POP", &TCONFIG_INFO::IS_CALLOUT_POP, nullptr, "Y"},
    {"Connect", "IS_POPUP_SHOW", &TCONFIG_INFO::IS_POPUP_SHOW, nullptr, "Y"},
    {"Connect", "POPUP_SHOW_TIME", nullptr, &TCONFIG_INFO::POPUP_SHOW_TIME, "", 5},
    {"Connect", "MAC_ADDR", &TCONFIG_INFO::MAC_ADDR},
    {"Connect", "REG_PHONE", &TCONFIG_INFO::REG_PHONE},
    {"MyInfo", "PHONE_NO", &TCONFIG_INFO::PHONE_NO},
    {"Call", "GUEST_PHONE", &TCONFIG_INFO::GUEST_PHONE},
};

// The field's value as it is written to the file (before it is cut to one line).
std::string UserSettingValue(const TCONFIG_INFO& config, const UserSetting& setting);

// Reads both files into the record. A blank CTI_IPs is told to the host
// (an alert and a text for the callback); the start goes on without a link.
void LoadSettings(Library& lib);

// Writes the keys of config_user.ini (kUserSettings) now, creating the base
// folder. Stops at the first key that cannot be written and fails with
// "Unable to write to <file>".
Outcome SaveUserSettings(Library& lib);

// After a change of the record: the keys are written at the end of the
// owner thread's turn, once however many changes it made, and only when
// they differ from what was written last. A failure is logged then.
void SaveUserSettingsSoon(Library& lib);
// The end of the turn: writes what SaveUserSettingsSoon asked for.
void SaveScheduledUserSettings(Library& lib);

}  // namespace veltrane
