// config.ini (installation, read only) and config_user.ini (per user).
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane {

inline constexpr std::int32_t kDefaultCtiPort = 2209;
inline constexpr std::int32_t kDefaultWebPort = 12209;
inline constexpr std::int32_t kDefaultSilenceSeconds = 60;
inline constexpr std::int32_t kDefaultAnswerSeconds = 30;

// Reads both files into the record; false (after its alert and callback
// text) when CTI_IPs is blank.
bool LoadSettings(Library& lib);

// Writes the nine keys of config_user.ini, creating the base folder. Stops
// at the first key that cannot be written and returns
// "Unable to write to <file>"; empty on success.
std::string SaveUserSettings(Library& lib);

// For callers that cannot do anything about a failed save: logs it.
void SaveUserSettingsLogged(Library& lib);

}  // namespace veltrane
