#pragma once
// The process's one object of a kind, made on its first use and never
// destroyed while the module is loaded (its thread may run until the process
// ends). Any thread may ask for it.

#include "addon/core/server/ServerState.h"

namespace ovix {

template <class T>
class Singleton {
public:
    static T& Instance();
};

// The poller, over the module's configuration, probing every 5000 ms for at
// most 3000 ms; the module defines it.
template <>
ServerState& Singleton<ServerState>::Instance();

}  // namespace ovix
