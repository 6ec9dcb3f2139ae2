#pragma once

#include "app/ProgramSettings.h"

// Chooses and runs the one operation of the run; returns the exit code,
// after its text has been written.
int RunOperation(ProgramSettings& settings);
