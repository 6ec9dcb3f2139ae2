#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "common/Log.h"

namespace filestest {

// Collects the log lines written while it lives (the log goes to standard
// output for that time).
class LogCapture {
  public:
    LogCapture() {
        Log::SetLogEnable(1, true);
        testing::internal::CaptureStdout();
    }
    ~LogCapture() { Stop(); }
    // Everything logged so far; the capture goes on.
    const std::string& Text() {
        if (active_) {
            text_ += testing::internal::GetCapturedStdout();
            testing::internal::CaptureStdout();
        }
        return text_;
    }
    void Stop() {
        if (!active_) return;
        text_ += testing::internal::GetCapturedStdout();
        Log::m_dwLogType = 0;
        active_ = false;
    }
    bool Has(const std::string& part) { return Text().find(part) != std::string::npos; }

  private:
    bool active_ = true;
    std::string text_;
};

// Runs a load into a fresh loader of type T; succeeds when the load fails and
// every message is in the log.
template <typename T, typename LoadFunction>
testing::AssertionResult Refused(LoadFunction load, std::initializer_list<std::string> messages) {
    T loader;
    LogCapture log;
    if (load(loader)) return testing::AssertionFailure() << "loaded";
    for (const std::string& message : messages) {
        if (!log.Has(message)) {
            return testing::AssertionFailure() << "no \"" << message << "\" in:\n" << log.Text();
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace filestest
