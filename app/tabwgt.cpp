#include "app/tabwgt.h"

#include <QHBoxLayout>

TabWgt::TabWgt() : QWidget(nullptr)
{
    m_pLayout = new QHBoxLayout(this);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
}

TabWgt::~TabWgt() = default;
