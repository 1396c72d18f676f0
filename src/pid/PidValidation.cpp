#include "pid/PidValidation.h"

#include <cmath>
#include <vector>

#include "pid/DecimalText.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

const QString kTypeMismatch = QStringLiteral("Type mismatch");
const QString kOverflow = QStringLiteral("Overflow");

enum class Source { Box, Port, Manual, Enable, RemoteSetpoint };

struct Rule {
    Source source;
    int box;  // Box and Port rows
    std::optional<float> lo;
    std::optional<float> hi;
    bool nonZero;
    const char* message;
};

constexpr auto kNone = std::nullopt;

Rule Range(int box, float lo, float hi, const char* msg) {
    return {Source::Box, box, lo, hi, false, msg};
}
Rule AtLeast(int box, float lo, const char* msg) {
    return {Source::Box, box, lo, kNone, false, msg};
}
Rule NotZero(int box, const char* msg) {
    return {Source::Box, box, kNone, kNone, true, msg};
}
Rule Port(int box) {
    return {Source::Port, box, 1.0f, 4.0f, false, " Port must be between 1 and 4!"};
}
Rule Manual() {
    return {Source::Manual, -1, 0.0f, 100.0f, false, " Manual controll must be 0-100!"};
}
Rule Flag(Source s) {
    return {s, -1, kNone, kNone, false, ""};
}

// The lambda loop: every box is checked. Its lowest output is held to the
// range its message names.
const std::vector<Rule>& LambdaRules() {
    static const std::vector<Rule> rules = {
        Range(PidBox::Setpoint, 0.0f, 3000.0f, "Setpoint must be 0-3000!"),
        Range(PidBox::MaxContr, 0.0f, 500.0f, "MaxControll must be 0-500!"),
        Range(PidBox::MinContr, 0.0f, 500.0f, " MinControll must be 0-500!"),
        Range(PidBox::K, 0.0f, 200.0f, " K must be 0-200!"),
        AtLeast(PidBox::Ti, 0.01f, " Ti must be at least 0.01!"),
        AtLeast(PidBox::Td, 0.0f, " Td must be at least 0!"),
        AtLeast(PidBox::tt, 0.05f, " Tt must be at least 0.05!"),
        Range(PidBox::N, 1.0f, 5.0f, " N must be 1-5!"),
        Range(PidBox::b, 0.05f, 1.0f, " b must be 0.05-1!"),
        Range(PidBox::ForwardK, -10.0f, 10.0f, " Forward K must be -10-10!"),
        AtLeast(PidBox::Tm, 0.2f, " Tm must be at least 0.2!"),
        AtLeast(PidBox::h, 0.00099f, " h must be at least 0.00099!"),
        Port(PidBox::MeasurePort),
        Port(PidBox::forwardPort),
        Port(PidBox::RemoteSetpointPort),
        Flag(Source::Enable),
        Flag(Source::RemoteSetpoint),
        Manual(),
        NotZero(PidBox::MeasureScale, " Measurement scale can not be 0!"),
        NotZero(PidBox::ForwardScale, " Forward scale can not be 0!"),
        NotZero(PidBox::SetpointScale, " Setpoint scale can not be 0!"),
    };
    return rules;
}

// The other loops: the cycle time, the ports, the scales and the flags are
// neither checked nor stored.
std::vector<Rule> OtherRules(int listIndex) {
    const bool last = listIndex == 3;
    return {
        Range(PidBox::Setpoint, 0.0f, 1000.0f, "Setpoint must be 0-1000!"),
        Range(PidBox::MaxContr, 0.0f, 100.0f, "MaxControll must be 0-100!"),
        last ? Range(PidBox::MinContr, 0.0f, 49.0f, " MinControll must be 0-49!")
             : Range(PidBox::MinContr, 0.0f, 100.0f, " MinControll must be 0-100!"),
        Range(PidBox::K, 0.0f, 10.0f, " K must be 0-10!"),
        AtLeast(PidBox::Ti, 0.2f, " Ti must be at least 0.2!"),
        AtLeast(PidBox::Td, 0.0f, " Td must be at least 0!"),
        AtLeast(PidBox::tt, 0.05f, " Tt must be at least 0.05!"),
        Range(PidBox::N, 1.0f, 5.0f, " N must be 1-5!"),
        Range(PidBox::b, 0.05f, 1.0f, " b must be 0.05-1!"),
        Range(PidBox::ForwardK, 0.0f, 10.0f, " Forward K must be 0-10!"),
        AtLeast(PidBox::Tm, 0.2f, " Tm must be at least 0.2!"),
        Manual(),
    };
}

bool Holds(const Rule& r, float v) {
    if (r.nonZero) {
        return v != 0.0f;
    }
    return (!r.lo || v >= *r.lo) && (!r.hi || v <= *r.hi);
}

