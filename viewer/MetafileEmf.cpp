// Enhanced metafiles: the header record and the drawing records. Offsets inside a record
// (bitmaps, strings, advances) are relative to the record's start and must lie inside it.
#include <algorithm>
#include <cmath>

#include "viewer/ByteReader.h"
#include "viewer/Metafile.h"

namespace tavrin::viewer {

namespace {

constexpr std::uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kStockFlag = 0x80000000;

MfPoint PointL(ByteReader& r) {
    MfPoint p;
    p.x = r.I32();
    p.y = r.I32();
    return p;
}

MfRect RectL(ByteReader& r) {
    MfRect rc;
    rc.left = r.I32();
    rc.top = r.I32();
    rc.right = r.I32();
    rc.bottom = r.I32();
    return rc;
}

std::vector<MfPoint> Points(ByteReader& r, std::size_t count, bool small) {
    std::vector<MfPoint> points;
    const std::size_t each = small ? 4 : 8;
    if (count > r.Remaining() / each) {
        r.Skip(r.Remaining() + 1);  // marks the reader failed
        return points;
    }
    points.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        MfPoint p;
        p.x = small ? r.I16() : r.I32();
        p.y = small ? r.I16() : r.I32();
        points.push_back(p);
    }
    return points;
}

// A part of the record at an offset from its start; empty when it does not lie inside.
std::span<const std::uint8_t> Part(std::span<const std::uint8_t> record, std::uint64_t offset,
                                   std::uint64_t size) {
    if (offset > record.size() || size > record.size() - offset) return {};
    return record.subspan(std::size_t(offset), std::size_t(size));
}

std::vector<MfRect> RegionRects(std::span<const std::uint8_t> data) {
    std::vector<MfRect> rects;
    ByteReader r(data);
    std::uint32_t headerSize = r.U32();
    r.U32();  // type
    std::uint32_t count = r.U32();
    if (!r.Ok() || headerSize < 32 || headerSize > data.size()) return rects;
    ByteReader body(data, headerSize);
    for (std::uint32_t k = 0; k < count && body.Has(16); ++k) rects.push_back(RectL(body));
    return rects;
}

class EmfReader {
  public:
    explicit EmfReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<Metafile> Read() {
        ByteReader h(bytes_);
        std::uint32_t type = h.U32();
        std::uint32_t headerSize = h.U32();
        MfRect bounds = RectL(h);
        MfRect frame = RectL(h);
        std::uint32_t signature = h.U32();
        h.Skip(28);  // version, bytes, records, handles, reserved, description, palette
        std::int32_t deviceX = h.I32(), deviceY = h.I32();
        std::int32_t mmX = h.I32(), mmY = h.I32();
        if (!h.Ok() || type != 1 || signature != kSignature || headerSize < 88 ||
            headerSize > bytes_.size())
            return std::nullopt;

        Metafile out;
        out.enhanced = true;
        out.dpiX = deviceX > 0 && mmX > 0 ? deviceX * 25.4 / mmX : 96.0;
        out.dpiY = deviceY > 0 && mmY > 0 ? deviceY * 25.4 / mmY : 96.0;
        // The frame, in hundredths of a millimetre, gives the picture's place and size; the
        // bounds in device pixels stand in when the frame is empty.
        double frameW = double(frame.right) - frame.left;
        double frameH = double(frame.bottom) - frame.top;
        if (frameW > 0 && frameH > 0) {
            const double perUnitX = out.dpiX / 2540.0, perUnitY = out.dpiY / 2540.0;
            out.frameLeft = frame.left * perUnitX;
            out.frameTop = frame.top * perUnitY;
            out.frameWidth = frameW * perUnitX;
            out.frameHeight = frameH * perUnitY;
            out.size.width = int(std::lround(frameW * 96.0 / 2540.0));
            out.size.height = int(std::lround(frameH * 96.0 / 2540.0));
        } else {
            double w = double(bounds.right) - bounds.left + 1;
            double hgt = double(bounds.bottom) - bounds.top + 1;
            if (w <= 0 || hgt <= 0) return std::nullopt;
            out.frameLeft = bounds.left;
            out.frameTop = bounds.top;
            out.frameWidth = w;
            out.frameHeight = hgt;
            out.size.width = int(std::lround(w * 96.0 / out.dpiX));
            out.size.height = int(std::lround(hgt * 96.0 / out.dpiY));
        }
        out.size.width = std::max(out.size.width, 1);
        out.size.height = std::max(out.size.height, 1);

        std::size_t pos = headerSize;
        while (bytes_.size() - pos >= 8) {
            ByteReader rec(bytes_, pos);
            std::uint32_t recType = rec.U32();
            std::uint32_t size = rec.U32();
            if (size < 8 || size % 4 != 0 || size > bytes_.size() - pos) break;
            if (recType == 14) break;  // end of file
            auto record = bytes_.subspan(pos, size);
            ByteReader params(record, 8);
            Record(recType, record, params, out.commands);
            pos += size;
        }
        return out;
    }

