/*
 * The library's plain C interface: the routines that every native method
 * builds on, exported under their own names.
 */
#ifndef NATIVEFILE_H
#define NATIVEFILE_H

#include <jni.h>
#include <sys/types.h>

#define NF_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Classification of a failure; selects the Java exception class. */
enum ErrorKind {
    NF_ACCESS_DENIED = 1,
    NF_FILE_NOT_FOUND = 2,
    NF_IO_ERROR = 3,
    NF_INVALID_USER = 4,
    NF_INVALID_GROUP = 5,
    NF_NOT_SUPPORTED = 6,
    NF_OUT_OF_MEMORY = 7
};

/* Size of every path, name and text buffer, NUL included: Linux's PATH_MAX. */
enum { NF_PATH_LEN = 4096 };

/* Size of an exception message, NUL included. */
enum { NF_MESSAGE_LEN = 1024 };

/* Diagnostic log. */
NF_EXPORT void NativeFile_log_init_dbg(void);
NF_EXPORT void NativeFile_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
NF_EXPORT void NativeFile_log_entry(const char *name);
NF_EXPORT void NativeFile_log_exit(const char *name);
NF_EXPORT int NativeFile_log_is_dbg_enabled(void);
NF_EXPORT int NativeFile_log_is_entryexit_enabled(void);
NF_EXPORT char *NativeFile_get_thread_idstring(void);
NF_EXPORT void NativeFile_free_thread_idstring(char *text);

/* Errors to Java. */
NF_EXPORT void NativeFile_ThrowException(JNIEnv *env, int kind, const char *detail, int errnum);
NF_EXPORT int NativeFile_isFlagSet(int value, int mask);

/* Texts between Java and the locale's code page. */
NF_EXPORT char *NativeFile_GetNativeStringFromJString(JNIEnv *env, char *dest, jstring string, int len);
NF_EXPORT char *NativeFile_GetNativeStringFromArray(JNIEnv *env, char *dest, jbyteArray array, int len);
NF_EXPORT char *NativeFile_stringConverterFromUTF8(char *dest, const char *source, int len);
NF_EXPORT char *NativeFile_stringConverterToUTF8(char *dest, const char *source, int len);
NF_EXPORT char *NativeFile_stringConverter(char *dest, const char *source, int len,
                                           const char *from, const char *to);

/* Mode editors: set one class's read, write and execute bits from a triple. */
NF_EXPORT void UnixNativeFile_setUserPermissions(mode_t *mode, int triple);
NF_EXPORT void UnixNativeFile_setGroupPermissions(mode_t *mode, int triple);
NF_EXPORT void UnixNativeFile_setWorldPermissions(mode_t *mode, int triple);

/* Mount table: a NULL-terminated array of mount points, or NULL. */
NF_EXPORT char **UnixNativeFile_getMountList(int *error);
NF_EXPORT void UnixNativeFile_freeMountList(char **list);

/* Space of the file system holding a path, in bytes. */
NF_EXPORT long long UnixNativeFile_getFreeSpace(const char *path, int *error, int *errnoValue);
NF_EXPORT long long UnixNativeFile_getFileSystemSize(const char *path, int *error, int *errnoValue);

#ifdef __cplusplus
}
#endif

#endif
