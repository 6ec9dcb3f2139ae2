#pragma once

class CComPort;
class CommPortSettings;
class PSWFile;
class PrinterComm;
struct ProgramSettings;

// "--dry-run" and "--json" against the rest of the command line: 0 when the
// run goes on, else the exit code of a refused dry run (it takes "-f" with a
// package only: every other operation would write or has nothing to tell).
// "--json" without "--dry-run" is ignored with a warning.
int CheckDryRunWords(const ProgramSettings& settings);

// The dry run of a loaded package: the printer asked, the report printed on
// standard output (text, or JSON with "--json"). Returns the exit code the
// real run would end with.
int RunPackageDryRun(const ProgramSettings& settings, PrinterComm& comm, CComPort& port,
                     CommPortSettings& link, PSWFile& package);
