#include "account/login.h"
namespace veltrane::account {
void SendLogin(Library&, const std::string&, const std::string&) {}
}
