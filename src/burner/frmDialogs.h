#pragma once
// The modal boxes and file dialogs the burner windows open, behind one small
// interface: the program shows real ones, tests give answers and read the
// texts without a modal loop.

#include <QString>

class QWidget;

namespace tuvik {

class UserDialogs {
  public:
    enum class Icon { None, Information, Exclamation, Critical };

    virtual ~UserDialogs() = default;
    // A box with an OK button.
    virtual void Message(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;
    // A box with Yes and No buttons and the exclamation icon; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text, const QString& title) = 0;
    // The chosen file, or an empty text when the dialog was cancelled. The
    // filter is in Qt's form, e.g. "All Files (*.par)". Choosing an existing
    // file to save into is not questioned: the files are appended to.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
};

// QMessageBox and QFileDialog.
class QtDialogs : public UserDialogs {
  public:
    void Message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    bool AskYesNo(QWidget* parent, const QString& text, const QString& title) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& filter) override;
};

// The program-wide instance of QtDialogs, for windows given no other.
UserDialogs& DefaultDialogs();

}  // namespace tuvik
