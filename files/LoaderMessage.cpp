#include "files/LoaderMessage.h"

#include "common/Log.h"

std::string LoaderMessage::lastLine_;

LoaderMessage::LoaderMessage() {
    lastLine_.clear();
    Log::SetObserver(&LoaderMessage::Observe);
}

LoaderMessage::~LoaderMessage() { Log::SetObserver(nullptr); }

std::string LoaderMessage::Last(const char* fallback) const {
    return lastLine_.empty() ? std::string(fallback) : lastLine_;
}

void LoaderMessage::Observe(const char* /*function*/, const char* text) {
    lastLine_ = text;
    while (!lastLine_.empty() && (lastLine_.back() == '\n' || lastLine_.back() == '\r')) {
        lastLine_.pop_back();
    }
}
