// Bundles: a folder with Contents/Info.plist and Contents/Resources.
#ifndef FX_COREFOUNDATION_CFBUNDLE_H
#define FX_COREFOUNDATION_CFBUNDLE_H

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFURL.h>

CF_EXTERN_C_BEGIN

typedef struct FxCFBundle* CFBundleRef;

CFTypeID CFBundleGetTypeID(void);

// NULL when the folder does not exist. A missing or unreadable
// Contents/Info.plist leaves the info dictionary empty.
CFBundleRef CFBundleCreate(CFAllocatorRef alloc, CFURLRef bundleURL);
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
// Contents/Resources/[subDirName/]resourceName[.resourceType]; resourceType
// may be NULL when the name carries its extension. NULL when the file does
// not exist or a part would leave the resources folder.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName,
                                 CFStringRef resourceType, CFStringRef subDirName);
// Never NULL for a bundle; owned by the bundle.
CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle);
CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
// The "CFBundleIdentifier" string, or NULL.
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);

// The host application's bundle: the executable's folder, with the identity
// the host declared through FxSetMainBundleInfo. Lives as long as the process.
CFBundleRef CFBundleGetMainBundle(void);
// Sets "CFBundleIdentifier" and "CFBundleVersion" of the main bundle; NULL
// removes a key. Call before plug-ins are loaded; strings handed out earlier
// stay valid.
void FxSetMainBundleInfo(CFStringRef identifier, CFStringRef version);

CF_EXTERN_C_END

#endif
