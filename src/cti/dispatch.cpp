#include "cti/dispatch.h"
namespace veltrane::cti {
bool DispatchCtiMessage(Library&, const std::string&, const std::string&, const std::string&) { return true; }
}
