#include "link/ui/frmRS232.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tuvik {

frmRS232::frmRS232(AppContext& ctx, QWidget* parent) : QWidget(parent), link_(ctx) {
    setObjectName(QStringLiteral("frmRS232"));
    setWindowTitle(QStringLiteral("Serial interface"));

    Frame1_ = new QGroupBox(this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    lblState_ = new QLabel(Frame1_);
    lblState_->setObjectName(QStringLiteral("lblState"));
    auto* inner = new QVBoxLayout(Frame1_);
    inner->addWidget(lblState_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(Frame1_);

    connect(&link_, &SerialLink::windowCaptionChanged, this, &frmRS232::ShowCaption);
}

frmRS232::~frmRS232() = default;

void frmRS232::ShowCaption(const QString& caption) {
    setWindowTitle(caption);
    lblState_->setText(caption);
}

}  // namespace tuvik
