#include "widgets/editdialog.h"

#include <QAbstractButton>
#include <QSettings>

namespace
{
const QString WidthKey = QStringLiteral("WidthEditWindow");
const QString HeightKey = QStringLiteral("HeightEditWindow");

// The standard buttons come without access keys in most languages ("OK", "Отмена"): each gets the
// first letter of its text that no button before it took.
void giveAccessKeys(const QList<QAbstractButton*>& buttons)
{
    QString taken;
    for (QAbstractButton* button : buttons) {
        QString text = button->text();
        if (text.contains(QLatin1Char('&')))
            continue;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar key = text.at(i).toLower();
            if (key.isLetterOrNumber() && !taken.contains(key)) {
                taken += key;
                text.insert(i, QLatin1Char('&'));
                button->setText(text);
                break;
            }
        }
    }
}
} // namespace

EditDialog::EditDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
    setupUi(this);
    giveAccessKeys(buttonBox->buttons());
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
