#pragma once
// The numbers of the drawing state that metafile records carry: map modes,
// raster operations, brush and pen styles, stock objects, text alignment,
// region modes. Sections are those of [MS-WMF] and [MS-EMF].

#include <cstdint>

// [MS-WMF] 2.1.1.16 MapMode.
enum class MapMode : int {
    Text = 1,
    LoMetric = 2,
    HiMetric = 3,
    LoEnglish = 4,
    HiEnglish = 5,
    Twips = 6,
    Isotropic = 7,
    Anisotropic = 8,
};

// [MS-WMF] 2.1.1.31 TernaryRasterOperation: the blits' operations.
namespace RasterOp {
constexpr std::uint32_t Blackness = 0x00000042;
constexpr std::uint32_t NotSrcErase = 0x001100A6;
constexpr std::uint32_t NotSrcCopy = 0x00330008;
constexpr std::uint32_t SrcErase = 0x00440328;
constexpr std::uint32_t DstInvert = 0x00550009;
constexpr std::uint32_t PatInvert = 0x005A0049;
constexpr std::uint32_t SrcInvert = 0x00660046;
constexpr std::uint32_t SrcAnd = 0x008800C6;
constexpr std::uint32_t MergePaint = 0x00BB0226;
constexpr std::uint32_t DstCopy = 0x00AA0029;
constexpr std::uint32_t MergeCopy = 0x00C000CA;
constexpr std::uint32_t SrcCopy = 0x00CC0020;
constexpr std::uint32_t SrcPaint = 0x00EE0086;
constexpr std::uint32_t PatCopy = 0x00F00021;
constexpr std::uint32_t Whiteness = 0x00FF0062;
} // namespace RasterOp

// [MS-WMF] 2.1.1.2 BinaryRasterOperation: how pens and brushes meet the picture.
namespace Rop2 {
constexpr int Black = 1;
constexpr int NotCopyPen = 4;
constexpr int Not = 6;
constexpr int XorPen = 7;
constexpr int MaskPen = 9;
constexpr int NotXorPen = 10;
constexpr int Nop = 11;
constexpr int CopyPen = 13;
constexpr int MergePen = 15;
constexpr int White = 16;
} // namespace Rop2

// [MS-WMF] 2.1.1.4 BrushStyle.
namespace BrushStyle {
constexpr std::uint32_t Solid = 0;
constexpr std::uint32_t Null = 1;
constexpr std::uint32_t Hatched = 2;
constexpr std::uint32_t Pattern = 3;
constexpr std::uint32_t DibPattern = 5;
constexpr std::uint32_t DibPatternPt = 6;
} // namespace BrushStyle

// [MS-WMF] 2.1.1.12 HatchStyle: the last one there is.
constexpr std::uint32_t LastHatchStyle = 5;

// [MS-WMF] 2.1.1.23 PenStyle: line style, end caps and joins in one value.
namespace PenStyle {
constexpr std::uint32_t StyleMask = 0x0000000F;
constexpr std::uint32_t Dash = 1;
constexpr std::uint32_t Dot = 2;
constexpr std::uint32_t DashDot = 3;
constexpr std::uint32_t DashDotDot = 4;
constexpr std::uint32_t Null = 5;
constexpr std::uint32_t UserStyle = 7;
constexpr std::uint32_t Alternate = 8;
constexpr std::uint32_t EndCapMask = 0x00000F00;
constexpr std::uint32_t EndCapSquare = 0x00000100;
constexpr std::uint32_t EndCapFlat = 0x00000200;
constexpr std::uint32_t JoinMask = 0x0000F000;
constexpr std::uint32_t JoinBevel = 0x00001000;
constexpr std::uint32_t JoinMiter = 0x00002000;
constexpr std::uint32_t Geometric = 0x00010000;
} // namespace PenStyle

// [MS-EMF] 2.1.31 StockObject: indices with the high bit set.
namespace StockObject {
constexpr std::uint32_t Flag = 0x80000000;
constexpr std::uint32_t WhiteBrush = 0;
constexpr std::uint32_t LightGrayBrush = 1;
constexpr std::uint32_t GrayBrush = 2;
constexpr std::uint32_t DarkGrayBrush = 3;
constexpr std::uint32_t BlackBrush = 4;
constexpr std::uint32_t NullBrush = 5;
constexpr std::uint32_t WhitePen = 6;
constexpr std::uint32_t BlackPen = 7;
constexpr std::uint32_t NullPen = 8;
constexpr std::uint32_t OemFixedFont = 10;
constexpr std::uint32_t DefaultGuiFont = 17;
constexpr std::uint32_t DcBrush = 18;
constexpr std::uint32_t DcPen = 19;
constexpr std::uint32_t DefaultPalette = 15;
} // namespace StockObject

// [MS-WMF] 2.1.2.3 TextAlignmentMode.
namespace TextAlign {
constexpr std::uint32_t UpdateCp = 0x0001;
constexpr std::uint32_t HorizontalMask = 0x0006;
constexpr std::uint32_t Right = 0x0002;
constexpr std::uint32_t Center = 0x0006;
constexpr std::uint32_t VerticalMask = 0x0018;
constexpr std::uint32_t Bottom = 0x0008;
constexpr std::uint32_t Baseline = 0x0018;
} // namespace TextAlign

// [MS-WMF] 2.1.2.2 ExtTextOutOptions.
namespace TextOutOption {
constexpr std::uint32_t Opaque = 0x0002;
constexpr std::uint32_t Clipped = 0x0004;
constexpr std::uint32_t GlyphIndex = 0x0010;
constexpr std::uint32_t NoRect = 0x0100;
constexpr std::uint32_t SmallChars = 0x0200;
constexpr std::uint32_t Pdy = 0x2000;
} // namespace TextOutOption

// [MS-EMF] 2.1.29 RegionMode.
namespace RegionMode {
constexpr int And = 1;
constexpr int Or = 2;
constexpr int Xor = 3;
constexpr int Diff = 4;
constexpr int Copy = 5;
} // namespace RegionMode

// [MS-EMF] 2.1.24 ModifyWorldTransformMode.
namespace WorldTransformMode {
constexpr int Identity = 1;
constexpr int LeftMultiply = 2;
constexpr int RightMultiply = 3;
constexpr int Set = 4;
} // namespace WorldTransformMode

// [MS-WMF] 2.1.1.15 MixMode and 2.1.1.25 PolyFillMode.
constexpr int BkModeOpaque = 2;
constexpr int PolyFillAlternate = 1;
constexpr int PolyFillWinding = 2;
// [MS-EMF] 2.1.2 ArcDirection.
constexpr int ArcClockwise = 2;

// [MS-WMF] 2.2.2.8 ColorRef and 2.1.1.9 DIBColors: a colour whose high byte
// is 1 names an entry of the logical palette.
constexpr std::uint32_t ColorRefPaletteIndex = 0x01000000;
constexpr int DibPaletteColors = 1;

// [MS-WMF] 2.2.2.3 BLENDFUNCTION's AlphaFormat: the source has its own alpha.
constexpr std::uint8_t AlphaFormatSourceAlpha = 0x01;
