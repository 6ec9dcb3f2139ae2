#include "sim/replay/ReplayScript.h"

#include <algorithm>

namespace {

using Kind = RecordedEvent::Kind;

// How long after the request the restart ends: half-way between the last
// failed open and the next open that worked.
int AwayMs(const std::vector<RecordedEvent>& events, size_t firstFailure, int64_t beginAt) {
    int64_t lastFailure = events[firstFailure].atMs;
    for (size_t i = firstFailure; i < events.size(); ++i) {
        if (events[i].kind == Kind::OpenFailed) lastFailure = events[i].atMs;
        if (events[i].kind == Kind::Opened) {
            int64_t back = lastFailure + (events[i].atMs - lastFailure) / 2;
            return static_cast<int>(std::clamp<int64_t>(back - beginAt, 0, 24 * 3600 * 1000));
        }
        if (events[i].kind == Kind::Sent) break;
    }
    return -1;
}

}  // namespace

std::vector<ReplayExchange> BuildReplayScript(const Recording& recording) {
    std::vector<ReplayExchange> script(1);
    const std::vector<RecordedEvent>& events = recording.events;
    int64_t requestEnd = events.empty() ? 0 : events.front().atMs;
    bool away = false;  // a restart of this exchange is under way
    for (size_t i = 0; i < events.size(); ++i) {
        const RecordedEvent& e = events[i];
        ReplayExchange* current = &script.back();
        // Clock steps backwards (a time change) count as no time.
        int64_t after = std::max<int64_t>(e.atMs - requestEnd, 0);
        switch (e.kind) {
            case Kind::Sent:
                if (!current->actions.empty()) {
                    script.emplace_back();
                    current = &script.back();
                }
                if (current->request.empty()) current->line = e.line;
                current->request.insert(current->request.end(), e.bytes.begin(), e.bytes.end());
                requestEnd = e.atMs;
                away = false;
                break;
            case Kind::Received:
                current->actions.push_back({ReplayAction::Kind::Answer, after, e.bytes, 0, e.line});
                break;
            case Kind::Lost:
                current->actions.push_back({ReplayAction::Kind::Drop, after, {}, 0, e.line});
                break;
            case Kind::OpenFailed:
                if (!away) {
                    // The printer goes once the answers before are out.
                    int64_t begin = 0;
                    for (const ReplayAction& a : current->actions)
                        begin = std::max(begin, a.afterMs);
                    current->actions.push_back({ReplayAction::Kind::Restart,
                                                begin,
                                                {},
                                                AwayMs(events, i, requestEnd + begin),
                                                e.line});
                    away = true;
                }
                break;
            case Kind::Opened:
                away = false;
                break;
            case Kind::Closed:
                break;
        }
    }
    if (script.size() > 1 && script.front().request.empty() && script.front().actions.empty()) {
        script.erase(script.begin());
    }
    return script;
}
