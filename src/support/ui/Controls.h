#pragma once
// Small helpers the windows share: naming a control as tests and the
// operator's tools find it, and the tint of a value that differs from the
// device's.

#include <QString>
#include <QWidget>

#include <optional>

class QSpinBox;

namespace tuvik {

class UserDialogs;

// Gives w its object name and hands it back, so a control is made and named
// in one expression.
template <typename T>
T* Named(T* w, const QString& name) {
    w->setObjectName(name);
    return w;
}
template <typename T>
T* Named(T* w, const char* name) {
    return Named(w, QString::fromLatin1(name));
}

// "Name_i": member i of a control array.
inline QString Indexed(const char* name, int i) {
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(i);
}

// Tints a control that holds a value other than the device's and adds
// tipLine (the device's value in words) to its own tool tip; an unmarked
// control gets its parent's colours and its own tip back. wholeControl tints
// the control's whole area (frames, check boxes); otherwise only the text
// field's base.
void ShowEditedMark(QWidget* w, const std::optional<QString>& tipLine, const QString& ownTip,
                    bool wholeControl);

// A limit the operator has finished typing into `box` that would remove
// data: asks `question` (none: nothing goes, nothing to ask), No being the
// default; No puts `old` back. True when the limit is to be applied.
// `asking` is set meanwhile: the question's box takes the focus, and the
// box's own end of editing must not ask again.
bool ConfirmLimit(UserDialogs& dialogs, const QString& title, QSpinBox* box, int old,
                  const std::optional<QString>& question, bool& asking);

}  // namespace tuvik
