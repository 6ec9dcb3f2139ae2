#pragma once

// The four general status bytes of a printer ("<C138>").
class StatusData {
  public:
    unsigned char ucStatus[4] = {0, 0, 0, 0};
};
