#pragma once
// The device's answers that a running exchange waits for, as the reply
// dispatcher announces them: a write acknowledged or refused (0x86) and a
// loop status record (0x82) that the selected loop took. The dispatcher is
// one; the sequences and reads below it listen here without knowing it.

#include <QObject>

namespace tuvik {

class DeviceAnswers : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

  signals:
    // accepted: the acknowledgement's first byte is not 0.
    void writeAcknowledged(bool accepted);
    // The selected loop (at this list index) took a status record; a record
    // it refused answers no read and is not announced.
    void statusRecordTaken(int loop);
};

}  // namespace tuvik
