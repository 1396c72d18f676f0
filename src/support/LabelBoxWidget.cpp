#include "support/LabelBoxWidget.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextDocument>

#include <algorithm>

namespace tuvik {

LabelBoxWidget::LabelBoxWidget(QLabel* label, QWidget* parent)
    : QWidget(parent), label_(label) {
    label_->setParent(this);
    label_->move(0, 0);
    label_->installEventFilter(this);
    setSizePolicy(label_->sizePolicy());
    TextSizeMayHaveChanged();
    hint_ = label_->sizeHint();
    least_ = label_->minimumSizeHint();
}

bool LabelBoxWidget::event(QEvent* e) {
    // The label's new text, posted to us because we have no layout.
    if (e->type() == QEvent::LayoutRequest) {
        if (TextSizeMayHaveChanged()) {
            const QSize hint = label_->sizeHint();
            const QSize least = label_->minimumSizeHint();
            if (hint != hint_ || least != least_) {
                hint_ = hint;
                least_ = least;
                updateGeometry();
            }
        }
        return true;
    }
    return QWidget::event(e);
}

// What changes the label's size other than its text: measure afresh next time.
bool LabelBoxWidget::eventFilter(QObject* watched, QEvent* e) {
    if (watched == label_) {
        switch (e->type()) {
            case QEvent::FontChange:
            case QEvent::StyleChange:
            case QEvent::ContentsRectChange:
                widest_ = -1;
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

// The label's size hints cost a full text layout (a selectable label lays its
// text out in a document). A plain text can have other hints than the last
// measured one only when its widest line or its number of lines differs
// (a new font, style or margins reset the measure, above).
bool LabelBoxWidget::TextSizeMayHaveChanged() {
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
    const bool changed = widest != widest_ || lines != lines_;
    widest_ = widest;
    lines_ = lines;
    return changed;
}

void LabelBoxWidget::resizeEvent(QResizeEvent* e) {
    label_->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace tuvik
