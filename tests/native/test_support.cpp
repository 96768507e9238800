#include "test_support.h"

#include <cstdlib>
#include <filesystem>

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
