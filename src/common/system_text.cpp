#include "common/system_text.h"

namespace vhb {

namespace {
SystemTextConverter g_convert = nullptr;
}  // namespace

void setSystemTextConverter(SystemTextConverter convert) {
    g_convert = convert;
}

std::string systemText(std::string_view utf8) {
    return g_convert ? g_convert(utf8) : std::string(utf8);
}

}  // namespace vhb
