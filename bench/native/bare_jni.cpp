// A native method that takes a String and does nothing: the least a JNI call
// from Java can cost, the part of every native method's floor that is not a
// system call.
#include <jni.h>

extern "C" JNIEXPORT jint JNICALL Java_com_zel_io_file_bench_BareJni_nothing(JNIEnv *, jclass, jstring) {
    return 0;
}

// The same, returning a new String of the text a link in the benchmark
// holds: what making a method's result costs the JVM.
extern "C" JNIEXPORT jstring JNICALL Java_com_zel_io_file_bench_BareJni_text(JNIEnv *env, jclass, jstring) {
    static const jchar kText[] = {'r', 'e', 'g', 'u', 'l', 'a', 'r', '.', 't', 'x', 't'};
    return env->NewString(kText, sizeof kText / sizeof kText[0]);
}
