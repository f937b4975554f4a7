#include "cluster/ClusterFailure.h"

namespace ovix {

const char* checkSource(ClusterCheck) {
    return "..\\..\\Cluster";
}

const char* checkSource(CluGraphCheck) {
    return "..\\..\\CluGraph";
}

const char* checkSource(ClusterTableCheck) {
    return "cluster\\CluHelper";
}

}  // namespace ovix
