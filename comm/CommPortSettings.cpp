#include "comm/CommPortSettings.h"

CommPortSettings::CommPortSettings()
    : iType(COMMPORT_NONE),
      szSerialDevice{},
      iBaudRate(0),
      iFlowControl(0),
      szUsbDevice{},
      szEthAddress{},
      iEthPort(0),
      bValid(false) {}

bool CommPortSettings::IsValid() {
    bValid = false;
    switch (iType) {
        case COMMPORT_SERIAL:
            bValid = szSerialDevice[0] != '\0';
            break;
        case COMMPORT_ETH:
            bValid = szEthAddress[0] != '\0';
            break;
        case COMMPORT_USB:
        case 3:  // handled like USB wherever the type is examined
            bValid = szUsbDevice[0] != '\0';
            break;
        default:
            break;
    }
    return bValid;
}
