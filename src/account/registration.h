// Registering the user's phone number and certifying this PC for it.
#pragma once

#include <string>

#include "link/link.h"

namespace veltrane::account {

void CERTIFICATION_NO(cti::Link& link, const std::string& phone);
void CERTIFICATION_PC(cti::Link& link, const std::string& phone, const std::string& certificationNo);
void CERTIFICATION_OTHER(cti::Link& link);

void SendNumber(cti::Link& link, const std::string& phone, const std::string& macAddress);
void SendCertify(cti::Link& link, const std::string& certificationNo);

}  // namespace veltrane::account
