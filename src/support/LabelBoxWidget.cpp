#include "support/LabelBoxWidget.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextDocument>

#include <algorithm>

namespace tuvik {

LabelBoxWidget::LabelBoxWidget(QLabel* label, QWidget* parent)
    : QWidget(parent), label_(label), least_(label->minimumSizeHint()) {
    label_->setParent(this);
    label_->move(0, 0);
    setSizePolicy(label_->sizePolicy());
}

QSize LabelBoxWidget::sizeHint() const {
    return label_->sizeHint().expandedTo(least_);
}

QSize LabelBoxWidget::minimumSizeHint() const {
    return least_;
}

bool LabelBoxWidget::event(QEvent* e) {
    // The label's new text, posted to us because we have no layout.
    if (e->type() == QEvent::LayoutRequest) {
        if (MayNeedMoreRoom()) {
            const QSize least = least_.expandedTo(label_->minimumSizeHint());
            if (least != least_) {
                least_ = least;
                updateGeometry();
            }
        }
        return true;
    }
    return QWidget::event(e);
}

// The label's own least size costs a full text layout (a selectable label lays
// its text out in a document). A plain text needs more room than any before it
// only when one of its lines is wider, or it has more lines, than any before.
bool LabelBoxWidget::MayNeedMoreRoom() {
    const QString text = label_->text();
    if (label_->textFormat() != Qt::PlainText &&
        (label_->textFormat() == Qt::RichText || Qt::mightBeRichText(text))) {
        return true;
    }
    const QFontMetrics fm = label_->fontMetrics();
    int widest = 0;
    int lines = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        widest = std::max(widest, fm.horizontalAdvance(line.toString()));
        ++lines;
    }
    const bool more = widest > widest_ || lines > lines_ || label_->font() != measuredFont_;
    widest_ = std::max(widest, widest_);
    lines_ = std::max(lines, lines_);
    measuredFont_ = label_->font();
    return more;
}

void LabelBoxWidget::resizeEvent(QResizeEvent* e) {
    label_->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace tuvik
