// Opening files and file sets, reloading them, and switching between the file tabs of a set.
#include "app/firstlook.h"
#include "app/programpanel.h"
#include "app/volmar.h"
#include "platform/userfile.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

namespace
{
// The description beside an INI file: its path up to the first "." of the file name, + ".vlmr".
QString descriptionPathFor(const QString& iniPath)
{
    const QFileInfo info(iniPath);
    const QString name = info.fileName();
    const int dot = name.indexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    const QString dir = iniPath.left(iniPath.size() - name.size());
    return dir + base + QStringLiteral(".vlmr");
}

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

QString reasonText(UserFile::Status status)
{
    switch (status) {
    case UserFile::Status::Folder:
        return Volmar::tr("это папка, а не файл");
    case UserFile::Status::Special:
        return Volmar::tr("это не обычный файл, а канал, устройство или сокет");
    case UserFile::Status::LinkLoop:
        return Volmar::tr("символические ссылки замкнуты в кольцо");
    case UserFile::Status::NoPermission:
        return Volmar::tr("нет права на чтение");
    default:
        return Volmar::tr("файл не читается");
    }
}
} // namespace

// Only regular files that can be read, and files that are not there yet, are opened. Anything else
// is named with its reason in one message and left out, so that it is neither read (a FIFO would
// never answer) nor written.
QStringList Volmar::openableFiles(const QStringList& files)
{
    QStringList openable;
    QStringList refused;
    for (const QString& file : files) {
        const UserFile::Status status = UserFile::probe(file);
        if (UserFile::canOpen(status))
            openable.append(file);
        else
            refused.append(QDir::toNativeSeparators(file) + QStringLiteral(": ") + reasonText(status));
    }
    if (refused.size() == 1)
        Dialogs::warning(this, QStringLiteral("Volmar"), tr("Файл не открыт: ") + refused.first() + QLatin1Char('.'));
    else if (!refused.isEmpty())
        Dialogs::warning(this, QStringLiteral("Volmar"),
                         tr("Файлы не открыты:") + QLatin1Char('\n') + refused.join(QStringLiteral(".\n")) +
                             QLatin1Char('.'));
    return openable;
}

void Volmar::slotActionOpen()
{
    askSave();
    if (m_sLastDir.isEmpty())
        m_sLastDir = QDir::currentPath();
    const QString name = Dialogs::getOpenFileName(this, tr("Открыть файл"), m_sLastDir,
                                                  tr("ini files (*.ini *.ax);;vlmr files (*.vlmr);;Все файлы (*)"));
    // A file that cannot be opened leaves the open document as it was.
    if (!name.isEmpty() && !openableFiles({name}).isEmpty()) {
        m_sLastDir = QFileInfo(name).absolutePath();
        m_openList = QStringList{name};
        m_fileList = m_openList;
        m_pAuxButton->hide();
        openFiles();
        m_pNotepadButton->setEnabled(true);
    }
    if (m_openList.isEmpty())
        m_pNotepadButton->setEnabled(false);
}

ParamsTreeWidget* Volmar::createTree(QWidget* parent)
{
    auto* tree = new ParamsTreeWidget(parent);
    tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(tree, &ParamsTreeWidget::signalItemRightClicked, this, &Volmar::slotItemRightClicked);
    connect(tree, &QTreeWidget::itemClicked, this, &Volmar::slotTreeItemClicked);
    connect(tree, &QTreeWidget::currentItemChanged, this, &Volmar::slotCurrentItemChanged);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, &Volmar::slotTreeItemDbClicked);
    connect(tree, &ParamsTreeWidget::signalGroupToggled, this, &Volmar::slotGroupToggled);
    connect(tree, &ParamsTreeWidget::signalParamChanged, this, &Volmar::slotParamChanged);
    tree->installEventFilter(this);
    tree->setFont(m_font);
    tree->setColumnWidth(ParamsTreeWidget::TitleColumn, m_options.m_nWidthColumn != 0 ? m_options.m_nWidthColumn : 100);
    tree->m_bCheckMode = m_bCheck;
    return tree;
}

