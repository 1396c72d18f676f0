#include "support/LabelBoxWidget.h"

#include <QEvent>

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
        const QSize least = least_.expandedTo(label_->minimumSizeHint());
        if (least != least_) {
            least_ = least;
            updateGeometry();
        }
        return true;
    }
    return QWidget::event(e);
}

void LabelBoxWidget::resizeEvent(QResizeEvent* e) {
    label_->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace tuvik
