#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace upgradetest {

// Module files of every group a package can carry, with the record
// character of each: fonts, flash disk, logos and an other module.
struct PackageModules {
    std::vector<mkfile::PackageModule> records;
};

inline mkfile::PackageModule Module(char record, const char* letter, size_t payload, uint8_t seed) {
    mkfile::ModuleLayout m;
    m.typeLetter = letter;
    m.payload = mkfile::Pattern(payload, seed);
    mkfile::PackageModule pm;
    pm.typeChar = record;
    pm.file = mkfile::BuildModule(m);
    return pm;
}

inline std::string Text(const mkfile::Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A simulated printer on TCP or on a pseudo-terminal, and the device
// argument that reaches it.
class Printer {
  public:
    // link "eth" or "ser"; options are the printer's.
    bool Start(const std::string& link, const std::vector<std::string>& options) {
        link_ = link;
        std::vector<std::string> argv{PRNSIM_BIN};
        if (link == "eth") {
            argv.insert(argv.end(), {"--tcp", "0"});
        } else {
            argv.push_back("--pty");
        }
        argv.insert(argv.end(), options.begin(), options.end());
        return sim_.Start(argv);
    }
    std::string Device() const {
        if (link_ == "eth") {
            std::string where = sim_.Announced("tcp");
            return "127.0.0.1:" + where.substr(where.find(':') + 1);
        }
        return sim_.Announced("pty") + ":115200:NONE";
    }
    // prnupgrade against this printer; the printer's report afterwards in Report().
    testsupport::ProgramResult Run(const std::vector<std::string>& args, int timeoutMs = 60000) {
        std::vector<std::string> argv{PRNUPGRADE_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.insert(argv.end(), {"-t", link_, "-d", Device()});
        testsupport::RunOptions options;
        options.timeoutMs = timeoutMs;
        testsupport::ProgramResult r = testsupport::RunProgram(argv, options);
        Settle();
        report_ = sim_.Stop();
        return r;
    }

    // The printer reads its line in order: once it answers an identification
    // request of ours, it has taken in everything the program wrote before.
    void Settle() const {
        int fd = -1;
        if (link_ == "eth") {
            std::string where = sim_.Announced("tcp");
            fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port =
                htons(static_cast<uint16_t>(std::stoi(where.substr(where.find(':') + 1))));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
                close(fd);
                return;
            }
        } else {
            fd = open(sim_.Announced("pty").c_str(), O_RDWR | O_NOCTTY);
        }
        if (fd < 0) return;
        const unsigned char request[] = {0x18, 0x1D, 0x49, 0x01};
        if (write(fd, request, sizeof(request)) == static_cast<ssize_t>(sizeof(request))) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, SETTLE_MS);
        }
        close(fd);
    }
    const std::string& Report() const { return report_; }
    const std::string& Output() const { return sim_.Output(); }

  private:
    static constexpr int SETTLE_MS = 3000;
    std::string link_;
    testsupport::SimProcess sim_;
    std::string report_;
};

}  // namespace upgradetest
