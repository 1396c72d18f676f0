#include "pid/StepTestRun.h"

#include <cmath>

namespace tuvik {

void StepTestRun::Begin(int loop, const QString& loopName, double outputBefore, double outputAfter,
                        double limitS) {
    state_ = State::Stepping;
    record_ = StepRecord{};
    record_.loop = loop;
    record_.loopName = loopName;
    record_.outputBefore = outputBefore;
    record_.outputAfter = outputAfter;
    baselineCount_ = 0;
    limitS_ = limitS;
}

void StepTestRun::StepSent(double now, const QDateTime& wall) {
    if (state_ != State::Stepping) {
        return;
    }
    state_ = State::Recording;
    stepAt_ = now;
    record_.started = wall;
    record_.samples.clear();
    double sum = 0, sum2 = 0;
    for (const StepSample& s : before_) {
        if (s.t >= now - kBaselineS) {
            record_.samples.push_back({s.t - now, s.output, s.measurement});
            sum += s.measurement;
            sum2 += s.measurement * s.measurement;
        }
    }
    baselineCount_ = static_cast<int>(record_.samples.size());
    const double n = baselineCount_;
    baseline_ = n > 0 ? sum / n : 0;
    noise_ = n > 1 ? std::sqrt(std::max(0.0, (sum2 - sum * sum / n) / (n - 1))) : 0;
}

void StepTestRun::StepNotSent() {
    if (state_ == State::Stepping) {
        state_ = State::Idle;
    }
}

bool StepTestRun::AddSample(double now, double output, double measurement) {
    if (state_ != State::Recording) {
        before_.push_back({now, output, measurement});
        while (!before_.empty() && before_.front().t < now - kBaselineS) {
            before_.pop_front();
        }
        return false;
    }
    record_.samples.push_back({now - stepAt_, output, measurement});
    if (baselineCount_ == 0 && Samples() == 1) {
        baseline_ = measurement;  // no baseline: the first sample stands for it
    }
    if (Tick(now)) {
        return true;
    }
    if (Flat()) {
        state_ = State::Settled;
        return true;
    }
    return false;
}

bool StepTestRun::Tick(double now) {
    if (state_ == State::Recording && now - stepAt_ >= limitS_) {
        state_ = State::TimedOut;
        return true;
    }
    return false;
}

void StepTestRun::End(State how) {
    if (running()) {
        state_ = how;
    }
}

bool StepTestRun::Flat() const {
    const auto& s = record_.samples;
    const double t = s.back().t;
    const double w = t / 4;
    double sumNew = 0, sumOld = 0;
    int nNew = 0, nOld = 0;
    for (size_t i = static_cast<size_t>(baselineCount_); i < s.size(); ++i) {
        if (s[i].t > t - w) {
            sumNew += s[i].measurement;
            ++nNew;
        } else if (s[i].t > t - 2 * w) {
            sumOld += s[i].measurement;
            ++nOld;
        }
    }
    if (nNew < kWindowSamples || nOld < kWindowSamples) {
        return false;
    }
    const double meanNew = sumNew / nNew;
    const double response = std::fabs(meanNew - baseline_);
    return response > kNoiseFactor * noise_ && response > 0 &&
           std::fabs(meanNew - sumOld / nOld) < kFlatShare * response;
}

QString StepTestRun::StateText(State s) {
    switch (s) {
        case State::Idle:
            return QStringLiteral("Ready.");
        case State::Stepping:
            return QStringLiteral("Sending the step...");
        case State::Recording:
            return QStringLiteral("Recording the response...");
        case State::Settled:
            return QStringLiteral("The measurement has settled.");
        case State::TimedOut:
            return QStringLiteral("The time limit was reached.");
        case State::Stopped:
            return QStringLiteral("Stopped by the operator.");
        case State::Cancelled:
            return QStringLiteral("Step test cancelled: the loop is left in manual as last sent.");
        case State::LinkLost:
            return QStringLiteral(
                "Step test ended, the link was lost: the loop is left as last sent.");
    }
    return {};
}

}  // namespace tuvik
