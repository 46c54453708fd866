#pragma once
#pragma GCC system_header

// macOS's extended-attribute calls take a position and options that glibc's do not; glibc's are declared
// under other names so that Apple's can take theirs.

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#define getxattr glibc_getxattr
#define setxattr glibc_setxattr
#define fsetxattr glibc_fsetxattr
#define removexattr glibc_removexattr
#include_next <sys/xattr.h>
#undef getxattr
#undef setxattr
#undef fsetxattr
#undef removexattr

extern "C" {
ssize_t getxattr(const char* path, const char* name, void* value, size_t size, uint32_t position,
                 int options);
int setxattr(const char* path, const char* name, const void* value, size_t size, uint32_t position,
             int options);
int fsetxattr(int fd, const char* name, const void* value, size_t size, uint32_t position, int options);
int removexattr(const char* path, const char* name, int options);
}
