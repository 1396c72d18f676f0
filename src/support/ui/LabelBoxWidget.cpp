#include "support/ui/LabelBoxWidget.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

#include <algorithm>

namespace tuvik {

namespace {

const QChar kEllipsis(0x2026);

}  // namespace

LabelBoxWidget::LabelBoxWidget(QLabel* label, QWidget* parent) : QWidget(parent), label_(label) {
    label_->setParent(this);
    label_->move(0, 0);
    label_->installEventFilter(this);
    setSizePolicy(label_->sizePolicy());
    TextSizeMayHaveChanged();
    hint_ = label_->sizeHint();
    least_ = label_->minimumSizeHint();
}

QSize LabelBoxWidget::minimumSizeHint() const {
    return {std::min(least_.width(), label_->fontMetrics().horizontalAdvance(kEllipsis)),
            least_.height()};
}

bool LabelBoxWidget::event(QEvent* e) {
    // The label's new text, posted to us because we have no layout. A text
    // set while the box was hidden posted nothing: it is measured on showing.
    if (e->type() == QEvent::LayoutRequest) {
        Measure();
        return true;
    }
    if (e->type() == QEvent::Show) {
        Measure();
    }
    return QWidget::event(e);
}

void LabelBoxWidget::Measure() {
    if (TextSizeMayHaveChanged()) {
        const QSize hint = label_->sizeHint();
        const QSize least = label_->minimumSizeHint();
        if (hint != hint_ || least != least_) {
            hint_ = hint;
            least_ = least;
            updateGeometry();
        }
    }
    Fit();
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
            case QEvent::PaletteChange:  // the ellipsis takes the label's colours
                if (!marks_.isEmpty()) {
                    update();
                }
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
        widest_ = -1;
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

// A plain text wider than the box: the label is made as narrow as the widest
// line cut after its last character that fits with an ellipsis, and the box
// draws the ellipsis after every line that does not fit. Only the label's
// width changes, never the window's layout.
void LabelBoxWidget::Fit() {
    QString marks;
    int shown = width();
    if (widest_ >= 0 && hint_.width() > width()) {
        const QFontMetrics fm = label_->fontMetrics();
        const int margins = std::max(0, hint_.width() - widest_);
        const QStringList lines = label_->text().split(QLatin1Char('\n'));
        const QString& longest =
            *std::max_element(lines.begin(), lines.end(), [&](const QString& a, const QString& b) {
                return fm.horizontalAdvance(a) < fm.horizontalAdvance(b);
            });
        const QString cut = fm.elidedText(longest, Qt::ElideRight, width() - margins);
        const int kept = cut.endsWith(kEllipsis) ? fm.horizontalAdvance(cut.chopped(1)) : 0;
        QStringList perLine;
        for (const QString& line : lines) {
            perLine << (fm.horizontalAdvance(line) > kept ? QString(kEllipsis) : QString());
        }
        marks = perLine.join(QLatin1Char('\n'));
        shown = std::min(width(), margins + kept);
    }
    label_->setGeometry(0, 0, shown, height());
    if (marks != marks_) {
        marks_ = marks;
        update();
    }
}

void LabelBoxWidget::paintEvent(QPaintEvent* e) {
    if (marks_.isEmpty()) {
        QWidget::paintEvent(e);
        return;
    }
    QPainter p(this);
    const QRect rest(label_->width(), 0, width() - label_->width(), height());
    if (label_->autoFillBackground()) {
        p.fillRect(rest, label_->palette().brush(label_->backgroundRole()));
    }
    // The label's lines sit in its contents rectangle, aligned as it aligns them.
    const QRect lines = label_->contentsRect();
    p.setFont(label_->font());
    style()->drawItemText(
        &p, QRect(rest.left(), lines.top(), rest.width(), lines.height()),
        static_cast<int>((label_->alignment() & Qt::AlignVertical_Mask) | Qt::AlignLeft),
        label_->palette(), label_->isEnabled(), marks_, label_->foregroundRole());
}

void LabelBoxWidget::resizeEvent(QResizeEvent* e) {
    Fit();
    QWidget::resizeEvent(e);
}

}  // namespace tuvik
