#pragma once

#include <QString>
#include <cassert>
#include <optional>

#include "Environment.h"
#include "UserDefaults.h"

// The environment every test of a process shares, below the temporary root its main makes: folders,
// defaults kept in a file there, the system clock and the file secret store. Scripts run nowhere until a
// test names a program. Nothing in it follows the process's HOME or XDG variables.
namespace testsupport {

inline std::optional<Environment>& sharedEnvironment() {
    static std::optional<Environment> environment;
    return environment;
}

}  // namespace testsupport

// Called by the test mains around the run; the defaults go before the application object does.
inline void enterTestRoot(const QString& root) {
    testsupport::sharedEnvironment() = Environment::forRoot(root);
}
inline void leaveTestRoot() {
    testsupport::sharedEnvironment().reset();
}

inline Environment testEnvironment() {
    assert(testsupport::sharedEnvironment().has_value());
    return *testsupport::sharedEnvironment();
}

inline UserDefaults& testDefaults() {
    assert(testsupport::sharedEnvironment().has_value());
    return testsupport::sharedEnvironment()->defaults();
}
