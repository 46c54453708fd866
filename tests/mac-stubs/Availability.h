#pragma once
#pragma GCC system_header

// The oldest macOS the agent runs on with the oldest Qt it accepts.
#define __MAC_10_6 1060
#define __MAC_11_0 110000
#define __MAC_OS_X_VERSION_MIN_REQUIRED __MAC_11_0
#define __MAC_OS_X_VERSION_MAX_ALLOWED 150000
