// prninfo, the real binary, on files written by prnmkfile: what it reports
// must be what prnmkfile was asked to write.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using nlohmann::json;
using testsupport::ProgramResult;
using testsupport::RunProgram;

class PrninfoTest : public ::testing::Test {
  protected:
    // prnmkfile KIND -o NAME ARGS...; returns the file's path.
    std::string Make(const std::string& kind, const std::string& name,
                     const std::vector<std::string>& args) {
        std::vector<std::string> argv{PRNMKFILE_BIN, kind, "-o", folder.file(name)};
        argv.insert(argv.end(), args.begin(), args.end());
        ProgramResult r = RunProgram(argv);
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        return folder.file(name);
    }

    ProgramResult Info(const std::vector<std::string>& args) {
        std::vector<std::string> argv{PRNINFO_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv);
    }

    json InfoJson(const std::vector<std::string>& files, int expectedCode) {
        std::vector<std::string> args = files;
        args.push_back("--json");
        ProgramResult r = Info(args);
        EXPECT_EQ(r.exitCode, expectedCode) << r.out << r.err;
        return json::parse(r.out);
    }

    // One file of every kind and generation, with the values asked for.
    std::map<std::string, std::string> MakeEveryKind() {
        std::map<std::string, std::string> f;
        f["font"] = Make("module", "font.mod",
                         {"--type", "F", "--key", "7", "--enmode", "1", "--font-entry", "FONTA:12",
                          "--font-entry", "FONTB", "--code", "FC1"});
        f["radio"] = Make("module", "radio.Mod", {"--type", "E", "--key", "0", "--code", "BT9"});
        const std::string disk = Make("module", "disk.mod", {"--type", "D", "--code", "DSK"});
        f["gen2"] = Make("package", "fw2.psw",
                         {"--gen",    "2",         "--firmware-size", "65536",
                          "--banks",  "4",         "--logo",          "16x8",
                          "--logo",   "24x4",      "--font",          "12x24",
                          "--family", "5",         "--model",         "6",
                          "--custom", "7",         "--gsi",           "ABCD",
                          "--key",    "90",        "--module",        "f:" + f["font"],
                          "--module", "d:" + disk, "--module",        "x:" + f["radio"]});
        f["gen1"] = Make("package", "fw1.PFW", {"--gen", "1", "--no-checksum", "--key", "0"});
        f["zpd"] =
            Make("zpd", "s.zpd",
                 {"--device", "00AB", "--release", "0203", "--line", "# x", "--line",
                  "[1B][40][41]", "--line", "#>[OP_WAITPSANSWER]", "--line", "#>[OP_RESETDEV]",
                  "--line", "#>[OP_SLEEPMSEC]250", "--line", "#>[OP_SLEEPMSEC]50"});
        f["tamper"] = Make("tamper", "t.bin", {"--release", "0107"});
        f["spt"] = folder.write("tool.spt", "any bytes");
        return f;
    }

    testsupport::TempDir folder;
};

