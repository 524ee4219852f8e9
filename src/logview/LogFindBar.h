#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace glowdeck {

// The find bar along the bottom of the log view: the text to find, the previous and the next
// match, whether the case matters, and a word when nothing matches. It only asks; the view
// searches.
class LogFindBar : public QWidget {
    Q_OBJECT
public:
    explicit LogFindBar(QWidget* parent = nullptr);

    QString text() const;
    bool matchCase() const;
    QLineEdit* field() const { return m_field; }
    // Shows the bar with the field focused and its text selected, starting from `text` when it
    // is not empty.
    void open(const QString& text);
    // Whether the last search found something; a bar that found nothing says so.
    void setFound(bool found);
    bool found() const { return m_found; }

signals:
    // The text or the case changed.
    void searchChanged();
    void nextWanted();
    void previousWanted();
    void closeWanted();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_field;
    QToolButton* m_previous;
    QToolButton* m_next;
    QToolButton* m_case;
    QLabel* m_status;
    bool m_found = true;
};

} // namespace glowdeck
