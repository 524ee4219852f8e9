#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace glowdeck {

// Hands Qt the program's own accessibility interfaces: combo boxes named by their labels,
// swatches that are buttons and the log view as text.
class AccessibleFactory {
public:
    // Safe to call more than once.
    static void install();

private:
    static QAccessibleInterface* create(const QString& className, QObject* object);
};

} // namespace glowdeck
