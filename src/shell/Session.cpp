#include "shell/Session.h"

#include <QLocale>

#include "support/Numbers.h"

namespace tuvik {

// Actuator events from the dispatcher become log messages.
class Session::LogTarget : public MessageLogTarget {
  public:
    explicit LogTarget(MessageLog& log) : log_(log) {}
    void ActuatorEvent(const QString& device, const QString& activity, const QString& clock,
                       const QString& state) override {
        log_.AddActuatorEvent(device, activity, clock, state);
    }

  private:
    MessageLog& log_;
};

Session::Session(const AppPaths& paths, QObject* parent)
    : QObject(parent),
      paths_(paths),
      log_(std::make_unique<MessageLog>(paths.DailyDir())),
      logTarget_(std::make_unique<LogTarget>(*log_)),
      connection_(std::make_unique<ConnectionController>(ctx_, *log_)),
      replay_(std::make_unique<ReplayController>(ctx_, *connection_)),
      recorder_(std::make_unique<SessionRecorder>(
          ctx_, *log_, paths.DailyFilePath(QStringLiteral("recordings")))) {
    connect(log_.get(), &MessageLog::userNotice, &ctx_, &AppContext::notifyUser);
}

Session::~Session() {
    replay_.reset();
    dispatcher_.SetMessageLog(nullptr);
}

void Session::Start() {
    SetDecimalSeparator(DetectDecimalSeparator(QLocale::system()));
    params_.LoadParamTable(paths_.ParamsHeaderPath());
    if (!paths_.HasParamsHeader()) {
        log_->AddMessage(NoParamsHeaderMessage(paths_));
    }
    dispatcher_.SetMessageLog(logTarget_.get());
    ctx_.setReplyReceiver(&dispatcher_);
    if (paths_.HasParamsHeader()) {
        recorder_->setParamsFile(paths_.ParamsHeaderPath());
    }
    recorder_->Prune();
}

}  // namespace tuvik
