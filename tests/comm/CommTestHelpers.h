#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/Log.h"
#include "tests/support/SimProcess.h"

// Runs the action with the log on the console and returns what it wrote.
inline std::string Captured(const std::function<void()>& action) {
    Log::SetLogEnable(1, true);
    ::testing::internal::CaptureStdout();
    action();
    std::string text = ::testing::internal::GetCapturedStdout();
    Log::SetLogEnable(0, false);
    return text;
}

// How often the part occurs in the text (overlaps counted).
inline size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}
