#pragma once

#include <gtest/gtest.h>

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

}  // namespace filestest
