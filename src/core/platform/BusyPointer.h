#pragma once
#include "Platform.h"

namespace marrowick {

// Sets the busy pointer for a scope and restores the arrow on every path.
class BusyPointer {
public:
    BusyPointer() { platform().SetBusyPointer(true); }
    ~BusyPointer() { platform().SetBusyPointer(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

} // namespace marrowick
