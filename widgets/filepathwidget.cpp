#include "widgets/filepathwidget.h"

#include "widgets/celleditor.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

FilePathWidget::FilePathWidget(QWidget* parent) : QWidget(parent)
{
    CellEditor::build(this, m_pLineEdit, m_pButton, QStringLiteral(":/Brindle/Resources/fileopen.png"));
    connect(m_pButton, &QPushButton::clicked, this, &FilePathWidget::slotClicked);
}

QString FilePathWidget::fileFilter(const QString& pattern)
{
    // "*.*" would hide the files without a dot in their names, which are common here.
    const QString allFiles = tr("Все файлы (*)");
    if (pattern.isEmpty())
        return allFiles;
    return QLatin1Char('(') + pattern.split(QLatin1Char(';')).join(QLatin1Char(' ')) + QStringLiteral(");;") + allFiles;
}

void FilePathWidget::slotClicked()
{
    // The dialog is a child of the editor, so the view keeps the editor open while it runs.
    m_sPath = Dialogs::getOpenFileName(this, tr("Выберите файл"), m_pDir ? *m_pDir : QString(), fileFilter(m_sPattern));
    if (!m_sPath.isEmpty()) {
        if (m_pDir)
            *m_pDir = QFileInfo(m_sPath).absolutePath();
        // Programs run in the working directory, so a file below it is written relative to it. Only a
        // whole folder name counts: /data/xy/f is not below /data/x.
        const QString workDir = QDir::currentPath();
        if (m_sPath.startsWith(workDir) && (workDir.endsWith(QLatin1Char('/')) || m_sPath.size() == workDir.size() ||
                                            m_sPath.at(workDir.size()) == QLatin1Char('/'))) {
            m_sPath.remove(0, workDir.size());
            if (m_sPath.startsWith(QLatin1Char('/')))
                m_sPath.remove(0, 1);
        }
        m_pLineEdit->setText(m_sPath);
        m_pLineEdit->setCursorPosition(m_sPath.size());
    }
    CellEditor::returnFocus(this, m_pLineEdit);
}

bool FilePathWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pLineEdit && CellEditor::filterLineEditEvent(this, event))
        return true;
    return QWidget::eventFilter(watched, event);
}
