#include "trend/PainterSurface.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace tuvik {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kFontPoints = 8.0;

QFont ChartFont(double dpiY, bool bold) {
    QFont f = QGuiApplication::font();
    // Pixel size from our own resolution, so text and twips stay in step
    // whatever the painter's device claims.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(kFontPoints * dpiY / 72.0))));
    f.setBold(bold);
    return f;
}

// Nearest pixel, halves away from zero. Far outside the device the value is
// held to a range where the conversion stays defined; clipping does the rest.
int ToPixel(double p) {
    p = std::clamp(p, -1.0e6, 1.0e6);
    return static_cast<int>(p >= 0 ? p + 0.5 : p - 0.5);
}

}  // namespace

static PainterTextCache::Fonts MeasuredFonts(double dpiY) {
    PainterTextCache::Fonts f;
    f.normal = ChartFont(dpiY, false);
    f.bold = ChartFont(dpiY, true);
    const QFontMetrics fm(f.normal);
    const QFontMetrics bfm(f.bold);
    f.ascent = fm.ascent();
    f.boldAscent = bfm.ascent();
    f.lineHeight = std::max(fm.height(), bfm.height());
    return f;
}

const PainterTextCache::Fonts& PainterTextCache::FontsFor(double dpiY) {
    const QFont app = QGuiApplication::font();
    if (dpiY != fontsDpi_ || !(app == fontsFrom_)) {
        fonts_ = MeasuredFonts(dpiY);
        fontsFrom_ = app;
        fontsDpi_ = dpiY;
        for (int b = 0; b < 2; ++b) {
            texts_[b].clear();
            seen_[b].clear();
        }
    }
    return fonts_;
}

const PainterTextCache::Text* PainterTextCache::Get(const QString& text, bool bold) {
    const int b = bold ? 1 : 0;
    QHash<QString, Text>& map = texts_[b];
    auto it = map.find(text);
    if (it != map.end()) {
        return &*it;
    }
    QSet<QString>& seen = seen_[b];
    if (!seen.contains(text)) {
        if (seen.size() >= kMaxEntries) {
            seen.clear();  // legend values change all the time; start afresh
        }
        seen.insert(text);
        return nullptr;
    }
    if (map.size() >= kMaxEntries) {
        map.clear();
    }
    seen.remove(text);
    Text t{QStaticText(text), {}};
    t.text.setTextFormat(Qt::PlainText);
    t.text.setPerformanceHint(QStaticText::AggressiveCaching);
    const QFont& font = bold ? fonts_.bold : fonts_.normal;
    const int ascent = bold ? fonts_.boldAscent : fonts_.ascent;
    // The metrics' box covers every pixel the text draws from its baseline;
    // a little more for hinting and smoothing.
    constexpr int m = 2;
    t.ink = QFontMetrics(font).boundingRect(text).translated(0, ascent).adjusted(-m, -m, m, m);
    return &*map.insert(text, t);
}

PainterSurface::PainterSurface(QPainter& painter, QSize pixelSize, double dpiX, double dpiY,
                               PainterTextCache* cache)
    : painter_(painter),
      size_(pixelSize),
      pxPerTwX_((dpiX > 0 ? dpiX : 96.0) / kTwipsPerInch),
      pxPerTwY_((dpiY > 0 ? dpiY : 96.0) / kTwipsPerInch),
      buttonFace_(QGuiApplication::palette().color(QPalette::Button)),
      cache_(cache) {
    const double dpi = dpiY > 0 ? dpiY : 96.0;
    const PainterTextCache::Fonts f = cache != nullptr ? cache->FontsFor(dpi) : MeasuredFonts(dpi);
    font_ = f.normal;
    boldFont_ = f.bold;
    ascent_ = f.ascent;
    boldAscent_ = f.boldAscent;
    lineHeightTw_ = f.lineHeight / pxPerTwY_;
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setBackgroundMode(Qt::TransparentMode);
}

PainterSurface::~PainterSurface() {
    Flush();
}

float PainterSurface::TwipsFor(int pixels, double dpi) {
    return static_cast<float>(pixels / ((dpi > 0 ? dpi : 96.0) / kTwipsPerInch));
}

float PainterSurface::ScaleWidth() const {
    return static_cast<float>(size_.width() / pxPerTwX_);
}

float PainterSurface::ScaleHeight() const {
    return static_cast<float>(size_.height() / pxPerTwY_);
}

