#include "app/Services.h"

#include "lighting/ColourDialog.h"
#include "res/MessageBoxes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>

namespace glowdeck {

namespace {
void askForSaveFile(QWidget* owner, const QString& suggestedName,
                    std::function<void(std::optional<QString>)> chosen) {
    auto* dialog = new QFileDialog(
        owner, QCoreApplication::translate("LogView", "Save As"),
        QDir::home().filePath(suggestedName),
        QCoreApplication::translate("LogView", "Text files (*.txt);;All files (*)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    QObject::connect(
        dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
            dialog->deleteLater();
            const QStringList files = dialog->selectedFiles();
            if (!chosen)
                return;
            if (result == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty())
                chosen(files.first());
            else
                chosen(std::nullopt);
        });
    dialog->open();
}
} // namespace

Services Services::system() {
    return {&PortDiscovery::present, [] { return QDBusConnection::systemBus(); },
            &MessageBoxes::show, &ColourDialog::pick, &askForSaveFile};
}

} // namespace glowdeck
