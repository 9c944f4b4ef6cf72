// The window's side of the description write-back: the file is m_sDescPath.
#include "app/volmar.h"
#include "description/descriptionwriter.h"

void Volmar::saveGroupState(GroupDescription* g)
{
    if (!g)
        return;
    DescriptionWriter::saveGroupState(m_sDescPath, g->title, g->open, g->color.red(), g->color.green(),
                                      g->color.blue());
}

void Volmar::writeDescription(const QString& element, const QString& attribute, const QString& value)
{
    DescriptionWriter::writeDescription(m_sDescPath, element, attribute, value);
}
