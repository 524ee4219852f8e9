#pragma once

#include <QPointer>

#include <string>
#include <string_view>

class QPlainTextEdit;

namespace glowdeck {

// The received-data log: exactly the characters appended (single-byte text, line ends as
// received), shown in the main window's log view. Appending adds only the new text to the view,
// so its cost does not grow with the length of the log.
class ReceivedLog {
public:
    void attachView(QPlainTextEdit* view);
    void append(std::string_view text, bool lineEnd);
    void clear();
    const std::string& text() const { return m_text; }

    // How a log text shows in the view: CR LF and LF break lines, CR alone shows nothing.
    static QString displayText(std::string_view text);

private:
    std::string m_text;
    QPointer<QPlainTextEdit> m_view;
};

} // namespace glowdeck