// Every file at once, a missing one first: one array, the worst exit code.
TEST_F(PrninfoTest, JsonValuesAreWhatTheFilesWereMadeWithInTheDocumentedFields) {
    std::map<std::string, std::string> f = MakeEveryKind();
    std::vector<std::string> files{folder.file("missing.mod")};
    for (const auto& [name, path] : f) files.push_back(path);
    const json reports = InfoJson(files, 11);
    EXPECT_EQ(reports.at(0)["exit_code"], 11);
    EXPECT_EQ(Info(files).exitCode, 11);
    std::map<std::string, json> r;
    size_t at = 1;
    for (const auto& [name, path] : f) {
        const json& one = r[name] = reports.at(at++);
        EXPECT_EQ(one["schema_version"], 1) << name;
        EXPECT_EQ(one["file"], path);
        EXPECT_EQ(one["exit_code"], 0) << name << one.dump(1);
        EXPECT_TRUE(one["error"].is_null() && one["failure"].is_null()) << name;
    }

    json p = r["gen2"]["package"];
    EXPECT_EQ(p["device_id"], 0xABCD);
    EXPECT_EQ(p["identity"], json({{"family", 5}, {"model", 6}, {"customization", 7}}));
    EXPECT_EQ(p["checksum"]["over"], "file");
    EXPECT_EQ(p["firmware"], json({{"source", "module"},
                                   {"image_size", 65536},
                                   {"bank_count", 4},
                                   {"bank_size", 16384}}));
    EXPECT_EQ(p["logos"], json::parse(R"([{"width":16,"height":8},{"width":24,"height":4}])"));
    EXPECT_EQ(p["fonts"], json::parse(R"([{"width":12,"height":24,"name":"FONTA"}])"));
    // Fonts and flash disk before the firmware, other modules after it; the
    // firmware is module 1, the three module files follow in the given order.
    std::vector<std::string> order;
    for (const json& c : p["components"]) {
        order.push_back(c["when"].get<std::string>() + " " + c["kind"].get<std::string>() + " " +
                        c["module_number"].dump());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"before fonts 2", "before flash disk 3",
                                               "firmware firmware null", "after other 4"}));
    EXPECT_EQ(p["modules"][3]["module"]["type"], "BLUETOOTH MODULE");

    json old = r["gen1"]["package"];
    EXPECT_EQ(old["generation"], 1);
    EXPECT_TRUE(old["checksum"]["holds"].is_null());
    EXPECT_EQ(old["firmware"]["source"], "data area");
    EXPECT_TRUE(old["modules"].empty());

    json m = r["font"]["module"];
    EXPECT_EQ(m["type_id"], 1);
    EXPECT_EQ(m["code"], "FC1");
    EXPECT_EQ(m["file_size_field"], testsupport::ReadWholeFile(f["font"]).size() - 12);
    EXPECT_EQ(m["scrambling"], json({{"scheme", "mode 1"}, {"mode", 1}, {"key", 7}}));
    EXPECT_EQ(m["fonts"],
              json::parse(R"([{"name":"FONTA","code":12},{"name":"FONTB","code":null}])"));
    EXPECT_EQ(r["radio"]["module"]["scrambling"]["scheme"], "plain");

    json z = r["zpd"]["zpd"];
    EXPECT_EQ(z["device_id"], 0xAB);
    EXPECT_EQ(z["elements"], json({{"data", 1}, {"wait_answer", 1}, {"reset", 1}, {"sleep", 2}}));
    EXPECT_EQ(z["bytes_to_send"], 3);
    EXPECT_EQ(z["pause_ms"], 300);

    EXPECT_EQ(r["tamper"]["anti_tamper"], json({{"size_ok", true}, {"release", "0107"}}));
    EXPECT_EQ(r["spt"]["kind"], "spt");

    // Every field that docs/prninfo.md lists is in every report it is
    // documented for.
    std::ifstream docs(std::string(TEST_SOURCE_DIR) + "/../docs/prninfo.md");
    ASSERT_TRUE(docs) << "docs/prninfo.md";
    struct Field {
        std::vector<std::string> path;  // "[]" steps into every element of an array
        std::string when;
        std::string name;
    };
    std::vector<Field> fields;
    const std::regex row(R"(^\| `([a-z_0-9.\[\]]+)` \| [^|]+ \| ([a-z-]+) \|)");
    for (std::string line; std::getline(docs, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, row)) continue;
        Field field{{}, m[2], m[1]};
        // "a.b[].c" steps through a, b, every element, c.
        std::stringstream dotted(std::regex_replace(m[1].str(), std::regex(R"(\[\])"), ".[]"));
        for (std::string step; std::getline(dotted, step, '.');) field.path.push_back(step);
        fields.push_back(field);
    }
    ASSERT_GT(fields.size(), 60u) << "the field table was not found";

    // Present at path below value; a null object ends the path, and an
    // empty array has no element to look at (the files made above give every
    // array documented with fields at least one element in some report).
    std::function<bool(const json&, const std::vector<std::string>&, size_t)> has =
        [&](const json& value, const std::vector<std::string>& path, size_t i) {
            if (i == path.size() || value.is_null()) return true;
            if (path[i] == "[]") {
                return value.is_array() &&
                       std::all_of(value.begin(), value.end(),
                                   [&](const json& element) { return has(element, path, i + 1); });
            }
            return value.is_object() && value.contains(path[i]) && has(value[path[i]], path, i + 1);
        };
    for (const Field& field : fields) {
        int checked = 0;
        for (const json& r : reports) {
            if (field.when != "always" && !(r["ok"].get<bool>() && r["kind"] == field.when)) {
                continue;
            }
            ++checked;
            EXPECT_TRUE(has(r, field.path, 0)) << field.name << " missing for " << r["file"];
        }
        EXPECT_GT(checked, 0) << field.name;
    }
}

