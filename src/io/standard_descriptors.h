// Descriptors 0-2 as the host handed them over. A closed one is filled at
// once, so that no later open (the X connection, say) takes its number and
// receives the bytes meant for that stream.
#pragma once

#include <array>

namespace kestrova {

// Occupies every closed standard descriptor; returns which of 0, 1, 2 were closed.
std::array<bool, 3> occupyClosedStandardDescriptors();

}  // namespace kestrova
