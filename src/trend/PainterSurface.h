#pragma once
// A drawing surface on a QPainter: twips are turned into the device's pixels
// by its resolution (15 twips per pixel at 96 dots per inch), text is set in
// a font about 8 points high. Segments of one colour that join end to start
// are collected and drawn as one polyline; Flush (or the destructor) draws
// what is still pending.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSet>
#include <QSize>
#include <QStaticText>

#include <vector>

#include "trend/DrawSurface.h"

namespace tuvik {

// Laid-out texts kept from one paint to the next: grid labels and names
// repeat in every frame. Owned by whoever paints repeatedly (the chart widget).
class PainterTextCache {
  public:
    // The chart's two fonts at a resolution and their measures, worked out
    // again only when the resolution or the application's font changes.
    struct Fonts {
        QFont normal;
        QFont bold;
        int ascent = 0;
        int boldAscent = 0;
        int lineHeight = 0;  // pixels, the taller of the two
    };
    const Fonts& FontsFor(double dpiY);

    struct Text {
        QStaticText text;
        QRect ink;  // the pixels it can touch, from the top left it is drawn at
    };
    // A text in the fonts last asked for, laid out once it is asked for a
    // second time; the first time nothing (a value seen once, like most
    // legend values, is cheaper drawn directly than laid out to be kept).
    const Text* Get(const QString& text, bool bold);

  private:
    Fonts fonts_;
    QFont fontsFrom_;
    double fontsDpi_ = -1;
    static constexpr qsizetype kMaxEntries = 512;
    QHash<QString, Text> texts_[2];  // normal, bold
    QSet<QString> seen_[2];          // asked for once
};

class PainterSurface : public DrawSurface {
  public:
    // pixelSize: the painted area in the painter's (logical) pixels; dpiX and
    // dpiY: the device's resolution in dots per inch. cache: optional.
    PainterSurface(QPainter& painter, QSize pixelSize, double dpiX, double dpiY,
                   PainterTextCache* cache = nullptr);
    ~PainterSurface() override;
    PainterSurface(const PainterSurface&) = delete;
    PainterSurface& operator=(const PainterSurface&) = delete;

    // A length of the device in pixels as the surface measures it in twips.
    static float TwipsFor(int pixels, double dpi);
    // The pixel a position in twips lands on, as this surface maps it.
    static int PixelFor(double twips, double dpi);

    float ScaleWidth() const override;
    float ScaleHeight() const override;
    void setBackColor(SurfaceColor c) override { back_ = c; }
    void setForeColor(SurfaceColor c) override { fore_ = c; }
    void Cls() override;
    void Line(double x1, double y1, double x2, double y2, SurfaceColor color,
              LineForm form) override;
    void setCurrentX(double x) override { x_ = x; }
    void setCurrentY(double y) override { y_ = y; }
    void Print(const QString& text) override;
    void setFontBold(bool on) override;

    // Height of one text line in twips.
    double lineHeight() const { return lineHeightTw_; }

    void Flush();

    // The part of the device being repainted (a paint event's region): a
    // text wholly outside it is not drawn, as clipping would leave nothing
    // of it anyway. Without one, every text is drawn.
    void setVisibleRegion(const QRegion& r) { visible_ = r; }

  private:
    QColor Resolve(SurfaceColor c) const;
    int PxX(double tw) const;
    int PxY(double tw) const;
    void UsePen(SurfaceColor c);
    void UseFont(bool bold);

    QPainter& painter_;
    QSize size_;
    double pxPerTwX_;
    double pxPerTwY_;
    QColor buttonFace_;  // the application palette's button colour, for kButtonFace
    SurfaceColor back_ = kWhite;
    SurfaceColor fore_ = kBlack;
    double x_ = 0;
    double y_ = 0;
    bool bold_ = false;

    QFont font_;
    QFont boldFont_;
    int ascent_ = 0;
    int boldAscent_ = 0;
    double lineHeightTw_ = 0;
    int fontInUse_ = -1;  // -1 none yet, 0 normal, 1 bold

    bool penSet_ = false;
    SurfaceColor pen_ = 0;

    PainterTextCache* cache_;
    QRegion visible_;

    // Pending polylines of one colour: points, and where each polyline starts.
    std::vector<QPoint> points_;
    std::vector<int> runs_;
    SurfaceColor pendingColor_ = 0;
};

}  // namespace tuvik
