#include "MacActivation.h"

#import <AppKit/AppKit.h>

void MacActivation::activateIgnoringOtherApps() {
    [NSApp activateIgnoringOtherApps:YES];
}