ConversionResult StoreNumber(clsPID& L, int box, const QString& text) {
    switch (box) {
        case PidBox::Setpoint:
            return L.Setpoint(text);
        case PidBox::MaxContr:
            return L.MaxContr(text);
        case PidBox::MinContr:
            return L.MinContr(text);
        case PidBox::K:
            return L.K(text);
        case PidBox::Ti:
            return L.Ti(text);
        case PidBox::Td:
            return L.Td(text);
        case PidBox::tt:
            return L.tt(text);
        case PidBox::N:
            return L.N(text);
        case PidBox::b:
            return L.b(text);
        case PidBox::ForwardK:
            return L.ForwardK(text);
        case PidBox::Tm:
            return L.Tm(text);
        case PidBox::h:
            return L.h(text);
        case PidBox::MeasureScale:
            return L.MeasureScale(text);
        case PidBox::ForwardScale:
            return L.ForwardScale(text);
        case PidBox::SetpointScale:
            return L.SetpointScale(text);
        default:
            return ConversionResult::Failed(kTypeMismatch);
    }
}

void StorePort(clsPID& L, int box, uint8_t v) {
    switch (box) {
        case PidBox::MeasurePort:
            L.MeasurePort(v);
            break;
        case PidBox::forwardPort:
            L.forwardPort(v);
            break;
        case PidBox::RemoteSetpointPort:
            L.RemoteSetpointPort(v);
            break;
        default:
            break;
    }
}

}  // namespace

std::optional<float> BoxToSingle(const QString& boxText, QString* whyNot) {
    const QString local = ToDecimalSeparator(boxText);
    if (const auto v = LocaleTextToSingle(local)) {
        return v;
    }
    if (whyNot) {
        // A number that reads but does not fit a single overflows.
        QString plain = local.trimmed();
        if (DecimalSeparator() != QLatin1Char('.') && !plain.contains(QLatin1Char('.'))) {
            plain.replace(DecimalSeparator(), QLatin1Char('.'));
        }
        bool ok = false;
        const double d = plain.toDouble(&ok);
        *whyNot = ok && std::isfinite(d) ? kOverflow : kTypeMismatch;
    }
    return std::nullopt;
}

std::optional<uint8_t> BoxToByte(const QString& boxText, QString* whyNot) {
    QString why;
    const auto v = BoxToSingle(boxText, &why);
    if (!v) {
        if (whyNot) {
            *whyNot = why;
        }
        return std::nullopt;
    }
    const double r = RoundHalfEven(*v);
    if (r < 0.0 || r > 255.0) {
        if (whyNot) {
            *whyNot = kOverflow;
        }
        return std::nullopt;
    }
    return static_cast<uint8_t>(r);
}

ValidationOutcome ValidateSettings(clsPID* loop, int listIndex, const PidEditorValues& values) {
    ValidationOutcome out;
    // The boxes are read in the locale's form and shown in the "." form again
    // afterwards, so a "," typed under a decimal-comma locale becomes ".".
    for (int i = 0; i < PidBox::kCount; ++i) {
        out.boxes[static_cast<size_t>(i)] =
            ToDot(ToDecimalSeparator(values.boxes[static_cast<size_t>(i)]));
    }
    if (listIndex < 0 || listIndex > 3 || loop == nullptr) {
        return out;
    }
    clsPID& L = *loop;
    L.AutoMode(values.automatic ? 1 : 0);

    const std::vector<Rule> rules = listIndex == 0 ? LambdaRules() : OtherRules(listIndex);
    auto fail = [&out](const QString& description, const QString& message) {
        out.ok = false;
        out.messageText = QStringLiteral(" Error on PID setting: ") + description +
                          QStringLiteral("\r\n") + message;
        return out;
    };

    for (const Rule& r : rules) {
        const QString message = QString::fromLatin1(r.message);
        switch (r.source) {
            case Source::Enable:
                L.Enable(static_cast<uint8_t>(values.enable != 0));
                continue;
            case Source::RemoteSetpoint:
                L.RemoteSetpoint(static_cast<uint8_t>(values.remoteSetpoint != 0));
                continue;
            case Source::Manual: {
                const auto v = static_cast<float>(values.manual);
                if (!Holds(r, v)) {
                    return fail(QString(), message);
                }
                const ConversionResult stored = L.ManualVal(QString::number(values.manual));
                if (!stored) {
                    return fail(stored.description(), QString());
                }
                continue;
            }
            case Source::Port: {
                QString why;
                const auto port = BoxToByte(values.boxes[static_cast<size_t>(r.box)], &why);
                if (!port) {
                    return fail(why, QString());
                }
                if (!Holds(r, static_cast<float>(*port))) {
                    return fail(QString(), message);
                }
                // The value checked is the value stored.
                StorePort(L, r.box, *port);
                continue;
            }
            case Source::Box: {
                QString why;
                const auto v = BoxToSingle(values.boxes[static_cast<size_t>(r.box)], &why);
                if (!v) {
                    return fail(why, QString());
                }
                if (!Holds(r, *v)) {
                    return fail(QString(), message);
                }
                const ConversionResult stored = StoreNumber(L, r.box, SingleText(*v));
                if (!stored) {
                    return fail(stored.description(), QString());
                }
                continue;
            }
        }
    }
    return out;
}

}  // namespace tuvik
