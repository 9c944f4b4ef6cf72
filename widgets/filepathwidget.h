#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;

// The in-cell editor of a file parameter: the path on one line, and a button that opens the file
// dialog. Files under the working directory are stored relative to it.
class FilePathWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FilePathWidget(QWidget* parent = nullptr);

    QLineEdit* m_pLineEdit = nullptr;
    QPushButton* m_pButton = nullptr;
    QString m_sPath;
    QString m_sPattern;        // file-name patterns separated by ";", e.g. "*.x55;*.bin"
    QString* m_pDir = nullptr; // not owned: the directory shared by every file dialog of the window

    // The dialog's filter for a pattern: "(*.x55 *.bin);;Все файлы (*)", or the last part alone.
    static QString fileFilter(const QString& pattern);

public slots:
    void slotClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