  private:
    using Out = std::vector<MfCommand>;

    void Record(std::uint32_t t, std::span<const std::uint8_t> record, ByteReader& r, Out& out) {
        switch (t) {
            case 2:
                return PolyRecord(out, r, mf::Poly::PolyBezier, false);
            case 3:
                return PolyRecord(out, r, mf::Poly::Polygon, false);
            case 4:
                return PolyRecord(out, r, mf::Poly::Polyline, false);
            case 5:
                return PolyRecord(out, r, mf::Poly::PolyBezierTo, false);
            case 6:
                return PolyRecord(out, r, mf::Poly::PolylineTo, false);
            case 7:
                return PolyPolyRecord(out, r, mf::Poly::PolyPolyline, false);
            case 8:
                return PolyPolyRecord(out, r, mf::Poly::PolyPolygon, false);
            case 85:
                return PolyRecord(out, r, mf::Poly::PolyBezier, true);
            case 86:
                return PolyRecord(out, r, mf::Poly::Polygon, true);
            case 87:
                return PolyRecord(out, r, mf::Poly::Polyline, true);
            case 88:
                return PolyRecord(out, r, mf::Poly::PolyBezierTo, true);
            case 89:
                return PolyRecord(out, r, mf::Poly::PolylineTo, true);
            case 90:
                return PolyPolyRecord(out, r, mf::Poly::PolyPolyline, true);
            case 91:
                return PolyPolyRecord(out, r, mf::Poly::PolyPolygon, true);
            case 9:
                return OrgExt(out, r, mf::SetOrgExt::WindowExt);
            case 10:
                return OrgExt(out, r, mf::SetOrgExt::WindowOrg);
            case 11:
                return OrgExt(out, r, mf::SetOrgExt::ViewportExt);
            case 12:
                return OrgExt(out, r, mf::SetOrgExt::ViewportOrg);
            case 15: {  // SetPixelV
                MfPoint p = PointL(r);
                MfColor c = r.U32() & 0xFFFFFF;
                if (r.Ok()) out.push_back(mf::SetPixel{p, c});
                return;
            }
            case 17: {  // SetMapMode
                int mode = int(r.U32());
                if (r.Ok()) out.push_back(mf::SetMapMode{mode});
                return;
            }
            case 18:
                return Mode(out, r, mf::SetMode::BkMode);
            case 19:
                return Mode(out, r, mf::SetMode::PolyFillMode);
            case 22:
                return Mode(out, r, mf::SetMode::TextAlign);
            case 57:
                return Mode(out, r, mf::SetMode::ArcDirection);
            case 21:
                return Mode(out, r, mf::SetMode::StretchMode);
            case 24:    // SetTextColor
            case 25: {  // SetBkColor
                MfColor c = r.U32() & 0xFFFFFF;
                if (r.Ok()) out.push_back(mf::SetColor{t == 25, c});
                return;
            }
            case 27:    // MoveToEx
            case 54: {  // LineTo
                MfPoint p = PointL(r);
                if (!r.Ok()) return;
                if (t == 27)
                    out.push_back(mf::MoveTo{p});
                else
                    out.push_back(mf::LineTo{p});
                return;
            }
            case 29:    // ExcludeClipRect
            case 30: {  // IntersectClipRect
                mf::Clip c;
                c.kind = t == 29 ? mf::Clip::ExcludeRect : mf::Clip::IntersectRect;
                c.rect = RectL(r);
                if (r.Ok()) out.push_back(std::move(c));
                return;
            }
            case 31:    // ScaleViewportExtEx
            case 32: {  // ScaleWindowExtEx
                mf::ScaleExt s;
                s.viewport = t == 31;
                s.xNum = r.I32();
                s.xDenom = r.I32();
                s.yNum = r.I32();
                s.yDenom = r.I32();
                if (r.Ok()) out.push_back(s);
                return;
            }
            case 33:
                out.push_back(mf::SaveDC{});
                return;
            case 34: {  // RestoreDC
                std::int32_t n = r.I32();
                if (r.Ok()) out.push_back(mf::RestoreDC{n});
                return;
            }
            case 35:    // SetWorldTransform
            case 36: {  // ModifyWorldTransform
                mf::WorldTransform w;
                w.m11 = r.F32();
                w.m12 = r.F32();
                w.m21 = r.F32();
                w.m22 = r.F32();
                w.dx = r.F32();
                w.dy = r.F32();
                w.mode = t == 36 ? int(r.U32()) : 0;
                for (double v : {w.m11, w.m12, w.m21, w.m22, w.dx, w.dy})
                    if (!std::isfinite(v)) return;
                if (r.Ok()) out.push_back(w);
                return;
            }
            case 37:    // SelectObject
            case 40: {  // DeleteObject
                std::uint32_t index = r.U32();
                if (!r.Ok()) return;
                if (index & kStockFlag) {
                    if (t == 37) out.push_back(mf::SelectStock{int(index & ~kStockFlag)});
                } else if (t == 37) {
                    out.push_back(mf::SelectObject{index});
                } else {
                    out.push_back(mf::DeleteObject{index});
                }
                return;
            }
            case 38: {  // CreatePen
                std::uint32_t index = r.U32();
                MfPen pen;
                pen.style = r.U32();
                pen.width = r.I32();
                r.I32();
                pen.color = r.U32() & 0xFFFFFF;
                if (r.Ok()) out.push_back(mf::CreateObject{index, pen});
                return;
            }
            case 95: {  // ExtCreatePen
                std::uint32_t index = r.U32();
                r.Skip(16);  // the pattern bitmap of the pen's brush is not used
                MfPen pen;
                pen.extended = true;
                pen.style = r.U32();
                pen.width = std::int32_t(std::min<std::uint32_t>(r.U32(), 0x7FFFFFFF));
                std::uint32_t brushStyle = r.U32();
                pen.color = r.U32() & 0xFFFFFF;
                if (!r.Ok()) return;
                if (brushStyle == 1) pen.style = (pen.style & ~0xFu) | 5;  // hollow: no pen
                if (!(pen.style & 0x10000)) pen.width = 0;  // cosmetic pens are one pixel
                out.push_back(mf::CreateObject{index, pen});
                return;
            }
            case 39: {  // CreateBrushIndirect
                std::uint32_t index = r.U32();
                MfBrush brush;
                brush.style = r.U32();
                brush.color = r.U32() & 0xFFFFFF;
                brush.hatch = r.U32();
                if (brush.style != 1 && brush.style != 2) brush.style = 0;
                if (r.Ok()) out.push_back(mf::CreateObject{index, brush});
                return;
            }
            case 93:    // CreateMonoBrush
            case 94: {  // CreateDIBPatternBrushPt
                std::uint32_t index = r.U32();
                std::uint32_t usage = r.U32();
                std::uint32_t offBmi = r.U32(), cbBmi = r.U32();
                std::uint32_t offBits = r.U32(), cbBits = r.U32();
                if (!r.Ok()) return;
                MfBrush brush;
                brush.style = 5;
                if (usage == 0)
                    brush.pattern =
                        DecodeDib(Part(record, offBmi, cbBmi), Part(record, offBits, cbBits));
                if (brush.pattern)
                    out.push_back(mf::CreateObject{index, brush});
                else
                    out.push_back(mf::CreateObject{index, std::monostate{}});
                return;
            }
            case 49: {  // CreatePalette
                std::uint32_t index = r.U32();
                if (r.Ok()) out.push_back(mf::CreateObject{index, std::monostate{}});
                return;
            }
            case 82: {  // ExtCreateFontIndirectW
                std::uint32_t index = r.U32();
                MfFont font;
                font.height = r.I32();
                font.width = r.I32();
                font.escapement = r.I32();
                font.orientation = r.I32();
                font.weight = r.I32();
                font.italic = r.U8() != 0;
                font.underline = r.U8() != 0;
                font.strikeOut = r.U8() != 0;
                font.charset = r.U8();
                r.Skip(4);
                if (!r.Ok()) return;
                for (int k = 0; k < 32 && r.Has(2); ++k) {
                    char16_t c = r.U16();
                    if (!c) break;
                    font.face.push_back(c);
                }
                out.push_back(mf::CreateObject{index, std::move(font)});
                return;
            }
            case 41: {  // AngleArc
                mf::AngleArc a;
                a.center = PointL(r);
                a.radius = r.U32();
                a.startAngle = r.F32();
                a.sweepAngle = r.F32();
                if (r.Ok() && std::isfinite(a.startAngle) && std::isfinite(a.sweepAngle))
                    out.push_back(a);
                return;
            }
            case 42:    // Ellipse
            case 43: {  // Rectangle
                mf::Shape s;
                s.kind = t == 42 ? mf::Shape::Ellipse : mf::Shape::Rectangle;
                s.box = RectL(r);
                if (r.Ok()) out.push_back(s);
                return;
            }
            case 44: {  // RoundRect
                mf::Shape s;
                s.kind = mf::Shape::RoundRect;
                s.box = RectL(r);
                s.corner = PointL(r);
                if (r.Ok()) out.push_back(s);
                return;
            }
            case 45:
                return ArcLike(out, r, mf::Shape::Arc);
            case 46:
                return ArcLike(out, r, mf::Shape::Chord);
            case 47:
                return ArcLike(out, r, mf::Shape::Pie);
            case 55:
                return ArcLike(out, r, mf::Shape::ArcTo);
            case 59:
                out.push_back(mf::Path{mf::Path::Begin, 0});
                return;
            case 60:
                out.push_back(mf::Path{mf::Path::End, 0});
                return;
            case 61:
                out.push_back(mf::Path{mf::Path::Close, 0});
                return;
            case 62:
                out.push_back(mf::Path{mf::Path::Fill, 0});
                return;
            case 63:
                out.push_back(mf::Path{mf::Path::StrokeAndFill, 0});
                return;
            case 64:
                out.push_back(mf::Path{mf::Path::Stroke, 0});
                return;
            case 68:
                out.push_back(mf::Path{mf::Path::Abort, 0});
                return;
            case 67: {  // SelectClipPath
                int mode = int(r.U32());
                if (r.Ok()) out.push_back(mf::Path{mf::Path::SelectClip, mode});
                return;
            }
            case 71:    // FillRgn
            case 74: {  // PaintRgn
                r.Skip(16);
                std::uint32_t cb = r.U32();
                mf::Region region;
                if (t == 71) {
                    region.useSelected = false;
                    region.brush = r.U32();
                }
                auto data = r.Bytes(cb);
                if (!r.Ok()) return;
                region.rects = RegionRects(data);
                out.push_back(std::move(region));
                return;
            }
            case 75: {  // ExtSelectClipRgn
                std::uint32_t cb = r.U32();
                int mode = int(r.U32());
                if (!r.Ok()) return;
                mf::Clip c;
                if (cb == 0) {
                    if (mode != 5) return;  // only RGN_COPY may come without a region
                    c.kind = mf::Clip::Reset;
                } else {
                    auto data = r.Bytes(cb);
                    if (!r.Ok()) return;
                    c.kind = mf::Clip::DeviceRects;
                    c.mode = mode;
                    c.rects = RegionRects(data);
                }
                out.push_back(std::move(c));
                return;
            }
            case 76:     // BitBlt
            case 77:     // StretchBlt
            case 114: {  // AlphaBlend
                r.Skip(16);
                mf::Blit b;
                b.x = r.I32();
                b.y = r.I32();
                b.width = r.I32();
                b.height = r.I32();
                std::uint32_t rop = r.U32();
                b.srcX = r.I32();
                b.srcY = r.I32();
                r.Skip(24 + 4);  // source transformation, background colour
                std::uint32_t usage = r.U32();
                std::uint32_t offBmi = r.U32(), cbBmi = r.U32();
                std::uint32_t offBits = r.U32(), cbBits = r.U32();
                b.srcWidth = b.width;
                b.srcHeight = b.height;
                if (t != 76) {
                    b.srcWidth = r.I32();
                    b.srcHeight = r.I32();
                }
                if (!r.Ok()) return;
                if (t == 114) {
                    b.rop = 0x00CC0020;
                    b.constantAlpha = int((rop >> 16) & 0xFF);
                    b.sourceAlpha = ((rop >> 24) & 0xFF) == 1;
                } else {
                    b.rop = rop;
                }
                if (cbBmi) {
                    if (usage != 0) return;
                    b.image = DecodeDib(Part(record, offBmi, cbBmi), Part(record, offBits, cbBits));
                    if (!b.image) return;
                } else if (t == 114) {
                    return;
                }
                out.push_back(std::move(b));
                return;
            }
            case 80:    // SetDIBitsToDevice
            case 81: {  // StretchDIBits
                r.Skip(16);
                mf::Blit b;
                b.x = r.I32();
                b.y = r.I32();
                b.srcX = r.I32();
                b.srcY = r.I32();
                b.srcWidth = r.I32();
                b.srcHeight = r.I32();
                std::uint32_t offBmi = r.U32(), cbBmi = r.U32();
                std::uint32_t offBits = r.U32(), cbBits = r.U32();
                std::uint32_t usage = r.U32();
                if (t == 81) {
                    b.rop = r.U32();
                    b.width = r.I32();
                    b.height = r.I32();
                } else {
                    b.width = b.srcWidth;
                    b.height = b.srcHeight;
                }
                if (!r.Ok() || usage != 0) return;
                b.image = DecodeDib(Part(record, offBmi, cbBmi), Part(record, offBits, cbBits));
                b.sourceFromStoredOrigin = true;
                if (b.image) out.push_back(std::move(b));
                return;
            }
            case 83:              // ExtTextOutA
            case 84: {            // ExtTextOutW
                r.Skip(16 + 12);  // bounds, graphics mode, scales
                mf::Text text;
                text.reference = PointL(r);
                std::uint32_t count = r.U32();
                std::uint32_t offString = r.U32();
                text.options = r.U32();
                text.rect = RectL(r);
                std::uint32_t offDx = r.U32();
                if (!r.Ok()) return;
                text.hasRect = (text.options & 0x0006) != 0;
                const bool wide = t == 84;
                auto chars = Part(record, offString, std::uint64_t(count) * (wide ? 2 : 1));
                if (count && chars.empty()) return;
                if (wide) {
                    text.unicode = true;
                    for (std::size_t k = 0; k + 1 < chars.size(); k += 2)
                        text.wide.push_back(char16_t(chars[k] | chars[k + 1] << 8));
                } else {
                    text.bytes.assign(chars.begin(), chars.end());
                }
                const bool pdy = (text.options & 0x2000) != 0;
                auto dx = Part(record, offDx, std::uint64_t(count) * (pdy ? 8 : 4));
                if (offDx && !dx.empty()) {
                    ByteReader d(dx);
                    for (std::uint32_t k = 0; k < count; ++k) {
                        text.dx.push_back(d.I32());
                        if (pdy) d.I32();
                    }
                }
                out.push_back(std::move(text));
                return;
            }
            case 108: {  // SmallTextOut
                mf::Text text;
                text.reference = PointL(r);
                std::uint32_t count = r.U32();
                text.options = r.U32();
                r.Skip(12);  // graphics mode, scales
                if (!(text.options & 0x0100)) {
                    text.rect = RectL(r);
                    text.hasRect = (text.options & 0x0006) != 0;
                }
                if (!r.Ok()) return;
                if (text.options & 0x0200) {
                    auto chars = r.Bytes(count);
                    if (!r.Ok()) return;
                    // Small characters are the low bytes of Unicode characters.
                    text.unicode = true;
                    for (std::uint8_t c : chars) text.wide.push_back(c);
                } else {
                    auto chars = r.Bytes(std::size_t(count) * 2);
                    if (!r.Ok()) return;
                    text.unicode = true;
                    for (std::size_t k = 0; k + 1 < chars.size(); k += 2)
                        text.wide.push_back(char16_t(chars[k] | chars[k + 1] << 8));
                }
                out.push_back(std::move(text));
                return;
            }
            default:
                return;  // unknown, or without visible effect here
        }
    }

