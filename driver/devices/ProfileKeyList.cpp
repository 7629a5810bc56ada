#include "ProfileFile.h"

void SplitProfileKeyList(const char* buffer, size_t length, std::vector<std::string>& keys) {
    keys.clear();
    size_t start = 0;
    while (start < length) {
        size_t end = start;
        while (end < length && buffer[end] != '\0') ++end;
        if (end == start) break;  // the empty name that ends the list
        keys.emplace_back(buffer + start, end - start);
        start = end + 1;
    }
}
