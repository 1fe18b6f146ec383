// Windows metafiles (WMF, with or without the placeable header) and enhanced metafiles (EMF)
// read into a list of drawing commands. Reading checks every length and count against the
// record it belongs to; a record that does not fit is skipped, unknown records are skipped.
// The commands are played onto a QPainter by MetafileRenderer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "viewer/Dib.h"
#include "viewer/ViewLogic.h"

namespace tavrin::viewer {

struct MfPoint {
    std::int32_t x = 0, y = 0;
};
struct MfRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};
using MfColor = std::uint32_t;  // 0x00BBGGRR as the files store it

struct MfPen {
    std::uint32_t style = 0;  // PS_* with the end-cap and join bits of extended pens
    std::int32_t width = 0;   // logical units; 0 draws one pixel wide
    MfColor color = 0;
    bool extended = false;  // from an extended pen: its join and end-cap bits count
};
struct MfBrush {
    std::uint32_t style = 0;  // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, patterns 3, 5, 6
    MfColor color = 0xFFFFFF;
    std::uint32_t hatch = 0;
    std::shared_ptr<const DibImage> pattern;
};
struct MfFont {
    std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charset = 0;
    std::u16string face;
};

namespace mf {

struct SetMapMode {
    int mode = 1;
};
// Window and viewport origin and extent.
struct SetOrgExt {
    enum Which {
        WindowOrg,
        WindowExt,
        ViewportOrg,
        ViewportExt,
        OffsetWindowOrg,
        OffsetViewportOrg
    };
    Which which = WindowOrg;
    std::int32_t x = 0, y = 0;
};
struct ScaleExt {
    bool viewport = false;
    std::int32_t xNum = 1, xDenom = 1, yNum = 1, yDenom = 1;
};
struct WorldTransform {
    // 0: set (SetWorldTransform); 1 identity, 2 left multiply, 3 right multiply, 4 set.
    int mode = 0;
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
};
// An object placed in the object table at `index` (pens, brushes, fonts; palettes and regions
// hold a place without effect).
struct CreateObject {
    std::uint32_t index = 0;
    std::variant<std::monostate, MfPen, MfBrush, MfFont> object;
};
struct SelectObject {
    std::uint32_t index = 0;
};
struct SelectStock {
    int id = 0;  // WHITE_BRUSH 0 ... DC_PEN 19
};
struct DeleteObject {
    std::uint32_t index = 0;
};
struct SetColor {
    bool background = false;  // SetBkColor, else SetTextColor
    MfColor color = 0;
};
struct SetMode {
    enum Which { BkMode, PolyFillMode, TextAlign, ArcDirection, StretchMode };
    Which which = BkMode;
    std::uint32_t value = 0;
};
struct SaveDC {};
struct RestoreDC {
    std::int32_t relative = -1;
};
struct MoveTo {
    MfPoint p;
};
struct LineTo {
    MfPoint p;
};
struct Shape {
    enum Kind { Rectangle, Ellipse, RoundRect, Arc, Pie, Chord, ArcTo };
    Kind kind = Rectangle;
    MfRect box;
    MfPoint corner;  // RoundRect: width and height of the corner ellipse
    MfPoint start, end;
};
struct AngleArc {
    MfPoint center;
    std::uint32_t radius = 0;
    float startAngle = 0, sweepAngle = 0;
};
struct Poly {
    enum Kind {
        Polygon,
        Polyline,
        PolylineTo,
        PolyBezier,
        PolyBezierTo,
        PolyPolygon,
        PolyPolyline
    };
    Kind kind = Polygon;
    std::vector<MfPoint> points;
    std::vector<std::uint32_t> counts;  // the polygons' point counts (poly-poly records)
};
struct Text {
    MfPoint reference;
    std::string bytes;    // text in the font's code page
    std::u16string wide;  // text of the Unicode records
    bool unicode = false;
    std::uint32_t options = 0;  // ETO_OPAQUE 2, ETO_CLIPPED 4
    bool hasRect = false;
    MfRect rect;
    std::vector<std::int32_t> dx;  // advance of each character, logical units
};
struct SetPixel {
    MfPoint p;
    MfColor color = 0;
};
// A block transfer: a bitmap (or the brush, when `image` is null) into a rectangle.
struct Blit {
    std::int32_t x = 0, y = 0, width = 0, height = 0;  // destination, logical
    std::int32_t srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
    std::uint32_t rop = 0x00CC0020;  // SRCCOPY
    std::shared_ptr<const DibImage> image;
    int constantAlpha = -1;  // AlphaBlend: 0..255; -1 for the other records
    bool sourceAlpha = false;
    // The source rectangle of the bitmap functions counts rows from the bitmap's first
    // stored row (the bottom one of a bottom-up bitmap); that of the block transfers from
    // the top.
    bool sourceFromStoredOrigin = false;
};
struct Path {
    enum Kind { Begin, End, Close, Fill, Stroke, StrokeAndFill, Abort, SelectClip };
    Kind kind = Begin;
    int mode = 0;
};
struct Clip {
    enum Kind { IntersectRect, ExcludeRect, Reset, DeviceRects };
    Kind kind = Reset;
    MfRect rect;
    std::vector<MfRect> rects;  // DeviceRects: the region, in device units
    int mode = 5;               // RGN_AND 1, RGN_OR 2, RGN_XOR 3, RGN_DIFF 4, RGN_COPY 5
};
// FillRgn (with the brush `brush`) and PaintRgn (with the selected brush).
struct Region {
    bool useSelected = true;
    std::uint32_t brush = 0;
    std::vector<MfRect> rects;
};

}  // namespace mf

using MfCommand =
    std::variant<mf::SetMapMode, mf::SetOrgExt, mf::ScaleExt, mf::WorldTransform, mf::CreateObject,
                 mf::SelectObject, mf::SelectStock, mf::DeleteObject, mf::SetColor, mf::SetMode,
                 mf::SaveDC, mf::RestoreDC, mf::MoveTo, mf::LineTo, mf::Shape, mf::AngleArc,
                 mf::Poly, mf::Text, mf::SetPixel, mf::Blit, mf::Path, mf::Clip, mf::Region>;

struct Metafile {
    bool enhanced = false;
    // The size the picture shows at, in pixels (96 to the inch).
    PixelSize size;
    // The picture's frame in device units; playback maps it onto the whole image.
    double frameLeft = 0, frameTop = 0, frameWidth = 1, frameHeight = 1;
    // Device units per inch, for the metric mapping modes.
    double dpiX = 96, dpiY = 96;
    // A Windows metafile starts with its window mapped onto the frame (the player's set-up);
    // an enhanced one starts with device units.
    bool startsMappedToFrame = false;
    std::vector<MfCommand> commands;
};

// The largest side of a picture; larger pictures are shown scaled down to it.
inline constexpr int kMaxMetafileSide = 8192;

// Reads a metafile of either kind (told apart by content); empty when it is neither or its
// header is damaged.
std::optional<Metafile> ReadMetafile(std::span<const std::uint8_t> bytes);
std::optional<Metafile> ReadWmf(std::span<const std::uint8_t> bytes);
std::optional<Metafile> ReadEmf(std::span<const std::uint8_t> bytes);

}  // namespace tavrin::viewer
