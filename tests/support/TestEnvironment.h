#pragma once

#include "Environment.h"
#include "UserDefaults.h"

// The environment of the test's temporary home (TestMain moves every folder there): its folders, the
// process's defaults and the system clock. Scripts run nowhere until a test names a program.
inline Environment testEnvironment() {
    Environment environment = Environment::fromProcess();
    environment.script.program.clear();
    return environment;
}

inline UserDefaults& testDefaults() {
    return UserDefaults::standardUserDefaults();
}
