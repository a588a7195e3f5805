#pragma once
// The plain records and enumerations of the graph component.

#include <cstdint>

namespace kelvane::graph {

// A 24-bit RGB colour with red in the low byte; higher bits are ignored where it is drawn.
using TColor = std::uint32_t;

struct TGDGISample {
    float Value = 0;
    TColor TopColor = 0;
    TColor BottomColor = 0;
};

// The vertex format: position and one colour (0xAARRGGBB). 16 bytes.
struct TCustomVertex {
    float x = 0, y = 0, z = 0;
    std::uint32_t Color = 0;
};
static_assert(sizeof(TCustomVertex) == 16);

enum TGraphDisplayType { gdtAsParent, gdtPositive, gdtMono, gdtStereo, gdtMulti };
enum TGraphDisplayGraphItemStereoID { gdgisidLeft, gdgisidRight };
enum TGraphDisplayGraphItemColorFrom { gdgicfGlobal, gdgicfPerSample };
enum TD3DVertexProcessingMode { gd3dvpmSoftware, gd3dvpmHardware, gd3dvpmMixed };
enum TD3DMaximumVertexCountMode { gd3dAutomaticMaximum, gd3dCustom };
enum TGraphDisplaySamplesManagement { gdsmFlush, gdsmKeep };
enum TGraphDisplayScrollBarType { gdsbtWindows, gdsbtFlat };
// A set of animations: bit 0 gdaStartupRotation ... bit 3 gdaMouseWheelZoom.
enum TGraphDisplayAnimation { gdaStartupRotation = 1, gdaZoomSelection = 2, gdaShowAll = 4, gdaMouseWheelZoom = 8 };
using TGraphDisplayAnimations = unsigned;
enum TGraphDisplayItemAxisRangeType {
    gdiartAutomaticMaximum,
    gdiartAutomaticMinimum,
    gdiartAutomaticMaximumMinimum,
    gdiartCustom
};

} // namespace kelvane::graph
