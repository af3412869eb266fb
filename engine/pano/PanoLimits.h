// Limits and fixed values of the panorama code, in one place.
//
// The panorama code works with the single-precision values of its circle
// constants, and not everywhere the same ones: the facade's defaults are
// floats, the view and the renderers use floats widened to double, and the
// sky painter its own rounding of pi/2. Results depend on which value is
// used where, so each keeps its own name and is never replaced by M_PI.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "engine/pano/PackedCoordinates.h"

namespace vx {

// Angles in radians: yaw about the vertical axis, pitch positive up.
struct AngleRange {
  double yawMin = 0;
  double yawMax = 0;
  double pitchMin = 0;
  double pitchMax = 0;
  bool operator==(const AngleRange&) const = default;
};

// The same as the facade keeps it.
struct AngleRangeF {
  float yawMin = 0;
  float yawMax = 0;
  float pitchMin = 0;
  float pitchMax = 0;

  AngleRange Widen() const { return {yawMin, yawMax, pitchMin, pitchMax}; }
};

// Smallest and largest half-angles of the field of view.
struct ZoomLimits {
  double horizontalMin = 0;
  double verticalMin = 0;
  double horizontalMax = 0;
  double verticalMax = 0;
};

// ---- Context and facade -------------------------------------------------

inline constexpr float kFacadePi = 3.14159250f;
inline constexpr float kFacadeHalfPi = 1.57079625f;
static_assert(std::bit_cast<uint32_t>(kFacadePi) == 0x40490FDA);
static_assert(std::bit_cast<uint32_t>(kFacadeHalfPi) == 0x3FC90FDA);

// View limits and image extent of a new context: the whole sphere.
inline constexpr AngleRangeF kWholeSphereF{-kFacadePi, kFacadePi, -kFacadeHalfPi, kFacadeHalfPi};

// A new context looks along yaw 0 with a vertical half-angle of 25 degrees.
inline constexpr double kInitialVerticalHalfAngle = 0.43633230541374995;
inline constexpr int32_t kInitialResolution = 512;

// What the facade asks of a renderer's work buffer.
inline constexpr int32_t kWorkBufferQuality = 75;
inline constexpr int32_t kWorkBufferFlag = 1;

// ---- Renderer base ------------------------------------------------------

// Mode of a new renderer: bits 6-7 pick row pattern group 3 (every row).
inline constexpr int16_t kDefaultRendererMode = 255;

inline constexpr double kTwoPi = 6.283185197958;
inline constexpr double kPi = 3.141592598979;
inline constexpr double kHalfPi = 1.5707962994895;

// Navigation limits of a renderer that states none, and of a view without
// renderer.
inline constexpr AngleRange kAnyDirection{0, kTwoPi, -kPi, kPi};

inline constexpr ZoomLimits kBaseRendererZoomLimits{0.01745329221655, 0.01745329221655, 1.047197532993,
                                                    0.78539814974475};

// ---- View ---------------------------------------------------------------

inline constexpr int32_t kViewResolution = 768;
inline constexpr double kViewHalfAngle = 0.5235987664965;  // 30 degrees

inline constexpr ZoomLimits kViewZoomLimits{1.745329221655e-06, 1.745329221655e-06, 1.047197532993, 0.8726646108274999};

// The field of view stays this far below the largest half-angles.
inline constexpr double kZoomMargin = 0.01;

// A pitch range whose end lies beyond this reaches the pole; the view then
// stops just short of the pole itself.
inline constexpr double kPoleRangeLimit = 1.5697962994895;
inline constexpr double kPitchPoleStop = 1.5706962994895;
inline constexpr double kPitchMargin = 0.0001;

// A yaw range this close to one turn wraps round.
inline constexpr double kFullCircleTolerance = 0.0001;
// A bounded yaw range is tested with one margin and moved with another.
inline constexpr double kYawTestMargin = 0.048;
inline constexpr double kYawMoveMargin = 0.05000000074505806;

// Divisions of the screen conversions are skipped below this.
inline constexpr double kConversionGuard = 0.0001;
// A yaw range this close to one turn wraps converted screen angles.
inline constexpr double kScreenWrapTolerance = 0.001;

// Two samples whose yaws differ this close to half a turn straddle a pole.
inline constexpr double kPoleYawLow = 3.131592598979;
inline constexpr double kPoleYawHigh = 3.1515925989789997;

// A yaw further than this many turns from its range is first brought near
// it in one step; after that a wrap takes at most a few turns. Huge values
// would otherwise lose the turn in rounding and wrap for ever.
inline constexpr double kWrapReductionTurns = 16;
inline constexpr int32_t kMaxWrapSteps = 64;

// Which rows a renderer draws, by row pattern group (bits 6-7 of its mode)
// and row parity.
struct RowPatternEntry {
  int16_t enable;
  int16_t parameter;
};
inline constexpr int32_t kRowPatternGroups = 4;
inline constexpr std::array<std::array<RowPatternEntry, 2>, kRowPatternGroups> kRowPattern{{
    {{{0, 2}, {1, 2}}},
    {{{0, 1}, {1, 1}}},
    {{{1, 2}, {1, 1}}},
    {{{1, 1}, {1, 1}}},
}};
inline constexpr int32_t kRowPatternShift = 6;

// ---- Sky and ground pictures ---------------------------------------------

// pi/2 as the sky and ground painter rounds it (elevations of the bands).
inline constexpr double kSkyHalfPi = 1.5707963705062866;

// Channel levels: 5 bits in 2-byte pixels, 8 bits otherwise.
inline constexpr int32_t kLevels555 = 31;
inline constexpr int32_t kLevels888 = 255;
// Set in the 2-byte pixels of plain gradient rows only.
inline constexpr uint16_t kGradientHighBit = 0x8000;
inline constexpr uint32_t kOpaqueAlpha = 0xFF000000;

// Cube pictures: six square faces stacked from the top, four sides then the
// top and bottom caps. The painter sees a virtual height of a third of the
// picture: 0 the zenith, 1 the nadir, the sides between these fractions.
inline constexpr int32_t kCubeFaces = 6;
inline constexpr int32_t kCubeSideFaces = 4;
inline constexpr int32_t kCubeFirstCapFace = 4;
inline constexpr int32_t kCubeVirtualRowsDivisor = 3;
inline constexpr float kCubeThirdOfHeight = 0.33333334f;
inline constexpr float kCubeSidesTop = 0.25f;
inline constexpr float kCubeSidesBottom = 0.75f;
// A cap's share of the virtual height to its ring distances (0 at the pole,
// 1 at the edge), and the sides' share to their face fractions.
inline constexpr float kCubeCapScale = 4.0f;
inline constexpr float kCubeSideScale = 2.0f;

// The placeholder picture: flat grey up to this width, else a grid of
// 32 x 16 bevelled cells over a blue-grey to red-grey wash.
inline constexpr int32_t kPlaceholderFlatMaxWidth = 512;
inline constexpr uint8_t kPlaceholderFlatIndex = 0;
inline constexpr uint16_t kPlaceholderFlat555 = 0x4210;
inline constexpr uint32_t kPlaceholderFlatXrgb = 0xFF808080;
inline constexpr int32_t kPlaceholderColumnShift = 5;  // 32 cells across
inline constexpr int32_t kPlaceholderRowShift = 4;     // 16 cells down
inline constexpr int32_t kPlaceholderMinCell = 2;
inline constexpr int32_t kPlaceholderLineDivisor = 8;
inline constexpr int32_t kPlaceholderLineExtra = 2;
inline constexpr int32_t kPlaceholderLightBevel = 2;
inline constexpr int32_t kPlaceholderDarkBevel = 3;
struct PlaceholderRgb {
  int32_t r, g, b;
};
inline constexpr PlaceholderRgb kPlaceholderSky{87, 87, 121};
inline constexpr PlaceholderRgb kPlaceholderGround{121, 84, 84};
inline constexpr uint8_t kPlaceholderCellIndex = 0;
inline constexpr uint8_t kPlaceholderLineIndex = 0x80;
struct PlaceholderShade {
  uint16_t c555;
  uint32_t xrgb;
};
inline constexpr PlaceholderShade kPlaceholderLight{0x6B38, 0xD0CFC0};
inline constexpr PlaceholderShade kPlaceholderDark{0x2D27, 0x594B3F};
inline constexpr PlaceholderShade kPlaceholderMiddle{0x5251, 0xA0908F};

// ---- Sphere and cylinder warpers ----------------------------------------

// The quadrant table reaches 60 degrees to each side of the view's centre.
inline constexpr double kTableHalfAngle = 1.047197532993;
// Table X units (1/16 source column) per radian per source column span.
inline constexpr double kEightPi = 25.132740791832;
inline constexpr double kTwoOverPi = 0.636619783434042;
inline constexpr double kRollDiagonal = 0.707107;
// 2 pi radians to the 16-bit angle units the per-row table is kept in.
inline constexpr double kAngleUnitsPerRadian = 10430.378531783344;
inline constexpr double kCylinderPoleAngle = kHalfPi;
// Below these the table's row plane is taken as vertical.
inline constexpr double kTableTangentGuard = 1e-6;
inline constexpr double kTablePoleCosine = 1e-6;
inline constexpr double kTableSteepCosine = 1e-5;
// Corner projections closer than this are a picture without width.
inline constexpr double kExtentWidthGuard = 1e-6;

inline constexpr ZoomLimits kWarperZoomMinimum{1.745329221655e-06, 1.745329221655e-06, 1.047197532993,
                                               0.8726646108274999};

// Packed table entries (PackedCoordinates.h). The largest X an entry may
// hold, with room for the yaw fraction, a neighbour column and rounding.
template <PackedEntry Entry>
inline constexpr int64_t kMaxPackedX = kPackedHalfMax<Entry> - 4 * kPackedUnit;
// A band row index fills the low half below its carry bit, and the table
// reaches half the band.
template <PackedEntry Entry>
inline constexpr int64_t kMaxPackedBandRows = (kPackedHalfMax<Entry> + 1 - kPackedUnit) / (kPackedUnit / 2);
// Taller bands (pictures a few degrees high seen from pole to pole) would
// hold far more rows of fill than of picture.
inline constexpr int64_t kMaxBandRows = int64_t{1} << 18;

// The source must give the bilinear readers a row below the one they sample.
inline constexpr int32_t kMinSourceRows = 3;

// View resolutions round to these quality classes.
inline constexpr int32_t kQualityLow = 256;
inline constexpr int32_t kQualityMedium = 512;
inline constexpr int32_t kQualityHigh = 768;
inline constexpr int32_t kQualityBest = 1024;

// Roll path: the grid is sampled exactly every kRollRun pixels and stepped
// linearly between, unless the source row jumps by more than this.
inline constexpr int32_t kRollRun = 4;
inline constexpr int32_t kRollJumpRows = 20;

// ---- Cube renderer ------------------------------------------------------

inline constexpr float kCubeHalfSize = 20.0f;
// Depth terms of the cube's projection: near plane 0.1, far plane 200,
// the camera looking along -z.
inline constexpr float kCubeDepthScale = 1.0010005235671997f;
inline constexpr float kCubeDepthOffset = 0.20010004937648773f;
// Tiles' inner edges are pulled in by this many texel rows, so that no face
// samples its neighbour's tile.
inline constexpr float kCubeTileInsetRows = 1.5f;
// Tile edges as fractions of the picture's height, and the rounded ones the
// direction conversions use.
inline constexpr float kCubeTileEdges[7] = {0.0f, 0.16666667f, 0.33333334f, 0.5f, 0.6666667f, 0.8333333f, 1.0f};
inline constexpr float kCubeProjectionHalfTile = 0.0835f;
inline constexpr float kCubeProjectionTiles[6] = {0.0f, 0.167f, 0.333f, 0.5f, 0.667f, 0.833f};
inline constexpr double kCubeTileScale = 12.0;

// ---- Vista nodes ---------------------------------------------------------

// The Vista nodes' own roundings of pi/2 and of one turn, the last bit below
// the nearest single-precision values.
inline constexpr float kVistaHalfPi = 1.5707962513f;
inline constexpr float kVistaTwoPi = 6.2831850052f;
// Cylinder pictures reach no further up or down than this.
inline constexpr float kVistaCylinderPitchLimit = 1.5f;
// A pitch range narrower than this is widened by as much at the top.
inline constexpr float kVistaMinPitchSpan = 0.1f;
// A yaw range or extent narrower than this stands for one whole turn.
inline constexpr float kVistaFullTurnTolerance = 0.001f;
inline constexpr float kVistaInitialHalfAngle = 0.4363323152f;
// Drawing resolution, and that of the still frame drawn once the camera
// has rested for more than kVistaStillFrames frames.
inline constexpr int16_t kVistaResolution = 512;
inline constexpr int16_t kVistaStillResolution = 768;
inline constexpr int32_t kVistaStillFrames = 4;
inline constexpr float kVistaStillTolerance = 0.00001f;
// The sky picture: cube faces stacked, or one sphere picture.
inline constexpr int32_t kVistaSkyCubeWidth = 128;
inline constexpr int32_t kVistaSkyCubeHeight = 768;
inline constexpr int32_t kVistaSkySphereWidth = 512;
inline constexpr int32_t kVistaSkySphereHeight = 256;
// Hot spots this wide and this tall are not marked.
inline constexpr float kVistaHotSpotMaxShare = 0.95f;
inline constexpr int32_t kVistaMarkerSize = 32;
// Keys that show the hot spots while held: the space bar and H.
inline constexpr int32_t kVistaMarkerKeys[] = {49, 4};

// ---- Background cube ----------------------------------------------------

// Faces' pictures are scaled to square tiles whose side is the longest side
// of the pictures there when the cube picture is made, kept within these.
inline constexpr int32_t kBackgroundTileMin = 8;
// Tiles of a cube where some face has no picture, which shows the sky and
// ground bands in its tile instead: a tile a few rows high has no room to
// keep the ground below the horizon.
inline constexpr int32_t kBackgroundBandTileMin = 64;
inline constexpr int32_t kBackgroundTileMax = 1024;

// ---- Image objects --------------------------------------------------------

// A view straight above or below the object (both of these components of
// the view vector smaller) takes another reference up direction.
inline constexpr float kOverheadTolerance = 0.0001f;
// Screen coordinates of image objects are kept within this magnitude, so
// that placement and clipping never overflow.
inline constexpr int32_t kMaxScreenCoordinate = 1 << 20;
// Opacity at or below which a screen image object is not picked.
inline constexpr float kUnpickableOpacity = 0.001f;

}  // namespace vx
