#pragma once

#include <functional>

class CComPort;

// The printer identification exchange shared by every link kind: switch to
// ESC/POS-for-SV, ask for the identification word (extended when the first
// answer byte is 0xFF) and for the firmware release. Each link kind gives its
// own number of attempts and pause between them.
struct IdentificationHandshake {
    int attempts;
    int pauseMs;
    // Waits pauseMs between attempts; a plain sleep when empty.
    std::function<void(int ms)> pause;

    // Stores the identification word through gsi (when not null).
    bool Run(CComPort& link, unsigned long* gsi) const;
};
