#include "shell/ui/ConnectionPanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QToolButton>

#include "shell/ConnectionController.h"
#include "support/ui/Controls.h"

namespace tuvik {

ConnectionPanel::ConnectionPanel(ConnectionController& controller, QWidget* parent)
    : QGroupBox(QStringLiteral("Com settings"), parent), controller_(controller) {
    setObjectName(QStringLiteral("Frame9"));
    txtComPort_ = Named(new QLineEdit(this), "txtComPort");
    txtComPort_->setToolTip(QStringLiteral("Com Port number"));
    cmdPortList_ = Named(new QToolButton(this), "cmdPortList");
    cmdPortList_->setText(QStringLiteral("..."));
    cmdPortList_->setToolTip(QStringLiteral("Serial ports of this computer"));
    cmdPortList_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(cmdPortList_);
    cmdPortList_->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, &ConnectionPanel::FillPortMenu);
    txtSpeed_ = Named(new QLineEdit(QStringLiteral("57600"), this), "txtSpeed");
    txtSpeed_->setToolTip(QStringLiteral("Port speed: 38400, 57600,76800"));
    txtRefresh_ = Named(new QLineEdit(QStringLiteral("333"), this), "txtRefresh");
    chkUseTCP_ = Named(new QCheckBox(QStringLiteral("use TCP connection"), this), "chkUseTCP");
    btnCon_ = Named(new QPushButton(controller_.buttonCaption(), this), "btnCon");
    for (QLineEdit* e : {txtComPort_, txtSpeed_, txtRefresh_}) {
        e->setMaximumWidth(110);
    }

    auto* port = new QHBoxLayout;
    port->setSpacing(2);
    port->addWidget(txtComPort_);
    port->addWidget(cmdPortList_);
    auto* grid = new QGridLayout(this);
    grid->addWidget(Named(new QLabel(QStringLiteral("Port"), this), "lblComPort"), 0, 0);
    grid->addLayout(port, 0, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("Speed"), this), "lblSpeed"), 1, 0);
    grid->addWidget(txtSpeed_, 1, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("Refresh ms"), this), "lblRefresh"), 2, 0);
    grid->addWidget(txtRefresh_, 2, 1);
    grid->addWidget(chkUseTCP_, 0, 2);
    grid->addWidget(btnCon_, 2, 2);

    TextsEdited();
    controller_.setUseTcp(chkUseTCP_->isChecked());
    for (QLineEdit* e : {txtComPort_, txtSpeed_, txtRefresh_}) {
        connect(e, &QLineEdit::textChanged, this, &ConnectionPanel::TextsEdited);
    }
    connect(chkUseTCP_, &QCheckBox::toggled, &controller_, &ConnectionController::setUseTcp);
    connect(btnCon_, &QPushButton::clicked, &controller_, &ConnectionController::Toggle);
    connect(&controller_, &ConnectionController::buttonCaptionChanged, btnCon_,
            &QPushButton::setText);
}

void ConnectionPanel::ShowTexts(const ConnectionTexts& texts) {
    txtComPort_->setText(texts.comPort);
    txtSpeed_->setText(texts.speed);
    txtRefresh_->setText(texts.refresh);
}

void ConnectionPanel::TextsEdited() {
    controller_.setTexts({txtComPort_->text(), txtSpeed_->text(), txtRefresh_->text()});
}

void ConnectionPanel::FillPortMenu() {
    QMenu* menu = cmdPortList_->menu();
    menu->clear();
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        menu->addAction(QStringLiteral("No serial ports found"))->setEnabled(false);
        return;
    }
    for (const QSerialPortInfo& p : ports) {
#ifdef Q_OS_WIN
        const QString name = p.portName();
#else
        const QString name = p.systemLocation();
#endif
        const QString text = p.description().isEmpty()
                                 ? name
                                 : name + QStringLiteral("  (") + p.description() + u')';
        connect(menu->addAction(text), &QAction::triggered, this,
                [this, name] { txtComPort_->setText(name); });
    }
}

}  // namespace tuvik
