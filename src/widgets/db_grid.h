// DBGrid: the data grid of a page. Shows one column per visible field of its
// data source's data set, in field order, titled with the field's display
// label; a record indicator column on the left; whole-row selection; no
// editing; Tab/Shift+Tab step through cells and on to the next/previous
// record. The grid's current row is the data set's current record, both ways.
// While the data set is closed it shows a single blank column and no rows.
#pragma once

#include "colors.h"

#include <QFont>
#include <QTableView>
#include <functional>

namespace db { class DataSource; class Field; }
class QStandardItemModel;

// What a cell-painting handler may change before the default drawing.
struct GridCanvas {
    QFont font;
    TColor fontColor = clWindowText;
    TColor brushColor = clWindow;
};

enum GridDrawState { gdSelected = 1, gdFocused = 2, gdFixed = 4 };

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    ~DBGrid() override;

    void setDataSource(db::DataSource *source);
    db::DataSource *dataSource() const;

    // Title colour of a column (by the model's column, so it moves with the
    // column when the user drags it). Starts as button face and is reset
    // whenever the columns are rebuilt.
    TColor titleColor(int column) const;
    void setTitleColor(int column, TColor color);
    db::Field *columnField(int column) const;  // nullptr for the blank column
    QList<int> columnsInDisplayOrder() const;  // model columns, visible ones only
    int columnCount() const;                   // model columns, hidden ones included

    // The font of the title row ("MS Sans Serif" 8 pt, regular).
    QFont titleFont() const { return m_titleFont; }

    // The per-cell painting hook: called for every data cell with the canvas
    // already set to the column's font and colour; the handler adjusts the
    // canvas and calls defaultDrawColumnCell() itself. While it runs, the data
    // set's field reads address the painted row. Without a handler the grid
    // draws the cell by default.
    using DrawColumnCell = std::function<void(DBGrid *grid, QPainter *painter, const QRect &rect,
                                              int column, db::Field *field, int state, GridCanvas &canvas)>;
    void setDrawColumnCell(DrawColumnCell handler);
    void defaultDrawColumnCell(QPainter *painter, const QRect &rect, int column, db::Field *field,
                               int state, const GridCanvas &canvas) const;

    // Paints one data cell: the default drawing, then the handler (if any),
    // with the painted row presented by the data set. Used by the item delegate.
    void paintCell(QPainter *painter, const QRect &rect, const QModelIndex &index) const;

    // An open data set without records shows one blank row, which counts as
    // the current row (painted through the hook like any other).
    bool showsBlankRow() const;
    int rowHeight() const;

signals:
    // A left-button click on a column's title cell (not the indicator corner,
    // not a resize drag).
    void titleClick(int column);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void rebuildColumns();
    void paintCellAt(QPainter *painter, const QRect &rect, int row, int column, int state) const;
    void onModelAboutToBeReset();
    void onModelReset();
    void followDataSet(int row);
    QModelIndex stepCell(bool forward) const;
    void useModel(QAbstractItemModel *model);

    db::DataSource *m_source = nullptr;
    QStandardItemModel *m_blank;
    QList<TColor> m_titleColors;
    DrawColumnCell m_drawColumnCell;
    QFont m_titleFont;
    QByteArray m_headerState;
    int m_savedColumns = -1;
    bool m_syncing = false;
    QList<QMetaObject::Connection> m_links;
};
