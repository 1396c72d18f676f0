#pragma once
// The main window's link status line (lblLinkStatus): the line LinkStatus
// works out for the active link, a few times a second while connected or
// retrying, in the warning colour when LinkStatus says so. The text also
// goes to screen readers.

#include <QList>
#include <QMetaObject>
#include <QTimer>

#include "shell/LinkStatus.h"
#include "support/ui/LabelBoxWidget.h"

namespace tuvik {

class AppContext;

class LinkStatusBar : public LabelBoxWidget {
    Q_OBJECT
  public:
    explicit LinkStatusBar(AppContext& ctx, QWidget* parent = nullptr);

    // The controller's alarm, shown at the end of the line.
    void SetAlarm(bool on);

  private:
    void WatchLink(DeviceLink* link);
    void LinkConnectedChanged(bool connected);
    void Update();

    AppContext& ctx_;
    QLabel* label_;
    LinkStatus status_;
    QTimer timer_;
    QList<QMetaObject::Connection> linkWatch_;
    bool alarm_ = false;
    bool warning_ = false;
};

}  // namespace tuvik
