#include "shell/ui/LinkStatusBar.h"

#include <QLabel>

#include "shell/AppContext.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {

QLabel* StatusLabel() {
    auto* l = Named(new QLabel, "lblLinkStatus");
    l->setAutoFillBackground(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setToolTip(QStringLiteral(
        "The link in use, replies and bytes a second, broken packets since connecting and the "
        "time since the last reply (warning colour after 2 s without one)"));
    l->setAccessibleName(QStringLiteral("Link status"));
    return l;
}

}  // namespace

LinkStatusBar::LinkStatusBar(AppContext& ctx, QWidget* parent)
    : LabelBoxWidget(StatusLabel(), parent),
      ctx_(ctx),
      label_(findChild<QLabel*>(QStringLiteral("lblLinkStatus"))) {
    timer_.setInterval(LinkStatus::kUpdateMs);
    connect(&timer_, &QTimer::timeout, this, &LinkStatusBar::Update);
    connect(&ctx_, &AppContext::linkConnectedChanged, this, &LinkStatusBar::LinkConnectedChanged);
    connect(&ctx_, &AppContext::activeLinkChanged, this, &LinkStatusBar::WatchLink);
    connect(&ctx_, &AppContext::statusNoteChanged, this, &LinkStatusBar::Update);
    WatchLink(ctx_.activeLink());
    Update();
}

void LinkStatusBar::SetAlarm(bool on) {
    if (on != alarm_) {
        alarm_ = on;
        Update();
    }
}

void LinkStatusBar::WatchLink(DeviceLink* link) {
    for (const QMetaObject::Connection& c : linkWatch_) {
        disconnect(c);
    }
    linkWatch_.clear();
    if (!link) {
        return;
    }
    linkWatch_ << connect(link, &DeviceLink::linkLost, this, &LinkStatusBar::Update);
    linkWatch_ << connect(link, &DeviceLink::reconnectingChanged, this, [this] {
        timer_.start();
        Update();
    });
}

void LinkStatusBar::LinkConnectedChanged(bool connected) {
    DeviceLink* link = ctx_.activeLink();
    if (connected && link) {
        status_.Restart(link->clock().MonotonicUs() / 1000, link->traffic());
    }
    if (connected || (link && link->reconnecting())) {
        timer_.start();
    } else {
        timer_.stop();
    }
    Update();
}

void LinkStatusBar::Update() {
    const DeviceLink* link = ctx_.activeLink();
    const Clock& clock = link ? link->clock() : Clock::System();
    LinkStatus::Line line =
        status_.Update(link, ctx_.LinkConnected(), alarm_, clock.MonotonicUs() / 1000);
    if (!ctx_.statusNote().isEmpty()) {
        line.text += QStringLiteral("; ") + ctx_.statusNote();
        line.warning = true;
    }
    // Only a connected or retrying link is watched a few times a second.
    if (!link || (!link->reconnecting() && !ctx_.LinkConnected())) {
        timer_.stop();
    }
    if (line.text != label_->text()) {
        label_->setText(line.text);
        // The label's name stays "Link status"; screen readers read what it
        // says from its description.
        label_->setAccessibleDescription(line.text);
    }
    if (line.warning != warning_) {
        warning_ = line.warning;
        QPalette pal = label_->palette();
        pal.setColor(QPalette::Window,
                     line.warning ? QColor(255, 196, 0) : palette().color(QPalette::Window));
        pal.setColor(QPalette::WindowText,
                     line.warning ? QColor(Qt::black) : palette().color(QPalette::WindowText));
        label_->setPalette(pal);
    }
}

}  // namespace tuvik
