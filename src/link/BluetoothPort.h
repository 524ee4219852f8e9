#pragma once

#include "link/StreamPort.h"

class QBluetoothSocket;

namespace glowdeck {

// A paired table reached directly over Bluetooth: an RFCOMM connection to its Serial Port
// service, with no serial device, binding or extra rights needed. Only the socket lives here;
// the port's behaviour is StreamPort's.
class BluetoothPort : public StreamPort {
    Q_OBJECT
public:
    BluetoothPort();

protected:
    QString startConnecting(const QString& name) override;
    QString hintAfterFailure() override;

private:
    QBluetoothSocket* socket() const;
};

} // namespace glowdeck
