#pragma once

#include <filesystem>

// The full path of the launcher's own executable, however long it is.
std::filesystem::path OwnExecutablePath();
