#include "res/SavedFile.h"

#include <QSaveFile>

namespace glowdeck {

QString SavedFile::write(const QString& path, const std::function<bool(QIODevice&)>& fill) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (file.open(QIODevice::WriteOnly) && fill(file) && file.commit())
        return {};
    const QString reason = file.errorString();
    file.cancelWriting();
    return reason;
}

} // namespace glowdeck
