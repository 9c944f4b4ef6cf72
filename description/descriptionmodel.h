#pragma once

#include "description/paramdescription.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QXmlStreamAttributes;
class QXmlStreamReader;
struct DescriptionOutline;

// What readDescription() tells the window about the parts it shows itself.
struct DescriptionReadResult
{
    bool read = false;      // a well-formed "settings" document was read; the members below are valid
    bool auxButton = false; // an "auxbutton" element was present: show the button with m_sAuxTitle
    bool check = false;     // m_bCheck, to copy into the parameter tree's check mode
};

// What a ".vlmr" description says about the INI keys and the window. The main window inherits
// this class, so the description's members are the window's own.
class DescriptionModel
{
public:
    DescriptionModel() = default;
    DescriptionModel(const DescriptionModel&) = delete;
    DescriptionModel& operator=(const DescriptionModel&) = delete;
    virtual ~DescriptionModel();

    void clearDescriptions();

    // Empties m_params and m_groups, then fills them and the window settings from descPath.
    // A file that cannot be opened, is not well-formed or whose root is not "settings" leaves
    // both lists empty and every other member as it was. File parameters point at lastDir. An
    // outline, when given, records every element met and the XML error, if any.
    DescriptionReadResult readDescription(const QString& descPath, QString* lastDir,
                                          DescriptionOutline* outline = nullptr);
    // The same from a description's bytes.
    DescriptionReadResult readDescriptionFrom(const QByteArray& bytes, QString* lastDir,
                                              DescriptionOutline* outline = nullptr);

    // The INI file a description names ("inifile" element), as written in the file; relative
    // names are relative to the description's folder. "" when the file is unreadable, broken
    // or not a "settings" document.
    static QString iniFileNamedBy(const QString& descPath);

    // One "param" element from its attributes; groupTitle is the "title" of its parent element.
    static ParamDescription* readParam(const QXmlStreamAttributes& param, const QString& groupTitle, QString* lastDir);
    // The "item" children of the element the reader stands on; reads up to that element's end.
    static QVector<ListItem*> readListItems(QXmlStreamReader& xml, DescriptionOutline* outline = nullptr,
                                            const ParamDescription* owner = nullptr);
    // The group's "color" attribute into its components; white when it says nothing usable.
    static void readGroupColor(const QXmlStreamAttributes& attrs, GroupDescription* group);

    QList<ParamDescription*> m_params; // group parameters first, then root parameters
    QList<GroupDescription*> m_groups;
    bool m_bCheck = false;
    int m_nTabs = 0;
    int m_nDefList = 0;
    QStringList m_progList;
    QString m_sCurProg;
    QString m_sAuxTitle;
    int m_nAuxTimeout = 0;
    QString m_sAuxCmdLine;
};
