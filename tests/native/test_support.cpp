#include "test_support.h"

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

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nativefile-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void onNewThread(const std::function<void()> &body) { std::thread(body).join(); }