void Volmar::openFiles()
{
    if (!m_fileList.isEmpty())
        QDir::setCurrent(QFileInfo(m_fileList.first()).absolutePath());
    takeDescription();
    // The INI file a description names is looked at like one named directly, before its tab exists.
    if (!m_bDescFromIni)
        m_openList = m_fileList = openableFiles(m_fileList);
    const int n = m_fileList.size();

    if (m_pFileTabs)
        disconnect(m_pFileTabs, &QTabWidget::currentChanged, this, &Volmar::slotCurrentChanged);
    clearGroupItems();
    if (m_pParamsTree) {
        // Until a first opening fits it, the column of the empty tree is a stand-in, not the user's.
        if (m_options.m_nWidthColumn != 0)
            m_options.m_nWidthColumn = m_pParamsTree->columnWidth(ParamsTreeWidget::TitleColumn);
        delete m_pParamsTree;
        m_pParamsTree = nullptr;
    }
    if (m_pFileTabs) {
        delete m_pFileTabs;
        m_pFileTabs = nullptr;
    }

    m_pParamsTree = createTree(this);
    m_pCurTree = m_pParamsTree;

    if (n > 1) {
        m_pFileTabs = new QTabWidget(this);
        // Above the comment label, which stays right below the tree as with one file.
        m_pvLayoutTree_1->insertWidget(0, m_pFileTabs);
        m_pFileTabs->addTab(m_pParamsTree, tr("Все файлы"));
        for (int i = 1; i <= n; ++i)
            m_pFileTabs->addTab(new QWidget(m_pFileTabs), QFileInfo(m_fileList.at(i - 1)).fileName());
        m_pFileTabs->setCurrentIndex(0);
        connect(m_pFileTabs, &QTabWidget::currentChanged, this, &Volmar::slotCurrentChanged);
    } else {
        m_pvLayoutTree_1->insertWidget(0, m_pParamsTree);
    }

    const QList<QWidget*> fileControls{m_pProgComboBox, m_pStartButton, m_pHelpPld,
                                       m_pPldComboBox,  m_pPldButton,   m_pBinComboBox};
    if (m_fileList.isEmpty()) {
        for (QAction* action : {m_pActionSave, m_pActionSaveAs, m_pActionName, m_pActionLoadPld})
            action->setEnabled(false);
        for (QWidget* control : fileControls)
            control->setEnabled(false);
        return;
    }
    m_pActionSaveAs->setEnabled(true);
    m_pActionName->setEnabled(true);
    // A window started empty gets its program and firmware controls back with the first file.
    m_pActionLoadPld->setEnabled(true);
    for (QWidget* control : fileControls)
        control->setEnabled(true);

    loadFiles();
    m_pPanel->fillLists(m_progList, m_sCurProg, m_nDefList, m_fileList.value(0));
    // A first start has no stored title column: it fits the titles, and is stored at close.
    if (m_options.m_nWidthColumn == 0) {
        const QList<ParamsTreeWidget*> trees = findChildren<ParamsTreeWidget*>();
        m_options.m_nWidthColumn = FirstLook::titleColumnWidth(trees);
        for (ParamsTreeWidget* tree : trees)
            if (m_options.m_nWidthColumn != 0)
                tree->setColumnWidth(ParamsTreeWidget::TitleColumn, m_options.m_nWidthColumn);
    }
    // The keys go to the parameters, not to the tab bar that comes first in the window.
    if (QWidget* page = tabWidget->currentWidget())
        if (auto* tree = page->findChild<ParamsTreeWidget*>())
            tree->setFocus(Qt::OtherFocusReason);
    QTimer::singleShot(0, m_pPanel, &ProgramPanel::slotPrepare);
}

void Volmar::loadFiles()
{
    // At every reload: a file that has become a folder or a FIFO since it was opened is left out.
    m_fileList = openableFiles(m_fileList);
    rememberTimes();

    if (m_fileList.size() == 1) {
        QString shown = m_fileList.first();
        const QString current = QDir::currentPath();
        if (shown.startsWith(current))
            shown.replace(current, QString());
        setWindowTitle(QStringLiteral("Volmar - ") + shown);
    } else {
        setWindowTitle(QStringLiteral("Volmar - ") + tr("Редактируется ") + filesCount(m_fileList.size()));
    }

    m_bSingleFile = m_fileList.size() == 1;
    m_pNotepadButton->setEnabled(m_bSingleFile);
    m_pActionSaveAs->setEnabled(m_bSingleFile);

    readFiles();

    deleteSectionTabs();
    while (tabWidget->count() > 0)
        tabWidget->removeTab(0);

    if (!m_sDescPath.isEmpty() && QFileInfo(m_sDescPath).isFile()) {
        readDescription();
        matchDescriptions();
    }
    if (m_nTabs != 0)
        createSectionTabs();
    else
        tabWidget->insertTab(0, widget, QStringLiteral("Ini"));
    tabWidget->addTab(widget_2, QStringLiteral("Log"));
    rehomeDetachedPages();

    buildTrees();
}

