#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a dry run of a package upgrade learnt from the printer and the
// package, and what the real run would do with them.
struct DryRunFacts {
    // One part of the download, in the order the real run sends it.
    struct Step {
        std::string kind;  // "firmware", "fonts", "flash disk", "logos", "other"
        std::string when;  // "before", "firmware", "after"
        uint64_t size = 0;
        int moduleNumber = 0;  // the record's number in the package; 0 for the firmware
    };
    // A pause of the real run: fixed, or the longest it may take.
    struct Wait {
        std::string what;
        int64_t ms = 0;
        bool atMost = false;
    };

    // How far the dialogue got: "package", "open", "protocol version",
    // "data available", "upgrade offered", "upgrade information", "identity",
    // "upgrade mode", "firmware image", "release", "done".
    std::string stage = "package";
    int errorCode = 0;  // the code the real run would store; 0: it would go on

    // The printer, as far as it answered.
    bool infoRead = false;
    int mode = 0;
    std::string configuration;
    uint32_t family = 0, model = 0, customization = 0;
    bool releaseRead = false;
    std::string release;
    int64_t roundTripMs = -1;  // mean time of one request and its answer

    // The package.
    bool identityKnown = false;
    int32_t packageFamily = 0, packageModel = 0, packageCustomization = 0;
    std::string packageRelease;  // as the printer reports it: "1.23" for "123"
    int generation = 0;

    // The plan.
    bool fits = false;
    bool firmwareSent = false;
    bool modulesAfter = false;
    int bankCount = 0;
    int bankSize = 0;
    std::vector<Step> steps;
    std::vector<Wait> waits;
    int64_t estimateMs = -1;  // -1 when the run would not go on
};
