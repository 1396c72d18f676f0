#include "support/ui/Controls.h"

#include <QPalette>

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

}  // namespace tuvik
