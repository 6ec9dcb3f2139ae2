#pragma once

// Writing seed files for the fuzz targets.
#include <cstdio>
#include <string>

#include "sim/mkfile/MkFile.h"

namespace fuzzseeds {

inline bool Write(const char* folder, const std::string& name, const std::string& bytes) {
    std::string path = std::string(folder) + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

inline bool Write(const char* folder, const std::string& name, const mkfile::Bytes& bytes) {
    return Write(folder, name, std::string(bytes.begin(), bytes.end()));
}

// The whole main of a seed program: argv[1] names the folder; exits 0 when
// write put every seed there, 1 when one failed, 2 without a folder.
inline int Main(int argc, char** argv, bool (*write)(const char* folder)) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    return write(argv[1]) ? 0 : 1;
}

}  // namespace fuzzseeds
