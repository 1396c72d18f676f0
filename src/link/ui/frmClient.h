#pragma once
// The TCP client window: the relay server's address, the socket state and the
// connect and refresh buttons. The connection itself is the connection
// controller's TcpLink; the window shows what it is told of it.

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

    // The relay address in txtRemoteIpAddress.
    void setRelayHost(const QString& host);
    // The socket's state and the remote port, as they are shown.
    void ShowStatus(const QString& state, const QString& remotePort);
    void ShowRemoteHostName(const QString& name);

  signals:
    // The operator changed the relay address.
    void relayHostEdited(const QString& host);
    // cmdConnect was clicked: connect (again) to the relay.
    void connectClicked();
    // cmdSendString ("Refresh data") was clicked: the relay's refresh command.
    void refreshClicked();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
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
