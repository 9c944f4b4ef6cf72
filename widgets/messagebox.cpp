#include "widgets/messagebox.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QStringList>

namespace Dialogs
{

namespace
{

struct QueuedFont
{
    QFont font;
    bool ok = true;
};

struct State
{
    QList<QMessageBox::StandardButton> answers;
    QStringList fileNames;
    QList<QColor> colors;
    QList<QueuedFont> fonts;
    // Guarded: a queued entry may be deleted before a menu asks for it.
    QList<QPointer<QAction>> menuChoices;
    QList<Shown> shown;
};

State& state()
{
    static State s;
    return s;
}

// A box stands over the middle of the window it speaks for, also when it has no parent (such a box
// would stand in the middle of the screen, away from the window).
class CentredMessageBox : public QMessageBox
{
public:
    CentredMessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent)
        : QMessageBox(icon, title, text, buttons, parent),
          m_pOver(parent ? parent->window() : QApplication::activeWindow())
    {
        if (!m_pOver) {
            // Asked before any window is active: the first main window shown.
            for (QWidget* w : QApplication::topLevelWidgets())
                if (!m_pOver && w->isVisible() && qobject_cast<QMainWindow*>(w))
                    m_pOver = w;
        }
    }

protected:
    // The box has its final size here, and is not on the screen yet.
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        if (!m_pOver || m_pOver == this)
            return;
        QRect frame = frameGeometry();
        frame.moveCenter(m_pOver->frameGeometry().center());
        move(frame.topLeft());
    }

private:
    QPointer<QWidget> m_pOver;
};

void record(const QString& kind, const QString& title, const QString& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton, const QString& informativeText = QString())
{
    Shown s;
    s.kind = kind;
    s.title = title;
    s.text = text;
    s.informativeText = informativeText;
    s.buttons = buttons;
    s.defaultButton = defaultButton;
    state().shown.append(s);
}

void recordDialog(const QString& kind, const QString& caption, const QString& dir, const QString& filter)
{
    Shown s;
    s.kind = kind;
    s.caption = caption;
    s.dir = dir;
    s.filter = filter;
    state().shown.append(s);
}

QMessageBox::StandardButton runBox(const QString& kind, QMessageBox::Icon icon, QWidget* parent, const QString& title,
                                   const QString& text, QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton defaultButton, const QPalette* palette,
                                   const QString& informativeText = QString())
{
    record(kind, title, text, buttons, defaultButton, informativeText);
    if (!state().answers.isEmpty())
        return state().answers.takeFirst();

    CentredMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    if (!informativeText.isEmpty())
        box.setInformativeText(informativeText);
    if (palette)
        box.setPalette(*palette);
    if (icon == QMessageBox::NoIcon) {
        // Like the standard about box: the window's own icon stands in for the message icon.
        const QIcon windowIcon = box.windowIcon();
        box.setIconPixmap(windowIcon.pixmap(windowIcon.actualSize(QSize(64, 64))));
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// The next queued name, or nothing when the real dialog has to run.
bool takeFileName(QString* name)
{
    if (state().fileNames.isEmpty())
        return false;
    *name = state().fileNames.takeFirst();
    return true;
}

} // namespace

QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                                     const QPalette* palette, const QString& informativeText)
{
    return runBox(QStringLiteral("question"), QMessageBox::Question, parent, title, text, buttons, defaultButton,
                  palette, informativeText);
}

void information(QWidget* parent, const QString& title, const QString& text, const QPalette* palette)
{
    runBox(QStringLiteral("information"), QMessageBox::Information, parent, title, text, QMessageBox::Ok,
           QMessageBox::NoButton, palette);
}

void warning(QWidget* parent, const QString& title, const QString& text, const QPalette* palette)
{
    runBox(QStringLiteral("warning"), QMessageBox::Warning, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton,
           palette);
}

void critical(QWidget* parent, const QString& title, const QString& text, const QPalette* palette)
{
    runBox(QStringLiteral("critical"), QMessageBox::Critical, parent, title, text, QMessageBox::Ok,
           QMessageBox::NoButton, palette);
}

void about(QWidget* parent, const QString& title, const QString& text)
{
    runBox(QStringLiteral("about"), QMessageBox::NoIcon, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton,
           nullptr);
}

namespace
{
// One file dialog for the three kinds; an answer queued by a test is taken instead of showing it.
QString runFileDialog(const QString& kind, QWidget* parent, const QString& caption, const QString& dir,
                      const QString& filter, QFileDialog::FileMode mode, QFileDialog::AcceptMode accept)
{
    recordDialog(kind, caption, dir, filter);
    QString name;
    if (takeFileName(&name))
        return name;
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setFileMode(mode);
    dialog.setAcceptMode(accept);
    if (mode == QFileDialog::Directory)
        dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return runFileDialog(QStringLiteral("open"), parent, caption, dir, filter, QFileDialog::ExistingFile,
                         QFileDialog::AcceptOpen);
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return runFileDialog(QStringLiteral("save"), parent, caption, dir, filter, QFileDialog::AnyFile,
                         QFileDialog::AcceptSave);
}

QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return runFileDialog(QStringLiteral("directory"), parent, caption, dir, QString(), QFileDialog::Directory,
                         QFileDialog::AcceptOpen);
}

QColor getColor(const QColor& initial, QWidget* parent, const QString& title)
{
    recordDialog(QStringLiteral("color"), title, QString(), QString());
    if (!state().colors.isEmpty())
        return state().colors.takeFirst();
    return QColorDialog::getColor(initial, parent, title);
}

QFont getFont(bool* ok, const QFont& initial, QWidget* parent)
{
    recordDialog(QStringLiteral("font"), QString(), QString(), QString());
    if (!state().fonts.isEmpty()) {
        const QueuedFont next = state().fonts.takeFirst();
        if (ok)
            *ok = next.ok;
        return next.ok ? next.font : initial;
    }
    return QFontDialog::getFont(ok, initial, parent);
}

QAction* execMenu(QMenu* menu, const QPoint& globalPos)
{
    if (!menu)
        return nullptr;
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries << action->text();
    Shown s;
    s.kind = QStringLiteral("menu");
    s.text = entries.join(QLatin1Char('\n'));
    state().shown.append(s);
    if (!state().menuChoices.isEmpty()) {
        QAction* choice = state().menuChoices.takeFirst();
        return menu->actions().contains(choice) ? choice : nullptr;
    }
    return menu->exec(globalPos);
}

void setNextAnswer(QMessageBox::StandardButton answer)
{
    state().answers.append(answer);
}

void setNextFileName(const QString& fileName)
{
    state().fileNames.append(fileName);
}

void setNextColor(const QColor& color)
{
    state().colors.append(color);
}

void setNextFont(const QFont& font, bool ok)
{
    state().fonts.append(QueuedFont{font, ok});
}

void setNextMenuChoice(QAction* action)
{
    state().menuChoices.append(action);
}

bool pendingAnswers()
{
    const State& s = state();
    return !s.answers.isEmpty() || !s.fileNames.isEmpty() || !s.colors.isEmpty() || !s.fonts.isEmpty() ||
           !s.menuChoices.isEmpty();
}

void clearPendingAnswers()
{
    State& s = state();
    s.answers.clear();
    s.fileNames.clear();
    s.colors.clear();
    s.fonts.clear();
    s.menuChoices.clear();
}

const QList<Shown>& shown()
{
    return state().shown;
}

void clearShown()
{
    state().shown.clear();
}

} // namespace Dialogs
