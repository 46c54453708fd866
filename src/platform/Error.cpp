#include "Error.h"

Error Error::serviceError(const QString& message) {
    return Error{ErrorDomains::kOrlin, -1, message};
}
