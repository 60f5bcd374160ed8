#pragma once

#define ORVEL_VERSION_NUMBERS 1, 0, 0, 0
#define ORVEL_VERSION_TEXT "1.0.0.0"
