#pragma once

#include "hardware/cpu_info.h"

class Logger;

// Reads the logical processor count and the registry's processor name and
// logs them; an unreadable name becomes "Unknown CPU".
CpuInfo DetectCpu(Logger& logger);
