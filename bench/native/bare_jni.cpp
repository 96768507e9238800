// A native method that takes a String and does nothing: the least a JNI call
// from Java can cost, the part of every native method's floor that is not a
// system call. Beside it, what taking in a String and giving one back cost.
#include <jni.h>
#include <libmount/libmount.h>

extern "C" JNIEXPORT jint JNICALL Java_com_zel_io_file_bench_BareJni_nothing(JNIEnv *, jclass, jstring) {
    return 0;
}

// The same, returning a new String of the text a link in the benchmark
// holds: what making a method's result costs the JVM.
extern "C" JNIEXPORT jstring JNICALL Java_com_zel_io_file_bench_BareJni_text(JNIEnv *env, jclass, jstring) {
    static const jchar kText[] = {'r', 'e', 'g', 'u', 'l', 'a', 'r', '.', 't', 'x', 't'};
    return env->NewString(kText, sizeof kText / sizeof kText[0]);
}

// The same, reading the String's UTF-16 units as the library does.
extern "C" JNIEXPORT jint JNICALL Java_com_zel_io_file_bench_BareJni_read(JNIEnv *env, jclass, jstring string) {
    jchar units[1024];
    const jsize length = env->GetStringLength(string);
    if (length > 1024) return -1;
    env->GetStringRegion(string, 0, length, units);
    return units[0];
}

// The C floor of listing mounts, callable from Java threads: libmount's
// read of the mount table and a pass over its mount points, as
// floor_bench.cpp times it. Timed in the same JVM, threads and rounds as the
// library's methods, its scaling is the machine's ceiling for theirs.
extern "C" JNIEXPORT jint JNICALL Java_com_zel_io_file_bench_BareJni_mountTable(JNIEnv *, jclass) {
    libmnt_table *table = mnt_new_table();
    if (table == nullptr || mnt_table_parse_file(table, "/proc/self/mountinfo") != 0) {
        mnt_unref_table(table);
        return -1;
    }
    libmnt_iter *iter = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs *fs = nullptr;
    jint count = 0;
    while (iter != nullptr && mnt_table_next_fs(table, iter, &fs) == 0) count += mnt_fs_get_target(fs) != nullptr;
    mnt_free_iter(iter);
    mnt_unref_table(table);
    return count;
}
