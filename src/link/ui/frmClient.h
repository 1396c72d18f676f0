#pragma once
// The TCP client window: the relay server's address, the socket state and the
// connect and refresh buttons. The connection itself lives in TcpLink.

#include <QWidget>

#include "link/TcpLink.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tuvik {

class AppContext;

class frmClient : public QWidget {
    Q_OBJECT
  public:
    explicit frmClient(AppContext& ctx, QWidget* parent = nullptr);
    ~frmClient() override;

    TcpLink& link() { return link_; }

    // What the main window's connect button calls: watcher on, then connect.
    void Connect();

  signals:
    // The user closed the window with its own close button; it is only hidden.
    void closedByUser();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowStatus(int state, quint16 remotePort);

    TcpLink link_;
    QGroupBox* Frame1_;
    QLineEdit* txtRemoteIpAddress_;
    QLineEdit* txtRemoteHostName_;
    QLineEdit* txtRemotePort_;
    QLineEdit* txtSocketStatus_;
    QLineEdit* txtOutput_;
    QPushButton* cmdConnect_;
    QPushButton* cmdSendString_;
};

}  // namespace tuvik
