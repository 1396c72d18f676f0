#include "link/ui/frmClient.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tuvik {

namespace {

QLineEdit* Box(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

QLabel* Label(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

}  // namespace

frmClient::frmClient(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmClient"));
    setWindowTitle(QStringLiteral("TCP CLIENT"));

    addressBox_ = new QGroupBox(QStringLiteral("Remote"), this);
    addressBox_->setObjectName(QStringLiteral("Frame1"));
    txtRemoteIpAddress_ = Box("txtRemoteIpAddress", addressBox_);
    txtRemoteHostName_ = Box("txtRemoteHostName", addressBox_);
    txtRemotePort_ = Box("txtRemotePort", addressBox_);
    auto* form = new QFormLayout(addressBox_);
    form->addRow(Label("lblIpAddress", QStringLiteral("IP ADDRESS"), addressBox_),
                 txtRemoteIpAddress_);
    form->addRow(Label("lblHostName", QStringLiteral("HOST NAME"), addressBox_),
                 txtRemoteHostName_);
    form->addRow(Label("lblPort", QStringLiteral("PORT"), addressBox_), txtRemotePort_);

    txtSocketStatus_ = Box("txtSocketStatus", this);
    txtSocketStatus_->setReadOnly(true);
    txtOutput_ = Box("txtOutput", this);
    cmdConnect_ = new QPushButton(QStringLiteral("CONNECT"), this);
    cmdConnect_->setObjectName(QStringLiteral("cmdConnect"));
    cmdSendString_ = new QPushButton(QStringLiteral("Refresh data"), this);
    cmdSendString_->setObjectName(QStringLiteral("cmdSendString"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdConnect_);
    buttons->addWidget(cmdSendString_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(addressBox_);
    top->addWidget(txtSocketStatus_);
    top->addWidget(txtOutput_);
    top->addLayout(buttons);

    txtRemoteIpAddress_->setText(TcpSettings{}.host);
    txtRemotePort_->setText(QString::number(TcpSettings::kRelayPort));

    connect(txtRemoteIpAddress_, &QLineEdit::textChanged, this, &frmClient::relayHostEdited);
    connect(cmdConnect_, &QPushButton::clicked, this, &frmClient::connectClicked);
    connect(cmdSendString_, &QPushButton::clicked, this, &frmClient::refreshClicked);
}

frmClient::~frmClient() = default;

void frmClient::setRelayHost(const QString& host) {
    txtRemoteIpAddress_->setText(host);
}

void frmClient::ShowStatus(const QString& state, const QString& remotePort) {
    txtSocketStatus_->setText(state);
    txtRemotePort_->setText(remotePort);
}

void frmClient::ShowRemoteHostName(const QString& name) {
    txtRemoteHostName_->setText(name);
}

void frmClient::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();  // closed with its own button: only hidden
}

}  // namespace tuvik
