// Recording of the call in progress.
#pragma once

#include <string>

#include "link/link.h"

namespace veltrane::telephony {

void CALL_RECORD(cti::Link& link, const std::string& number);
void SendRecord(cti::Link& link, const std::string& number);

}  // namespace veltrane::telephony
