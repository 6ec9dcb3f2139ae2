#pragma once

// With "-v": one console line on how to get the rights, when a USB printer
// was found during the run but could not be opened for lack of permission.
void PrintUsbPermissionHint();
