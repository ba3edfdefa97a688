// The default error report: an error that no handler catches ends the
// operation that raised it and is shown in a modal box captioned with the
// application title; the message loop then goes on.
#pragma once

#include <QString>
#include <exception>
#include <utility>

// The text the user sees for an error: a data-layer error's own text, or
// the message of any other exception.
QString errorText(const std::exception &error);

// Shows the default error report for `error` (full-stop rule applied).
void reportError(const std::exception &error);

// Runs `handler`; an exception it lets out goes to the default error report
// instead of unwinding through the toolkit's event dispatch.
template<typename Handler>
void runReportingErrors(Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &error) {
        reportError(error);
    }
}

// Wraps a handler for connecting to a signal: the slot reports what the
// handler throws.
template<typename Handler>
auto reportingErrors(Handler handler)
{
    return [handler = std::move(handler)](auto &&...args) {
        runReportingErrors([&] { handler(std::forward<decltype(args)>(args)...); });
    };
}
