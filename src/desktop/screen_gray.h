// Screen pixels into the one-byte grays text recognition reads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrova::desktop {

// Rows of colour pixels (red, green, blue: 3 bytes each, rows `width` pixels
// apart) into `width` grays a row. A pixel's gray is its luma, unless its
// colour stands out from the background around it far more than its luma
// does (dark blue or red text on black, yellow text on white): then it
// stands out by the colour's difference, on the side its luma lies.
// Backgrounds are judged over cells of kGrayCellRows rows; the result does
// not depend on how the rows are cut when each part's rows are a multiple of it.
inline constexpr int kGrayCellRows = 8;
void toScreenGray(const std::uint8_t* rgb, int width, int rows, std::uint8_t* gray);

}  // namespace kestrova::desktop
