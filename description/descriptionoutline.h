#pragma once

#include <QList>
#include <QString>
#include <QXmlStreamAttributes>

struct ParamDescription;

// Where each element of a description file stands and what the reader made of it, recorded while
// the editor's own reader reads the file, so that a report about the file (volmar-ini check)
// sees exactly what the editor sees. The editor itself reads without one.
struct DescriptionOutline
{
    struct Element
    {
        enum Role
        {
            Setting,  // the first check, tabs, deflist, auxbutton, curprog or inifile of the root
            Repeated, // a later one of those: only the first counts
            Group,
            Param,   // made into `param`
            Item,    // an item of the list parameter `param`
            Program, // offered when its dependence exists
            Unknown, // a child of the root that the reader passes over
            Nested   // a child of a group that is no parameter (a nested group included)
        };
        Role role = Unknown;
        QString name;
        qint64 line = 0; // the line on which the start tag ends
        QXmlStreamAttributes attributes;
        QString text;                            // the text of check, tabs and deflist
        const ParamDescription* param = nullptr; // owned by the model that read the file
    };

    QList<Element> elements; // in document order
    QString rootName;        // the root element's name; empty when there is none
    qint64 rootLine = 0;
    QString error; // why the XML is not well-formed; empty when it is
    qint64 errorLine = 0;
    qint64 errorColumn = 0;
};
