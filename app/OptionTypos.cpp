#include "app/OptionTypos.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/PersonConsole.h"

namespace {

struct KnownOption {
    const char* word;
    int valueWords;
};

// Every word of the one argument scan, opt-in words included.
const KnownOption KNOWN[] = {
    {"-f", 1},
    {"-t", 1},
    {"-d", 1},
    {"-TM1", 0},
    {"--usbdevlist", 0},
    {"--ethdevlist", 0},
    {"--printerversion", 0},
    {"-m", 1},
    {"-lv", 0},
    {"-lf", 0},
    {"-v", 0},
    {"-c", 1},
    {"-rtool", 2},
    {"--verify", 0},
    {"--dry-run", 0},
    {"--json", 0},
};

// Long spellings people try for the short options.
const char* const ALIASES[][2] = {
    {"--verbose", "-v"},
    {"--file", "-f"},
    {"--type", "-t"},
    {"--device", "-d"},
};

constexpr int TIME_MULTIPLIER_MAX = 100;
// A suggestion is made only this close (edits, case not counted).
constexpr size_t MAX_DISTANCE = 2;
constexpr size_t MAX_COMPARED = 64;

std::string Lower(const char* text) {
    std::string out(text, strnlen(text, MAX_COMPARED));
    for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

// Edits (insert, delete, change, swap of neighbours) from a to b.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// The known option nearest to word, or nullptr when none is close.
const char* Nearest(const char* word) {
    const std::string typed = Lower(word);
    const char* best = nullptr;
    size_t bestDistance = MAX_DISTANCE + 1;
    auto consider = [&](const char* spelling, const char* option) {
        size_t distance = Distance(typed, Lower(spelling));
        // "-x" is as near to "-f" as to "-t": no suggestion for a guess.
        if (distance * 2 >= typed.size()) return;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = option;
        }
    };
    for (const KnownOption& known : KNOWN) consider(known.word, known.word);
    for (const auto& alias : ALIASES) consider(alias[0], alias[1]);
    return best;
}

}  // namespace

int OptionValueWords(const char* word) {
    for (const KnownOption& known : KNOWN) {
        if (strcmp(word, known.word) == 0) return known.valueWords;
    }
    return 0;
}

void WarnUnknownOption(const char* word) {
    if (word[0] != '-') return;
    if (strcmp(word, "--help") == 0 || strcmp(word, "--version") == 0) {
        PersonConsole::Warn("%s ignored: it counts only as the first word", word);
        return;
    }
    const char* suggestion = Nearest(word);
    if (suggestion != nullptr) {
        PersonConsole::Warn("unknown option %s ignored; did you mean %s?", word, suggestion);
    } else {
        PersonConsole::Warn("unknown option %s ignored", word);
    }
}

void WarnDoubtfulTimeMultiplier(const char* value) {
    errno = 0;
    char* end = nullptr;
    long number = strtol(value, &end, 10);
    if (end == value || *end != '\0' || errno == ERANGE) {
        PersonConsole::Warn("-m %s is not a number; taken as %ld", value,
                            end == value || errno == ERANGE ? 0L : number);
    } else if (number < 0 || number > TIME_MULTIPLIER_MAX) {
        PersonConsole::Warn("-m %s is outside 0..%d; the waits are multiplied by it", value,
                            TIME_MULTIPLIER_MAX);
    }
}
