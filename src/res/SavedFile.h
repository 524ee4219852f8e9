#pragma once

#include <QString>

#include <functional>
#include <optional>

class QIODevice;
class QWidget;

namespace glowdeck {

// Asks the operator where to save, over the owner window and without a loop of its own, the
// suggested name filled in; chosen gets the path, or nullopt when the operator cancelled.
using ChooseSaveFile = std::function<void(QWidget* owner, const QString& suggestedName,
                                          std::function<void(std::optional<QString> path)> chosen)>;

// How the panel writes every file it saves: the new file replaces an old one whole or not at
// all; where only the old file can be written (a folder that is not writable holding a writable
// file), it is rewritten in place.
class SavedFile {
public:
    // fill writes the content and says whether all of it went in. Returns the reason the file
    // could not be written, empty when it was.
    static QString write(const QString& path, const std::function<bool(QIODevice&)>& fill);
};

} // namespace glowdeck
