#include "app/Services.h"

#include "lighting/ColourDialog.h"
#include "res/MessageBoxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>

namespace glowdeck {

namespace {
std::optional<QString> askForSaveFile(QWidget* owner, const QString& suggestedName) {
    const QString path = QFileDialog::getSaveFileName(
        owner, QCoreApplication::translate("LogView", "Save As"),
        QDir::home().filePath(suggestedName),
        QCoreApplication::translate("LogView", "Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}
} // namespace

Services Services::system() {
    return {&PortDiscovery::present, [] { return QDBusConnection::systemBus(); },
            &MessageBoxes::show, &ColourDialog::pick, &askForSaveFile};
}

} // namespace glowdeck
