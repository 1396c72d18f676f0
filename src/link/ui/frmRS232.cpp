#include "link/ui/frmRS232.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tuvik {

frmRS232::frmRS232(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmRS232"));
    setWindowTitle(QStringLiteral("Serial interface"));

    frame_ = new QGroupBox(this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    lblState_ = new QLabel(frame_);
    lblState_->setObjectName(QStringLiteral("lblState"));
    auto* inner = new QVBoxLayout(frame_);
    inner->addWidget(lblState_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(frame_);
}

frmRS232::~frmRS232() = default;

void frmRS232::ShowCaption(const QString& caption) {
    setWindowTitle(caption);
    lblState_->setText(caption);
}

}  // namespace tuvik
