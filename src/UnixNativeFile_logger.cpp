// Diagnostic log on standard output, switched on at load by two environment
// variables. A disabled log costs one flag test per call.
#include "NativeFile.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pthread.h>

namespace {

int __nativefile_dbg_enabled = 0;
int __nativefile_entryexit_enabled = 0;
pthread_mutex_t __nativefile_dbg_mutex = PTHREAD_MUTEX_INITIALIZER;

// Room for a line that names two paths of PATH_MAX bytes.
constexpr std::size_t kLogBufferSize = 3 * NF_PATH_LEN;

// One printf per line, so that lines of concurrent threads never interleave.
__attribute__((format(printf, 1, 0))) void printLine(const char *format, va_list args) {
    std::array<char, kLogBufferSize> message;
    std::vsnprintf(message.data(), message.size() - 1, format, args);
    char *tid = NativeFile_get_thread_idstring();
    message.back() = '\0';
    std::printf("Time: [0x%x], Thread ID: [0x%s]: %s",
                static_cast<unsigned>(std::time(nullptr)), tid, message.data());
    std::fflush(stdout);
    NativeFile_free_thread_idstring(tid);
}

__attribute__((format(printf, 1, 2))) void NativeFile_log_entryexit(const char *format, ...) {
    if (!__nativefile_entryexit_enabled || format == nullptr) return;
    va_list args;
    va_start(args, format);
    printLine(format, args);
    va_end(args);
}

}  // namespace

extern "C" {

void NativeFile_log_init_dbg(void) {
    pthread_mutex_lock(&__nativefile_dbg_mutex);
    if (std::getenv("__JNI_NATIVEFILE_DEBUG") != nullptr) __nativefile_dbg_enabled = 1;
    if (std::getenv("__JNI_NATIVEFILE_ENTRYEXIT") != nullptr) __nativefile_entryexit_enabled = 1;
    pthread_mutex_unlock(&__nativefile_dbg_mutex);
}

void NativeFile_log(const char *format, ...) {
    if (!__nativefile_dbg_enabled || format == nullptr) return;
    va_list args;
    va_start(args, format);
    printLine(format, args);
    va_end(args);
}

void NativeFile_log_entry(const char *name) {
    if (!__nativefile_entryexit_enabled || name == nullptr) return;
    NativeFile_log_entryexit("> entering: [%s]\n", name);
}

void NativeFile_log_exit(const char *name) {
    if (!__nativefile_entryexit_enabled || name == nullptr) return;
    NativeFile_log_entryexit("< exiting: [%s]\n", name);
}

int NativeFile_log_is_dbg_enabled(void) { return __nativefile_dbg_enabled; }

int NativeFile_log_is_entryexit_enabled(void) { return __nativefile_entryexit_enabled; }

}  // extern "C"
