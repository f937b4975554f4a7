#include "cluster/ClusterFailure.h"

#include <climits>
#include <stdexcept>
#include <string>

namespace ovix {

const char* clusterSourceName(ClusterSource source) {
    switch (source) {
        case ClusterSource::engine:
            return "..\\..\\Cluster";
        case ClusterSource::graph:
            return "..\\..\\CluGraph";
        case ClusterSource::table:
            break;
    }
    return "cluster\\CluHelper";
}

void throwClusterFailure(ClusterSource source, int line, long long value) {
    // The value is printed as a 32-bit int; wider ones are clamped.
    const long long shown = value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value;
    throw std::runtime_error(std::string(clusterSourceName(source)) + ' ' + std::to_string(line) + ' ' +
                             std::to_string(shown) + '\n');
}

}  // namespace ovix
