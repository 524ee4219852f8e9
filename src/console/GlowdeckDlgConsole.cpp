// The main window's prompt line and text commands.
#include "app/AppLifetime.h"
#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "console/TextCommands.h"
#include "link/PumpedWait.h"
#include "link/SerialLink.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace glowdeck {

bool CGlowdeckDlg::PreTranslateMessage(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || PumpedWait::depth() > 0 || m_closing)
        return false;
    // A key travels up from the focused control through its parents; act on it once, where it
    // starts, and only inside this window.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget != QApplication::focusWidget() || widget->window() != this)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_promptText = m_prompt->text().toLatin1().toStdString();
        if (m_promptText.empty())
            return false;
        const std::string line = m_promptText;
        AppendToLog(line, true);
        RunTextCommand(line);
        if (AppLifetime::mainWindowGone())
            return false;
        m_app.history()(HISTORY_ADD, line);
        m_prompt->clear();
    } else if (key == Qt::Key_Up) {
        m_prompt->setText(QString::fromLatin1(m_app.history()(HISTORY_OLDER)));
    } else if (key == Qt::Key_Down) {
        m_prompt->setText(QString::fromLatin1(m_app.history()(HISTORY_NEWER)));
    }
    return false;
}

void CGlowdeckDlg::RunTextCommand(const std::string& line) {
    const TextCommand command = TextCommands::parse(line);
    switch (command.action) {
    case TextCommand::Action::ShowDebug:
        m_debugButton->show();
        return;
    case TextCommand::Action::HideDebug:
        m_debugButton->hide();
        return;
    case TextCommand::Action::Send:
        m_app.link().sendCommand(this, command.code);
        return;
    case TextCommand::Action::ResetSequence:
        m_app.link().sendCommand(this, command.code);
        PumpedWait::wait(command.waitMs);
        AppendToLog(command.logText, true);
        disconnect();
        return;
    case TextCommand::Action::Invalid:
        AppendToLog(command.logText, true);
        return;
    }
}

} // namespace glowdeck
