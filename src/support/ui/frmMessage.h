#pragma once
// The message log window: the log's screen text and a button that empties
// it. Closing it with the close box only hides it; the log goes on.

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace tuvik {

class MessageLog;

class frmMessage : public QWidget {
    Q_OBJECT
  public:
    explicit frmMessage(MessageLog* log, QWidget* parent = nullptr);

    // The final unload at the end of the program: writes what the log still
    // holds (creating today's file with its header) and closes for good.
    void Unload();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowText(const QString& text);

    QPointer<MessageLog> log_;
    QPlainTextEdit* text_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QString shown_;  // what text_ holds
    bool unloading_ = false;
};

}  // namespace tuvik
