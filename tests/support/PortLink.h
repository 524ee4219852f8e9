#pragma once

#include <QString>
#include <QTemporaryDir>

#include <string>

namespace glowdeck::test {

// A fixed name for the simulated table's port, as glowdeck-sim --link gives one: the table's
// pseudo-terminal changes when it comes back, the name the panel opens does not.
class PortLink {
public:
    PortLink();
    QString path() const { return m_path; }
    // Points the name at the device, or takes it away with an empty device.
    bool pointAt(const std::string& device);

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace glowdeck::test
