#pragma once
// The serial link's window. It stays hidden while the program runs; its title
// shows whether the port is connected or why opening failed.

#include <QWidget>

#include "link/SerialLink.h"

class QGroupBox;
class QLabel;

namespace tuvik {

class frmRS232 : public QWidget {
    Q_OBJECT
  public:
    explicit frmRS232(QWidget* parent = nullptr);
    ~frmRS232() override;

    SerialLink& link() { return link_; }

  private:
    void ShowCaption(const QString& caption);

    SerialLink link_;
    QGroupBox* frame_;
    QLabel* lblState_;
};

}  // namespace tuvik
