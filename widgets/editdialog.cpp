#include "widgets/editdialog.h"

#include <QSettings>

namespace
{
const QString WidthKey = QStringLiteral("WidthEditWindow");
const QString HeightKey = QStringLiteral("HeightEditWindow");
} // namespace

EditDialog::EditDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
    setupUi(this);
    const QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Brindle"));
    const int width = settings.value(WidthKey, 0).toInt();
    const int height = settings.value(HeightKey, 0).toInt();
    if (width != 0 && height != 0)
        resize(width, height);
}

void EditDialog::hideEvent(QHideEvent* event)
{
    QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Brindle"));
    settings.setValue(WidthKey, width());
    settings.setValue(HeightKey, height());
    QDialog::hideEvent(event);
}
