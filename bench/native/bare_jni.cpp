// A native method that takes a String and does nothing: the least a JNI call
// from Java can cost, the part of every native method's floor that is not a
// system call.
#include <jni.h>

extern "C" JNIEXPORT jint JNICALL Java_com_zel_io_file_bench_BareJni_nothing(JNIEnv *, jclass, jstring) {
    return 0;
}
