#pragma once
// The Linux socket calls' errors in the numbering the endpoint reports.

namespace vhb::platform {

// An errno value as the Windows Sockets number the same failure has there
// (EADDRINUSE: 10048); a value without a counterpart is given back as it is.
int socketsErrorNumber(int errnoValue);

}  // namespace vhb::platform
