#pragma once
// The serial link's window. It stays hidden while the program runs; its title
// shows whether the port is connected or why opening failed, as it is told.

#include <QWidget>

class QGroupBox;
class QLabel;

namespace tuvik {

class frmRS232 : public QWidget {
    Q_OBJECT
  public:
    explicit frmRS232(QWidget* parent = nullptr);
    ~frmRS232() override;

    // The caption in the title and in lblState.
    void ShowCaption(const QString& caption);

  private:
    QGroupBox* frame_;
    QLabel* lblState_;
};

}  // namespace tuvik
