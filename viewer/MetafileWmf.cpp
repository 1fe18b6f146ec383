// Windows metafiles: the optional placeable header, the metafile header and the records.
// Record parameters are stored in the reverse order of the drawing call's arguments.
#include <algorithm>
#include <cmath>
#include <set>

#include "viewer/ByteReader.h"
#include "viewer/Metafile.h"

namespace tavrin::viewer {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kNoSlot = 0xFFFFFFFF;
constexpr std::uint32_t kMaxObjects = 65535;

// MulDiv as the platform has it: the product over the divisor, rounded half away from 0.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    std::int64_t p = a * b;
    std::int64_t q = p / c, r = p % c;
    if (2 * std::llabs(r) >= std::llabs(c)) q += ((p < 0) != (c < 0)) ? -1 : 1;
    return q;
}

// The object table of a Windows metafile: each new object takes the lowest free place.
class ObjectSlots {
  public:
    std::uint32_t Take() {
        if (!free_.empty()) {
            std::uint32_t slot = *free_.begin();
            free_.erase(free_.begin());
            return slot;
        }
        if (next_ >= kMaxObjects) return kNoSlot;
        return next_++;
    }
    void Release(std::uint32_t slot) {
        if (slot < next_) free_.insert(slot);
    }

  private:
    std::set<std::uint32_t> free_;
    std::uint32_t next_ = 0;
};

MfColor Color(ByteReader& r) {
    return r.U32() & 0x00FFFFFF;
}

MfPoint PointYX(ByteReader& r) {
    MfPoint p;
    p.y = r.I16();
    p.x = r.I16();
    return p;
}

MfRect RectBRTL(ByteReader& r) {
    MfRect rc;
    rc.bottom = r.I16();
    rc.right = r.I16();
    rc.top = r.I16();
    rc.left = r.I16();
    return rc;
}

std::vector<MfPoint> Points(ByteReader& r, std::size_t count) {
    std::vector<MfPoint> points;
    if (!r.Has(count * 4)) {
        r.Bytes(count * 4);  // marks the reader failed
        return points;
    }
    points.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        MfPoint p;
        p.x = r.I16();
        p.y = r.I16();
        points.push_back(p);
    }
    return points;
}

class WmfReader {
  public:
    explicit WmfReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<Metafile> Read() {
        ByteReader head(bytes_);
        Metafile out;
        bool placeable = false;
        MfRect box;
        int inch = 0;
        if (bytes_.size() >= 22 && head.U32() == kPlaceableKey) {
            placeable = true;
            head.U16();  // handle
            box.left = head.I16();
            box.top = head.I16();
            box.right = head.I16();
            box.bottom = head.I16();
            inch = head.U16();
            head.U32();  // reserved
            head.U16();  // checksum
        } else {
            head = ByteReader(bytes_);
        }
        const std::size_t headerAt = head.Pos();
        std::uint16_t type = head.U16();
        std::uint16_t headerWords = head.U16();
        if (!head.Ok() || (type != 1 && type != 2) || headerWords < 9) return std::nullopt;
        if (!head.Has(std::size_t(headerWords) * 2 - 4)) return std::nullopt;

        std::size_t pos = headerAt + std::size_t(headerWords) * 2;
        while (bytes_.size() - pos >= 6) {
            ByteReader rec(bytes_, pos);
            std::uint64_t words = rec.U32();
            std::uint16_t function = rec.U16();
            if (words < 3 || words * 2 > bytes_.size() - pos) break;
            if (function == 0x0000) break;  // end of file
            ByteReader params(bytes_.subspan(pos + 6, std::size_t(words * 2 - 6)));
            Record(function, params, out.commands);
            pos += std::size_t(words * 2);
        }

        if (placeable) {
            if (box.right < box.left) std::swap(box.left, box.right);
            if (box.bottom < box.top) std::swap(box.top, box.bottom);
            std::int64_t w = std::int64_t(box.right) - box.left;
            std::int64_t h = std::int64_t(box.bottom) - box.top;
            if (w <= 0 || h <= 0) return std::nullopt;
            if (inch <= 0) inch = 1440;
            // The size in hundredths of a millimetre, then in pixels of the screen.
            out.size.width = int(MulDiv(MulDiv(w, 2540, inch), 96, 2540));
            out.size.height = int(MulDiv(MulDiv(h, 2540, inch), 96, 2540));
            out.frameLeft = box.left;
            out.frameTop = box.top;
            out.frameWidth = double(w);
            out.frameHeight = double(h);
            out.dpiX = out.dpiY = inch;
        } else {
            // Without the placeable header the window the metafile sets up is its frame,
            // taken as pixels.
            std::optional<MfPoint> org, ext;
            for (const MfCommand& c : out.commands) {
                if (const auto* s = std::get_if<mf::SetOrgExt>(&c)) {
                    if (s->which == mf::SetOrgExt::WindowOrg && !org) org = MfPoint{s->x, s->y};
                    if (s->which == mf::SetOrgExt::WindowExt && !ext) ext = MfPoint{s->x, s->y};
                }
            }
            if (!ext || ext->x == 0 || ext->y == 0) return std::nullopt;
            MfPoint o = org.value_or(MfPoint{});
            out.frameLeft = std::min<double>(o.x, double(o.x) + ext->x);
            out.frameTop = std::min<double>(o.y, double(o.y) + ext->y);
            out.frameWidth = std::abs(double(ext->x));
            out.frameHeight = std::abs(double(ext->y));
            out.size.width = int(out.frameWidth);
            out.size.height = int(out.frameHeight);
        }
        if (out.size.width <= 0) out.size.width = 1;
        if (out.size.height <= 0) out.size.height = 1;
        out.startsMappedToFrame = true;
        return out;
    }

