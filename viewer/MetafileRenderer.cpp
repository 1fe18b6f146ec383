#include "viewer/MetafileRenderer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace tavrin::viewer {

namespace {

// Device coordinates are kept within this distance of the picture so that no drawing
// arithmetic overflows whatever a damaged file asks for.
constexpr double kCoordLimit = 1 << 20;
constexpr std::size_t kMaxSavedStates = 4096;
constexpr std::size_t kMaxObjects = 65536;
constexpr int kMaxClipElements = 4000;

// GDI's constants as the records carry them.
enum MapMode {
    MM_TEXT = 1,
    MM_LOMETRIC,
    MM_HIMETRIC,
    MM_LOENGLISH,
    MM_HIENGLISH,
    MM_TWIPS,
    MM_ISOTROPIC,
    MM_ANISOTROPIC
};
enum Rop : std::uint32_t {
    SRCCOPY = 0x00CC0020,
    SRCPAINT = 0x00EE0086,
    SRCAND = 0x008800C6,
    SRCINVERT = 0x00660046,
    SRCERASE = 0x00440328,
    NOTSRCCOPY = 0x00330008,
    NOTSRCERASE = 0x001100A6,
    MERGEPAINT = 0x00BB0226,
    PATCOPY = 0x00F00021,
    PATINVERT = 0x005A0049,
    DSTINVERT = 0x00550009,
    BLACKNESS = 0x00000042,
    WHITENESS = 0x00FF0062,
};
constexpr std::uint32_t TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8,
                        TA_BASELINE = 24;
constexpr std::uint32_t ETO_OPAQUE = 2, ETO_CLIPPED = 4;
constexpr std::uint32_t OPAQUE = 2, WINDING = 2, AD_CLOCKWISE = 2, HALFTONE = 4;

QColor ToColor(MfColor c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

double Clamp(double v) {
    if (!std::isfinite(v)) return 0;
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

using Object = std::variant<std::monostate, MfPen, MfBrush, MfFont>;

struct DcState {
    int mapMode = MM_TEXT;
    double windowOrgX = 0, windowOrgY = 0, windowExtX = 1, windowExtY = 1;
    double viewportOrgX = 0, viewportOrgY = 0, viewportExtX = 1, viewportExtY = 1;
    QTransform world;
    MfPen pen;
    MfBrush brush;
    MfFont font;
    MfColor textColor = 0x000000;
    MfColor bkColor = 0xFFFFFF;
    std::uint32_t bkMode = OPAQUE;
    std::uint32_t polyFillMode = 1;
    std::uint32_t textAlign = 0;
    std::uint32_t arcDirection = 1;
    std::uint32_t stretchMode = 1;
    QPointF current;  // logical
    bool clipped = false;
    QPainterPath clip;  // device
};

class Player {
  public:
    Player(const Metafile& mf, QPainter& painter, const QRectF& target)
        : mf_(mf), painter_(painter) {
        const double kx = target.width() / std::max(mf.frameWidth, 1e-9);
        const double ky = target.height() / std::max(mf.frameHeight, 1e-9);
        final_ = QTransform(kx, 0, 0, ky, target.left() - mf.frameLeft * kx,
                            target.top() - mf.frameTop * ky);
        imageRect_ = target;
        if (mf.startsMappedToFrame) {
            // The player's own set-up: the window is the frame, mapped onto the whole frame.
            dc_.mapMode = MM_ANISOTROPIC;
            dc_.windowOrgX = dc_.viewportOrgX = mf.frameLeft;
            dc_.windowOrgY = dc_.viewportOrgY = mf.frameTop;
            dc_.windowExtX = dc_.viewportExtX = mf.frameWidth;
            dc_.windowExtY = dc_.viewportExtY = mf.frameHeight;
        }
        dc_.brush.style = 0;
        dc_.brush.color = 0xFFFFFF;
        UpdateTransform();
    }

    void Run() {
        painter_.save();
        painter_.setRenderHint(QPainter::Antialiasing, false);
        painter_.setRenderHint(QPainter::TextAntialiasing, true);
        baseClip_ = painter_.hasClipping() ? painter_.clipPath() : QPainterPath();
        hasBaseClip_ = painter_.hasClipping();
        for (const MfCommand& c : mf_.commands) std::visit([this](const auto& x) { Do(x); }, c);
        painter_.restore();
    }

  private:
    // --- mapping --------------------------------------------------------------------------
    void UpdateTransform() {
        double sx = dc_.viewportExtX / (dc_.windowExtX == 0 ? 1 : dc_.windowExtX);
        double sy = dc_.viewportExtY / (dc_.windowExtY == 0 ? 1 : dc_.windowExtY);
        if (dc_.mapMode == MM_ISOTROPIC) {
            double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        QTransform page(sx, 0, 0, sy, dc_.viewportOrgX - dc_.windowOrgX * sx,
                        dc_.viewportOrgY - dc_.windowOrgY * sy);
        total_ = dc_.world * page * final_;
        scaleX_ = std::hypot(total_.m11(), total_.m12());
        scaleY_ = std::hypot(total_.m21(), total_.m22());
    }

    QPointF Dev(double x, double y) const {
        QPointF p = total_.map(QPointF(x, y));
        return {Clamp(p.x()), Clamp(p.y())};
    }
    QPointF Dev(const MfPoint& p) const { return Dev(p.x, p.y); }
    QPointF Dev(const QPointF& p) const { return Dev(p.x(), p.y()); }
    bool AxisAligned() const { return total_.m12() == 0 && total_.m21() == 0; }

    // A path built in logical units, in device units; empty when it lands absurdly far.
    QPainterPath DevPath(const QPainterPath& logical) const {
        QPainterPath p = total_.map(logical);
        QRectF b = p.boundingRect();
        if (!std::isfinite(b.left()) || !std::isfinite(b.right()) || !std::isfinite(b.top()) ||
            !std::isfinite(b.bottom()) || std::abs(b.left()) > kCoordLimit ||
            std::abs(b.right()) > kCoordLimit || std::abs(b.top()) > kCoordLimit ||
            std::abs(b.bottom()) > kCoordLimit)
            return {};
        return p;
    }

    void SetFixedMode(int mode) {
        double unitsPerInch = 0;
        switch (mode) {
            case MM_LOMETRIC:
                unitsPerInch = 254;
                break;
            case MM_HIMETRIC:
                unitsPerInch = 2540;
                break;
            case MM_LOENGLISH:
                unitsPerInch = 100;
                break;
            case MM_HIENGLISH:
                unitsPerInch = 1000;
                break;
            case MM_TWIPS:
                unitsPerInch = 1440;
                break;
            default:
                break;
        }
        if (unitsPerInch > 0) {
            dc_.windowExtX = dc_.windowExtY = unitsPerInch;
            dc_.viewportExtX = mf_.dpiX;
            dc_.viewportExtY = -mf_.dpiY;
        } else {
            dc_.windowExtX = dc_.windowExtY = dc_.viewportExtX = dc_.viewportExtY = 1;
        }
    }

    // --- painting tools -------------------------------------------------------------------
    QPen DevicePen() const {
        const MfPen& pen = dc_.pen;
        const std::uint32_t style = pen.style & 0xF;
        if (style == 5) return QPen(Qt::NoPen);
        double w = pen.width * std::sqrt(std::abs(total_.determinant()));
        const bool cosmetic = pen.width <= 0 || !(w >= 1.5);
        if (cosmetic) w = 1;
        w = std::min(w, kCoordLimit);
        QPen out(ToColor(pen.color), w);
        switch (style) {
            case 1:
                out.setStyle(Qt::DashLine);
                break;
            case 2:
            case 8:
                out.setStyle(Qt::DotLine);
                break;
            case 3:
                out.setStyle(Qt::DashDotLine);
                break;
            case 4:
                out.setStyle(Qt::DashDotDotLine);
                break;
            default:
                out.setStyle(Qt::SolidLine);
                break;
        }
        if (cosmetic) {
            // One-pixel lines leave out their last pixel.
            out.setCapStyle(Qt::FlatCap);
            out.setJoinStyle(Qt::MiterJoin);
        } else if (pen.extended) {
            const std::uint32_t cap = pen.style & 0xF00, join = pen.style & 0xF000;
            out.setCapStyle(cap == 0x100   ? Qt::SquareCap
                            : cap == 0x200 ? Qt::FlatCap
                                           : Qt::RoundCap);
            out.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                             : join == 0x2000 ? Qt::MiterJoin
                                              : Qt::RoundJoin);
        } else {
            out.setCapStyle(Qt::RoundCap);
            out.setJoinStyle(Qt::RoundJoin);
        }
        return out;
    }

    bool HasBrush() const { return dc_.brush.style != 1; }

    QBrush DeviceBrush() const {
        const MfBrush& b = dc_.brush;
        switch (b.style) {
            case 1:
                return QBrush(Qt::NoBrush);
            case 2: {
                static constexpr Qt::BrushStyle kHatches[] = {
                    Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                    Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
                return QBrush(ToColor(b.color), b.hatch < 6 ? kHatches[b.hatch] : Qt::SolidPattern);
            }
            case 3:
            case 5:
            case 6:
                if (b.pattern) return QBrush(ImageOf(*b.pattern, false).copy());
                return QBrush(Qt::gray);
            default:
                return QBrush(ToColor(b.color));
        }
    }

    static QImage ImageOf(const DibImage& dib, bool withAlpha) {
        return QImage(reinterpret_cast<const uchar*>(dib.pixels.data()), dib.width, dib.height,
                      dib.width * 4, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }

    void ApplyClip() {
        painter_.setTransform(QTransform());
        if (dc_.clipped) {
            painter_.setClipPath(hasBaseClip_ ? dc_.clip.intersected(baseClip_) : dc_.clip);
        } else if (hasBaseClip_) {
            painter_.setClipPath(baseClip_);
        } else {
            painter_.setClipping(false);
        }
    }

    // Fills and outlines a device path, or adds it to the path being recorded.
    void Draw(QPainterPath path, bool fill) {
        if (path.isEmpty()) return;
        if (inPath_) {
            path_.addPath(path);
            return;
        }
        painter_.setTransform(QTransform());
        if (fill && HasBrush()) {
            path.setFillRule(dc_.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
            if (dc_.brush.style == 2 && dc_.bkMode == OPAQUE)
                painter_.fillPath(path, ToColor(dc_.bkColor));
            painter_.fillPath(path, DeviceBrush());
        }
        QPen pen = DevicePen();
        if (pen.style() != Qt::NoPen) painter_.strokePath(path, pen);
    }

    // --- state records --------------------------------------------------------------------
    void Do(const mf::SetMapMode& c) {
        if (c.mode < MM_TEXT || c.mode > MM_ANISOTROPIC || c.mode == dc_.mapMode) return;
        // Isotropic and anisotropic mapping keep the extents in force; the fixed modes set
        // their own.
        if (c.mode < MM_ISOTROPIC) SetFixedMode(c.mode);
        dc_.mapMode = c.mode;
        UpdateTransform();
    }

    void Do(const mf::SetOrgExt& c) {
        const bool scalable = dc_.mapMode == MM_ISOTROPIC || dc_.mapMode == MM_ANISOTROPIC;
        switch (c.which) {
            case mf::SetOrgExt::WindowOrg:
                dc_.windowOrgX = c.x;
                dc_.windowOrgY = c.y;
                break;
            case mf::SetOrgExt::ViewportOrg:
                dc_.viewportOrgX = c.x;
                dc_.viewportOrgY = c.y;
                break;
            case mf::SetOrgExt::OffsetWindowOrg:
                dc_.windowOrgX += c.x;
                dc_.windowOrgY += c.y;
                break;
            case mf::SetOrgExt::OffsetViewportOrg:
                dc_.viewportOrgX += c.x;
                dc_.viewportOrgY += c.y;
                break;
            case mf::SetOrgExt::WindowExt:
                if (!scalable || c.x == 0 || c.y == 0) return;
                dc_.windowExtX = c.x;
                dc_.windowExtY = c.y;
                break;
            case mf::SetOrgExt::ViewportExt:
                if (!scalable || c.x == 0 || c.y == 0) return;
                dc_.viewportExtX = c.x;
                dc_.viewportExtY = c.y;
                break;
        }
        UpdateTransform();
    }

    void Do(const mf::ScaleExt& c) {
        if (dc_.mapMode != MM_ISOTROPIC && dc_.mapMode != MM_ANISOTROPIC) return;
        if (c.xNum == 0 || c.xDenom == 0 || c.yNum == 0 || c.yDenom == 0) return;
        double& ex = c.viewport ? dc_.viewportExtX : dc_.windowExtX;
        double& ey = c.viewport ? dc_.viewportExtY : dc_.windowExtY;
        ex = ex * c.xNum / c.xDenom;
        ey = ey * c.yNum / c.yDenom;
        if (ex == 0 || ey == 0 || !std::isfinite(ex) || !std::isfinite(ey)) ex = ey = 1;
        UpdateTransform();
    }

    void Do(const mf::WorldTransform& c) {
        QTransform m(c.m11, c.m12, c.m21, c.m22, c.dx, c.dy);
        switch (c.mode) {
            case 0:
            case 4:
                dc_.world = m;
                break;
            case 1:
                dc_.world = QTransform();
                break;
            case 2:
                dc_.world = m * dc_.world;
                break;
            case 3:
                dc_.world = dc_.world * m;
                break;
            default:
                return;
        }
        UpdateTransform();
    }

    void Do(const mf::CreateObject& c) {
        if (objects_.size() >= kMaxObjects && !objects_.count(c.index)) return;
        objects_[c.index] = c.object;
    }

    void Do(const mf::SelectObject& c) {
        auto it = objects_.find(c.index);
        if (it == objects_.end()) return;
        if (const auto* pen = std::get_if<MfPen>(&it->second)) dc_.pen = *pen;
        if (const auto* brush = std::get_if<MfBrush>(&it->second)) dc_.brush = *brush;
        if (const auto* font = std::get_if<MfFont>(&it->second)) dc_.font = *font;
    }

    void Do(const mf::SelectStock& c) {
        auto brush = [&](MfColor color, std::uint32_t style = 0) {
            dc_.brush = MfBrush{};
            dc_.brush.style = style;
            dc_.brush.color = color;
        };
        auto pen = [&](MfColor color, std::uint32_t style = 0) {
            dc_.pen = MfPen{};
            dc_.pen.style = style;
            dc_.pen.color = color;
        };
        switch (c.id) {
            case 0:
            case 18:
                brush(0xFFFFFF);
                break;
            case 1:
                brush(0xC0C0C0);
                break;
            case 2:
                brush(0x808080);
                break;
            case 3:
                brush(0x404040);
                break;
            case 4:
                brush(0x000000);
                break;
            case 5:
                brush(0, 1);
                break;
            case 6:
                pen(0xFFFFFF);
                break;
            case 7:
            case 19:
                pen(0x000000);
                break;
            case 8:
                pen(0, 5);
                break;
            case 10:
            case 11:
            case 12:
            case 13:
            case 14:
            case 16:
            case 17:
                dc_.font = MfFont{};
                break;
            default:
                break;
        }
    }

    void Do(const mf::DeleteObject& c) { objects_.erase(c.index); }

    void Do(const mf::SetColor& c) { (c.background ? dc_.bkColor : dc_.textColor) = c.color; }

    void Do(const mf::SetMode& c) {
        switch (c.which) {
            case mf::SetMode::BkMode:
                dc_.bkMode = c.value;
                break;
            case mf::SetMode::PolyFillMode:
                dc_.polyFillMode = c.value;
                break;
            case mf::SetMode::TextAlign:
                dc_.textAlign = c.value;
                break;
            case mf::SetMode::ArcDirection:
                dc_.arcDirection = c.value;
                break;
            case mf::SetMode::StretchMode:
                dc_.stretchMode = c.value;
                break;
        }
    }

    void Do(const mf::SaveDC&) {
        if (saved_.size() < kMaxSavedStates) saved_.push_back(dc_);
    }

    void Do(const mf::RestoreDC& c) {
        std::int64_t level;  // the number of saved states left after restoring
        if (c.relative < 0)
            level = std::int64_t(saved_.size()) + c.relative;
        else if (c.relative > 0)
            level = std::int64_t(c.relative) - 1;
        else
            return;
        if (level < 0 || level >= std::int64_t(saved_.size())) return;
        dc_ = saved_[std::size_t(level)];
        saved_.resize(std::size_t(level));
        UpdateTransform();
        ApplyClip();
    }

    // --- lines and shapes -----------------------------------------------------------------
    void Do(const mf::MoveTo& c) {
        dc_.current = QPointF(c.p.x, c.p.y);
        if (inPath_) path_.moveTo(Dev(c.p));
    }

    void Do(const mf::LineTo& c) {
        QPointF to(c.p.x, c.p.y);
        if (inPath_) {
            if (path_.elementCount() == 0) path_.moveTo(Dev(dc_.current));
            path_.lineTo(Dev(to));
        } else {
            QPainterPath p(Dev(dc_.current));
            p.lineTo(Dev(to));
            Draw(p, false);
        }
        dc_.current = to;
    }

    QRectF Box(const MfRect& r) const {
        return QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom)).normalized();
    }

    void Do(const mf::Shape& c) {
        QRectF box = Box(c.box);
        switch (c.kind) {
            case mf::Shape::Rectangle: {
                if (AxisAligned()) {
                    QRectF d = QRectF(Dev(box.topLeft()), Dev(box.bottomRight())).normalized();
                    QPainterPath fill;
                    fill.addRect(d);
                    if (inPath_) return Draw(fill, true);
                    // The outline leaves out the right and bottom edges, like the fill.
                    QPainterPath outline;
                    outline.addRect(
                        d.adjusted(0, 0, d.width() >= 1 ? -1 : 0, d.height() >= 1 ? -1 : 0));
                    DrawFilledOutlined(fill, outline);
                    return;
                }
                QPainterPath p;
                p.addRect(box);
                return Draw(DevPath(p), true);
            }
            case mf::Shape::Ellipse: {
                QPainterPath p;
                p.addEllipse(box);
                return Draw(DevPath(p), true);
            }
            case mf::Shape::RoundRect: {
                QPainterPath p;
                p.addRoundedRect(box, std::abs(c.corner.x) / 2.0, std::abs(c.corner.y) / 2.0);
                return Draw(DevPath(p), true);
            }
            case mf::Shape::Arc:
            case mf::Shape::Pie:
            case mf::Shape::Chord:
            case mf::Shape::ArcTo:
                return ArcShape(c, box);
        }
    }

    void DrawFilledOutlined(QPainterPath fill, const QPainterPath& outline) {
        painter_.setTransform(QTransform());
        if (HasBrush()) {
            if (dc_.brush.style == 2 && dc_.bkMode == OPAQUE)
                painter_.fillPath(fill, ToColor(dc_.bkColor));
            painter_.fillPath(fill, DeviceBrush());
        }
        QPen pen = DevicePen();
        if (pen.style() != Qt::NoPen) painter_.strokePath(outline, pen);
    }

    // The angle, in degrees, of the ellipse point that a radial through `p` meets.
    static double EllipseAngle(const QRectF& box, const QPointF& p) {
        QPointF c = box.center();
        double rx = box.width() / 2, ry = box.height() / 2;
        return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / std::numbers::pi;
    }

    void ArcShape(const mf::Shape& c, const QRectF& box) {
        if (box.width() <= 0 || box.height() <= 0) return;
        double a0 = EllipseAngle(box, QPointF(c.start.x, c.start.y));
        double a1 = EllipseAngle(box, QPointF(c.end.x, c.end.y));
        double sweep = a1 - a0;
        if (dc_.arcDirection == AD_CLOCKWISE) {
            if (sweep >= 0) sweep -= 360;
        } else if (sweep <= 0) {
            sweep += 360;
        }
        QPainterPath p;
        if (c.kind == mf::Shape::Pie) {
            p.moveTo(box.center());
            p.arcTo(box, a0, sweep);
            p.closeSubpath();
        } else {
            p.arcMoveTo(box, a0);
            QPointF arcStart = p.currentPosition();
            if (c.kind == mf::Shape::ArcTo) {
                p = QPainterPath(dc_.current);
                p.lineTo(arcStart);
            }
            p.arcTo(box, a0, sweep);
            if (c.kind == mf::Shape::Chord) p.closeSubpath();
        }
        if (c.kind == mf::Shape::ArcTo) dc_.current = p.currentPosition();
        const bool fill = c.kind == mf::Shape::Pie || c.kind == mf::Shape::Chord;
        QPainterPath dev = DevPath(p);
        if (inPath_ && c.kind == mf::Shape::ArcTo) {
            if (path_.elementCount() == 0) path_.moveTo(Dev(QPointF(p.elementAt(0))));
            path_.connectPath(dev);
            return;
        }
        Draw(dev, fill);
    }

    void Do(const mf::AngleArc& c) {
        double r = c.radius;
        QRectF box(c.center.x - r, c.center.y - r, 2 * r, 2 * r);
        QPainterPath p(dc_.current);
        if (r > 0) {
            p.arcMoveTo(box, c.startAngle);
            QPointF start = p.currentPosition();
            p = QPainterPath(dc_.current);
            p.lineTo(start);
            p.arcTo(box, c.startAngle, std::clamp<double>(c.sweepAngle, -3600, 3600));
        }
        dc_.current = p.currentPosition();
        QPainterPath dev = DevPath(p);
        if (inPath_) {
            if (path_.elementCount() == 0) path_.moveTo(Dev(QPointF(p.elementAt(0))));
            path_.connectPath(dev);
            return;
        }
        Draw(dev, false);
    }

    void Do(const mf::Poly& c) {
        const auto& pts = c.points;
        auto dev = [&](std::size_t i) { return Dev(pts[i]); };
        switch (c.kind) {
            case mf::Poly::Polygon:
            case mf::Poly::Polyline: {
                if (pts.size() < 2) return;
                QPainterPath p(dev(0));
                for (std::size_t i = 1; i < pts.size(); ++i) p.lineTo(dev(i));
                if (c.kind == mf::Poly::Polygon) p.closeSubpath();
                return Draw(p, c.kind == mf::Poly::Polygon);
            }
            case mf::Poly::PolylineTo:
            case mf::Poly::PolyBezierTo: {
                if (pts.empty()) return;
                const bool bezier = c.kind == mf::Poly::PolyBezierTo;
                QPainterPath p(Dev(dc_.current));
                std::size_t used = 0;
                if (bezier) {
                    for (; used + 3 <= pts.size(); used += 3)
                        p.cubicTo(dev(used), dev(used + 1), dev(used + 2));
                } else {
                    for (; used < pts.size(); ++used) p.lineTo(dev(used));
                }
                if (used == 0) return;
                dc_.current = QPointF(pts[used - 1].x, pts[used - 1].y);
                if (inPath_) {
                    if (path_.elementCount() == 0) path_.moveTo(p.elementAt(0));
                    path_.connectPath(p);
                    return;
                }
                return Draw(p, false);
            }
            case mf::Poly::PolyBezier: {
                if (pts.size() < 4) return;
                QPainterPath p(dev(0));
                for (std::size_t i = 1; i + 3 <= pts.size(); i += 3)
                    p.cubicTo(dev(i), dev(i + 1), dev(i + 2));
                return Draw(p, false);
            }
            case mf::Poly::PolyPolygon:
            case mf::Poly::PolyPolyline: {
                const bool polygon = c.kind == mf::Poly::PolyPolygon;
                QPainterPath p;
                std::size_t at = 0;
                for (std::uint32_t n : c.counts) {
                    if (n > pts.size() - at) break;
                    if (n >= 2) {
                        p.moveTo(dev(at));
                        for (std::size_t i = 1; i < n; ++i) p.lineTo(dev(at + i));
                        if (polygon) p.closeSubpath();
                    }
                    at += n;
                }
                return Draw(p, polygon);
            }
        }
    }

    void Do(const mf::SetPixel& c) {
        if (inPath_) return;
        QPointF p = Dev(c.p);
        painter_.setTransform(QTransform());
        painter_.fillRect(QRectF(std::floor(p.x()), std::floor(p.y()), 1, 1), ToColor(c.color));
    }

    // --- text -----------------------------------------------------------------------------
    QFont DeviceFont() const {
        const MfFont& f = dc_.font;
        QFont font;
        if (!f.face.empty()) font.setFamily(QString::fromStdU16String(f.face));
        double px;
        if (f.height == 0)
            px = 16.0 * final_.m22() * mf_.dpiY / 96.0;  // the platform's default size
        else
            px = std::abs(double(f.height)) * scaleY_;
        px = std::clamp(px, 1.0, 4096.0);
        font.setPixelSize(std::max(1, int(std::lround(px))));
        if (f.height > 0) {
            // A positive height is the character cell's height, not the character's.
            QFontMetricsF metrics(font);
            if (metrics.height() > 0)
                font.setPixelSize(std::max(
                    1, int(std::lround(std::clamp(px * px / metrics.height(), 1.0, 4096.0)))));
        }
        font.setWeight(f.weight <= 0 ? QFont::Normal
                                     : QFont::Weight(std::clamp(f.weight, 1, 1000)));
        font.setItalic(f.italic);
        font.setUnderline(f.underline);
        font.setStrikeOut(f.strikeOut);
        return font;
    }

    void Do(const mf::Text& c) {
        if (inPath_) return;
        QString text = c.unicode ? QString::fromStdU16String(c.wide)
                                 : QString::fromStdU16String(DecodeCodePage(
                                       CodePageOfCharset(dc_.font.charset), c.bytes));
        const bool updateCurrent = (dc_.textAlign & TA_UPDATECP) != 0;
        QPointF logical = updateCurrent ? dc_.current : QPointF(c.reference.x, c.reference.y);
        QPointF origin = Dev(logical);

        painter_.save();
        painter_.setTransform(QTransform());
        if (c.hasRect) {
            QPainterPath rect;
            rect.addRect(Box(c.rect));
            QPainterPath dev = DevPath(rect);
            if (c.options & ETO_OPAQUE) painter_.fillPath(dev, ToColor(dc_.bkColor));
            if (c.options & ETO_CLIPPED) painter_.setClipPath(dev, Qt::IntersectClip);
        }
        if (text.isEmpty()) {
            painter_.restore();
            return;
        }
        QFont font = DeviceFont();
        QFontMetricsF metrics(font);
        std::vector<double> advances;
        double width = 0;
        if (c.dx.size() >= std::size_t(text.size())) {
            for (qsizetype i = 0; i < text.size(); ++i) {
                advances.push_back(Clamp(c.dx[std::size_t(i)] * scaleX_));
                width += advances.back();
            }
        } else {
            width = metrics.horizontalAdvance(text);
        }
        width = Clamp(width);
        double x = 0;
        const std::uint32_t horizontal = dc_.textAlign & TA_CENTER;
        if (horizontal == TA_CENTER)
            x = -width / 2;
        else if (horizontal == TA_RIGHT)
            x = -width;
        double y;
        const std::uint32_t vertical = dc_.textAlign & TA_BASELINE;
        if (vertical == TA_BASELINE)
            y = 0;
        else if (vertical == TA_BOTTOM)
            y = -metrics.descent();
        else
            y = metrics.ascent();
        painter_.translate(origin);
        painter_.rotate(-dc_.font.escapement / 10.0);
        if (dc_.bkMode == OPAQUE && !(c.options & ETO_OPAQUE))
            painter_.fillRect(QRectF(x, y - metrics.ascent(), width, metrics.height()),
                              ToColor(dc_.bkColor));
        painter_.setFont(font);
        painter_.setPen(ToColor(dc_.textColor));
        if (advances.empty()) {
            painter_.drawText(QPointF(x, y), text);
        } else {
            double at = x;
            for (qsizetype i = 0; i < text.size(); ++i) {
                qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
                painter_.drawText(QPointF(at, y), text.mid(i, n));
                for (qsizetype k = 0; k < n; ++k) at += advances[std::size_t(i + k)];
                i += n - 1;
            }
        }
        painter_.restore();
        if (updateCurrent && scaleX_ > 0) {
            double step = width / scaleX_;
            dc_.current.rx() += horizontal == TA_RIGHT ? -step : horizontal == TA_CENTER ? 0 : step;
        }
    }

    // --- bitmaps --------------------------------------------------------------------------
    static QPainter::CompositionMode ModeOf(std::uint32_t rop) {
        switch (rop) {
            case SRCPAINT:
                return QPainter::RasterOp_SourceOrDestination;
            case SRCAND:
                return QPainter::RasterOp_SourceAndDestination;
            case SRCINVERT:
                return QPainter::RasterOp_SourceXorDestination;
            case SRCERASE:
                return QPainter::RasterOp_SourceAndNotDestination;
            case NOTSRCCOPY:
                return QPainter::RasterOp_NotSource;
            case NOTSRCERASE:
                return QPainter::RasterOp_NotSourceAndNotDestination;
            case MERGEPAINT:
                return QPainter::RasterOp_NotSourceOrDestination;
            default:
                return QPainter::CompositionMode_SourceOver;
        }
    }

    void Do(const mf::Blit& c) {
        if (inPath_ || c.width == 0 || c.height == 0) return;
        if (!c.image) return PatternBlit(c);
        const DibImage& dib = *c.image;
        if (c.srcWidth <= 0 || c.srcHeight <= 0) return;
        double sx = c.srcX, sy = c.srcY;
        if (c.sourceFromStoredOrigin && dib.bottomUp) sy = double(dib.height) - sy - c.srcHeight;
        QRectF source =
            QRectF(sx, sy, c.srcWidth, c.srcHeight) & QRectF(0, 0, dib.width, dib.height);
        if (source.isEmpty()) return;
        // Source pixels (u, v) of the requested rectangle land at x + u * w / sw, y + v * h / sh.
        QTransform place(double(c.width) / c.srcWidth, 0, 0, double(c.height) / c.srcHeight,
                         c.x - sx * c.width / c.srcWidth, c.y - sy * c.height / c.srcHeight);
        QTransform toDevice = place * total_;
        QRectF land = toDevice.mapRect(source);
        if (!(std::abs(land.left()) < kCoordLimit && std::abs(land.right()) < kCoordLimit &&
              std::abs(land.top()) < kCoordLimit && std::abs(land.bottom()) < kCoordLimit))
            return;
        painter_.save();
        // Bitmaps are stretched pixel by pixel unless the metafile asks for halftoning.
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, dc_.stretchMode == HALFTONE);
        painter_.setTransform(toDevice);
        if (c.constantAlpha >= 0) {
            painter_.setOpacity(c.constantAlpha / 255.0);
            if (c.sourceAlpha) {
                // Blending bitmaps hold premultiplied colours; a colour above its alpha is
                // cut back to keep the arithmetic in range.
                QImage img(dib.width, dib.height, QImage::Format_ARGB32_Premultiplied);
                for (int yy = 0; yy < dib.height; ++yy) {
                    auto* dst = reinterpret_cast<std::uint32_t*>(img.scanLine(yy));
                    const std::uint32_t* src = dib.pixels.data() + std::size_t(yy) * dib.width;
                    for (int xx = 0; xx < dib.width; ++xx) {
                        std::uint32_t p = src[xx], a = p >> 24;
                        std::uint32_t r = std::min((p >> 16) & 0xFF, a);
                        std::uint32_t g = std::min((p >> 8) & 0xFF, a);
                        std::uint32_t b = std::min(p & 0xFF, a);
                        dst[xx] = a << 24 | r << 16 | g << 8 | b;
                    }
                }
                painter_.drawImage(source, img, source);
            } else {
                painter_.drawImage(source, ImageOf(dib, false), source);
            }
        } else {
            painter_.setCompositionMode(ModeOf(c.rop));
            painter_.drawImage(source, ImageOf(dib, false), source);
        }
        painter_.restore();
    }

    void PatternBlit(const mf::Blit& c) {
        QPainterPath rect;
        rect.addRect(QRectF(c.x, c.y, c.width, c.height).normalized());
        QPainterPath dev = DevPath(rect);
        if (dev.isEmpty()) return;
        painter_.save();
        painter_.setTransform(QTransform());
        switch (c.rop) {
            case BLACKNESS:
                painter_.fillPath(dev, Qt::black);
                break;
            case WHITENESS:
                painter_.fillPath(dev, Qt::white);
                break;
            case DSTINVERT:
                painter_.setCompositionMode(QPainter::RasterOp_NotDestination);
                painter_.fillPath(dev, Qt::black);
                break;
            case PATINVERT:
                painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
                if (HasBrush()) painter_.fillPath(dev, DeviceBrush());
                break;
            default:
                if (HasBrush()) painter_.fillPath(dev, DeviceBrush());
                break;
        }
        painter_.restore();
    }

    // --- paths, clipping, regions ---------------------------------------------------------
    void Do(const mf::Path& c) {
        switch (c.kind) {
            case mf::Path::Begin:
                inPath_ = true;
                path_ = QPainterPath();
                return;
            case mf::Path::End:
                inPath_ = false;
                return;
            case mf::Path::Close:
                if (inPath_) path_.closeSubpath();
                return;
            case mf::Path::Abort:
                inPath_ = false;
                path_ = QPainterPath();
                return;
            case mf::Path::Fill:
            case mf::Path::Stroke:
            case mf::Path::StrokeAndFill: {
                if (inPath_) return;
                QPainterPath p = path_;
                path_ = QPainterPath();
                painter_.setTransform(QTransform());
                if (c.kind != mf::Path::Stroke && HasBrush()) {
                    p.setFillRule(dc_.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
                    painter_.fillPath(p, DeviceBrush());
                }
                if (c.kind != mf::Path::Fill) {
                    QPen pen = DevicePen();
                    if (pen.style() != Qt::NoPen) painter_.strokePath(p, pen);
                }
                return;
            }
            case mf::Path::SelectClip: {
                if (inPath_) return;
                QPainterPath p = path_;
                path_ = QPainterPath();
                p.setFillRule(dc_.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
                CombineClip(p, c.mode);
                return;
            }
        }
    }

    void CombineClip(const QPainterPath& region, int mode) {
        if (dc_.clip.elementCount() > kMaxClipElements || region.elementCount() > kMaxClipElements)
            return;
        QPainterPath whole;
        whole.addRect(imageRect_);
        const QPainterPath& current = dc_.clipped ? dc_.clip : whole;
        switch (mode) {
            case 1:
                dc_.clip = current.intersected(region);
                break;
            case 2:
                dc_.clip = current.united(region);
                break;
            case 3:
                dc_.clip = current.subtracted(region).united(region.subtracted(current));
                break;
            case 4:
                dc_.clip = current.subtracted(region);
                break;
            case 5:
                dc_.clip = region;
                break;
            default:
                return;
        }
        dc_.clipped = true;
        ApplyClip();
    }

    void Do(const mf::Clip& c) {
        switch (c.kind) {
            case mf::Clip::Reset:
                dc_.clipped = false;
                dc_.clip = QPainterPath();
                ApplyClip();
                return;
            case mf::Clip::IntersectRect:
            case mf::Clip::ExcludeRect: {
                QPainterPath rect;
                rect.addRect(Box(c.rect));
                QPainterPath dev = DevPath(rect);
                if (dev.isEmpty() && c.kind == mf::Clip::ExcludeRect) return;
                CombineClip(dev, c.kind == mf::Clip::IntersectRect ? 1 : 4);
                return;
            }
            case mf::Clip::DeviceRects: {
                if (c.rects.size() > std::size_t(kMaxClipElements)) return;
                QPainterPath region;
                region.setFillRule(Qt::WindingFill);
                for (const MfRect& r : c.rects) {
                    QRectF d = final_.mapRect(Box(r));
                    region.addRect(QRectF(QPointF(Clamp(d.left()), Clamp(d.top())),
                                          QPointF(Clamp(d.right()), Clamp(d.bottom()))));
                }
                CombineClip(region.simplified(), c.mode);
                return;
            }
        }
    }

    void Do(const mf::Region& c) {
        if (inPath_ || c.rects.size() > std::size_t(kMaxClipElements)) return;
        MfBrush brush = dc_.brush;
        if (!c.useSelected) {
            auto it = objects_.find(c.brush);
            const MfBrush* chosen =
                it == objects_.end() ? nullptr : std::get_if<MfBrush>(&it->second);
            if (!chosen) return;
            brush = *chosen;
        }
        std::swap(brush, dc_.brush);
        QPainterPath p;
        p.setFillRule(Qt::WindingFill);
        for (const MfRect& r : c.rects) {
            QPainterPath rect;
            rect.addRect(Box(r));
            p.addPath(DevPath(rect));
        }
        painter_.setTransform(QTransform());
        if (HasBrush()) painter_.fillPath(p, DeviceBrush());
        std::swap(brush, dc_.brush);
    }

    const Metafile& mf_;
    QPainter& painter_;
    QTransform final_;
    QTransform total_;
    double scaleX_ = 1, scaleY_ = 1;
    QRectF imageRect_;
    QPainterPath baseClip_;
    bool hasBaseClip_ = false;
    DcState dc_;
    std::vector<DcState> saved_;
    std::map<std::uint32_t, Object> objects_;
    bool inPath_ = false;
    QPainterPath path_;
};

}  // namespace

QSize MetafileDisplaySize(const Metafile& metafile, int maxSide) {
    int w = std::max(metafile.size.width, 1), h = std::max(metafile.size.height, 1);
    int longest = std::max(w, h);
    if (longest > maxSide) {
        double k = double(maxSide) / longest;
        w = std::max(1, int(std::lround(w * k)));
        h = std::max(1, int(std::lround(h * k)));
    }
    return {w, h};
}

void PlayMetafile(const Metafile& metafile, QPainter& painter, const QRectF& target) {
    Player(metafile, painter, target).Run();
}

QImage RenderMetafile(const Metafile& metafile, QSize size) {
    if (size.isEmpty() || size.width() > kMaxMetafileSide || size.height() > kMaxMetafileSide)
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::white);
    QPainter painter(&image);
    PlayMetafile(metafile, painter, QRectF(0, 0, size.width(), size.height()));
    painter.end();
    return image;
}

}  // namespace tavrin::viewer
