#pragma once

#include "util/FailureReport.h"
#include "util/gui/BusyCursor.h"

#include <functional>
#include <utility>

namespace qb {

// What every window connects to its controls' signals: the handler runs
// under the busy cursor, and a failure that escapes it reaches the failure
// report instead of the event loop.
template <typename Handler> auto guardedHandler(FailureReport& report, Handler handler)
{
    return [&report, handler = std::move(handler)](auto&&... args) {
        const BusyCursor busy;
        report.guard([&] { handler(std::forward<decltype(args)>(args)...); });
    };
}

// The same for a window's own handler function.
template <typename Window>
std::function<void()> guardedHandler(FailureReport& report, Window* window, void (Window::*handler)())
{
    return guardedHandler(report, [window, handler] { (window->*handler)(); });
}

} // namespace qb
