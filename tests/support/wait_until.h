#pragma once

#include <functional>

// Asks `done` every 20 ms until it says yes, for up to `seconds`; whether it
// did.
bool WaitUntil(const std::function<bool()>& done, int seconds);
