#pragma once

#include <QPointer>
#include <QWidget>

class QHBoxLayout;

// A page of the main tab widget taken out into a window of its own. The window holds no logic: the
// main window watches its close event and puts the page back.
class TabWgt : public QWidget
{
    Q_OBJECT

public:
    TabWgt();
    ~TabWgt() override;

    QHBoxLayout* m_pLayout = nullptr;
    // Guarded: a reload may delete a section page while it stands here.
    QPointer<QWidget> m_pPage;
};
