#pragma once

#include "comm/CommPortType.h"

// Link parameters taken from the "-d" argument.
class CommPortSettings {
  public:
    static constexpr int TEXT_SIZE = 512;

    CommPortSettings();
    bool IsValid();

    int iType;
    char szSerialDevice[TEXT_SIZE];
    int iBaudRate;
    int iFlowControl;  // 0 none, 1 hardware, 2 software
    char szUsbDevice[TEXT_SIZE];
    char szEthAddress[TEXT_SIZE];
    int iEthPort;
    bool bValid;
};
