#pragma once
// The small canvas interface the charts draw through. Positions are in twips
// (1/1440 inch), origin at the top-left corner, x to the right, y downwards.
// One implementation paints with QPainter, another records every call.

#include <QString>

#include <cstdint>

namespace tuvik {

// 0xRRGGBB, or one of the system colours below, which the surface resolves.
using SurfaceColor = uint32_t;

inline constexpr SurfaceColor kBlack = 0x000000;
inline constexpr SurfaceColor kWhite = 0xFFFFFF;
inline constexpr SurfaceColor kGrey = 0x808080;
inline constexpr SurfaceColor kYellow = 0xFFFF00;
inline constexpr SurfaceColor kRed = 0xFF0000;
inline constexpr SurfaceColor kCyan = 0x00FFFF;
inline constexpr SurfaceColor kMagenta = 0xFF00FF;
// The system's button-face colour (frames of the charts).
inline constexpr SurfaceColor kButtonFace = 0x8000000F;

enum class LineForm : uint8_t {
    Segment,  // a straight line between the two points
    Box,      // the outline of the rectangle with these corners
};

class DrawSurface {
  public:
    virtual ~DrawSurface() = default;

    // Inner size in twips.
    virtual float ScaleWidth() const = 0;
    virtual float ScaleHeight() const = 0;

    // Background used by Cls.
    virtual void setBackColor(SurfaceColor c) = 0;
    // Colour of printed text.
    virtual void setForeColor(SurfaceColor c) = 0;
    // Fills the whole surface with the back colour; text position to (0, 0).
    virtual void Cls() = 0;
    // One pixel wide, solid.
    virtual void Line(double x1, double y1, double x2, double y2, SurfaceColor color,
                      LineForm form) = 0;
    // Position of the next text's top-left corner.
    virtual void setCurrentX(double x) = 0;
    virtual void setCurrentY(double y) = 0;
    // Draws the text at the current position in the fore colour with a
    // transparent background, then moves to the start of the next text line
    // (CurrentX 0, CurrentY one line further down).
    virtual void Print(const QString& text) = 0;
    virtual void setFontBold(bool on) = 0;
};

}  // namespace tuvik
