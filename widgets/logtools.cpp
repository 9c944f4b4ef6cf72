#include "widgets/logtools.h"

#include "platform/savefile.h"
#include "widgets/logpane.h"
#include "widgets/messagebox.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTextDocument>
#include <QTextEdit>

namespace
{
const QString LineWrapKey = QStringLiteral("Log Line Wrap");

QSettings store()
{
    return QSettings(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
}
} // namespace

LogTools::LogTools(LogPane* pane, QWidget* parent) : QWidget(parent), m_pPane(pane), m_pEdit(pane->edit())
{
    m_pFindEdit = new QLineEdit(this);
    m_pFindEdit->setObjectName(QStringLiteral("logFindEdit"));
    m_pFindEdit->setPlaceholderText(tr("Найти в журнале (Ctrl+F)"));
    m_pFindEdit->setClearButtonEnabled(true);
    m_pPreviousButton = new QPushButton(tr("&Назад"), this);
    m_pPreviousButton->setObjectName(QStringLiteral("logFindPrevious"));
    m_pNextButton = new QPushButton(tr("Д&алее"), this);
    m_pNextButton->setObjectName(QStringLiteral("logFindNext"));
    m_pFindStatus = new QLabel(this);
    m_pFindStatus->setObjectName(QStringLiteral("logFindStatus"));
    m_pPausedLabel = new QLabel(tr("Автопрокрутка приостановлена"), this);
    m_pPausedLabel->setObjectName(QStringLiteral("logPausedLabel"));
    m_pPausedLabel->setVisible(!m_pPane->isFollowing());
    m_pWrapBox = new QCheckBox(tr("Перенос &строк"), this);
    m_pWrapBox->setObjectName(QStringLiteral("logWrapBox"));
    m_pSaveButton = new QPushButton(tr("Со&хранить…"), this);
    m_pSaveButton->setObjectName(QStringLiteral("logSaveButton"));
    m_pClearButton = new QPushButton(tr("&Очистить"), this);
    m_pClearButton->setObjectName(QStringLiteral("logClearButton"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pFindEdit, 1);
    layout->addWidget(m_pPreviousButton);
    layout->addWidget(m_pNextButton);
    layout->addWidget(m_pFindStatus);
    layout->addStretch(1);
    layout->addWidget(m_pPausedLabel);
    layout->addWidget(m_pWrapBox);
    layout->addWidget(m_pSaveButton);
    layout->addWidget(m_pClearButton);

    // The log starts as the user left it: wrapped lines unless they switched wrapping off.
    const bool wrap = store().value(LineWrapKey, 1).toInt() != 0;
    m_pWrapBox->setChecked(wrap);
    m_pPane->setLineWrap(wrap);

    connect(m_pFindEdit, &QLineEdit::textChanged, this, &LogTools::findTextChanged);
    connect(m_pFindEdit, &QLineEdit::returnPressed, this, [this] { find(); });
    connect(m_pNextButton, &QPushButton::clicked, this, [this] { find(); });
    connect(m_pPreviousButton, &QPushButton::clicked, this, [this] { find(true); });
    connect(m_pWrapBox, &QCheckBox::toggled, this, &LogTools::setLineWrap);
    connect(m_pSaveButton, &QPushButton::clicked, this, &LogTools::saveLog);
    connect(m_pClearButton, &QPushButton::clicked, this, &LogTools::clearLog);
    connect(m_pPane, &LogPane::followingChanged, this, &LogTools::showFollowing);

    // Ctrl+F belongs to the log while the log has the focus, whatever the window binds it to.
    m_pEdit->installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool LogTools::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Find)) {
            if (event->type() == QEvent::KeyPress) {
                m_pFindEdit->setFocus(Qt::ShortcutFocusReason);
                m_pFindEdit->selectAll();
            }
            event->accept();
            return true;
        }
        if (watched == m_pFindEdit && event->type() == QEvent::KeyPress && key->key() == Qt::Key_Escape) {
            m_pFindEdit->clear();
            m_pEdit->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LogTools::findTextChanged(const QString& text)
{
    m_pPane->setHighlight(text);
    if (text.isEmpty()) {
        m_pFindStatus->clear();
        return;
    }
    // Typing on extends the match in place rather than moving to the next one.
    QTextCursor cursor = m_pEdit->textCursor();
    cursor.setPosition(cursor.selectionStart());
    m_pEdit->setTextCursor(cursor);
    find();
}

bool LogTools::find(bool backward)
{
    const QString text = m_pFindEdit->text();
    if (text.isEmpty())
        return false;
    m_pPane->flush();
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextDocument* document = m_pEdit->document();
    QTextCursor found = document->find(text, m_pEdit->textCursor(), flags);
    if (found.isNull()) {
        QTextCursor from(document);
        if (backward)
            from.movePosition(QTextCursor::End);
        found = document->find(text, from, flags);
    }
    m_pFindStatus->setText(found.isNull() ? tr("Не найдено") : QString());
    if (found.isNull())
        return false;
    m_pEdit->setTextCursor(found);
    return true;
}

void LogTools::saveLog()
{
    m_pPane->flush();
    const QString name = Dialogs::getSaveFileName(this, tr("Сохранить журнал"), QDir::currentPath(),
                                                  tr("Текстовые файлы (*.txt *.log);;Все файлы (*)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!SaveFile::replace(SaveFile::resolveLinks(name), m_pEdit->toPlainText().toUtf8(), &error))
        Dialogs::warning(this, QStringLiteral("Volmar"),
                         tr("Не удалось сохранить журнал в файл\n%1\n%2").arg(QDir::toNativeSeparators(name), error));
}

void LogTools::clearLog()
{
    m_pPane->clearShown();
    m_pFindStatus->clear();
}

void LogTools::setLineWrap(bool on)
{
    m_pWrapBox->setChecked(on);
    m_pPane->setLineWrap(on);
    store().setValue(LineWrapKey, on ? 1 : 0);
}

void LogTools::showFollowing(bool following)
{
    m_pPausedLabel->setVisible(!following);
}
