// A library of another version, as one installed long ago on java.library.path
// would be: the loader must refuse it as it loads.
#include <jni.h>

extern "C" JNIEXPORT jstring JNICALL Java_com_zel_io_file_NativeLibrary_version(JNIEnv *env, jclass) {
    return env->NewStringUTF("0.0.1");
}
