#pragma once

// The real prnupgrade against prnsim, case by case from tables: each row is
// run over every link kind it names.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"

namespace e2e {

constexpr int ANY_EXIT = 1000;  // the exit code is not looked at

// In the printer options, the arguments, the bus words and the expected
// received file, "@name" stands for the path of a file made for the run
// (see Files() in EndToEnd.cpp) and "@out" for a file the run may write.
struct Row {
    const char* name;
    std::vector<std::string> links;    // "ser", "eth", "usb"; "none": no printer
    std::vector<std::string> printer;  // prnsim's options: profile and fault
    std::vector<std::string> args;     // prnupgrade's, without -t and -d
    int exitCode;
    std::vector<std::string> present = {};  // in what the program printed
    std::vector<std::string> absent = {};   // nowhere in it
    std::vector<std::string> report = {};   // in prnsim's report ("!text": not in it)
    // Package module numbers in the order prnsim received them, "" none;
    // nullptr: not looked at.
    const char* modules = nullptr;
    const char* received = nullptr;            // "@name": @out must hold that file's bytes
    size_t receivedBytes = std::string::npos;  // only the first bytes of it
    long long minMs = 0;
    long long maxMs = 0;                // 0: no bound
    std::vector<std::string> bus = {};  // usb: prnsim's bus words after --usb
    const char* device = "ANY";         // usb: the -d argument; nullptr: no -t, no -d
    const char* input = "\n";           // the person's answer to a prompt
    const char* exactOut = nullptr;     // the whole standard output
};

// One test per row and link, named after both.
struct Case {
    const Row* row;
    std::string link;
};
inline void PrintTo(const Case& c, std::ostream* os) { *os << c.link << " " << c.row->name; }
std::vector<Case> Cases(const std::vector<Row>& rows);
std::string CaseName(const testing::TestParamInfo<Case>& info);
void RunCase(const Case& c);

// One run of a row over a link, "@out" standing for out.
struct Outcome {
    testsupport::ProgramResult program;
    std::string report;  // prnsim's closing report
    long long ms = 0;    // wall time of the run
};
Outcome Execute(const Row& row, const std::string& link, const std::string& out);

class EndToEnd : public testing::TestWithParam<Case> {};

}  // namespace e2e

// Instantiates the rows of a table as tests of EndToEnd.
#define E2E_ROWS(name, rows) \
    INSTANTIATE_TEST_SUITE_P(name, EndToEnd, testing::ValuesIn(e2e::Cases(rows)), e2e::CaseName)
