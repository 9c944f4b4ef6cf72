#pragma once

#include "description/paramdescription.h"

#include <QList>
#include <QString>
#include <QStringList>

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
