#pragma once
// Holds one label that changes its text often (a status line). A label asks
// for the window's layout to be worked out again at every new text; in the
// box that stays inside the box, and the window is laid out again only when
// the label's size hints change. The window gets the label's own size hint,
// but a minimum only as wide as an ellipsis: a long text never widens the
// window. A text wider than the box is cut after the last character that
// fits and an ellipsis is drawn after it; the label keeps its whole text for
// selecting, copying and screen readers.

#include <QLabel>
#include <QString>
#include <QWidget>

namespace tuvik {

class LabelBoxWidget : public QWidget {
  public:
    // Takes the label as its child.
    explicit LabelBoxWidget(QLabel* label, QWidget* parent = nullptr);

    QSize sizeHint() const override { return hint_; }
    QSize minimumSizeHint() const override;

    // "…" for each line of the text that is cut short; empty while it fits.
    // Seam: tests read which lines are cut without comparing the painted glyphs.
    const QString& cutMarks() const { return marks_; }

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    void Measure();
    bool TextSizeMayHaveChanged();
    void Fit();

    QLabel* label_;
    QSize hint_;  // the label's hints when last measured
    QSize least_;
    int widest_ = -1;  // the widest line and the lines of the text last measured
    int lines_ = 0;    // (widest_ -1: not measured, or not plain text)
    QString marks_;
};

}  // namespace tuvik
