// Saving the edited values into the INI files, Save As, and the question before changes are lost.
#include "app/volmar.h"
#include "description/paramtreeitem.h"
#include "document/keychanges.h"
#include "platform/profile.h"
#include "widgets/messagebox.h"
#include "widgets/paramstreewidget.h"

#include <QFile>
#include <QFileInfo>

void Volmar::slotActionSave()
{
    m_pActionSave->setEnabled(false);

    QList<KeyChange> changes; // the same changes go to every edited file
    for (ParamsTreeWidget* tree : allTrees()) {
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            QTreeWidgetItem* group = tree->topLevelItem(g);
            for (int c = 0; c < group->childCount(); ++c) {
                auto* row = static_cast<ParamTreeItem*>(group->child(c));
                IniEntry* entry = row->m_pEntry;
                if (row->m_bGroup || !entry)
                    continue;
                // A list value shown as "2 [two]" is stored as "2".
                if (entry->desc && entry->desc->type == TypeList)
                    entry->value = entry->value.section(QLatin1Char('['), 0, 0).trimmed();
                const bool valueChanged = entry->value != row->m_pSaved->value;
                const bool enabledChanged = entry->enabled != row->m_pSaved->enabled;
                // A key switched on loses its "@" first, so that the new value lands on the same line.
                if (enabledChanged && entry->enabled)
                    changes.append(enabledChange(*entry, true));
                // A value written goes to every file; a key accepted unchanged only into those lacking it.
                if (valueChanged)
                    changes.append(valueChange(*entry));
                else if (row->m_pSaved->absent && !entry->absent)
                    changes.append(addChange(*entry));
                if (enabledChanged && !entry->enabled)
                    changes.append(enabledChange(*entry, false));
            }
        }
        tree->markSaved();
    }
    for (const QString& fileName : std::as_const(m_fileList))
        applyKeyChanges(fileName, changes);
    rememberTimes();
}

void Volmar::writeValue(const QString& fileName, IniEntry* entry)
{
    applyKeyChanges(fileName, {valueChange(*entry)});
}

int Volmar::writeEnabled(const QString& header, IniEntry* entry, bool enabled, const QString& fileName)
{
    QFile file(fileName);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return -1;
    QByteArray bytes = file.readAll();
    file.close();
    // The header is the section's name in brackets.
    const QString section = header.startsWith(QLatin1Char('[')) && header.endsWith(QLatin1Char(']'))
                                ? header.mid(1, header.size() - 2)
                                : header;
    if (!moveEnabledMarker(bytes, section, entry->key, enabled))
        return -1;
    return Profile::replaceFile(QFileInfo(fileName).absoluteFilePath(), bytes) ? 0 : -1;
}

void Volmar::askSave()
{
    bool modified = false;
    for (ParamsTreeWidget* tree : allTrees())
        modified = modified || tree->isModified();
    if (!modified)
        return;
    const QPalette windowPalette = palette();
    if (Dialogs::question(nullptr, QString(), tr("Параметры были изменены. Хотите сохранить изменения?"),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, &windowPalette) == QMessageBox::Yes)
        slotActionSave();
}

void Volmar::slotActionSaveAs()
{
    const QString name =
        Dialogs::getSaveFileName(this, tr("Сохранить файл"), QStringLiteral("."), tr("Ини файл (*.ini *.ax)"));
    if (name.isEmpty() || m_fileList.isEmpty())
        return;
    const QString source = m_fileList.first();
    // The file dialog has already asked whether to replace an existing target.
    QFile sourceFile(source);
    QByteArray bytes;
    if (sourceFile.open(QIODevice::ReadOnly))
        bytes = sourceFile.readAll();
    if (QFileInfo(name).absoluteFilePath() != QFileInfo(source).absoluteFilePath() &&
        !Profile::replaceFile(QFileInfo(name).absoluteFilePath(), bytes))
        return;
    m_fileList[0] = name;
    slotActionSave();
    m_sLastDir = QFileInfo(source).absolutePath();
}

void Volmar::slotParamChanged(ParamTreeItem* pItem)
{
    if (m_options.m_bAutoSave) {
        if (pItem)
            pItem->setForeground(ParamsTreeWidget::ValueColumn, pItem->restingValueColor());
        slotActionSave();
        m_pActionSave->setEnabled(false);
    } else {
        m_pActionSave->setEnabled(true);
    }
    m_runner.restartAfterChange();
}
