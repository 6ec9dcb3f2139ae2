#pragma once

// Writing seed files for the fuzz targets.
#include <cstdio>
#include <string>

#include "sim/mkfile/MkFile.h"

namespace fuzzseeds {

// The folder a seed program writes into, its argv[1]. main returns Done():
// 0 when every seed was written, 1 when one was not, 2 without a folder.
class Seeds {
  public:
    Seeds(int argc, char** argv) : folder_(argc > 1 ? argv[1] : nullptr) {
        if (folder_ == nullptr) fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    }
    void Write(const std::string& name, const std::string& bytes) {
        if (folder_ == nullptr) return;
        FILE* f = fopen((std::string(folder_) + "/" + name).c_str(), "wb");
        bool written = f != nullptr && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok_ = (f == nullptr || fclose(f) == 0) && written && ok_;
    }
    void Write(const std::string& name, const mkfile::Bytes& bytes) {
        Write(name, std::string(bytes.begin(), bytes.end()));
    }
    int Done() const { return folder_ == nullptr ? 2 : ok_ ? 0 : 1; }

  private:
    const char* folder_;
    bool ok_ = true;
};

}  // namespace fuzzseeds
