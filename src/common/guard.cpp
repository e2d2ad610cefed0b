#include "common/guard.h"

#include <cstdio>
#include <exception>
#include <string>

namespace vhb {

namespace {

ErrorReport g_report = nullptr;

void report(std::string_view message) {
    if (g_report != nullptr) {
        g_report(message);
        return;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
}

}  // namespace

void setErrorReport(ErrorReport r) {
    g_report = r;
}

void reportCurrentException() noexcept {
    // A report that fails in turn (no memory left for the box) has nowhere
    // to go; the handler still returns.
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            report(e.what());
        } catch (...) {
            report("Unknown error");
        }
    } catch (...) {
    }
}

}  // namespace vhb
