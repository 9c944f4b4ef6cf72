#include "widgets/paramdelegate.h"

#include "description/paramdescription.h"
#include "document/inientry.h"
#include "widgets/comboboxex.h"
#include "widgets/doublespinboxex.h"
#include "widgets/editwidget.h"
#include "widgets/filepathwidget.h"
#include "widgets/paramstreewidget.h"
#include "widgets/paramtreeitem.h"
#include "widgets/spinboxex.h"

#include <QApplication>
#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <limits>

namespace
{
// The row a text editor edits, kept on the editor: its line edit may finish editing after the
// current row has already moved on.
const char* const EditedIndexProperty = "volmarEditedIndex";
// What the list editor showed when it opened.
const char* const OpenedTextProperty = "volmarOpenedText";

// The file editor's button stays square, and never smaller than this.
constexpr int MinButtonWidth = 26;

// The note about a limit that replaced a typed number stays this long under its cell.
constexpr int LimitNoteMs = 8000;
const char* const LimitNoteName = "volmarLimitNote";
constexpr int LabelGap = 6;

// Behind a cell that shows what the filter text was found in.
const QColor FilterHitBackground(255, 240, 130);

// The editor covers the cell but its last pixel row. A number editor is only as wide as the number
// needs, so that its arrows stand next to it in a wide cell.
QRect editorRect(const QWidget* editor, const QRect& cell, Qt::LayoutDirection direction)
{
    QRect rect = cell.adjusted(0, 0, 0, -1);
    if (qobject_cast<const QAbstractSpinBox*>(editor)) {
        const int width = qMin(rect.width(), editor->sizeHint().width());
        if (direction == Qt::RightToLeft)
            rect.setLeft(rect.right() - width + 1);
        else
            rect.setWidth(width);
    }
    return rect;
}

// A number editor starts from the cell's number. A cell without one (a value that differs between
// the files of a set, or no number at all) gives an empty field; one beyond the limits is shown as
// it is. Either way the editor commits nothing unless the user types or steps a value.
template <class Spin>
void fillNumber(Spin* spin, const QString& text, int decimals)
{
    double value = 0;
    const bool number = NumberInput::parse(text, decimals, &value);
    spin->setValue(static_cast<decltype(spin->value())>(number ? value : 0));
    // The box would show a number beyond its limits as the limit: the file's text is shown instead,
    // and stays in the file unless the user types or steps.
    if (!number)
        spin->showText(QString());
    else if (value < spin->minimum() || value > spin->maximum())
        spin->showText(text);
}
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
    } else if (row && m_pTree->isFilterHit(*row, index.column()))
        background = FilterHitBackground;
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
        auto* spin = new SpinBoxEx(parent);
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
        // A typed value stays what was typed: matching elements are offered in a pop-up, never
        // completed in place ("4" must not turn into "4096 [long]").
        combo->completer()->setCompletionMode(QCompleter::PopupCompletion);
        combo->setInsertPolicy(QComboBox::NoInsert);
        int match = -1;
        for (const ListItem* item : desc->items) {
            if (!item)
                continue;
            if (match < 0 && item->val == entry->value)
                match = combo->count();
            combo->addItem(RowLook::listItemText(*item));
        }
        if (match >= 0)
            combo->setCurrentIndex(match);
        else
            combo->setEditText(entry->value); // a value the list does not hold, or none where the files disagree
        combo->setProperty(OpenedTextProperty, combo->currentText());
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
    const QString text = index.data(Qt::DisplayRole).toString();
    if (auto* spin = qobject_cast<SpinBoxEx*>(editor))
        fillNumber(spin, text, 0);
    else if (auto* spin = qobject_cast<DoubleSpinBoxEx*>(editor))
        fillNumber(spin, text, std::numeric_limits<int>::max()); // every digit of the file, rounded by the box
    else if (!dynamic_cast<ComboBoxEx*>(editor))
        QItemDelegate::setEditorData(editor, index);
    // The number now shown may need more room than the empty editor was given.
    if (qobject_cast<QAbstractSpinBox*>(editor) && m_pTree)
        editor->setGeometry(editorRect(editor, m_pTree->visualRect(index), m_pTree->layoutDirection()));
}

void ParamDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    Q_UNUSED(model);
    ParamTreeItem* row = rowOf(index);
    if (!row || row->m_bGroup || !row->m_pEntry)
        return;

    QString value;
    QString shown;
    QString limitNote;
    if (auto* spin = qobject_cast<SpinBoxEx*>(editor)) {
        // An editor only opened and closed writes nothing: not the limit that replaced a number out of
        // range in the file, not a shorter form of the same number, not a made-up one for an empty field.
        if (!spin->changedByUser())
            return;
        // A half-typed number falls back to the last valid one; one out of range to its limit.
        spin->interpretText();
        value = QString::number(spin->value());
        limitNote = spin->limitNote();
    } else if (auto* spin = qobject_cast<DoubleSpinBoxEx*>(editor)) {
        if (!spin->changedByUser())
            return;
        spin->interpretText();
        value = doubleText(spin->value());
        limitNote = spin->limitNote();
    } else if (auto* combo = dynamic_cast<ComboBoxEx*>(editor)) {
        // Left as it opened: a value of the file with a "[" in it must not lose its end.
        if (combo->currentText() == combo->property(OpenedTextProperty).toString())
            return;
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
    const bool changed = row->markChange();
    row->setText(ParamsTreeWidget::ValueColumn, shown);
    // The cell keeps the note for a second look; a later commit without a limit clears it.
    row->setToolTip(ParamsTreeWidget::ValueColumn, limitNote.isEmpty() ? row->m_sLimitNote : limitNote);
    if (!limitNote.isEmpty())
        showLimitNote(index, limitNote);
    // The view calls this through a const interface; announcing the change is the delegate's own state.
    if (changed)
        emit const_cast<ParamDelegate*>(this)->signalParamChanged(row);
}

void ParamDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    Q_UNUSED(index);
    editor->setGeometry(editorRect(editor, option.rect, option.direction));
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
    if (row->markChange())
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

void ParamDelegate::showLimitNote(const QModelIndex& index, const QString& note) const
{
    // Not a QToolTip: that one goes at the release of the Return key that committed the value.
    QWidget* viewport = m_pTree->viewport();
    auto* label = viewport->findChild<QLabel*>(QLatin1String(LimitNoteName), Qt::FindDirectChildrenOnly);
    if (!label) {
        label = new QLabel(viewport);
        label->setObjectName(QLatin1String(LimitNoteName));
        label->setForegroundRole(QPalette::ToolTipText);
        label->setBackgroundRole(QPalette::ToolTipBase);
        label->setAutoFillBackground(true);
        label->setFrameShape(QFrame::Box);
        label->setMargin(1);
        auto* timer = new QTimer(label);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, label, &QLabel::hide);
    }
    label->setText(note);
    label->adjustSize();
    // In the cell behind the value, where it covers no other row; under the cell (or above it at the
    // bottom of the view) when the cell has no room for it. Always inside the view.
    const QRect cell = m_pTree->visualRect(index);
    const int valueEnd = cell.left() + m_pTree->fontMetrics().horizontalAdvance(index.data().toString()) + 2 * LabelGap;
    QPoint at(qMax(valueEnd, cell.right() - label->width() - LabelGap),
              cell.top() + (cell.height() - label->height()) / 2);
    if (at.x() + label->width() > cell.right() || label->height() > cell.height()) {
        at = cell.bottomLeft() + QPoint(0, 1);
        if (at.y() + label->height() > viewport->height())
            at.setY(cell.top() - label->height());
    }
    at.setX(qBound(0, at.x(), qMax(0, viewport->width() - label->width())));
    label->move(at);
    label->show();
    label->raise();
    label->findChild<QTimer*>()->start(LimitNoteMs);
}

ParamTreeItem* ParamDelegate::rowOf(const QModelIndex& index) const
{
    return m_pTree && index.isValid() ? m_pTree->paramItem(index) : nullptr;
}
