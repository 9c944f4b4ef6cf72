// Opening files and file sets, reloading them, saving, and the questions before changes are lost.
#include "app/detachedpages.h"
#include "app/editactions.h"
#include "app/firstlook.h"
#include "app/programpanel.h"
#include "app/volmar.h"
#include "settings/recentfiles.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTimer>
#include <QUrl>

namespace
{
// Russian counts: 1, 21, 101 "файл"; 2-4, 22-24 "файла"; 0, 5-20, 25-30, 111-114 "файлов".
QString filesCount(qsizetype n)
{
    const qsizetype lastTwo = n % 100;
    const qsizetype last = n % 10;
    QString word;
    if (last == 1 && lastTwo != 11)
        word = Volmar::tr(" файл");
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        word = Volmar::tr(" файла");
    else
        word = Volmar::tr(" файлов");
    return QString::number(n) + word;
}
} // namespace

void Volmar::showRefusals(const QStringList& refused)
{
    if (refused.size() == 1)
        Dialogs::warning(this, QStringLiteral("Volmar"), tr("Файл не открыт: ") + refused.first() + QLatin1Char('.'));
    else if (!refused.isEmpty())
        Dialogs::warning(this, QStringLiteral("Volmar"),
                         tr("Файлы не открыты:") + QLatin1Char('\n') + refused.join(QStringLiteral(".\n")) +
                             QLatin1Char('.'));
}

QStringList Volmar::openableFiles(const QStringList& files)
{
    QStringList refused;
    const QStringList openable = EditingSession::openable(files, &refused);
    showRefusals(refused);
    return openable;
}

void Volmar::slotActionOpen()
{
    askSave();
    QString& lastDir = m_session.lastDir();
    if (lastDir.isEmpty())
        lastDir = QDir::currentPath();
    const QString name = Dialogs::getOpenFileName(this, tr("Открыть файл"), lastDir,
                                                  tr("ini files (*.ini *.ax);;vlmr files (*.vlmr);;Все файлы (*)"));
    if (!name.isEmpty() && openChosen({name}))
        lastDir = QFileInfo(name).absolutePath();
}

QStringList Volmar::commandLineOrder(QStringList files)
{
    files.sort();
    for (QString& name : files)
        if (QFileInfo(name).isRelative())
            name = QFileInfo(name).absoluteFilePath();
    return files;
}

bool Volmar::openChosen(const QStringList& files)
{
    const QStringList openable = openableFiles(files);
    // A file that cannot be opened leaves the open document as it was.
    if (openable.isEmpty())
        return false;
    m_session.setOpenList(openable);
    m_ui.m_pAuxButton->hide();
    openFiles();
    if (m_session.openList().isEmpty())
        m_ui.m_pNotepadButton->setEnabled(false);
    return true;
}

void Volmar::fillRecentMenu()
{
    QMenu* menu = m_ui.m_pRecentMenu;
    menu->clear();
    QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
    const QList<QStringList> entries = RecentFiles::load(store);
    if (entries.isEmpty())
        menu->addAction(tr("Список пуст"))->setEnabled(false);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QStringList& files = entries.at(i);
        QStringList shown;
        for (const QString& name : files)
            shown.append(QDir::toNativeSeparators(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
        // Digits 1 to 9 choose an entry from the keyboard.
        const QString number = i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("%1 ").arg(i + 1);
        connect(menu->addAction(number + shown.join(QStringLiteral(", "))), &QAction::triggered, this,
                [this, files] { openRecent(files); });
    }
}

void Volmar::openRecent(const QStringList& files)
{
    QStringList vanished;
    for (const QString& name : files)
        if (!QFileInfo::exists(name))
            vanished.append(name);
    if (!vanished.isEmpty()) {
        QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
        RecentFiles::remove(store, files);
        Dialogs::warning(this, QStringLiteral("Volmar"),
                         (vanished.size() == 1
                              ? tr("Файл не найден: ") + vanished.first()
                              : tr("Файлы не найдены:") + QLatin1Char('\n') + vanished.join(QLatin1Char('\n'))) +
                             tr(".\nЗапись убрана из списка недавних файлов."));
        return;
    }
    askSave();
    openChosen(files);
}

namespace
{
// The INI files and descriptions among what is dragged; whatever else comes with them is left out.
QStringList droppedFiles(const QMimeData* data)
{
    QStringList files;
    if (!data)
        return files;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString suffix = QFileInfo(url.fileName()).suffix();
        // A description is told by its exact suffix, as the session tells it.
        if (suffix.compare(QLatin1String("ini"), Qt::CaseInsensitive) == 0 || suffix == QLatin1String("vlmr"))
            files.append(url.toLocalFile());
    }
    return files;
}
} // namespace

