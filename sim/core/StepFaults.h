#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/core/PrinterCore.h"

// Faults of single protocol requests, by request name: a muted request is
// taken and never answered, a refused one is answered with the printer's
// error answer (NACK and "<ERRcode>").
struct StepFaults {
    std::set<std::string> muted;
    std::map<std::string, int> refused;

    // The handler of a "1F FF id" request with these faults applied: the
    // request is still taken whole by handler, only its answer changes.
    PrinterCore::RequestHandler Guard(const std::string& name, int commandId,
                                      PrinterCore::RequestHandler handler) const;
};

// The prefix of a printer protocol request: 1F FF and its command byte.
std::vector<uint8_t> ProtocolRequest(uint8_t command);
