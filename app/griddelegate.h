#pragma once
// The grid's cell painting and editing: check boxes centred in their cell,
// the named column editors, the row colour a page asks for, and the end of
// an edit by Enter, which stores the cell at once.
#include <QStyledItemDelegate>

namespace kw::app {

class TDBGrid;
class TColumnEditor;

class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TGridDelegate(TDBGrid *grid);
    // The grid is being destroyed: editor events pass through untouched.
    void detach() { m_grid = nullptr; }
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

protected:
    bool eventFilter(QObject *editor, QEvent *event) override;

private:
    TColumnEditor *columnEditor(const QModelIndex &index) const;
    TDBGrid *m_grid;
};

} // namespace kw::app
