#pragma once
#pragma GCC system_header

#include <Availability.h>

#define MAC_OS_X_VERSION_10_6 __MAC_10_6
#define MAC_OS_X_VERSION_MIN_REQUIRED __MAC_OS_X_VERSION_MIN_REQUIRED
#define MAC_OS_X_VERSION_MAX_ALLOWED __MAC_OS_X_VERSION_MAX_ALLOWED
