#include "widgets/paramsfilterbar.h"

#include "widgets/paramstreewidget.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

ParamsFilterBar::ParamsFilterBar(ParamsTreeWidget* tree, QWidget* parent) : QWidget(parent)
{
    m_pEdit = new QLineEdit(this);
    m_pEdit->setPlaceholderText(tr("Найти параметр (Ctrl+F)"));
    m_pEdit->setClearButtonEnabled(true);
    m_pEdit->installEventFilter(this);

    m_pView = new QComboBox(this);
    m_pView->addItem(tr("Все параметры"), int(RowFilter::View::All));
    m_pView->addItem(tr("Изменённые"), int(RowFilter::View::Changed));
    m_pView->addItem(tr("Различающиеся"), int(RowFilter::View::Differing));
    m_pView->addItem(tr("Вне пределов"), int(RowFilter::View::OutOfLimits));

    m_pCount = new QLabel(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pEdit, 1);
    layout->addWidget(m_pView);
    layout->addWidget(m_pCount);

    connect(m_pEdit, &QLineEdit::textChanged, this, &ParamsFilterBar::applyQuery);
    connect(m_pView, &QComboBox::currentIndexChanged, this, &ParamsFilterBar::applyQuery);
    addFindKey(this);
    setTree(tree);
}

void ParamsFilterBar::setTree(ParamsTreeWidget* tree)
{
    if (m_pTree)
        disconnect(m_pTree, nullptr, this, nullptr);
    m_pTree = tree;
    if (!tree)
        return;
    connect(tree, &ParamsTreeWidget::filterApplied, this, &ParamsFilterBar::showCount);
    addFindKey(tree);
    applyQuery();
    showCount(tree->shownCount(), tree->totalCount());
}

void ParamsFilterBar::addFindKey(QWidget* owner)
{
    // The find key belongs to the tree the user is in: the log has a find of its own.
    auto* find = new QShortcut(QKeySequence::Find, owner, this, &ParamsFilterBar::focusBox);
    find->setContext(Qt::WidgetWithChildrenShortcut);
}

void ParamsFilterBar::setQuery(const RowFilter::Query& query)
{
    m_pEdit->setText(query.text);
    m_pView->setCurrentIndex(qMax(0, m_pView->findData(int(query.view))));
}

void ParamsFilterBar::applyQuery()
{
    if (m_pTree)
        m_pTree->setFilter({m_pEdit->text(), RowFilter::View(m_pView->currentData().toInt())});
}

void ParamsFilterBar::showCount(int shown, int total)
{
    m_pCount->setText(tr("%1 из %2").arg(shown).arg(total));
}

void ParamsFilterBar::focusBox()
{
    m_pEdit->setFocus(Qt::ShortcutFocusReason);
    m_pEdit->selectAll();
}

bool ParamsFilterBar::eventFilter(QObject* object, QEvent* event)
{
    if (object == m_pEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape && !m_pEdit->text().isEmpty()) {
            m_pEdit->clear();
            return true;
        }
        // From an empty box, and from the box down into the rows found.
        if ((key == Qt::Key_Escape || key == Qt::Key_Down) && m_pTree) {
            m_pTree->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(object, event);
}
