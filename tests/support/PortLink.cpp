#include "support/PortLink.h"

#include <QFile>

#include <unistd.h>

namespace glowdeck::test {

PortLink::PortLink() : m_path(m_dir.filePath(QStringLiteral("table"))) {}

bool PortLink::pointAt(const std::string& device) {
    const QByteArray link = QFile::encodeName(m_path);
    ::unlink(link.constData());
    return device.empty() || ::symlink(device.c_str(), link.constData()) == 0;
}

} // namespace glowdeck::test
