#pragma once
#pragma GCC system_header

#include <stddef.h>

extern "C" int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen);
