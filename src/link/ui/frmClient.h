#pragma once
// The TCP client window: the relay server's address, the socket state and the
// connect and refresh buttons. The connection itself lives in TcpLink; the
// window owns it and shows what it reports.

#include <QWidget>

#include "link/TcpLink.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace tuvik {

class frmClient : public QWidget {
    Q_OBJECT
  public:
    explicit frmClient(QWidget* parent = nullptr);
    ~frmClient() override;

    TcpLink& link() { return link_; }

    // The relay address in txtRemoteIpAddress.
    void setRelayHost(const QString& host);

  signals:
    // The operator changed the relay address.
    void relayHostEdited(const QString& host);
    // cmdConnect was clicked: connect (again) to the relay.
    void connectClicked();
    // cmdSendString ("Refresh data") was clicked: the relay's refresh command.
    void refreshClicked();
    // The user closed the window with its own close button; it is only hidden.
    void closedByUser();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowStatus(int state, quint16 remotePort);

    TcpLink link_;
    QGroupBox* addressBox_;
    QLineEdit* txtRemoteIpAddress_;
    QLineEdit* txtRemoteHostName_;
    QLineEdit* txtRemotePort_;
    QLineEdit* txtSocketStatus_;
    QLineEdit* txtOutput_;
    QPushButton* cmdConnect_;
    QPushButton* cmdSendString_;
};

}  // namespace tuvik