QColor PainterSurface::Resolve(SurfaceColor c) const {
    if (c == kButtonFace) {
        return buttonFace_;
    }
    return QColor::fromRgb(static_cast<QRgb>(c & 0xFFFFFFu));
}

int PainterSurface::PixelFor(double twips, double dpi) {
    return ToPixel(twips * ((dpi > 0 ? dpi : 96.0) / kTwipsPerInch));
}

int PainterSurface::PxX(double tw) const {
    return ToPixel(tw * pxPerTwX_);
}

int PainterSurface::PxY(double tw) const {
    return ToPixel(tw * pxPerTwY_);
}

void PainterSurface::UsePen(SurfaceColor c) {
    if (penSet_ && pen_ == c) {
        return;
    }
    QPen pen(Resolve(c));
    pen.setWidth(0);  // cosmetic: one pixel whatever the transformation
    pen.setStyle(Qt::SolidLine);
    painter_.setPen(pen);
    pen_ = c;
    penSet_ = true;
}

void PainterSurface::UseFont(bool bold) {
    const int want = bold ? 1 : 0;
    if (fontInUse_ != want) {
        painter_.setFont(bold ? boldFont_ : font_);
        fontInUse_ = want;
    }
}

void PainterSurface::Flush() {
    if (points_.empty()) {
        return;
    }
    runs_.push_back(static_cast<int>(points_.size()));
    const QColor colour = Resolve(pendingColor_);
    for (size_t r = 0; r + 1 < runs_.size(); ++r) {
        const int from = runs_[r];
        const int count = runs_[r + 1] - from;
        const QPoint* p = points_.data() + from;
        // Grid lines and frame edges are level or upright: a one-pixel fill
        // covers the same pixels as the line and costs far less.
        bool straight = true;
        for (int k = 1; k < count && straight; ++k) {
            straight = p[k].x() == p[k - 1].x() || p[k].y() == p[k - 1].y();
        }
        if (straight && count <= 5) {
            for (int k = 1; k < count; ++k) {
                painter_.fillRect(
                    QRect(
                        QPoint(std::min(p[k].x(), p[k - 1].x()), std::min(p[k].y(), p[k - 1].y())),
                        QPoint(std::max(p[k].x(), p[k - 1].x()), std::max(p[k].y(), p[k - 1].y()))),
                    colour);
            }
            continue;
        }
        UsePen(pendingColor_);
        painter_.drawPolyline(p, count);
    }
    points_.clear();
    runs_.clear();
}

void PainterSurface::Cls() {
    points_.clear();  // covered by the fill anyway
    runs_.clear();
    painter_.fillRect(QRect(QPoint(0, 0), size_), Resolve(back_));
    x_ = 0;
    y_ = 0;
}

void PainterSurface::Line(double x1, double y1, double x2, double y2, SurfaceColor color,
                          LineForm form) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) {
        return;
    }
    if (!points_.empty() && pendingColor_ != color) {
        Flush();
    }
    pendingColor_ = color;
    const QPoint a(PxX(x1), PxY(y1));
    const QPoint b(PxX(x2), PxY(y2));
    if (form == LineForm::Box) {
        runs_.push_back(static_cast<int>(points_.size()));
        points_.insert(points_.end(), {a, QPoint(b.x(), a.y()), b, QPoint(a.x(), b.y()), a});
        return;
    }
    // A curve's next segment starts where the last one ended: extend it.
    if (points_.empty() || points_.back() != a) {
        runs_.push_back(static_cast<int>(points_.size()));
        points_.push_back(a);
    }
    points_.push_back(b);
}

void PainterSurface::Print(const QString& text) {
    Flush();
    if (std::isfinite(x_) && std::isfinite(y_) && !text.isEmpty()) {
        UseFont(bold_);
        UsePen(fore_);
        const QPoint at(PxX(x_), PxY(y_));
        const PainterTextCache::Text* kept = cache_ != nullptr ? cache_->Get(text, bold_) : nullptr;
        if (kept != nullptr) {
            if (visible_.isEmpty() || visible_.intersects(kept->ink.translated(at))) {
                painter_.drawStaticText(at, kept->text);
            }
        } else {
            painter_.drawText(QPoint(at.x(), at.y() + (bold_ ? boldAscent_ : ascent_)), text);
        }
    }
    x_ = 0;
    y_ += lineHeightTw_;
}

void PainterSurface::setFontBold(bool on) {
    bold_ = on;
}

}  // namespace tuvik
