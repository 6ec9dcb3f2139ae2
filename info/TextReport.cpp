#include <cstdio>
#include <string>

#include "info/Report.h"

namespace {

// File texts may hold any byte: what is no printable ASCII is shown as "?",
// so that nothing from a file reaches the terminal as a control sequence.
std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    return out;
}

std::string Str(const Json& value) {
    if (value.is_null()) return "-";
    if (value.is_string()) return Printable(value.get<std::string>());
    return value.dump();
}

std::string Hex4(const Json& value) {
    char text[16];
    snprintf(text, sizeof(text), "0x%04X", value.get<unsigned>() & 0xFFFFu);
    return text;
}

class Text {
  public:
    void Field(const char* label, const std::string& value) {
        char head[40];
        snprintf(head, sizeof(head), "  %-17s", label);
        out_ += head + value + "\n";
    }
    void Line(const std::string& line) { out_ += line + "\n"; }
    const std::string& Get() const { return out_; }

  private:
    std::string out_;
};

std::string ModuleLine(const Json& m) {
    return Str(m["type"]) + ", code " + Str(m["code"]) + ", release " + Str(m["release"]);
}

void ModuleFields(Text& t, const Json& m) {
    t.Field("Type:",
            Str(m["type"]) + " (MOD_ID " + Str(m["letter"]) + ", " + Str(m["type_id"]) + ")");
    t.Field("Release:", Str(m["release"]));
    t.Field("Date:", Str(m["date"]));
    t.Field("Code:", Str(m["code"]));
    t.Field("Factory:", Str(m["factory"]));
    t.Field("Note:", Str(m["note"]));
    t.Field("FILE_SIZE:", Str(m["file_size_field"]));
    t.Field("Checksum:", "holds");
    const Json& s = m["scrambling"];
    t.Field("Scrambling:",
            Str(s["scheme"]) + " (ENMODE " + Str(s["mode"]) + ", key " + Str(s["key"]) + ")");
    if (!m["fonts"].empty()) {
        t.Field("Fonts:", std::to_string(m["fonts"].size()));
        for (const Json& f : m["fonts"]) {
            t.Line("    " + Str(f["name"]) +
                   (f["code"].is_null() ? "" : " (code " + Str(f["code"]) + ")"));
        }
    }
}

void PackageFields(Text& t, const Json& p) {
    t.Field("Generation:", Str(p["generation"]));
    t.Field("Release:", Str(p["release"]));
    t.Field("Creation date:", Str(p["creation_date"]));
    t.Field("Printer model:", Str(p["printer_model"]));
    t.Field("HW release:", Str(p["hardware_release"]));
    t.Field("Device id:", Hex4(p["device_id"]));
    const Json& id = p["identity"];
    t.Field("For printers:", id.is_null()
                                 ? "-"
                                 : "family " + Str(id["family"]) + ", model " + Str(id["model"]) +
                                       ", customization " + Str(id["customization"]));
    const Json& sums = p["checksum"];
    if (sums["holds"].is_null()) {
        t.Field("Checksums:", "not stored (no integrity check)");
    } else {
        const std::string over = " holds (over the " + Str(sums["over"]) + ")";
        t.Field("Checksum 1:", Hex4(sums["sum1"]) + over);
        t.Field("Checksum 2:", Hex4(sums["sum2"]) + over);
    }
    const Json& fw = p["firmware"];
    t.Field("Firmware:", fw.is_null() ? "none"
                                      : Str(fw["image_size"]) + " bytes, " + Str(fw["bank_count"]) +
                                            " banks of " + Str(fw["bank_size"]) + " bytes");
    t.Field("Logos:", std::to_string(p["logos"].size()));
    for (const Json& l : p["logos"]) t.Line("    " + Str(l["width"]) + "x" + Str(l["height"]));
    t.Field("Fonts:", std::to_string(p["fonts"].size()));
    for (const Json& f : p["fonts"]) {
        t.Line("    " + Str(f["width"]) + "x" + Str(f["height"]) + " " + Str(f["name"]));
    }
    t.Line("  Download order (modes U2, U4 and U5 send every module after the firmware):");
    int n = 0;
    for (const Json& c : p["components"]) {
        const std::string when = c["when"] == "firmware" ? "" : Str(c["when"]);
        const std::string number =
            c["module_number"].is_null() ? "" : " (module " + Str(c["module_number"]) + ")";
        char line[160];
        snprintf(line, sizeof(line), "    %d. %-7s %-11s %s bytes%s", ++n, when.c_str(),
                 Str(c["kind"]).c_str(), Str(c["size"]).c_str(), number.c_str());
        t.Line(line);
    }
    t.Line(p["modules"].empty() ? "  Modules:         none" : "  Modules:");
    for (const Json& m : p["modules"]) {
        std::string what = !m["module"].is_null()  ? ModuleLine(m["module"]) + ", checksum holds"
                           : !m["error"].is_null() ? "does not load: " + Str(m["error"])
                                                   : "firmware image";
        t.Line("    " + Str(m["number"]) + "/" + Str(m["total"]) + " " + Str(m["kind"]) + ", " +
               Str(m["size"]) + " bytes: " + what);
    }
}

void ZpdFields(Text& t, const Json& z) {
    t.Field("Device id:", Hex4(z["device_id"]));
    t.Field("Device release:", Str(z["device_release"]));
    const Json& e = z["elements"];
    t.Field("Elements:", Str(e["data"]) + " data, " + Str(e["wait_answer"]) + " answer waits, " +
                             Str(e["reset"]) + " resets, " + Str(e["sleep"]) + " pauses");
    t.Field("Bytes to send:", Str(z["bytes_to_send"]));
    t.Field("Pause time:", Str(z["pause_ms"]) + " ms");
}

const char* KindName(const Json& kind) {
    if (kind == "package") return "firmware package";
    if (kind == "module") return "module file";
    if (kind == "zpd") return "ZPD script";
    if (kind == "anti-tamper") return "anti-tamper image";
    if (kind == "spt") return "tool file (SPT)";
    return "unknown kind";
}

}  // namespace

std::string RenderText(const Json& r) {
    Text t;
    std::string size = r["size"].is_null() ? "" : ", " + Str(r["size"]) + " bytes";
    t.Line(Printable(r["file"].get<std::string>()) + ": " + KindName(r["kind"]) + size);
    if (!r["ok"].get<bool>()) {
        t.Field("Result:", "FAILED (exit code " + Str(r["exit_code"]) + ")");
        t.Field("Error:", Str(r["error"]));
        t.Field("Failure:", Str(r["failure"]));
        return t.Get();
    }
    t.Field("Result:", "OK");
    if (r.contains("package")) PackageFields(t, r["package"]);
    if (r.contains("module")) ModuleFields(t, r["module"]);
    if (r.contains("zpd")) ZpdFields(t, r["zpd"]);
    if (r.contains("anti_tamper")) {
        t.Field("Size:", "right (" + Str(r["size"]) + " bytes)");
        t.Field("Release:", Str(r["anti_tamper"]["release"]));
    }
    return t.Get();
}
