#pragma once
// A database drawing that the chart tools steer. The widget maps the pointer
// onto fractions of the plot's width (0 at the newest edge, 1 at the oldest)
// and asks; zooming and panning draw again from a new query.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace tuvik {

class DatabaseChartTools {
  public:
    virtual ~DatabaseChartTools() = default;
    // factor < 1 zooms in; the time under the pointer stays under it.
    virtual void ZoomAt(double fraction, double factor) = 0;
    // Positive: towards older times, by a share of the width.
    virtual void Pan(double share) = 0;
    // Back to the span chosen before zooming and panning.
    virtual void Reset() = 0;
    virtual QStringList Readout(double fraction) const = 0;
    virtual QByteArray Csv() const = 0;

    // Labelled moments drawn as vertical marks.
    struct Mark {
        double fraction;
        QString label;
    };
    virtual std::vector<Mark> Marks() const = 0;
    // The full text of the mark nearest the fraction within the tolerance,
    // or "" where there is none.
    virtual QString MarkTextAt(double fraction, double tolerance) const = 0;
};

}  // namespace tuvik