  private:
    void Add(std::vector<MfCommand>& out, MfCommand c) { out.push_back(std::move(c)); }

    void Create(std::vector<MfCommand>& out,
                std::variant<std::monostate, MfPen, MfBrush, MfFont> object) {
        std::uint32_t slot = slots_.Take();
        if (slot == kNoSlot) return;
        Add(out, mf::CreateObject{slot, std::move(object)});
    }

    void Record(std::uint16_t f, ByteReader& r, std::vector<MfCommand>& out) {
        switch (f) {
            case 0x0201: {  // SetBkColor
                MfColor c = Color(r);
                if (r.Ok()) Add(out, mf::SetColor{true, c});
                return;
            }
            case 0x0209: {  // SetTextColor
                MfColor c = Color(r);
                if (r.Ok()) Add(out, mf::SetColor{false, c});
                return;
            }
            case 0x0102:
                return Mode(out, r, mf::SetMode::BkMode);
            case 0x0106:
                return Mode(out, r, mf::SetMode::PolyFillMode);
            case 0x012E:
                return Mode(out, r, mf::SetMode::TextAlign);
            case 0x0107:
                return Mode(out, r, mf::SetMode::StretchMode);
            case 0x0103: {  // SetMapMode
                int mode = r.U16();
                if (r.Ok()) Add(out, mf::SetMapMode{mode});
                return;
            }
            case 0x020B:
                return OrgExt(out, r, mf::SetOrgExt::WindowOrg);
            case 0x020C:
                return OrgExt(out, r, mf::SetOrgExt::WindowExt);
            case 0x020D:
                return OrgExt(out, r, mf::SetOrgExt::ViewportOrg);
            case 0x020E:
                return OrgExt(out, r, mf::SetOrgExt::ViewportExt);
            case 0x020F:
                return OrgExt(out, r, mf::SetOrgExt::OffsetWindowOrg);
            case 0x0211:
                return OrgExt(out, r, mf::SetOrgExt::OffsetViewportOrg);
            case 0x0410:    // ScaleWindowExt
            case 0x0412: {  // ScaleViewportExt
                mf::ScaleExt s;
                s.viewport = f == 0x0412;
                s.yDenom = r.I16();
                s.yNum = r.I16();
                s.xDenom = r.I16();
                s.xNum = r.I16();
                if (r.Ok()) Add(out, s);
                return;
            }
            case 0x0213:    // LineTo
            case 0x0214: {  // MoveTo
                MfPoint p = PointYX(r);
                if (!r.Ok()) return;
                if (f == 0x0213)
                    Add(out, mf::LineTo{p});
                else
                    Add(out, mf::MoveTo{p});
                return;
            }
            case 0x0415:    // ExcludeClipRect
            case 0x0416: {  // IntersectClipRect
                MfRect rc = RectBRTL(r);
                if (!r.Ok()) return;
                mf::Clip c;
                c.kind = f == 0x0415 ? mf::Clip::ExcludeRect : mf::Clip::IntersectRect;
                c.rect = rc;
                Add(out, c);
                return;
            }
            case 0x0817:
                return ArcLike(out, r, mf::Shape::Arc);
            case 0x081A:
                return ArcLike(out, r, mf::Shape::Pie);
            case 0x0830:
                return ArcLike(out, r, mf::Shape::Chord);
            case 0x0418:    // Ellipse
            case 0x041B: {  // Rectangle
                mf::Shape s;
                s.kind = f == 0x0418 ? mf::Shape::Ellipse : mf::Shape::Rectangle;
                s.box = RectBRTL(r);
                if (r.Ok()) Add(out, s);
                return;
            }
            case 0x061C: {  // RoundRect
                mf::Shape s;
                s.kind = mf::Shape::RoundRect;
                s.corner.y = r.I16();
                s.corner.x = r.I16();
                s.box = RectBRTL(r);
                if (r.Ok()) Add(out, s);
                return;
            }
            case 0x061D: {  // PatBlt
                mf::Blit b;
                b.rop = r.U32();
                b.height = r.I16();
                b.width = r.I16();
                b.y = r.I16();
                b.x = r.I16();
                if (r.Ok()) Add(out, std::move(b));
                return;
            }
            case 0x001E:
                Add(out, mf::SaveDC{});
                return;
            case 0x0127: {  // RestoreDC
                int n = r.I16();
                if (r.Ok()) Add(out, mf::RestoreDC{n});
                return;
            }
            case 0x041F: {  // SetPixel
                MfColor c = Color(r);
                MfPoint p = PointYX(r);
                if (r.Ok()) Add(out, mf::SetPixel{p, c});
                return;
            }
            case 0x0521: {  // TextOut
                std::size_t n = std::size_t(std::max<int>(r.I16(), 0));
                auto text = r.Bytes(n);
                r.Skip(n & 1);
                mf::Text t;
                t.reference = PointYX(r);
                if (!r.Ok()) return;
                t.bytes.assign(text.begin(), text.end());
                Add(out, std::move(t));
                return;
            }
            case 0x0A32: {  // ExtTextOut
                mf::Text t;
                t.reference = PointYX(r);
                std::size_t n = std::size_t(std::max<int>(r.I16(), 0));
                t.options = r.U16();
                if (t.options & 0x0006) {  // ETO_OPAQUE or ETO_CLIPPED: a rectangle follows
                    t.hasRect = true;
                    t.rect.left = r.I16();
                    t.rect.top = r.I16();
                    t.rect.right = r.I16();
                    t.rect.bottom = r.I16();
                }
                auto text = r.Bytes(n);
                if (!r.Ok()) return;
                t.bytes.assign(text.begin(), text.end());
                if (n & 1 && r.Remaining()) r.Skip(1);
                if (r.Remaining() >= 2 * n)
                    for (std::size_t k = 0; k < n; ++k) t.dx.push_back(r.I16());
                Add(out, std::move(t));
                return;
            }
            case 0x0324:    // Polygon
            case 0x0325: {  // Polyline
                mf::Poly p;
                p.kind = f == 0x0324 ? mf::Poly::Polygon : mf::Poly::Polyline;
                std::size_t n = std::size_t(std::max<int>(r.I16(), 0));
                p.points = Points(r, n);
                if (r.Ok()) Add(out, std::move(p));
                return;
            }
            case 0x0538: {  // PolyPolygon
                mf::Poly p;
                p.kind = mf::Poly::PolyPolygon;
                std::size_t polys = r.U16();
                std::size_t total = 0;
                for (std::size_t k = 0; k < polys && r.Ok(); ++k) {
                    p.counts.push_back(r.U16());
                    total += p.counts.back();
                }
                p.points = Points(r, total);
                if (r.Ok()) Add(out, std::move(p));
                return;
            }
            case 0x012D: {  // SelectObject
                std::uint32_t index = r.U16();
                if (r.Ok()) Add(out, mf::SelectObject{index});
                return;
            }
            case 0x01F0: {  // DeleteObject
                std::uint32_t index = r.U16();
                if (!r.Ok()) return;
                slots_.Release(index);
                Add(out, mf::DeleteObject{index});
                return;
            }
            case 0x02FA: {  // CreatePenIndirect
                MfPen pen;
                pen.style = r.U16();
                pen.width = r.I16();
                r.I16();
                pen.color = Color(r);
                if (r.Ok())
                    Create(out, pen);
                else
                    Create(out, std::monostate{});
                return;
            }
            case 0x02FC: {  // CreateBrushIndirect
                MfBrush brush;
                brush.style = r.U16();
                brush.color = Color(r);
                brush.hatch = r.U16();
                if (brush.style == 3 || brush.style == 5 || brush.style == 6) brush.style = 0;
                if (r.Ok())
                    Create(out, brush);
                else
                    Create(out, std::monostate{});
                return;
            }
            case 0x0142: {  // DIBCreatePatternBrush
                MfBrush brush;
                brush.style = 5;
                r.U16();  // style
                std::uint16_t usage = r.U16();
                if (r.Ok() && usage == 0) brush.pattern = DecodePackedDib(r.Rest());
                if (brush.pattern)
                    Create(out, brush);
                else
                    Create(out, std::monostate{});
                return;
            }
            case 0x02FB: {  // CreateFontIndirect
                MfFont font;
                font.height = r.I16();
                font.width = r.I16();
                font.escapement = r.I16();
                font.orientation = r.I16();
                font.weight = r.I16();
                font.italic = r.U8() != 0;
                font.underline = r.U8() != 0;
                font.strikeOut = r.U8() != 0;
                font.charset = r.U8();
                r.Skip(4);  // precision, clipping, quality, pitch and family
                if (!r.Ok()) {
                    Create(out, std::monostate{});
                    return;
                }
                auto face = r.Rest();
                std::string name;
                for (std::size_t k = 0; k < face.size() && k < 32 && face[k]; ++k)
                    name.push_back(char(face[k]));
                font.face = DecodeCodePage(CodePageOfCharset(font.charset), name);
                Create(out, std::move(font));
                return;
            }
            case 0x00F7:  // CreatePalette
            case 0x01F9:  // CreatePatternBrush (device-dependent bitmap)
            case 0x06FF:  // CreateRegion
                Create(out, std::monostate{});
                return;
            case 0x0940:
                return DibBitBlt(out, r, f);
            case 0x0B41:
                return DibBitBlt(out, r, f);
            case 0x0F43: {  // StretchDIB
                mf::Blit b;
                b.rop = r.U32();
                std::uint16_t usage = r.U16();
                b.srcHeight = r.I16();
                b.srcWidth = r.I16();
                b.srcY = r.I16();
                b.srcX = r.I16();
                b.height = r.I16();
                b.width = r.I16();
                b.y = r.I16();
                b.x = r.I16();
                if (!r.Ok() || usage != 0) return;
                b.image = DecodePackedDib(r.Rest());
                b.sourceFromStoredOrigin = true;
                if (b.image) Add(out, std::move(b));
                return;
            }
            case 0x0D33: {  // SetDIBitsToDevice
                mf::Blit b;
                std::uint16_t usage = r.U16();
                r.U16();  // scan count
                r.U16();  // start scan
                b.srcY = r.I16();
                b.srcX = r.I16();
                b.srcHeight = b.height = r.I16();
                b.srcWidth = b.width = r.I16();
                b.y = r.I16();
                b.x = r.I16();
                if (!r.Ok() || usage != 0) return;
                b.image = DecodePackedDib(r.Rest());
                b.sourceFromStoredOrigin = true;
                if (b.image) Add(out, std::move(b));
                return;
            }
            default:
                return;  // unknown or without visible effect here
        }
    }

