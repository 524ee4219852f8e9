#include "protocol/ColourTable.h"

namespace glowdeck {

namespace {
// Orange, Cyan, Magenta and Violet are the table's own mixes, not the usual web values.
constexpr std::array<ColourEntry, ColourTable::kSize> kEntries{{
    {makeColour(0, 0, 0), "Off"},
    {makeColour(255, 0, 0), "Red"},
    {makeColour(0, 255, 0), "Green"},
    {makeColour(0, 0, 255), "Blue"},
    {makeColour(255, 127, 0), "Orange"},
    {makeColour(255, 0, 255), "Pink"},
    {makeColour(0, 255, 232), "Cyan"},
    {makeColour(127, 0, 127), "Magenta"},
    {makeColour(255, 255, 0), "Yellow"},
    {makeColour(127, 0, 255), "Violet"},
    {makeColour(255, 255, 255), "White"},
}};
} // namespace

const std::array<ColourEntry, ColourTable::kSize>& ColourTable::entries() {
    return kEntries;
}

} // namespace glowdeck
