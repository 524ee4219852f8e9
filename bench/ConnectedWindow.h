#pragma once

#include "QuietSystem.h"
#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "res/Templates.h"
#include "sim/SimulatedTable.h"

#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

namespace glowdeck::bench {

// A main window connected to a simulated table, as the operator has it; beforeWindow starts what
// the panel runs beside its window (the page for phones, say).
struct ConnectedWindow {
    sim::SimulatedTable table;
    std::unique_ptr<CGlowdeckApp> app;
    std::unique_ptr<CGlowdeckDlg> window;

    explicit ConnectedWindow(sim::SimOptions options = {},
                             const std::function<void(CGlowdeckApp&)>& beforeWindow = {})
        : table(options) {
        table.start();
        app = std::make_unique<CGlowdeckApp>(quietSystem());
        if (beforeWindow)
            beforeWindow(*app);
        window = app->makeMainWindow(QStringList{QString::fromStdString(table.devicePath())});
        window->show();
        window->control<QPushButton>(IDC_CONNECT)->click();
        (void)QTest::qWaitFor([this] { return app->connection().connected(); }, 5000);
    }
    ~ConnectedWindow() {
        window->close();
        (void)QTest::qWaitFor([this] { return !window->isVisible(); }, 5000);
        window.reset();
        app.reset();
        table.stop();
    }
};

} // namespace glowdeck::bench
