#pragma once

#include <nlohmann/json.hpp>
#include <string>

class CZPDFormat;
class ModuleData;
class PSWFile;

// The description of one file: a JSON object of the documented schema
// (docs/prninfo.md). The text form is rendered from the same object.
using Json = nlohmann::ordered_json;

// Raised whenever a field is added, renamed or changes its meaning.
constexpr int INFO_SCHEMA_VERSION = 1;

// Reads path through the loader of its kind and describes it; a file that
// cannot be read, has no known kind or does not load gets "ok": false, exit
// code 11 and the loader's message.
Json InspectFile(const std::string& path);

// The parts of a loaded file.
Json DescribePackage(const PSWFile& package);
Json DescribeModule(const ModuleData& module);
Json DescribeZpd(const CZPDFormat& script);

// The report in words, for a person.
std::string RenderText(const Json& report);
