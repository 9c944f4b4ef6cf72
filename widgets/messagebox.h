#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QMessageBox>
#include <QString>

class QAction;
class QMenu;
class QPalette;
class QPoint;
class QWidget;

// The one place where the program asks the user something modally: message boxes and the standard
// file, directory, colour and font dialogs. Tests queue the answers beforehand; a queued answer is
// taken instead of showing anything. Every call is recorded, answered from the queue or not, so a
// test can check the exact texts the user would have read.
namespace Dialogs
{

// A null parent with a palette gives a box that stands apart from the window but looks like it.
// The informative text, when given, stands under the main text.
QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                                     const QPalette* palette = nullptr, const QString& informativeText = QString());
void information(QWidget* parent, const QString& title, const QString& text, const QPalette* palette = nullptr);
void warning(QWidget* parent, const QString& title, const QString& text, const QPalette* palette = nullptr);
void critical(QWidget* parent, const QString& title, const QString& text, const QPalette* palette = nullptr);
void about(QWidget* parent, const QString& title, const QString& text);

// An empty result means the user cancelled.
QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir);
// An invalid colour means the user cancelled.
QColor getColor(const QColor& initial, QWidget* parent, const QString& title = QString());
// A cancelled dialog gives the initial font and *ok false.
QFont getFont(bool* ok, const QFont& initial, QWidget* parent);
// A pop-up menu at a global position: the chosen entry, or null when the menu was dismissed.
QAction* execMenu(QMenu* menu, const QPoint& globalPos);

// Test hooks. Each message box takes the next queued answer; each file or directory dialog the
// next queued name (an empty name cancels); the colour and font dialogs their own queues.
void setNextAnswer(QMessageBox::StandardButton answer);
void setNextFileName(const QString& fileName);
void setNextColor(const QColor& color);
void setNextFont(const QFont& font, bool ok = true);
// The entry the next pop-up menu picks; null, or an entry the menu lacks, dismisses it.
void setNextMenuChoice(QAction* action);
// Something queued has not been asked for yet.
bool pendingAnswers();
void clearPendingAnswers();

struct Shown
{
    // "question", "information", "warning", "critical", "about", "open", "save", "directory", "color", "font",
    // "menu" (its entries' texts, one a line, in text)
    QString kind;
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QString caption;
    QString dir;
    QString filter;
};

const QList<Shown>& shown();
void clearShown();

} // namespace Dialogs
