#pragma once
// Answers the windows' message boxes and file dialogs without a modal loop,
// keeping every text it was shown.

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

#include "support/UserDialogs.h"

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
    // none (cancelled).
    std::deque<QString> files;
    QStringList fileTitles;

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
        return Next(confirmAnswers, true);
    }
    bool AskYesNo(const QString& title, const QString& text, const QString& detail) override {
        details.append(detail);
        questions.append(title + QLatin1Char('|') + text);
        return answerYes;
    }
    QString SaveFileName(const QString& title, const QString&, bool) override {
        return NextFile(title);
    }
    QString OpenFileName(const QString& title, const QString&) override { return NextFile(title); }

    QStringList texts() const {
        QStringList out;
        for (const Shown& s : shown) {
            out << s.text;
        }
        return out;
    }
    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
    void clear() {
        shown.clear();
        messages.clear();
        questions.clear();
        details.clear();
    }

  private:
    QString NextFile(const QString& title) {
        fileTitles << title;
        return Next(files, QString());
    }
    // The oldest queued answer, taken; the fallback once they run out.
    template <typename T>
    static T Next(std::deque<T>& queue, const T& fallback) {
        const T out = queue.empty() ? fallback : queue.front();
        queue.erase(queue.begin(), queue.begin() + (queue.empty() ? 0 : 1));
        return out;
    }
};

}  // namespace tuvik::test
