#pragma once
#pragma GCC system_header

// macOS names only the calling thread, and numbers threads with a call glibc does not have.

#include <stdint.h>

#define pthread_setname_np glibc_pthread_setname_np
#include_next <pthread.h>
#undef pthread_setname_np

#ifdef __cplusplus
extern "C" {
#endif
int pthread_setname_np(const char* name);
// pthread_t is a pointer there (the agent passes nullptr for the calling thread), a number in glibc.
int pthread_threadid_np(struct _opaque_pthread_t* thread, uint64_t* thread_id);
#ifdef __cplusplus
}
#endif
