// The plug-in's own bundle, through which its resources (bitmaps) are found.
// The plug-in's shared library lies three path components inside its bundle:
//     Name.vst/Contents/x86_64-linux/Name.so
#pragma once

#include <CoreFoundation/CoreFoundation.h>

// The bundle of the plug-in this code is linked into, or null until located.
extern CFBundleRef gBundleRef;

// Locates the bundle and takes one reference to it for the caller; each call
// is paired with one ExitMachOLibrary(). Code linked into the main program
// (not a plug-in) has no bundle: gBundleRef is left as it was.
void InitMachOLibrary();
// Gives back the caller's reference; the last one releases the bundle and
// clears gBundleRef.
void ExitMachOLibrary();
