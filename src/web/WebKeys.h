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
    // others could read it (they may have), or when renew asks for them; notice then says why a
    // file that was there was replaced. nullopt, with the reason, when the keys cannot be kept or
    // the file is there but cannot be read.
    static std::optional<WebKeys> load(const QString& path, bool renew, QString* error,
                                       QString* notice = nullptr);
    // The file in the user's configuration folder: web-keys for the panel on the default control
    // socket, web-keys-NAME for one on another (NAME its socket's name in the default folder, or
    // its whole path), so each panel's links reach its own table only.
    static QString defaultPath(const QString& controlSocket = {});
    static std::string makeKey();
};

} // namespace glowdeck
