// The log formatter, with fuzzed text as the argument of "%s" and as the name
// of a traced routine. Each call prints exactly one line: the time and
// thread prefix, then the first 4094 characters of the formatted message.
// Standard output goes to a memory file, read back after each call.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "NativeFile.h"
#include "fuzz_support.h"

namespace {

std::string printed() {
    struct stat record {};
    fstat(STDOUT_FILENO, &record);
    std::string out(static_cast<std::size_t>(record.st_size), '\0');
    require(pread(STDOUT_FILENO, out.data(), out.size(), 0) == record.st_size, "the log can be read back");
    require(ftruncate(STDOUT_FILENO, 0) == 0 && lseek(STDOUT_FILENO, 0, SEEK_SET) == 0, "the log can be reset");
    return out;
}

bool isHex(char c, bool upperOnly) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (!upperOnly && c >= 'a' && c <= 'f');
}

// "Time: [0x<hex>], Thread ID: [0x<8 upper-case hex>]: " and the message.
void expectLine(const std::string &line, const std::string &message) {
    static const std::string time = "Time: [0x";
    static const std::string thread = "], Thread ID: [0x";
    require(line.compare(0, time.size(), time) == 0, "the line starts with the time");
    std::size_t at = time.size();
    const std::size_t digits = at;
    while (at < line.size() && isHex(line[at], false)) ++at;
    require(at > digits && line.compare(at, thread.size(), thread) == 0, "the time is hexadecimal");
    at += thread.size();
    for (std::size_t i = 0; i < 8; ++i) require(at + i < line.size() && isHex(line[at + i], true), "the thread id is 8 digits");
    at += 8;
    require(line.compare(at, 3, "]: ") == 0, "the prefix ends in ]: ");
    require(line.substr(at + 3) == message.substr(0, 4094), "the message follows, cut to 4094 characters");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const int memory = memfd_create("log", 0);
    require(memory >= 0 && dup2(memory, STDOUT_FILENO) == STDOUT_FILENO, "standard output goes to memory");
    close(memory);
    setenv("__JNI_NATIVEFILE_DEBUG", "", 1);
    setenv("__JNI_NATIVEFILE_ENTRYEXIT", "", 1);
    NativeFile_log_init_dbg();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), strnlen(reinterpret_cast<const char *>(data), size));
    NativeFile_log("%s", text.c_str());
    expectLine(printed(), text);
    NativeFile_log_entry(text.c_str());
    expectLine(printed(), "> entering: [" + text + "]\n");
    NativeFile_log_exit(text.c_str());
    expectLine(printed(), "< exiting: [" + text + "]\n");
    return 0;
}
