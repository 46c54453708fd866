#include "MacLoginItem.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#include <Availability.h>

// An SDK older than macOS 13 has no SMAppService; such a build falls back to the launch agent file.
#if defined(__MAC_13_0) && __MAC_OS_X_VERSION_MAX_ALLOWED >= __MAC_13_0
#define ORLIN_HAS_SMAPPSERVICE 1
#endif

bool MacLoginItem::isAvailable() {
#ifdef ORLIN_HAS_SMAPPSERVICE
    if (@available(macOS 13.0, *)) {
        return true;
    }
#endif
    return false;
}

MacLoginItem::Status MacLoginItem::status() {
#ifdef ORLIN_HAS_SMAPPSERVICE
    if (@available(macOS 13.0, *)) {
        switch ([[SMAppService mainAppService] status]) {
            case SMAppServiceStatusNotRegistered:
                return Status::NotRegistered;
            case SMAppServiceStatusEnabled:
                return Status::Enabled;
            case SMAppServiceStatusRequiresApproval:
                return Status::RequiresApproval;
            case SMAppServiceStatusNotFound:
                return Status::NotFound;
        }
    }
#endif
    return Status::NotFound;
}

bool MacLoginItem::setEnabled([[maybe_unused]] bool enabled, QString* error) {
#ifdef ORLIN_HAS_SMAPPSERVICE
    if (@available(macOS 13.0, *)) {
        @autoreleasepool {
            NSError* failure = nil;
            SMAppService* service = [SMAppService mainAppService];
            const BOOL done = enabled ? [service registerAndReturnError:&failure]
                                      : [service unregisterAndReturnError:&failure];
            if (!done && error) {
                *error = failure ? QString::fromNSString(failure.localizedDescription)
                                 : QStringLiteral("ServiceManagement gave no reason");
            }
            return done;
        }
    }
#endif
    if (error) {
        *error = QStringLiteral("This macOS has no login item service for applications");
    }
    return false;
}
