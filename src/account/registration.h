// Registering the user's phone number and certifying this PC for it.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane::account {

void CERTIFICATION_NO(Library& lib, const std::string& phone);
void CERTIFICATION_PC(Library& lib, const std::string& phone, const std::string& certificationNo);
void CERTIFICATION_OTHER(Library& lib);

void SendNumber(Library& lib, const std::string& phone, const std::string& macAddress);
void SendCertify(Library& lib, const std::string& certificationNo);

}  // namespace veltrane::account
