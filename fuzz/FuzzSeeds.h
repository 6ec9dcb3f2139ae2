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

}  // namespace fuzzseeds
