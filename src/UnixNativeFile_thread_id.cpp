// The thread's text in log lines: the kernel thread id, the number that a
// Java thread dump prints as nid, so a log line can be matched to a thread.
#include "NativeFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

char no_id_text[] = "NO_THREAD_ID";
char *const no_id = no_id_text;

constexpr std::size_t kIdTextSize = 9;

char getHex(int value) {
    constexpr char digits[] = "0123456789ABCDEF";
    return value >= 0 && value <= 15 ? digits[value] : '0';
}

}  // namespace

extern "C" {

char *NativeFile_get_thread_idstring(void) {
    const auto id = static_cast<std::uint32_t>(gettid());
    auto *text = static_cast<char *>(std::malloc(kIdTextSize));
    if (text == nullptr) return no_id;
    std::memset(text, 0, kIdTextSize);
    for (int i = 0; i < 4; ++i) {
        const unsigned byte = (id >> (24 - 8 * i)) & 0xFFu;
        text[2 * i] = getHex(static_cast<int>(byte >> 4));
        text[2 * i + 1] = getHex(static_cast<int>(byte & 0xFu));
    }
    text[8] = '\0';
    return text;
}

void NativeFile_free_thread_idstring(char *text) {
    if (text != nullptr && text != no_id) std::free(text);
}

}  // extern "C"
