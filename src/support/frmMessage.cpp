#include "support/frmMessage.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "support/MessageLog.h"

namespace tuvik {

frmMessage::frmMessage(MessageLog* log, QWidget* parent) : QWidget(parent, Qt::Window), log_(log) {
    setObjectName(QStringLiteral("frmMessage"));
    setWindowTitle(QStringLiteral("Messages"));

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);

    Command1 = new QPushButton(QStringLiteral("Clear"), this);
    Command1->setObjectName(QStringLiteral("Command1"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text1, 1);
    layout->addLayout(buttons);
    resize(640, 420);

    if (log_) {
        connect(log_, &MessageLog::logTextChanged, this, &frmMessage::ShowText);
        connect(Command1, &QPushButton::clicked, log_, &MessageLog::Clear);
        ShowText(log_->logText());
    }
}

void frmMessage::ShowText(const QString& text) {
    // Lines are kept with CR LF; the text box wants bare line feeds.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    Text1->setPlainText(shown);
}

void frmMessage::Unload() {
    if (unloading_) {
        return;
    }
    unloading_ = true;
    if (log_) {
        log_->Unload();
    }
    close();
}

void frmMessage::closeEvent(QCloseEvent* event) {
    if (!unloading_) {
        // The close box only hides the window; the log keeps running.
        event->ignore();
        hide();
        return;
    }
    event->accept();
}

}  // namespace tuvik
