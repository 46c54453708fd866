#pragma once
#pragma GCC system_header

#include_next <fcntl.h>

#define F_FULLFSYNC 51
