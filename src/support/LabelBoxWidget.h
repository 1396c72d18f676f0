#pragma once
// Holds one label that changes its text often (a status line). A label asks
// for the window's layout to be worked out again at every new text; in the
// box that stays inside the box, and the window is laid out again only when
// the label's size hints change. The window is laid out as though the label
// sat in it directly.

#include <QLabel>
#include <QWidget>

namespace tuvik {

class LabelBoxWidget : public QWidget {
  public:
    // Takes the label as its child.
    explicit LabelBoxWidget(QLabel* label, QWidget* parent = nullptr);

    QSize sizeHint() const override { return hint_; }
    QSize minimumSizeHint() const override { return least_; }

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    bool TextSizeMayHaveChanged();

    QLabel* label_;
    QSize hint_;   // the label's hints when last measured
    QSize least_;
    int widest_ = -1;  // the widest line and the lines of the text last measured
    int lines_ = 0;
};

}  // namespace tuvik
