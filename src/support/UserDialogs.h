#pragma once
// The message boxes and file dialogs that the windows show, behind one small
// interface: the windows ask through it, the running program answers with
// modal boxes, and tests answer without a modal loop and read the texts.

#include <QString>

namespace tuvik {

// Title of the program's message boxes and name of its settings store.
inline QString AppTitle() {
    return QStringLiteral("VUD_OV");
}

class UserDialogs {
  public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~UserDialogs() = default;

    // A message with an OK button.
    virtual void Message(const QString& title, const QString& text, Icon icon = Icon::None) = 0;
    // A question with OK and Cancel; true when the answer is OK. detail, when
    // not empty, is shown as the box's details (the values a write changes).
    virtual bool Confirm(const QString& title, const QString& text, Icon icon = Icon::None,
                         const QString& detail = {}) = 0;
    // A question with Yes and No and the exclamation icon, No the default;
    // true when the answer is Yes.
    virtual bool AskYesNo(const QString& title, const QString& text,
                          const QString& detail = {}) = 0;
    // The chosen path, or an empty text when the dialog was cancelled.
    // filter is in the "Name (*.ext)" form. appendsTo: the file is appended
    // to, so choosing an existing one is not questioned.
    virtual QString SaveFileName(const QString& title, const QString& filter,
                                 bool appendsTo = false) = 0;
    virtual QString OpenFileName(const QString& title, const QString& filter) = 0;
    // The same, starting in the folder dir.
    virtual QString OpenFileNameIn(const QString& title, const QString& filter,
                                   const QString& dir) {
        (void)dir;
        return OpenFileName(title, filter);
    }
};

}  // namespace tuvik
