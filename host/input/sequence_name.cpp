// How a numbered image sequence is named.
#include "host/input/sequence_name.h"

bool NamesSequence(const std::string& path) {
    for (size_t at = path.find('%'); at != std::string::npos; at = path.find('%', at + 1)) {
        size_t i = at + 1;
        while (i < path.size() && path[i] >= '0' && path[i] <= '9') ++i;
        if (i < path.size() && path[i] == 'd') return true;
    }
    return false;
}
