#pragma once
// The main window's connection panel (Frame9): the port, speed and refresh
// boxes with a list of the computer's serial ports, the TCP check box and
// the connect button. It shows and forwards; ConnectionController decides.

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tuvik {

class ConnectionController;
struct ConnectionTexts;

class ConnectionPanel : public QGroupBox {
    Q_OBJECT
  public:
    ConnectionPanel(ConnectionController& controller, QWidget* parent = nullptr);

    // The three boxes, as restored from the settings store.
    void ShowTexts(const ConnectionTexts& texts);

  private:
    void FillPortMenu();
    void TextsEdited();

    ConnectionController& controller_;
    QLineEdit* txtComPort_ = nullptr;
    QToolButton* cmdPortList_ = nullptr;
    QLineEdit* txtSpeed_ = nullptr;
    QLineEdit* txtRefresh_ = nullptr;
    QCheckBox* chkUseTCP_ = nullptr;
    QPushButton* btnCon_ = nullptr;
};

}  // namespace tuvik
