#pragma once

#include <filesystem>

#include "launch/game_location.h"

// A test for "this path names `file` itself": the same volume and file ID, so
// another letter case, a hard link, an 8.3 name or a path through a link or
// junction all count. A path that cannot be opened is never that file, and
// nothing is when `file` itself cannot be opened.
SameFileTest SameFileAs(const std::filesystem::path& file);
