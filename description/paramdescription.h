#pragma once

// Only QColor's inline constructors and isValid() are used here, so the core needs the
// header but not the QtGui library.
#include <QtGui/qcolor.h>

#include <QString>
#include <QVector>

#include <climits>

// Parameter type codes of the description's "type" attribute.
enum ParamType
{
    TypeText = 0,
    TypeSpinInt = 1,
    TypeSpinDouble = 2,
    TypeList = 3,
    TypeFile = 5
};

struct ListItem
{
    QString val;   // written into the INI file
    QString descr; // shown beside the value in brackets
};

struct ParamDescription
{
    ParamDescription() = default;
    ParamDescription(const ParamDescription&) = delete;
    ParamDescription& operator=(const ParamDescription&) = delete;
    ~ParamDescription() { qDeleteAll(items); }

    QString title;
    QString section; // "" matches the key in every section
    QString key;
    QString comment;
    QString groupTitle;
    int type = TypeText;
    int invisible = 0;
    int noedit = 0;
    int intMin = INT_MIN;
    int intMax = INT_MAX;
    int intStep = 1;
    double dblMin = -1.79769e+308;
    double dblMax = 1.79769e+308;
    double dblStep = 0.1;
    QString pattern;
    QString* pLastDir = nullptr; // the window's shared last directory (file parameters)
    QVector<ListItem*> items;    // owned
};

struct GroupDescription
{
    QString title;
    // The colour's components as the description gives them: kept as numbers, so that code without
    // QtGui can write them back. One outside 0..255 makes the colour invalid: its rows get no background.
    int red = 255;
    int green = 255;
    int blue = 255;
    bool open = true;

    QColor color() const { return QColor(red, green, blue); }
    bool hasValidColor() const { return color().isValid(); }
};
