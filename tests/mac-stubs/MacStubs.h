#pragma once
#pragma GCC system_header

// Included before everything else: what macOS declares in headers that glibc has too, and which cannot be
// put in front of glibc's without taking its place (stdlib.h, errno.h).

#ifdef __cplusplus
extern "C" {
#endif

const char* getprogname(void);

#ifdef __cplusplus
}
#endif

#define ENOATTR 93
