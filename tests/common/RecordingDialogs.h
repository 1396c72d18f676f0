#pragma once
// Answers the windows' message boxes and file dialogs without a modal loop,
// keeping every text it was shown.

#include <QString>
#include <QStringList>

#include <deque>
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
    std::vector<Shown> shown;
    // Answer of the next Confirm calls, oldest first; OK once they run out.
    std::deque<bool> confirmAnswers;
    // Paths the next file dialogs return; empty (cancelled) once they run out.
    std::deque<QString> files;
    QStringList fileTitles;

    void Message(const QString& title, const QString& text, Icon icon) override {
        shown.push_back({QStringLiteral("message"), title, text, icon});
    }
    bool Confirm(const QString& title, const QString& text, Icon icon) override {
        shown.push_back({QStringLiteral("confirm"), title, text, icon});
        if (confirmAnswers.empty()) {
            return true;
        }
        const bool a = confirmAnswers.front();
        confirmAnswers.pop_front();
        return a;
    }
    QString SaveFileName(const QString& title, const QString&) override { return NextFile(title); }
    QString OpenFileName(const QString& title, const QString&) override { return NextFile(title); }

    QStringList texts() const {
        QStringList out;
        for (const Shown& s : shown) {
            out << s.text;
        }
        return out;
    }
    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
    void clear() { shown.clear(); }

  private:
    QString NextFile(const QString& title) {
        fileTitles << title;
        if (files.empty()) {
            return {};
        }
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

}  // namespace tuvik::test
