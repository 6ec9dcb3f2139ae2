#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "operations/DryRunFacts.h"

struct ProgramSettings;

// Version of the dry run's JSON document; raised whenever a field is added,
// renamed or changes its meaning.
constexpr int DRY_RUN_SCHEMA_VERSION = 1;

// The dry run's findings as one JSON document (docs/dry-run.md).
nlohmann::ordered_json DryRunJson(const DryRunFacts& facts, const ProgramSettings& settings,
                                  int exitCode);
// The same for a person, one finding a line.
std::string DryRunText(const nlohmann::ordered_json& report);
// "newer", "same", "older" or "unknown": the package's release against the
// printer's, dotted parts compared as numbers.
const char* CompareReleases(const std::string& printer, const std::string& package);
