#include "platform/pdhlib.h"

namespace vhb::platform {

// Our own module, built beside the program.
const char* pdhLibraryName() {
    return "libvhb-pdh.so";
}

}  // namespace vhb::platform
