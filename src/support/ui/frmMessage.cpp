#include "support/ui/frmMessage.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "support/MessageLog.h"

namespace tuvik {

frmMessage::frmMessage(MessageLog* log, QWidget* parent) : QWidget(parent, Qt::Window), log_(log) {
    setObjectName(QStringLiteral("frmMessage"));
    setWindowTitle(QStringLiteral("Messages"));

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);

    clearButton_ = new QPushButton(QStringLiteral("Clear"), this);
    clearButton_->setObjectName(QStringLiteral("Command1"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(clearButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    resize(640, 420);

    if (log_) {
        connect(log_, &MessageLog::logTextChanged, this, &frmMessage::ShowText);
        connect(clearButton_, &QPushButton::clicked, log_, &MessageLog::Clear);
        ShowText(log_->logText());
    }
}

void frmMessage::ShowText(const QString& text) {
    // Lines are kept with CR LF; the text box wants bare line feeds.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    // New lines come in at the top: put only those in. Setting the whole text
    // again lays out the whole log, at every message.
    const qsizetype added = shown.size() - shown_.size();
    if (added > 0 && !shown_.isEmpty() && QStringView(shown).sliced(added) == shown_) {
        QTextCursor at(text_->document());
        at.movePosition(QTextCursor::Start);
        at.insertText(shown.left(added));
    } else if (shown != shown_) {
        text_->setPlainText(shown);
    }
    shown_ = std::move(shown);
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
