#include "platform/pdhlib.h"

namespace vhb::platform {

const char* pdhLibraryName() {
    return "pdh.dll";
}

}  // namespace vhb::platform
