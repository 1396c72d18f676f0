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

frmClient::frmClient(AppContext& ctx, QWidget* parent) : QWidget(parent), link_(ctx) {
    setObjectName(QStringLiteral("frmClient"));
    setWindowTitle(QStringLiteral("TCP CLIENT"));

    Frame1_ = new QGroupBox(QStringLiteral("Remote"), this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    txtRemoteIpAddress_ = Box("txtRemoteIpAddress", Frame1_);
    txtRemoteHostName_ = Box("txtRemoteHostName", Frame1_);
    txtRemotePort_ = Box("txtRemotePort", Frame1_);
    auto* form = new QFormLayout(Frame1_);
    form->addRow(Label("lblIpAddress", QStringLiteral("IP ADDRESS"), Frame1_), txtRemoteIpAddress_);
    form->addRow(Label("lblHostName", QStringLiteral("HOST NAME"), Frame1_), txtRemoteHostName_);
    form->addRow(Label("lblPort", QStringLiteral("PORT"), Frame1_), txtRemotePort_);

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
    top->addWidget(Frame1_);
    top->addWidget(txtSocketStatus_);
    top->addWidget(txtOutput_);
    top->addLayout(buttons);

    txtRemoteIpAddress_->setText(link_.RemoteHost());
    txtRemotePort_->setText(QString::number(TcpLink::kRelayPort));
    txtSocketStatus_->setText(QString::number(link_.State()));

    connect(txtRemoteIpAddress_, &QLineEdit::textChanged, &link_, &TcpLink::SetRemoteHost);
    connect(cmdConnect_, &QPushButton::clicked, &link_, &TcpLink::cmdConnect);
    connect(cmdSendString_, &QPushButton::clicked, &link_, &TcpLink::cmdSendString);
    connect(&link_, &TcpLink::remoteHostNameChanged, txtRemoteHostName_, &QLineEdit::setText);
    connect(&link_, &TcpLink::socketStatus, this, &frmClient::ShowStatus);
}

frmClient::~frmClient() = default;

void frmClient::Connect() {
    link_.Connect();
}

void frmClient::ShowStatus(int state, quint16 remotePort) {
    txtSocketStatus_->setText(QString::number(state));
    txtRemotePort_->setText(QString::number(remotePort));
}

void frmClient::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    emit closedByUser();
}

}  // namespace tuvik
