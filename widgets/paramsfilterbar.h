#pragma once

#include "description/rowfilter.h"

#include <QPointer>
#include <QWidget>

class ParamsTreeWidget;
class QComboBox;
class QLabel;
class QLineEdit;

// The box above a parameter tree that narrows it down: a text, a view ("Все параметры",
// "Изменённые", "Различающиеся", "Вне пределов") and the count "N из M" of the rows shown. Ctrl+F in
// the tree or the bar puts the cursor into the box; Escape in the box clears it, and in an empty box
// goes back to the tree.
class ParamsFilterBar : public QWidget
{
    Q_OBJECT

public:
    ParamsFilterBar(ParamsTreeWidget* tree, QWidget* parent = nullptr);

    ParamsTreeWidget* tree() const { return m_pTree; }
    // Puts a text and a view into the bar, which narrows its tree down with them.
    void setQuery(const RowFilter::Query& query);

    // Narrows `tree` down in place of the tree served so far, with the text and view the bar holds.
    void setTree(ParamsTreeWidget* tree);

    QLineEdit* m_pEdit = nullptr;
    QComboBox* m_pView = nullptr;
    QLabel* m_pCount = nullptr;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void applyQuery();
    void showCount(int shown, int total);
    void focusBox();
    void addFindKey(QWidget* owner);

    QPointer<ParamsTreeWidget> m_pTree; // not owned: the tree may go first
};
