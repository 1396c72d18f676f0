#pragma once
// The controller's discrete PID law: setpoint weighting (b), a filtered
// derivative (N), tracking anti-windup (Tt), output limits, feed-forward and
// manual mode with a bumpless return to automatic. The simulator runs it for
// its loops and the tuning prediction runs it against a model process, so
// both see the same law.

namespace tuvik {

// One loop's settings as the law uses them. Values typed by hand may be NaN
// or infinite: the law treats them as 0 (b as 1, maxOut as 100).
struct PidLawSettings {
    bool enable = true, automatic = true, inverted = false;
    double manual = 0, K = 0, Ti = 0, Td = 0, N = 0, b = 1, Tt = 0, forwardK = 0, minOut = 0,
           maxOut = 100;
};

class PidLaw {
  public:
    struct Terms {
        double P = 0, I = 0, D = 0, feedFw = 0, out = 0;
    };

    // One sample taken h seconds after the previous one.
    const Terms& Step(const PidLawSettings& s, double setpoint, double y, double yfw, double h);
    void Reset();
    const Terms& terms() const { return t_; }

  private:
    Terms t_;
    double yOld_ = 0;
    bool primed_ = false;
};

}  // namespace tuvik
