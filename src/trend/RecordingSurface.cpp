#include "trend/RecordingSurface.h"

namespace tuvik {

RecordingSurface::Call& RecordingSurface::Add(Op op) {
    calls_.emplace_back();
    calls_.back().op = op;
    return calls_.back();
}

void RecordingSurface::setBackColor(SurfaceColor c) {
    back_ = c;
    Add(Op::BackColor).color = c;
}

void RecordingSurface::setForeColor(SurfaceColor c) {
    fore_ = c;
    Add(Op::ForeColor).color = c;
}

void RecordingSurface::Cls() {
    x_ = 0;
    y_ = 0;
    Add(Op::Cls);
}

void RecordingSurface::Line(double x1, double y1, double x2, double y2, SurfaceColor color,
                            LineForm form) {
    Call& c = Add(Op::Line);
    c.x1 = x1;
    c.y1 = y1;
    c.x2 = x2;
    c.y2 = y2;
    c.color = color;
    c.form = form;
    lines_.push_back({x1, y1, x2, y2, color, form});
}

void RecordingSurface::setCurrentX(double x) {
    x_ = x;
    Add(Op::CurrentX).x1 = x;
}

void RecordingSurface::setCurrentY(double y) {
    y_ = y;
    Add(Op::CurrentY).x1 = y;
}

void RecordingSurface::Print(const QString& text) {
    Add(Op::Print).text = text;
    prints_.push_back({x_, y_, text, fore_, bold_});
    x_ = 0;
    y_ += kLineHeight;
}

void RecordingSurface::setFontBold(bool on) {
    bold_ = on;
    Add(Op::FontBold).on = on;
}

void RecordingSurface::clear() {
    calls_.clear();
    prints_.clear();
    lines_.clear();
    back_ = kWhite;
    fore_ = kBlack;
    x_ = 0;
    y_ = 0;
    bold_ = false;
}

void RecordingSurface::Replay(DrawSurface& target) const {
    for (const Call& c : calls_) {
        switch (c.op) {
            case Op::BackColor:
                target.setBackColor(c.color);
                break;
            case Op::ForeColor:
                target.setForeColor(c.color);
                break;
            case Op::Cls:
                target.Cls();
                break;
            case Op::Line:
                target.Line(c.x1, c.y1, c.x2, c.y2, c.color, c.form);
                break;
            case Op::CurrentX:
                target.setCurrentX(c.x1);
                break;
            case Op::CurrentY:
                target.setCurrentY(c.x1);
                break;
            case Op::Print:
                target.Print(c.text);
                break;
            case Op::FontBold:
                target.setFontBold(c.on);
                break;
        }
    }
}

}  // namespace tuvik
