#pragma once

#include <QWidget>

class LogPane;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

// The row of tools above the log: find (Ctrl+F while the log has the focus), save the log to a
// file, clear it, and the line-wrap switch, which the settings store remembers. A label tells when
// the log does not follow its end because the user is reading earlier lines.
class LogTools : public QWidget
{
    Q_OBJECT

public:
    explicit LogTools(LogPane* pane, QWidget* parent = nullptr);

    // Finds the next occurrence of the find text after the current one (before it when backward),
    // from the other end when there is none; the log shows and selects it. False: nowhere.
    bool find(bool backward = false);
    void saveLog();
    void clearLog();
    void setLineWrap(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void findTextChanged(const QString& text);
    void showFollowing(bool following);

    LogPane* m_pPane;
    QTextEdit* m_pEdit;
    QLineEdit* m_pFindEdit;
    QPushButton* m_pPreviousButton;
    QPushButton* m_pNextButton;
    QLabel* m_pFindStatus;
    QLabel* m_pPausedLabel;
    QCheckBox* m_pWrapBox;
    QPushButton* m_pSaveButton;
    QPushButton* m_pClearButton;
};