    void Mode(Out& out, ByteReader& r, mf::SetMode::Which which) {
        std::uint32_t value = r.U32();
        if (r.Ok()) out.push_back(mf::SetMode{which, value});
    }

    void OrgExt(Out& out, ByteReader& r, mf::SetOrgExt::Which which) {
        MfPoint p = PointL(r);
        if (r.Ok()) out.push_back(mf::SetOrgExt{which, p.x, p.y});
    }

    void ArcLike(Out& out, ByteReader& r, mf::Shape::Kind kind) {
        mf::Shape s;
        s.kind = kind;
        s.box = RectL(r);
        s.start = PointL(r);
        s.end = PointL(r);
        if (r.Ok()) out.push_back(s);
    }

    void PolyRecord(Out& out, ByteReader& r, mf::Poly::Kind kind, bool small) {
        r.Skip(16);
        std::uint32_t count = r.U32();
        mf::Poly p;
        p.kind = kind;
        p.points = Points(r, count, small);
        if (r.Ok()) out.push_back(std::move(p));
    }

    void PolyPolyRecord(Out& out, ByteReader& r, mf::Poly::Kind kind, bool small) {
        r.Skip(16);
        std::uint32_t polys = r.U32();
        std::uint32_t total = r.U32();
        if (!r.Ok() || polys > r.Remaining() / 4) return;
        mf::Poly p;
        p.kind = kind;
        std::uint64_t sum = 0;
        for (std::uint32_t k = 0; k < polys; ++k) {
            p.counts.push_back(r.U32());
            sum += p.counts.back();
        }
        if (sum > total) return;
        p.points = Points(r, total, small);
        if (r.Ok()) out.push_back(std::move(p));
    }

    std::span<const std::uint8_t> bytes_;
};

}  // namespace

std::optional<Metafile> ReadEmf(std::span<const std::uint8_t> bytes) {
    return EmfReader(bytes).Read();
}

}  // namespace tavrin::viewer
