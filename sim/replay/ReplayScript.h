#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/replay/Recording.h"

// What the printer does once a request is complete: answer bytes, the end of
// the connection, or a restart (the printer away for a while).
struct ReplayAction {
    enum class Kind { Answer, Drop, Restart };
    Kind kind = Kind::Answer;
    int64_t afterMs = 0;  // after the request was complete (recorded timing)
    std::vector<uint8_t> bytes;
    int awayMs = 0;  // Restart: how long the printer is away (-1: for ever)
    size_t line = 0;
};

// One exchange: the bytes the program sends (all its writes until the
// printer next does something), and what the printer does then. The first
// exchange may have no request: what the printer does from the start.
struct ReplayExchange {
    std::vector<uint8_t> request;
    size_t line = 0;  // line of the request's first write
    std::vector<ReplayAction> actions;
};

// Cuts a recorded run into exchanges. A run of failed opens of the link
// becomes a restart of the printer: it goes away after the answers of the
// exchange, and comes back between the last failed open and the next
// successful one (or never, when none follows). A lost link becomes a drop.
std::vector<ReplayExchange> BuildReplayScript(const Recording& recording);
