#pragma once
// The parameter-set boxes against the burner: the values last read from it,
// which the boxes are marked against, and whether the next read may replace
// boxes the operator has edited since. Only "Get values" gives edited boxes
// up, and only to its own reply: a request that did not go out, or one left
// unanswered for as long as a device read waits, gives up nothing.

#include <QObject>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "burner/ParamSet.h"
#include "support/Clock.h"

namespace tuvik {

class DeviceLink;

class ParamSetEdits : public QObject {
    Q_OBJECT
  public:
    explicit ParamSetEdits(QObject* parent = nullptr);

    // Sends the parameter-set request when the link is open; overwrite: its
    // reply replaces every box. True when the request went out.
    bool Request(DeviceLink* link, bool overwrite);
    // A pending "Get values" overwrites nothing any more.
    void ForgetOverwrite();
    // A parameter-set reply, given what the boxes show: the texts of the
    // boxes it replaces. A box edited since the last read is kept unless
    // "Get values" asked for this reply.
    std::array<std::optional<QString>, kParamBoxCount> Received(std::span<const uint8_t> data,
                                                                const QStringList& boxes);
    // What the burner holds after a send, as read back.
    void ReadBack(const QStringList& deviceTexts);
    // The device's value of a box, or nothing before the first read.
    std::optional<QString> DeviceText(int box) const;

    // The values last read, to be put back after a replay has overwritten
    // them; putting them back forgets a pending "Get values".
    struct LastRead {
        QStringList texts;
        bool deviceRead = false;
    };
    LastRead lastRead() const { return {lastRead_, deviceRead_}; }
    void setLastRead(const LastRead& r) {
        lastRead_ = r.texts;
        deviceRead_ = r.deviceRead;
        overwrite_ = false;
    }

    // Times how long a "Get values" request may overwrite edited boxes by
    // the clock's monotonic time. Not owned; the system's clock until set.
    void setClock(const Clock& clock) { clock_ = &clock; }
    const Clock& clock() const { return *clock_; }

  private:
    // "0" in every box before any read.
    QStringList lastRead_ = QStringList(kParamBoxCount, QString::fromLatin1(kUnreadBoxText));
    bool deviceRead_ = false;  // lastRead_ holds a read, not the start-up zeros
    bool overwrite_ = false;
    qint64 overwriteUntilUs_ = 0;  // a "Get values" reply after this overwrites nothing
    const Clock* clock_ = &Clock::System();
};

}  // namespace tuvik
