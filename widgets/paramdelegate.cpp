#include "widgets/paramdelegate.h"

#include "description/paramdescription.h"
#include "description/paramtreeitem.h"
#include "document/inientry.h"
#include "widgets/comboboxex.h"
#include "widgets/doublespinboxex.h"
#include "widgets/editwidget.h"
#include "widgets/filepathwidget.h"
#include "widgets/paramstreewidget.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>

namespace
{
// The row a text editor edits, kept on the editor: its line edit may finish editing after the
// current row has already moved on.
const char* const EditedIndexProperty = "volmarEditedIndex";

// The file editor's button stays square, and never smaller than this.
constexpr int MinButtonWidth = 26;

const QColor ChangedColor(255, 0, 0, 255);
const QColor SavedColor(0, 0, 0, 255);
} // namespace

ParamDelegate::ParamDelegate(QObject* parent) : QItemDelegate(parent) {}

void ParamDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    const ParamTreeItem* row = m_pTree ? m_pTree->paramItem(index) : nullptr;
    const bool group = row && row->m_bGroup;

    QColor background;
    if (group) {
        if (index.column() == ParamsTreeWidget::TitleColumn) {
            opt.font.setWeight(QFont::Bold);
            opt.fontMetrics = QFontMetrics(opt.font);
        }
        background = opt.palette.color(QPalette::Dark);
        opt.palette.setBrush(QPalette::Text, opt.palette.brush(QPalette::BrightText));
    }
    if (background.isValid())
        painter->fillRect(option.rect, background);

    opt.state &= ~QStyle::State_HasFocus;
    QItemDelegate::paint(painter, opt, index);

    opt.palette.setCurrentColorGroup(QPalette::Active);
    const QColor grid =
        QColor::fromRgba(static_cast<QRgb>(QApplication::style()->styleHint(QStyle::SH_Table_GridLineColor, &opt)));
    painter->save();
    painter->setPen(grid);
    if (!group) {
        const int x = opt.direction == Qt::LeftToRight ? opt.rect.right() : opt.rect.left();
        painter->drawLine(x, opt.rect.top(), x, opt.rect.bottom());
    }
    painter->restore();
}

QSize ParamDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return QItemDelegate::sizeHint(option, index) + QSize(3, 4);
}

QString ParamDelegate::valueText(const ParamDescription* desc, const QString& value)
{
    if (!desc || desc->type != TypeList)
        return value;
    for (const ListItem* item : desc->items) {
        if (item && item->val == value)
            return listItemText(*item);
    }
    return value;
}

QString ParamDelegate::listItemText(const ListItem& item)
{
    if (item.descr.isEmpty())
        return item.val;
    return item.val + QLatin1String(" [") + item.descr + QLatin1Char(']');
}

QString ParamDelegate::doubleText(double value)
{
    QString text = QString::asprintf("%50.10f", value).trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QWidget* ParamDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    Q_UNUSED(option);
    const ParamTreeItem* row = rowOf(index);
    if (!row || row->m_bGroup || !row->m_pEntry)
        return nullptr;
    const IniEntry* entry = row->m_pEntry;
    const ParamDescription* desc = entry->desc;

    switch (desc ? desc->type : TypeText) {
    case TypeSpinInt: {
        auto* spin = new QSpinBox(parent);
        spin->setRange(desc->intMin, desc->intMax);
        if (desc->intStep != 0)
            spin->setSingleStep(desc->intStep);
        return spin;
    }
    case TypeSpinDouble: {
        auto* spin = new DoubleSpinBoxEx(parent);
        // Decimals first: the range is rounded to them.
        spin->setDecimals(10);
        spin->setRange(desc->dblMin, desc->dblMax);
        spin->setSingleStep(desc->dblStep != 0 ? desc->dblStep : 0.1);
        return spin;
    }
    case TypeList: {
        auto* combo = new ComboBoxEx(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        int match = -1;
        for (const ListItem* item : desc->items) {
            if (!item)
                continue;
            if (match < 0 && item->val == entry->value)
                match = combo->count();
            combo->addItem(listItemText(*item));
        }
        if (match >= 0)
            combo->setCurrentIndex(match);
        else
            combo->setEditText(row->text(ParamsTreeWidget::ValueColumn)); // a value the list does not hold
        return combo;
    }
    case TypeFile: {
        auto* editor = new FilePathWidget(parent);
        editor->m_sPath = entry->value;
        editor->m_pLineEdit->setText(entry->value);
        editor->m_sPattern = desc->pattern;
        editor->m_pDir = desc->pLastDir;
        return editor;
    }
    default: {
        auto* editor = new EditWidget(parent);
        editor->m_pLineEdit->setText(entry->value);
        editor->m_font = m_pTree ? m_pTree->font() : parent->font();
        editor->setProperty(EditedIndexProperty, QVariant::fromValue(QPersistentModelIndex(index)));
        connect(editor->m_pLineEdit, &QLineEdit::editingFinished, this, &ParamDelegate::slotTextChanged);
        return editor;
    }
    }
}

void ParamDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (dynamic_cast<ComboBoxEx*>(editor))
        return;
    QItemDelegate::setEditorData(editor, index);
}

void ParamDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    Q_UNUSED(model);
    ParamTreeItem* row = rowOf(index);
    if (!row || row->m_bGroup || !row->m_pEntry)
        return;

    QString value;
    QString shown;
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        // A half-typed number (an empty field) falls back to the last valid one.
        spin->interpretText();
        value = spin->text();
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
        spin->interpretText();
        value = doubleText(spin->value());
    } else if (auto* combo = dynamic_cast<ComboBoxEx*>(editor)) {
        // "2 [two]" is shown, "2" is stored; a value typed freely is taken as it is.
        shown = combo->currentText();
        value = shown.section(QLatin1Char('['), 0, 0).trimmed();
    } else if (auto* file = qobject_cast<FilePathWidget*>(editor)) {
        value = file->m_pLineEdit->text();
    } else if (auto* text = qobject_cast<EditWidget*>(editor)) {
        value = text->m_pLineEdit->text();
    } else {
        return;
    }
    if (shown.isNull())
        shown = value;

    row->m_pEntry->value = value;
    const bool changed = markChange(row);
    row->setText(ParamsTreeWidget::ValueColumn, shown);
    // The view calls this through a const interface; announcing the change is the delegate's own state.
    if (changed)
        emit const_cast<ParamDelegate*>(this)->signalParamChanged(row);
}

void ParamDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    Q_UNUSED(index);
    editor->setGeometry(option.rect.adjusted(0, 0, 0, -1));
    if (auto* file = qobject_cast<FilePathWidget*>(editor))
        file->m_pButton->setFixedWidth(qMax(editor->height(), MinButtonWidth));
}

void ParamDelegate::slotTextChanged()
{
    auto* lineEdit = qobject_cast<QLineEdit*>(sender());
    if (!lineEdit || !m_pTree)
        return;
    ParamTreeItem* row = nullptr;
    const QWidget* editor = lineEdit->parentWidget();
    const QVariant edited = editor ? editor->property(EditedIndexProperty) : QVariant();
    if (edited.isValid())
        row = rowOf(edited.value<QPersistentModelIndex>());
    else
        row = dynamic_cast<ParamTreeItem*>(m_pTree->currentItem());
    if (!row || row->m_bGroup || !row->m_pEntry)
        return;

    // The cell text follows at the commit; the entry and the colour change now.
    row->m_pEntry->value = lineEdit->text();
    if (markChange(row))
        emit signalParamChanged(row);
}

bool ParamDelegate::eventFilter(QObject* object, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel)) {
        // Escape drops the edit. The text editor's line edit loses the focus as the editor closes, and
        // its end of editing must not hand the dropped text to the entry on the way out.
        if (auto* text = qobject_cast<EditWidget*>(object))
            disconnect(text->m_pLineEdit, nullptr, this, nullptr);
    }
    return QItemDelegate::eventFilter(object, event);
}

ParamTreeItem* ParamDelegate::rowOf(const QModelIndex& index) const
{
    return m_pTree && index.isValid() ? m_pTree->paramItem(index) : nullptr;
}

bool ParamDelegate::markChange(ParamTreeItem* row)
{
    const bool changed = row->m_pEntry->value != row->m_pSaved->value;
    row->setForeground(ParamsTreeWidget::ValueColumn, changed ? ChangedColor : SavedColor);
    return changed;
}
