#pragma once
// Holds one label that changes its text often (a status line). A label asks
// for the window's layout to be worked out again at every new text; in the
// box that stays inside the box, and the window is laid out again only when a
// text needs more room than any before it.

#include <QFont>
#include <QLabel>
#include <QWidget>

namespace tuvik {

class LabelBoxWidget : public QWidget {
  public:
    // Takes the label as its child.
    explicit LabelBoxWidget(QLabel* label, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    bool MayNeedMoreRoom();

    QLabel* label_;
    int widest_ = -1;  // the widest line and the most lines seen so far
    int lines_ = 0;
    QFont measuredFont_;
    QSize least_;  // the largest least size the label has asked for
};

}  // namespace tuvik
