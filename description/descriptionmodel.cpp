#include "description/descriptionmodel.h"

DescriptionModel::~DescriptionModel()
{
    clearDescriptions();
}

void DescriptionModel::clearDescriptions()
{
    qDeleteAll(m_params);
    m_params.clear();
    qDeleteAll(m_groups);
    m_groups.clear();
}
