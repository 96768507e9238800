#include "test_support.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <thread>

CapturedLog::CapturedLog() {
    setenv("__JNI_NATIVEFILE_DEBUG", "", 1);
    setenv("__JNI_NATIVEFILE_ENTRYEXIT", "", 1);
    NativeFile_log_init_dbg();
    testing::internal::CaptureStdout();
}

CapturedLog::~CapturedLog() {
    if (open_) testing::internal::GetCapturedStdout();
}

std::string CapturedLog::text() {
    open_ = false;
    return testing::internal::GetCapturedStdout();
}

void expectInOrder(const std::string &out, std::initializer_list<std::string> texts) {
    std::size_t at = 0;
    for (const std::string &text : texts) {
        at = out.find(text, at);
        if (at == std::string::npos) {
            ADD_FAILURE() << "missing, or out of order: " << text << "\nin:\n" << out;
            return;
        }
    }
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nativefile-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

MadeLocales::MadeLocales(std::initializer_list<const char *> charmaps) {
    for (const char *charmap : charmaps) {
        const std::string command = std::string("localedef -c -i en_US -f ") + charmap + " " +
                                    (dir_ / (std::string("en_US.") + charmap)) + " >/dev/null 2>&1";
        (void)std::system(command.c_str());
    }
    setenv("LOCPATH", dir_.path().c_str(), 1);
}

MadeLocales::~MadeLocales() {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
}

void onNewThread(const std::function<void()> &body) { std::thread(body).join(); }