QString Volmar::iniNameFromDesc()
{
    return DescriptionModel::iniFileNamedBy(m_sDescPath);
}

void Volmar::takeDescription()
{
    if (m_fileList.isEmpty())
        return;
    const auto isDescription = [](const QString& name) { return QFileInfo(name).suffix() == QLatin1String("vlmr"); };
    const auto described = std::find_if(m_fileList.cbegin(), m_fileList.cend(), isDescription);
    if (described == m_fileList.cend()) {
        m_sDescPath = descriptionPathFor(m_fileList.first());
        m_bDescFromIni = true;
        return;
    }
    // A description named among the files describes them and is never edited as an INI file; the
    // INI file it names joins the set once, with a file tab of its own.
    m_sDescPath = *described;
    m_bDescFromIni = false;
    m_fileList.removeIf(isDescription);
    const QString named = iniNameFromDesc();
    const QString iniPath = named.isEmpty() ? named : QFileInfo(m_sDescPath).absoluteDir().absoluteFilePath(named);
    const auto samePath = [&iniPath](const QString& name) {
        return QFileInfo(name).absoluteFilePath() == QDir::cleanPath(iniPath);
    };
    // A description that names no file leaves the others edited; alone, it edits a nameless document.
    if (iniPath.isEmpty() ? m_fileList.isEmpty() : std::none_of(m_fileList.cbegin(), m_fileList.cend(), samePath))
        m_fileList.append(QDir::cleanPath(iniPath));
    m_openList = m_fileList;
}

void Volmar::slotCurrentChanged(int idx)
{
    if (!m_pFileTabs || !m_pParamsTree)
        return;
    saveViewState();
    // The tab moves below would announce themselves again; the question and the reload happen once.
    const QSignalBlocker blocker(m_pFileTabs);
    const int treeTab = m_pFileTabs->indexOf(m_pParamsTree);
    m_pFileTabs->setCurrentIndex(treeTab);
    askSave();

    if (idx == 0)
        m_fileList = m_openList;
    else if (idx - 1 < m_openList.size())
        m_fileList = QStringList{m_openList.at(idx - 1)};

    if (treeTab != idx && idx >= 0 && idx < m_pFileTabs->count()) {
        const QString treeTitle = m_pFileTabs->tabText(treeTab);
        m_pFileTabs->removeTab(treeTab);
        m_pFileTabs->insertTab(treeTab, new QWidget(m_pFileTabs), treeTitle);
        const QString title = m_pFileTabs->tabText(idx);
        QWidget* placeholder = m_pFileTabs->widget(idx);
        m_pFileTabs->removeTab(idx);
        delete placeholder;
        m_pFileTabs->insertTab(idx, m_pParamsTree, title);
        m_pFileTabs->setCurrentIndex(idx);
    }

    loadFiles();
    m_pFileTabs->setCurrentWidget(m_pParamsTree);
    restoreViewState();
}

void Volmar::deleteSectionTabs()
{
    if (m_sectionTrees.values().contains(m_pCurTree))
        m_pCurTree = m_pParamsTree;
    clearGroupItems();
    QList<QWidget*> pages;
    for (ParamsTreeWidget* tree : std::as_const(m_sectionTrees))
        if (tree->parentWidget() && tree->parentWidget() != widget)
            pages.append(tree->parentWidget());
    qDeleteAll(m_sectionTrees);
    m_sectionTrees.clear();
    qDeleteAll(m_sectionLabels);
    m_sectionLabels.clear();
    // The pages held only the tree and its label.
    qDeleteAll(pages);
}
