#pragma once
#pragma GCC system_header

// libplist 2.7's date calls (Homebrew's release), which Debian 12's 2.2 lacks, as its header declares
// them: whole seconds since 1970.

#include <plist/plist.h>

#include <cstdint>

extern "C" {
plist_t plist_new_unix_date(int64_t sec);
void plist_get_unix_date_val(plist_t node, int64_t* sec);
}
