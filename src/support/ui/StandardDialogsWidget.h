#pragma once
// The running program's answer to UserDialogs: modal message boxes and the
// platform's file dialogs, over a parent window.

#include <QPointer>
#include <QWidget>

#include "support/UserDialogs.h"

namespace tuvik {

class StandardDialogsWidget : public UserDialogs {
  public:
    explicit StandardDialogsWidget(QWidget* parent = nullptr) : parent_(parent) {}

    void Message(const QString& title, const QString& text, Icon icon = Icon::None) override;
    bool Confirm(const QString& title, const QString& text, Icon icon = Icon::None,
                 const QString& detail = {}) override;
    bool AskYesNo(const QString& title, const QString& text, const QString& detail = {}) override;
    QString SaveFileName(const QString& title, const QString& filter,
                         bool appendsTo = false) override;
    QString OpenFileName(const QString& title, const QString& filter) override;
    QString OpenFileNameIn(const QString& title, const QString& filter,
                           const QString& dir) override;

  private:
    QPointer<QWidget> parent_;
};

// The program-wide boxes without a parent window, for windows given no other.
UserDialogs& DefaultDialogs();

}  // namespace tuvik
