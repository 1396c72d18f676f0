#include "support/ui/StandardDialogsWidget.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTextEdit>

namespace tuvik {

namespace {

QMessageBox::Icon BoxIcon(UserDialogs::Icon icon) {
    switch (icon) {
        case UserDialogs::Icon::Information:
            return QMessageBox::Information;
        case UserDialogs::Icon::Warning:
            return QMessageBox::Warning;
        case UserDialogs::Icon::Critical:
            return QMessageBox::Critical;
        case UserDialogs::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void StandardDialogsWidget::Message(const QString& title, const QString& text, Icon icon) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, parent_);
    box.exec();
}

namespace {

// The values a write changes go into the box's details, shown open and in a
// fixed-pitch font so that the columns line up.
void SetDetail(QMessageBox& box, const QString& detail) {
    if (detail.isEmpty()) {
        return;
    }
    box.setDetailedText(detail);
    if (auto* edit = box.findChild<QTextEdit*>()) {
        edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        edit->setMinimumWidth(420);
    }
    for (QAbstractButton* b : box.buttons()) {
        if (box.buttonRole(b) == QMessageBox::ActionRole) {
            b->click();  // opens the details
            break;
        }
    }
}

}  // namespace

bool StandardDialogsWidget::Confirm(const QString& title, const QString& text, Icon icon,
                                    const QString& detail) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel, parent_);
    SetDetail(box, detail);
    return box.exec() == QMessageBox::Ok;
}

bool StandardDialogsWidget::AskYesNo(const QString& title, const QString& text,
                                     const QString& detail) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    SetDetail(box, detail);
    return box.exec() == QMessageBox::Yes;
}

QString StandardDialogsWidget::SaveFileName(const QString& title, const QString& filter,
                                            bool appendsTo) {
    QFileDialog dlg(parent_, title, QString(), filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    // The extension the filter names ("All Files (*.PID)" gives PID).
    const QRegularExpressionMatch ext =
        QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    if (ext.hasMatch()) {
        dlg.setDefaultSuffix(ext.captured(1));
    }
    if (appendsTo) {
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) {
        return {};
    }
    return dlg.selectedFiles().first();
}

QString StandardDialogsWidget::OpenFileName(const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent_, title, QString(), filter);
}

QString StandardDialogsWidget::OpenFileNameIn(const QString& title, const QString& filter,
                                              const QString& dir) {
    return QFileDialog::getOpenFileName(parent_, title, dir, filter);
}

UserDialogs& DefaultDialogs() {
    static StandardDialogsWidget dialogs;
    return dialogs;
}

}  // namespace tuvik
