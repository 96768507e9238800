// The version the library was built as. The loader asks for it right after
// loading, so that a library of other classes is refused at once instead of
// failing later on a method it lacks.
#include "NativeFile_frame.h"

#ifndef NATIVEFILE_VERSION
#error "NATIVEFILE_VERSION must name the version"
#endif

NF_NATIVE(NativeLibrary, jstring, version) {
    nf::Call call(env, __func__);
    return call.javaString(NATIVEFILE_VERSION);
}
