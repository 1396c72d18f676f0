#pragma once
// Answers the windows' message boxes and file dialogs without a modal loop,
// keeping every text it was shown.

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

#include "shell/UserDialogs.h"

namespace tuvik::test {

class RecordingDialogs : public UserDialogs {
  public:
    struct Shown {
        QString kind;  // "message" or "confirm"
        QString title;
        QString text;
        Icon icon;
    };
    // Every message and OK/Cancel question, in order.
    std::vector<Shown> shown;
    // Only the messages.
    QList<Shown> messages;
    // Every Yes/No question as "title|text".
    QStringList questions;
    bool answerYes = true;
    // Answers of the next Confirm calls, oldest first; OK once they run out.
    std::deque<bool> confirmAnswers;
    // Paths the next file dialogs return, oldest first; once they run out,
    // saveFileName or openFileName (empty = cancelled).
    std::deque<QString> files;
    QString saveFileName;
    QString openFileName;
    QStringList fileTitles;
    QStringList fileDialogs;  // "title|filter"

    void Message(const QString& title, const QString& text, Icon icon) override {
        shown.push_back({QStringLiteral("message"), title, text, icon});
        messages.append(shown.back());
    }
    // The details of every Confirm and AskYesNo, in order.
    QStringList details;
    // Called while a Confirm is open (for example to change the device before
    // the answer is given).
    std::function<void()> onConfirm;
    bool Confirm(const QString& title, const QString& text, Icon icon,
                 const QString& detail) override {
        details.append(detail);
        shown.push_back({QStringLiteral("confirm"), title, text, icon});
        if (onConfirm) {
            onConfirm();
        }
        if (confirmAnswers.empty()) {
            return true;
        }
        const bool a = confirmAnswers.front();
        confirmAnswers.pop_front();
        return a;
    }
    bool AskYesNo(const QString& title, const QString& text, const QString& detail) override {
        details.append(detail);
        questions.append(title + QLatin1Char('|') + text);
        return answerYes;
    }
    QString SaveFileName(const QString& title, const QString& filter, bool) override {
        return NextFile(title, filter, saveFileName);
    }
    QString OpenFileName(const QString& title, const QString& filter) override {
        return NextFile(title, filter, openFileName);
    }

    QStringList texts() const {
        QStringList out;
        for (const Shown& s : shown) {
            out << s.text;
        }
        return out;
    }
    QStringList Texts() const {
        QStringList out;
        for (const Shown& s : messages) {
            out << s.text;
        }
        return out;
    }
    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
    void clear() {
        shown.clear();
        messages.clear();
    }

  private:
    QString NextFile(const QString& title, const QString& filter, const QString& fallback) {
        fileTitles << title;
        fileDialogs << title + QLatin1Char('|') + filter;
        if (files.empty()) {
            return fallback;
        }
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

}  // namespace tuvik::test
