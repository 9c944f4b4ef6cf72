#pragma once

// Complete, so that ParamTreeItem* signal arguments are known to the meta-type system (queued
// connections, QSignalSpy).
#include "widgets/paramtreeitem.h"

#include <QItemDelegate>

class ParamsTreeWidget;

// Paints the cells of a parameter tree (bold titles on the dark band of a group row, a vertical grid
// line after every cell of a parameter row, no focus frame) and edits the values: the editor follows
// the parameter's type, a committed value goes into the row's INI entry, turns red while it differs
// from the saved value, and is announced through signalParamChanged.
class ParamDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit ParamDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The number editors start from the cell's number. The list editor is left as createEditor filled
    // it: Qt 6 gives QComboBox a user property that would overwrite the chosen element's text.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // How a floating-point value is written into the INI file: fixed with ten decimals, without
    // trailing zeros or a bare decimal point ("2.5", "3", "0" for 1e-11).
    static QString doubleText(double value);

    ParamsTreeWidget* m_pTree = nullptr; // the tree served; set by the tree

signals:
    void signalParamChanged(ParamTreeItem* pItem);

public slots:
    // A text editor's line edit finished editing: its text reaches the entry at once.
    void slotTextChanged();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    ParamTreeItem* rowOf(const QModelIndex& index) const;
    // Tells the user, beside the cell, that a limit replaced the number typed.
    void showLimitNote(const QModelIndex& index, const QString& note) const;
};
