#include "shell/ui/ReplayPanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include "shell/LinkTexts.h"
#include "shell/Session.h"
#include "shell/ui/RecordingsDialog.h"
#include "support/UserDialogs.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {
constexpr qint64 kUsPerSlider = 1000000;  // the slider counts seconds
}

ReplayPanel::ReplayPanel(Session& session, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), session_(session), dialogs_(dialogs) {
    auto* replay =
        Named(new QPushButton(QStringLiteral("Replay a recording..."), this), "cmdReplay");
    replay->setToolTip(
        QStringLiteral("Play a recorded session through the windows; nothing is sent"));
    auto* recordings =
        Named(new QPushButton(QStringLiteral("Recordings..."), this), "cmdRecordings");
    recordings->setToolTip(
        QStringLiteral("The session recordings: keep marks, the folder's size limit, replay"));
    bar_ = Named(new QWidget(this), "fraReplay");
    speed_ = Named(new QComboBox(bar_), "cboReplaySpeed");
    for (const int s : ReplayLink::kSpeeds) {
        speed_->addItem(LinkTexts::ReplaySpeed(s), s);
    }
    pause_ = Named(new QPushButton(QStringLiteral("Pause"), bar_), "cmdReplayPause");
    position_ = Named(new QSlider(Qt::Horizontal, bar_), "sldReplayPosition");
    position_->setAccessibleName(QStringLiteral("Replay position"));
    auto* stop = Named(new QPushButton(QStringLiteral("Stop replay"), bar_), "cmdReplayStop");

    auto* barRow = new QHBoxLayout(bar_);
    barRow->setContentsMargins(0, 0, 0, 0);
    barRow->addWidget(speed_);
    barRow->addWidget(pause_);
    barRow->addWidget(position_, 1);
    barRow->addWidget(stop);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(replay);
    row->addWidget(recordings);
    row->addWidget(bar_, 1);
    bar_->hide();

    ReplayController& c = session_.replay();
    connect(replay, &QPushButton::clicked, this, &ReplayPanel::ChooseRecording);
    connect(recordings, &QPushButton::clicked, this, &ReplayPanel::ShowRecordings);
    connect(stop, &QPushButton::clicked, &c, &ReplayController::Stop);
    connect(&c, &ReplayController::replayingChanged, this, &ReplayPanel::ReplayingChanged);
    connect(speed_, &QComboBox::currentIndexChanged, this, [this, &c](int i) {
        if (ReplayLink* link = c.link()) {
            link->SetSpeed(speed_->itemData(i).toInt());
        }
    });
    connect(pause_, &QPushButton::clicked, this, [&c] {
        if (ReplayLink* link = c.link()) {
            link->SetPaused(!link->paused());
        }
    });
    connect(position_, &QSlider::sliderReleased, this, &ReplayPanel::SeekToSlider);
    connect(position_, &QSlider::valueChanged, this, [this] {
        if (!position_->isSliderDown()) {
            SeekToSlider();  // a click beside the handle or a key
        }
    });
}

void ReplayPanel::ChooseRecording() {
    const QString path = dialogs_.OpenFileNameIn(
        QStringLiteral("Replay a recording"), QStringLiteral("Recordings (*.pcapng.zst)"),
        session_.paths().DailyFilePath(QStringLiteral("recordings")));
    if (path.isEmpty()) {
        return;
    }
    Replay(path);
}

void ReplayPanel::Replay(const QString& path) {
    if (const auto why = session_.replay().Open(path)) {
        dialogs_.Message(AppTitle(), *why, UserDialogs::Icon::Warning);
    }
}

void ReplayPanel::ShowRecordings() {
    if (!recordings_) {
        recordings_ = new RecordingsDialog(session_.recorder(), dialogs_, window());
        recordings_->setAttribute(Qt::WA_DeleteOnClose);
        connect(recordings_, &RecordingsDialog::recordingChosen, this, &ReplayPanel::Replay);
    }
    recordings_->Refresh();
    recordings_->show();
    recordings_->raise();
}

void ReplayPanel::ReplayingChanged(bool on) {
    bar_->setVisible(on);
    ReplayLink* link = session_.replay().link();
    if (!on || !link) {
        return;
    }
    const QSignalBlocker quiet(position_);
    const QSignalBlocker quietSpeed(speed_);
    position_->setRange(0, static_cast<int>((link->lengthUs() + kUsPerSlider - 1) / kUsPerSlider));
    position_->setValue(0);
    speed_->setCurrentIndex(speed_->findData(link->speed()));
    pause_->setText(QStringLiteral("Pause"));
    connect(link, &ReplayLink::positionChanged, this, &ReplayPanel::ShowPosition);
    connect(link, &ReplayLink::pausedChanged, this, [this](bool paused) {
        pause_->setText(paused ? QStringLiteral("Play") : QStringLiteral("Pause"));
    });
}

void ReplayPanel::ShowPosition(qint64 positionUs) {
    if (!position_->isSliderDown()) {
        const QSignalBlocker quiet(position_);
        position_->setValue(static_cast<int>(positionUs / kUsPerSlider));
    }
}

void ReplayPanel::SeekToSlider() {
    if (ReplayLink* link = session_.replay().link()) {
        link->Seek(position_->value() * kUsPerSlider);
    }
}

}  // namespace tuvik
