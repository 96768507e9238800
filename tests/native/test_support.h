// Shared pieces of the native unit tests.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "NativeFile.h"
#include "faults.h"

// Switches both logs on for the rest of the process (the switches never go
// back off) and captures what is printed while it lives.
class CapturedLog {
public:
    CapturedLog();
    ~CapturedLog();
    // Everything printed so far; ends the capture.
    std::string text();

private:
    bool open_ = true;
};

// Expects each text in out, each one after the one before it.
void expectInOrder(const std::string &out, std::initializer_list<std::string> texts);

// A directory of its own under the system's temp dir, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Locales made with localedef for the tests, named en_US.<charmap>, in a
// directory of their own that LOCPATH names while this lives. At the end the
// process is back in the C locale.
class MadeLocales {
public:
    explicit MadeLocales(std::initializer_list<const char *> charmaps);
    ~MadeLocales();

private:
    TempDir dir_;
};

// Runs body on a thread of its own, which starts without the iconv
// descriptors a thread keeps: for a test that counts or fails iconv_open.
void onNewThread(const std::function<void()> &body);

#endif