    void Mode(std::vector<MfCommand>& out, ByteReader& r, mf::SetMode::Which which) {
        std::uint32_t value = r.U16();
        if (r.Ok()) Add(out, mf::SetMode{which, value});
    }

    void OrgExt(std::vector<MfCommand>& out, ByteReader& r, mf::SetOrgExt::Which which) {
        MfPoint p = PointYX(r);
        if (r.Ok()) Add(out, mf::SetOrgExt{which, p.x, p.y});
    }

    void ArcLike(std::vector<MfCommand>& out, ByteReader& r, mf::Shape::Kind kind) {
        mf::Shape s;
        s.kind = kind;
        s.end = PointYX(r);
        s.start = PointYX(r);
        s.box = RectBRTL(r);
        if (r.Ok()) Add(out, s);
    }

    // DIBBitBlt and DIBStretchBlt; without a bitmap they fill with the brush.
    void DibBitBlt(std::vector<MfCommand>& out, ByteReader& r, std::uint16_t f) {
        const bool stretch = f == 0x0B41;
        const std::size_t fixedWords = stretch ? 10 : 8;  // with the raster operation
        const bool withBitmap = r.Remaining() > (fixedWords + 1) * 2;
        mf::Blit b;
        b.rop = r.U32();
        if (stretch) {
            b.srcHeight = r.I16();
            b.srcWidth = r.I16();
        }
        b.srcY = r.I16();
        b.srcX = r.I16();
        if (!withBitmap) r.I16();  // reserved
        b.height = r.I16();
        b.width = r.I16();
        b.y = r.I16();
        b.x = r.I16();
        if (!stretch) {
            b.srcHeight = b.height;
            b.srcWidth = b.width;
        }
        if (!r.Ok()) return;
        if (withBitmap) {
            b.image = DecodePackedDib(r.Rest());
            if (!b.image) return;
        }
        Add(out, std::move(b));
    }

    std::span<const std::uint8_t> bytes_;
    ObjectSlots slots_;
};

}  // namespace

std::optional<Metafile> ReadWmf(std::span<const std::uint8_t> bytes) {
    return WmfReader(bytes).Read();
}

std::optional<Metafile> ReadMetafile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 44 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0 &&
        bytes[40] == ' ' && bytes[41] == 'E' && bytes[42] == 'M' && bytes[43] == 'F')
        return ReadEmf(bytes);
    return ReadWmf(bytes);
}

}  // namespace tavrin::viewer
