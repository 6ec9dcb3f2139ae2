#pragma once

// Exit codes of the program and the texts that tell a calling script what happened.
enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_FILE_ERROR = 11,
    EXIT_DEVICE_NOT_COMPATIBLE = 12,
    EXIT_PARAMETER = 13,
    EXIT_COMMUNICATION = 14,
    EXIT_DEVICE_NOT_FOUND = 15,
    EXIT_NO_DATA_SETS = 16,
    EXIT_NO_TOOLS = 17,
    EXIT_TOOL_NOT_SUPPORTED = 18,
    EXIT_NOT_VERIFIED = 19,  // "--verify" only: the printer did not confirm the upgrade
    EXIT_GENERIC = 255,
};

// The operations whose printer error codes map to exit codes.
enum class OperationKind { Tool, Module, Package, AntiTamper, ZpdScript };

// Writes the code's text to the console and, when logging is on, to the log.
void print_error_description(int code);

// Text of a code; "Error <code>" for codes without a text of their own.
const char* ExitCodeText(int code, char* scratch, unsigned scratchSize);

// Maps a printer-operation error code to the exit code of that operation.
int MapPrinterError(OperationKind operation, int printerError);
