// prninfo: describes upgrade files without a printer, as text or as JSON.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/ExitCodes.h"
#include "common/GenericConst.h"
#include "info/Report.h"

namespace {

void Usage(FILE* to, const char* name) {
    fprintf(to,
            "usage: %s FILE... [--json]\n"
            "       %s --version\n"
            "Describes firmware packages (.psw/.pfw), module files (.mod), ZPD scripts (.zpd),\n"
            "anti-tamper images (.bin) and tool files (.spt) without a printer.\n"
            "  --json   one JSON document (an array for several files)\n"
            "Exit code: 0 when every file loads and checks, 11 when one does not.\n",
            name, name);
}

}  // namespace

int main(int argc, char** argv) {
    bool json = false;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (optionsEnded || word[0] != '-' || strcmp(word, "-") == 0) {
            files.push_back(word);
        } else if (strcmp(word, "--") == 0) {
            optionsEnded = true;
        } else if (strcmp(word, "--json") == 0) {
            json = true;
        } else if (strcmp(word, "--help") == 0) {
            Usage(stdout, argv[0]);
            return EXIT_OK;
        } else if (strcmp(word, "--version") == 0) {
            printf("Release: %s\n", GenericConst::RELEASE);
            return EXIT_OK;
        } else {
            fprintf(stderr, "%s: unknown option %s\n", argv[0], word);
            Usage(stderr, argv[0]);
            return EXIT_PARAMETER;
        }
    }
    if (files.empty()) {
        Usage(stderr, argv[0]);
        return EXIT_PARAMETER;
    }

    int worst = EXIT_OK;
    Json all = Json::array();
    for (size_t i = 0; i < files.size(); ++i) {
        Json report = InspectFile(files[i]);
        int code = report["exit_code"].get<int>();
        if (code > worst) worst = code;
        if (json) {
            all.push_back(std::move(report));
        } else {
            printf("%s%s", i > 0 ? "\n" : "", RenderText(report).c_str());
        }
    }
    if (json) {
        // File texts that are no valid UTF-8 are written with U+FFFD in their place.
        const Json& document = files.size() == 1 ? all.front() : all;
        printf("%s\n", document.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    }
    fflush(stdout);
    return worst;
}
