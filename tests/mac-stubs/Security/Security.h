#pragma once
#pragma GCC system_header

// The keychain calls the agent uses, as the SDK declares them, deprecated as they are there.

#include <CoreFoundation/CoreFoundation.h>

extern "C" {

typedef int32_t OSStatus;
typedef uint32_t UInt32;
typedef struct OpaqueSecKeychainRef* SecKeychainRef;
typedef struct OpaqueSecKeychainItemRef* SecKeychainItemRef;
typedef struct SecKeychainAttributeList SecKeychainAttributeList;

enum { errSecSuccess = 0, errSecItemNotFound = -25300 };

#define ORLIN_STUB_DEPRECATED __attribute__((deprecated("SecKeychain is deprecated")))

ORLIN_STUB_DEPRECATED OSStatus SecKeychainFindGenericPassword(
    CFTypeRef keychainOrArray, UInt32 serviceNameLength, const char* serviceName, UInt32 accountNameLength,
    const char* accountName, UInt32* passwordLength, void** passwordData, SecKeychainItemRef* itemRef);
ORLIN_STUB_DEPRECATED OSStatus SecKeychainAddGenericPassword(
    SecKeychainRef keychain, UInt32 serviceNameLength, const char* serviceName, UInt32 accountNameLength,
    const char* accountName, UInt32 passwordLength, const void* passwordData, SecKeychainItemRef* itemRef);
ORLIN_STUB_DEPRECATED OSStatus SecKeychainItemModifyAttributesAndData(
    SecKeychainItemRef itemRef, const SecKeychainAttributeList* attrList, UInt32 length, const void* data);
ORLIN_STUB_DEPRECATED OSStatus SecKeychainItemFreeContent(SecKeychainAttributeList* attrList, void* data);
ORLIN_STUB_DEPRECATED OSStatus SecKeychainItemDelete(SecKeychainItemRef itemRef);

#undef ORLIN_STUB_DEPRECATED
}
