#pragma once

// Link kind chosen with "-t".
enum COMMPORTTYPE : int {
    COMMPORT_NONE = -1,
    COMMPORT_SERIAL = 0,
    COMMPORT_ETH = 1,
    COMMPORT_USB = 2,
};
