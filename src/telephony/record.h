// Recording of the call in progress.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane::telephony {

void CALL_RECORD(Library& lib, const std::string& number);
void SendRecord(Library& lib, const std::string& number);

}  // namespace veltrane::telephony
