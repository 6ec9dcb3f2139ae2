#pragma once

#include <string>

// Keeps the last line that the loaders write to the log while it exists,
// whether or not logging is on: a loader's failure is its last line.
class LoaderMessage {
  public:
    LoaderMessage();
    ~LoaderMessage();
    LoaderMessage(const LoaderMessage&) = delete;
    LoaderMessage& operator=(const LoaderMessage&) = delete;

    // The last line, or fallback when nothing was written.
    std::string Last(const char* fallback) const;

  private:
    static void Observe(const char* function, const char* text);
    static std::string lastLine_;
};
