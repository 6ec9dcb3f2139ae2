#include "protocol/Commands.h"

void Commands::PopulateVectorWithData(const unsigned char* data, int len,
                                      std::vector<unsigned char>* out) {
    if (len < 1 || data == nullptr || out == nullptr) return;
    out->insert(out->end(), data, data + len);
}