TEST_F(PrninfoTest, TextShowsTheSameValues) {
    std::map<std::string, std::string> f = MakeEveryKind();
    const std::map<std::string, std::vector<std::string>> expected{
        {"gen2",
         {"  For printers:    family 5, model 6, customization 7",
          "  Firmware:        65536 bytes, 4 banks of 16384 bytes", "    12x24 FONTA"}},
        {"gen1", {"  Checksums:       not stored (no integrity check)"}},
        {"font", {"  Scrambling:      mode 1 (ENMODE 1, key 7)", "    FONTA (code 12)"}},
        {"zpd", {"  Elements:        1 data, 1 answer waits, 1 resets, 2 pauses"}},
    };
    for (const auto& [name, lines] : expected) {
        ProgramResult r = Info({f[name]});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        std::vector<std::string> got = testsupport::SplitLines(r.out);
        EXPECT_EQ(got.at(1), "  Result:          OK") << r.out;
        for (const std::string& line : lines) {
            EXPECT_NE(std::find(got.begin(), got.end(), line), got.end())
                << name << ": no line \"" << line << "\" in\n"
                << r.out;
        }
    }
}

TEST_F(PrninfoTest, DamagedFilesGiveElevenWithTheLoadersMessage) {
    std::string good = Make("package", "good.psw", {"--gen", "2"});
    std::string flipped = testsupport::ReadWholeFile(good);
    flipped[flipped.size() - 1] ^= 0x01;
    struct Case {
        std::string path;
        std::string errorPattern;  // regular expression for the whole message
        std::string failure;
    };
    // One file per loader (their other refusals are the loaders' own tests).
    const Case cases[] = {
        {folder.write("flipped.psw", flipped),
         R"(ERROR Checksum file \(1\) : 0x[0-9A-F]{4}\(F\) - 0x[0-9A-F]{4}\(C\))",
         "LoadPSWFromFile FAILURE"},
        {folder.write("empty.psw", ""), R"(ERROR Searching Header 1 \(HEADER PRINTER\))",
         "LoadPSWFromFile FAILURE"},
        {Make("module", "size.mod", {"--file-size", "100"}), "File not Correct! Params Error!",
         "LoadModuleFromFile FAILURE"},
        {Make("zpd", "sum.zpd", {"--checksum", "0000"}), "File checksum error",
         "LoadFile ZPD FAILURE"},
        {Make("tamper", "nomark.bin", {"--no-marker"}), "Wrong Tamper upgrade file: the texts .*",
         "Wrong Tamper upgrade file"},
        {Make("tamper", "short.bin", {"--size", "32767"}),
         "Wrong Tamper upgrade file: an image has 32768 bytes", "Wrong Tamper upgrade file"},
        {folder.write("notes.txt", "x"), "unknown file kind: .*", "filename argument not valid"},
        {folder.file("missing.psw"), "cannot read the file: No such file or directory",
         "filename argument not valid"},
    };
    for (const Case& c : cases) {
        json r = InfoJson({c.path}, 11);
        EXPECT_FALSE(r["ok"].get<bool>()) << c.path;
        EXPECT_EQ(r["exit_code"], 11);
        EXPECT_TRUE(std::regex_match(r["error"].get<std::string>(), std::regex(c.errorPattern)))
            << c.path << ": " << r["error"];
        EXPECT_EQ(r["failure"], c.failure) << c.path;
        // The text form says the same.
        ProgramResult text = Info({c.path});
        EXPECT_EQ(text.exitCode, 11);
        EXPECT_NE(text.out.find("  Error:           " + r["error"].get<std::string>() + "\n"),
                  std::string::npos)
            << text.out;
    }
}

// A model text with a byte that is no UTF-8 and an escape sequence: the JSON
// stays valid and the terminal gets no control byte.
TEST_F(PrninfoTest, OddBytesInFileTextsAreReplaced) {
    std::string bytes = testsupport::ReadWholeFile(Make("package", "x.pfw", {"--gen", "1"}));
    bytes.replace(1, 3, "\xFF\x1B[");  // the model text begins at byte 1, outside the checksum
    std::string path = folder.write("odd.pfw", bytes);
    json r = InfoJson({path}, 0);
    EXPECT_EQ(r["package"]["printer_model"], "\xEF\xBF\xBD\x1B[80");
    ProgramResult text = Info({path});
    EXPECT_NE(text.out.find("  Printer model:   ??[80\n"), std::string::npos) << text.out;
}

TEST_F(PrninfoTest, CommandLineErrorsGiveThirteen) {
    EXPECT_EQ(Info({}).exitCode, 13);
    EXPECT_EQ(Info({"--jsn", "x.psw"}).exitCode, 13);
    EXPECT_EQ(Info({"--version"}).out, "Release: 1.24\n");
}

}  // namespace
