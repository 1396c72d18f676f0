#pragma once
// Stands in for the modal boxes and file dialogs of the burner windows: it
// records every text and title it is shown and gives the answers the test
// set, so no modal loop ever runs.

#include <QList>
#include <QString>
#include <QStringList>

#include "burner/frmDialogs.h"

namespace tuvik::test {

struct RecordingDialogs : UserDialogs {
    struct Shown {
        QString text;
        QString title;
        Icon icon;
    };
    QList<Shown> messages;
    QStringList questions;  // "title|text"
    bool answerYes = true;
    QString saveFileName;  // what the save dialog returns; empty = cancelled
    QString openFileName;
    QStringList fileDialogs;  // "title|filter"

    void Message(QWidget*, const QString& text, const QString& title, Icon icon) override {
        messages.append({text, title, icon});
    }
    bool AskYesNo(QWidget*, const QString& text, const QString& title) override {
        questions.append(title + QLatin1Char('|') + text);
        return answerYes;
    }
    QString SaveFileName(QWidget*, const QString& title, const QString& filter) override {
        fileDialogs.append(title + QLatin1Char('|') + filter);
        return saveFileName;
    }
    QString OpenFileName(QWidget*, const QString& title, const QString& filter) override {
        fileDialogs.append(title + QLatin1Char('|') + filter);
        return openFileName;
    }

    QStringList Texts() const {
        QStringList out;
        for (const Shown& s : messages) {
            out.append(s.text);
        }
        return out;
    }
};

}  // namespace tuvik::test
