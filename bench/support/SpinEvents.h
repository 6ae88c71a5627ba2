// Runs the event loop until done() or the deadline; false on the deadline.
// It spins rather than sleeps, so that measured latencies carry no sleep slice.
#pragma once

#include <functional>

bool SpinEventsUntil(const std::function<bool()>& done, int timeoutMs);
