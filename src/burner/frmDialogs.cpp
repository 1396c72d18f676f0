#include "burner/frmDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace tuvik {

void QtDialogs::Message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
        case Icon::None:
            break;
        case Icon::Information:
            qicon = QMessageBox::Information;
            break;
        case Icon::Exclamation:
            qicon = QMessageBox::Warning;
            break;
        case Icon::Critical:
            qicon = QMessageBox::Critical;
            break;
    }
    QMessageBox box(qicon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::SaveFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::OpenFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

UserDialogs& DefaultDialogs() {
    static QtDialogs dialogs;
    return dialogs;
}

}  // namespace tuvik
