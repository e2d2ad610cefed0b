#pragma once
// The guard every handler that the toolkit calls runs inside (a click, a
// timer tick, the icon's menu, a datagram): an error that ends the handler
// is caught here and goes to the application's error report, and control
// goes back to the toolkit as if the handler had finished. No exception ever
// crosses the toolkit's dispatch.
#include <string_view>
#include <utility>

namespace vhb {

// Where the texts of caught errors go: the application's error box, set
// once at start. The text is in the system's 8-bit encoding, as every text
// of the core. Until a report is set, texts go to the standard error stream.
using ErrorReport = void (*)(std::string_view message);
void setErrorReport(ErrorReport report);

// Reports the exception being handled; only inside a catch block.
void reportCurrentException() noexcept;

// Runs `handler`; an error that leaves it is reported. True when the
// handler finished without one.
template <typename Handler>
bool guarded(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        reportCurrentException();
        return false;
    }
}

// `handler` as a slot without arguments, run inside guarded().
template <typename Handler>
auto guard(Handler handler) {
    return [handler = std::move(handler)]() mutable { guarded(handler); };
}

}  // namespace vhb
