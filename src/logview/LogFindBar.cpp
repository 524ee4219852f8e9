#include "logview/LogFindBar.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace glowdeck {

namespace {
QToolButton* toolButton(QWidget* parent, const QString& text, const QString& name) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setAutoRaise(true);
    return button;
}
} // namespace

LogFindBar::LogFindBar(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Find in received data"));
    m_field = new QLineEdit(this);
    m_field->setPlaceholderText(tr("Find"));
    m_field->setAccessibleName(tr("Text to find"));
    m_field->setClearButtonEnabled(true);
    m_previous = toolButton(this, QStringLiteral("\u2191"), tr("Previous match"));
    m_next = toolButton(this, QStringLiteral("\u2193"), tr("Next match"));
    m_case = toolButton(this, QStringLiteral("Aa"), tr("Match case"));
    m_case->setCheckable(true);
    auto* close = toolButton(this, QStringLiteral("\u00d7"), tr("Close find bar"));
    m_status = new QLabel(tr("Not found"), this);
    m_status->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_case);
    layout->addWidget(close);

    connect(m_field, &QLineEdit::textChanged, this, &LogFindBar::searchChanged);
    connect(m_case, &QToolButton::toggled, this, &LogFindBar::searchChanged);
    connect(m_previous, &QToolButton::clicked, this, &LogFindBar::previousWanted);
    connect(m_next, &QToolButton::clicked, this, &LogFindBar::nextWanted);
    connect(close, &QToolButton::clicked, this, &LogFindBar::closeWanted);
    // Enter is taken as a shortcut of the field: the window acts on every Enter pressed in it
    // (the prompt line's command), and a shortcut never reaches it as a key press.
    const std::pair<QKeySequence, void (LogFindBar::*)()> keys[] = {
        {QKeySequence(Qt::Key_Return), &LogFindBar::nextWanted},
        {QKeySequence(Qt::Key_Enter), &LogFindBar::nextWanted},
        {QKeySequence(Qt::SHIFT | Qt::Key_Return), &LogFindBar::previousWanted},
        {QKeySequence(Qt::SHIFT | Qt::Key_Enter), &LogFindBar::previousWanted},
    };
    for (const auto& [key, wanted] : keys) {
        auto* action = new QAction(m_field);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, wanted);
        m_field->addAction(action);
    }
}

QString LogFindBar::text() const {
    return m_field->text();
}

bool LogFindBar::matchCase() const {
    return m_case->isChecked();
}

void LogFindBar::open(const QString& text) {
    if (!text.isEmpty())
        m_field->setText(text);
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void LogFindBar::setFound(bool found) {
    if (found == m_found)
        return;
    m_found = found;
    m_status->setVisible(!found);
    // The field itself shows it too, where the eye is, and says it to a screen reader.
    m_field->setStyleSheet(found ? QString()
                                 : QStringLiteral("QLineEdit { background: #ffd6d6; }"));
    m_field->setAccessibleDescription(found ? QString() : m_status->text());
}

void LogFindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit closeWanted();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace glowdeck
