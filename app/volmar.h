#pragma once

#include "control/programrunner.h"
#include "description/descriptionmodel.h"
#include "document/inidocument.h"
#include "settings/options.h"
#include "ui_volmar.h"

#include <QDateTime>
#include <QFont>
#include <QMainWindow>
#include <QMap>
#include <QMultiMap>
#include <QStringList>

class ParamsTreeWidget;
class ParamTreeItem;
class ProgramPanel;
class QLabel;
class QTabWidget;
class QTreeWidgetItem;
class TabWgt;

// The one main window. It owns the document, the description, the trees, the options and the
// program runner; its document operations are implemented in the folders of their subsystems
// (document/, description/) on top of the GUI-free core.
class Volmar : public QMainWindow, public Ui::VolmarClass, public IniDocument, public DescriptionModel
{
    Q_OBJECT

public:
    // `files` are the names given on the command line: main reads them, so that a window made by a
    // test or a benchmark never takes that program's own arguments for files.
    explicit Volmar(QWidget* parent = nullptr, Qt::WindowFlags flags = {}, const QStringList& files = {});
    ~Volmar() override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

public slots:
    void slotTreeItemClicked(QTreeWidgetItem* pItem, int nCol);
    void slotItemRightClicked();
    void slotTreeItemDbClicked(QTreeWidgetItem* pItem, int nCol);
    void slotGroupToggled(ParamTreeItem* pItem);
    void slotClicked();
    void slotCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void slotActionOpen();
    void slotActionSave();
    void slotActionSaveAs();
    void slotActionFont();
    void slotActionAbout();
    void slotActionName();
    void slotActionColorGroup();
    void slotActionSettings();
    void slotActionUpdateIni();
    void slotCurrentChanged(int idx);
    void slotParamChanged(ParamTreeItem* pItem);
    void slotShowTabBarContextMenu(QPoint point);
    void slotAuxButton();
    void slotTerminationSignal(int signalNumber);

public:
    // Window set-up (app/)
    void centreOnScreen();
    QWidget* tabPageAt(const QPoint& pos) const;
    QStringList tabTitles() const;
    void returnDetachedPage(TabWgt* w, const QString& title);
    void rehomeDetachedPages();

    // Opening (document/)
    QStringList openableFiles(const QStringList& files);
    void openFiles();
    void loadFiles();
    QString iniNameFromDesc();
    // Takes the description out of m_fileList: a ".vlmr" file named there, else the one beside the
    // first file; fills m_sDescPath and m_bDescFromIni.
    void takeDescription();
    ParamsTreeWidget* createTree(QWidget* parent);
    void deleteSectionTabs();

    // Saving (document/)
    void askSave();
    void writeValue(const QString& fileName, IniEntry* entry);
    int writeEnabled(const QString& header, IniEntry* entry, bool enabled, const QString& fileName);

    // Description and trees (description/)
    void readDescription();
    void matchDescriptions();
    void createSectionTabs();
    void buildTrees();
    // The section trees in key order, then the main tree.
    QList<ParamsTreeWidget*> allTrees() const;
    // The tree the user looks at: the main tree, or in section-tabs mode a section tree.
    ParamsTreeWidget* viewTree() const;
    void saveViewState();
    void restoreViewState();
    void clearGroupItems();
    void detachEmptyGroup(QTreeWidgetItem* root, QTreeWidgetItem* row);

    // Tree navigation and description write-back (description/)
    // Stores a description group's open state (section groups have none) in the description file.
    void rememberGroupState(const QTreeWidgetItem* row, bool open);
    // Asks whether a key missing from some edited files is to be added to all of them.
    bool askAddMissingKey();
    void acceptMissingKey(ParamTreeItem* row);
    void showKeyNames(bool names);
    void showKeyNames(ParamsTreeWidget* tree, bool names);
    TabWgt* activeDetachedWindow() const;
    void saveGroupState(GroupDescription* g);
    void writeDescription(const QString& element, const QString& attribute, const QString& value);

    // Options: read before any file is opened, written at close.
    void loadSettings();
    void saveSettings();

    // Files named on the command line or chosen in the Open dialog.
    QStringList m_openList;
    QString m_sDescPath;
    bool m_bDescFromIni = false;
    bool m_bDeactivated = false;
    QString m_sLastDir;

    ParamsTreeWidget* m_pParamsTree = nullptr;
    ParamsTreeWidget* m_pCurTree = nullptr;
    QTabWidget* m_pFileTabs = nullptr;
    QMap<QString, ParamsTreeWidget*> m_sectionTrees;
    QMap<QString, QLabel*> m_sectionLabels;
    QMultiMap<QString, ParamTreeItem*> m_groupItems;
    QList<ParamTreeItem*> m_detachedGroupRows; // empty group rows taken out of a tree but named in m_groupItems
    int m_nSavedScroll = 0;
    int m_nSavedRow = -1;
    QString m_sSavedGroup;

    QMap<QString, TabWgt*> m_tabWindows;

    bool m_bUnattendedClose = false; // a signal asked the editor to end: no questions

    Options m_options;
    QFont m_font; // of the trees and the comment label
    // Declared after the options it reads, so that it goes first.
    ProgramRunner m_runner{m_options};
    ProgramPanel* m_pPanel = nullptr;
};
