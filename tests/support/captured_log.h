#pragma once

#include <functional>
#include <string>
#include <vector>

class Logger;

// Runs `body` with a real Logger on a fresh log file and returns the messages
// that reached the file once the logger was closed.
std::vector<std::wstring> CapturedLog(const std::function<void(Logger&)>& body);
