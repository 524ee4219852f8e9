#include "control/ReplyText.h"

namespace glowdeck {

QString ReplyText::fromBox(std::string_view text) {
    QString out;
    out.reserve(qsizetype(text.size()));
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = i;
        bool layout = false;
        while (end < text.size() &&
               (text[end] == ' ' || text[end] == '\t' || text[end] == '\r' || text[end] == '\n')) {
            layout = layout || text[end] != ' ';
            ++end;
        }
        if (end == i) {
            out += QChar(static_cast<unsigned char>(text[i++]));
            continue;
        }
        // Blanks the box's author typed stay as they are; those around a break are layout.
        if (!layout)
            out += QString(qsizetype(end - i), QLatin1Char(' '));
        else if (i > 0 && end < text.size())
            out += QLatin1Char(' ');
        i = end;
    }
    return out;
}

} // namespace glowdeck
