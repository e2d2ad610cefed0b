#pragma once
// The program's few texts that are not ASCII are written in its sources as
// UTF-8, while every text of the core is in the system's 8-bit encoding. The
// platform layer says at start-up how to convert; until it has, and where
// the 8-bit encoding is UTF-8 anyway, a text stays as it is.
#include <string>
#include <string_view>

namespace vhb {

using SystemTextConverter = std::string (*)(std::string_view utf8);

void setSystemTextConverter(SystemTextConverter convert);
// `utf8` in the system's 8-bit encoding.
std::string systemText(std::string_view utf8);

}  // namespace vhb
