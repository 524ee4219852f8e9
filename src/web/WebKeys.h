#pragma once

#include <QString>

#include <optional>
#include <string>

namespace glowdeck {

// The web page's two keys, the operator's and the guest's: random, kept in a file only the user
// can read, made on first use and kept until replaced.
struct WebKeys {
    std::string operatorKey;
    std::string guestKey;

    static constexpr int kRandomBytes = 24; // 192 bits each
    // The keys in the file; new ones when there is no file, when it is not the keys' file, when
    // others could read it (they may have), or when renew asks for them. nullopt, with the
    // reason, when the keys cannot be kept.
    static std::optional<WebKeys> load(const QString& path, bool renew, QString* error);
    // The file in the user's configuration folder.
    static QString defaultPath();
    static std::string makeKey();
};

} // namespace glowdeck