void Volmar::dragEnterEvent(QDragEnterEvent* e)
{
    if (!droppedFiles(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void Volmar::dropEvent(QDropEvent* e)
{
    const QStringList files = commandLineOrder(droppedFiles(e->mimeData()));
    if (files.isEmpty())
        return;
    e->acceptProposedAction();
    // The drag ends first: a question asked inside the drop would hold the dragging program.
    QTimer::singleShot(0, this, [this, files] {
        askSave();
        openChosen(files);
    });
}

void Volmar::openFiles()
{
    m_session.takeDescription();
    // The INI file a description names is looked at like one named directly, before its tab exists.
    if (!m_session.descFromIni())
        m_session.setOpenList(openableFiles(m_session.fileList()));
    m_view.recreate(int(m_session.fileList().size()));

    const QList<QWidget*> fileControls{m_ui.m_pProgComboBox, m_ui.m_pStartButton, m_ui.m_pHelpPld,
                                       m_ui.m_pPldComboBox,  m_ui.m_pPldButton,   m_ui.m_pBinComboBox};
    const bool any = !m_session.fileList().isEmpty();
    for (QAction* action : {m_ui.m_pActionSaveAs, m_ui.m_pActionName, m_ui.m_pActionLoadPld})
        action->setEnabled(any);
    // A window started empty gets its program and firmware controls back with the first file.
    for (QWidget* control : fileControls)
        control->setEnabled(any);
    if (!any) {
        m_ui.m_pActionSave->setEnabled(false);
        return;
    }
    QSettings store(QStringLiteral("Korvane"), QStringLiteral("Volmar"));
    RecentFiles::add(store, m_session.openList());

    loadFiles();
    const DescriptionModel& desc = m_session.description();
    m_pPanel->fillLists(desc.m_progList, desc.m_sCurProg, desc.m_nDefList, m_session.fileList().value(0));
    // A first start has no stored title column: it fits the titles, and is stored at close.
    if (m_options.m_nWidthColumn == 0) {
        const QList<ParamsTreeWidget*> trees = findChildren<ParamsTreeWidget*>();
        m_options.m_nWidthColumn = FirstLook::titleColumnWidth(trees);
        for (ParamsTreeWidget* tree : trees)
            if (m_options.m_nWidthColumn != 0)
                tree->setColumnWidth(ParamsTreeWidget::TitleColumn, m_options.m_nWidthColumn);
    }
    // The keys go to the parameters, not to the tab bar that comes first in the window.
    if (QWidget* page = m_ui.tabWidget->currentWidget())
        if (auto* tree = page->findChild<ParamsTreeWidget*>())
            tree->setFocus(Qt::OtherFocusReason);
    QTimer::singleShot(0, m_pPanel, &ProgramPanel::slotPrepare);
}

void Volmar::loadFiles()
{
    // At every reload: a file that has become a folder or a FIFO since it was opened is left out.
    showRefusals(m_session.dropUnopenable());
    const QStringList& files = m_session.fileList();
    if (files.isEmpty()) {
        setWindowTitle(QStringLiteral("Volmar"));
    } else if (files.size() == 1) {
        QString shown = files.first();
        const QString current = QDir::currentPath();
        if (shown.startsWith(current))
            shown.replace(current, QString());
        setWindowTitle(QStringLiteral("Volmar - ") + shown);
    } else {
        setWindowTitle(QStringLiteral("Volmar - ") + tr("Редактируется ") + filesCount(files.size()));
    }
    m_ui.m_pNotepadButton->setEnabled(files.size() == 1);
    m_ui.m_pActionSaveAs->setEnabled(files.size() == 1);

    // The rows point into the document the reading replaces: they go first.
    m_view.clearSections();
    while (m_ui.tabWidget->count() > 0)
        m_ui.tabWidget->removeTab(0);

    const DescriptionReadResult read = m_session.load();
    if (read.read && read.auxButton) {
        m_ui.m_pAuxButton->show();
        m_ui.m_pAuxButton->setText(m_session.description().m_sAuxTitle);
    }
    if (m_session.description().m_nTabs != 0)
        m_view.createSectionTabs();
    else
        m_ui.tabWidget->insertTab(0, m_ui.widget, QStringLiteral("Ini"));
    m_ui.tabWidget->addTab(m_ui.widget_2, QStringLiteral("Log"));
    m_pPages->rehome();

    m_view.buildTrees();
    // New rows show titles; key names stay on while their menu entry is checked.
    if (m_ui.m_pActionName->isChecked())
        m_view.refreshLooks();
    m_pEdit->update();
}

void Volmar::slotActionSave()
{
    m_ui.m_pActionSave->setEnabled(false);
    m_session.save();
}

void Volmar::askSave()
{
    if (!m_session.isModified())
        return;
    const QPalette windowPalette = palette();
    if (Dialogs::question(nullptr, QString(), tr("Параметры были изменены. Хотите сохранить изменения?"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, &windowPalette) == QMessageBox::Yes)
        slotActionSave();
}

void Volmar::slotActionSaveAs()
{
    // The file dialog has already asked whether to replace an existing target.
    const QString name =
        Dialogs::getSaveFileName(this, tr("Сохранить файл"), QStringLiteral("."), tr("Ини файл (*.ini *.ax)"));
    if (m_session.saveAs(name))
        m_ui.m_pActionSave->setEnabled(false);
}

void Volmar::slotParamChanged(ParamTreeItem* pItem)
{
    if (pItem)
        m_session.noteChange(pItem->m_pEntry);
    if (m_options.m_bAutoSave) {
        if (pItem)
            pItem->setForeground(ParamsTreeWidget::ValueColumn, pItem->restingValueColor());
        slotActionSave();
        m_ui.m_pActionSave->setEnabled(false);
    } else {
        // An undo can bring every value back to what the files hold.
        m_ui.m_pActionSave->setEnabled(m_session.isModified());
    }
    m_pEdit->update();
    m_runner.restartAfterChange();
}

// The files changed on disk while the window was in the background: the user decides whether to
// read them again.
void Volmar::checkOutsideChanges()
{
    const QStringList changed = m_session.changedFiles();
    // Nothing changed: the next activation looks again.
    if (changed.isEmpty())
        return;
    const QString text =
        changed.size() == 1
            ? tr("Файл ") + changed.first() + tr(" был изменен. Хотите перезагрузить его?")
            : tr("Файлы ") + changed.join(QStringLiteral(", ")) + tr(" были изменены. Хотите перезагрузить их?");
    const QPalette windowPalette = palette();
    if (Dialogs::question(nullptr, QString(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                          &windowPalette) == QMessageBox::Yes)
        loadFiles();
    // The box itself deactivated the window; that must not arm the next check.
    m_bDeactivated = false;
}
