#include "support/ui/Controls.h"

#include <QPalette>
#include <QSpinBox>

#include "support/UserDialogs.h"
#include "support/WriteCheck.h"

namespace tuvik {

void ShowEditedMark(QWidget* w, const std::optional<QString>& tipLine, const QString& ownTip,
                    bool wholeControl) {
    if (w == nullptr) {
        return;
    }
    QPalette pal;  // nothing set: the control takes its parent's colours again
    if (tipLine) {
        pal.setColor(QPalette::Base, EditedMarkColour());
        if (wholeControl) {
            pal.setColor(QPalette::Window, EditedMarkColour());
            pal.setColor(QPalette::Button, EditedMarkColour());
        }
    }
    w->setAutoFillBackground(tipLine.has_value() && wholeControl);
    w->setPalette(pal);
    w->setToolTip(!tipLine           ? ownTip
                  : ownTip.isEmpty() ? *tipLine
                                     : ownTip + QLatin1Char('\n') + *tipLine);
}

bool ConfirmLimit(UserDialogs& dialogs, const QString& title, QSpinBox* box, int old,
                  const std::optional<QString>& question, bool& asking) {
    if (!question) {
        return true;
    }
    asking = true;
    const bool yes = dialogs.AskYesNo(title, *question);
    asking = false;
    if (!yes) {
        box->setValue(old);
    }
    return yes;
}

}  // namespace tuvik
