#pragma once

#include <QProcess>

// The process class of the external programs. It adds no behaviour to QProcess; the window's
// operations drive it.
class QProcessEx : public QProcess
{
    Q_OBJECT

public:
    using QProcess::QProcess;
    ~QProcessEx() override;
};
