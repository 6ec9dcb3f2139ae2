#pragma once

#include <string>

// Why a file named for an operation cannot be taken, in the words a person
// sees: prninfo's report and the "-v" cause line of prnupgrade.
class FileRefusal {
  public:
    // A name whose ending is none of the file kinds.
    static const char* const UNKNOWN_KIND;

    // "" when path is a regular file this process can read (its size in
    // *size when size is given), else why not.
    static std::string Unreadable(const char* path, long long* size = nullptr);
};
