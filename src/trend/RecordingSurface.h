#pragma once
// A drawing surface that draws nothing and remembers every call, with the
// texts and lines also kept together with the state they were drawn in. Used
// by the tests, and by the chart widget to keep a finished drawing that it
// paints later.

#include <vector>

#include "trend/DrawSurface.h"

namespace tuvik {

class RecordingSurface : public DrawSurface {
  public:
    enum class Op : uint8_t {
        BackColor,
        ForeColor,
        Cls,
        Line,
        CurrentX,
        CurrentY,
        Print,
        FontBold
    };

    struct Call {
        Op op = Op::Cls;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // Line; CurrentX/CurrentY use x1
        SurfaceColor color = 0;                 // BackColor, ForeColor, Line
        LineForm form = LineForm::Segment;
        bool on = false;  // FontBold
        QString text;     // Print
    };
    struct PrintedText {
        double x, y;
        QString text;
        SurfaceColor color;
        bool bold;
    };
    struct DrawnLine {
        double x1, y1, x2, y2;
        SurfaceColor color;
        LineForm form;
    };

    // Height of one text line, in twips (an 8 point font).
    static constexpr double kLineHeight = 195;

    RecordingSurface(float scaleWidth, float scaleHeight)
        : width_(scaleWidth), height_(scaleHeight) {}

    float ScaleWidth() const override { return width_; }
    float ScaleHeight() const override { return height_; }
    void setBackColor(SurfaceColor c) override;
    void setForeColor(SurfaceColor c) override;
    void Cls() override;
    void Line(double x1, double y1, double x2, double y2, SurfaceColor color,
              LineForm form) override;
    void setCurrentX(double x) override;
    void setCurrentY(double y) override;
    void Print(const QString& text) override;
    void setFontBold(bool on) override;

    const std::vector<Call>& calls() const { return calls_; }
    const std::vector<PrintedText>& prints() const { return prints_; }
    const std::vector<DrawnLine>& lines() const { return lines_; }
    // Seam: tests see the bold font the chart asked for, which the recorded calls do not carry.
    bool fontBold() const { return bold_; }

    // Forgets every call (the size stays).
    void clear();
    // Makes the same calls, in the same order, on another surface.
    void Replay(DrawSurface& target) const;

  private:
    Call& Add(Op op);

    float width_;
    float height_;
    std::vector<Call> calls_;
    std::vector<PrintedText> prints_;
    std::vector<DrawnLine> lines_;
    SurfaceColor back_ = kWhite;
    SurfaceColor fore_ = kBlack;
    double x_ = 0;
    double y_ = 0;
    bool bold_ = false;
};

}  // namespace tuvik
