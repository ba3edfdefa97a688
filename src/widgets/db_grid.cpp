#include "db_grid.h"

#include "data_source.h"
#include "dataset.h"
#include "field.h"
#include "form_font.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

constexpr int kIndicatorWidth = 11;
constexpr int kTextLeft = 2;
constexpr int kTextRight = 3;
constexpr int kTextTop = 2;

QColor buttonFace(const QWidget *w)
{
    return w->palette().color(QPalette::Button);
}

void drawRaisedEdges(QPainter *p, const QRect &r, const QPalette &pal)
{
    p->setPen(pal.color(QPalette::Light));
    p->drawLine(r.topLeft(), r.topRight());
    p->drawLine(r.topLeft(), r.bottomLeft());
    p->setPen(pal.color(QPalette::Dark));
    p->drawLine(r.bottomLeft(), r.bottomRight());
    p->drawLine(r.topRight(), r.bottomRight());
}

// The title row: each title painted in its column's colour; reports left
// clicks on a title that were neither a resize nor a move.
class TitleHeader : public QHeaderView {
public:
    explicit TitleHeader(DBGrid *grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid)
    {
        setSectionsMovable(true);
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Interactive);
        setMinimumSectionSize(4);
        setDefaultAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

protected:
    void paintSection(QPainter *p, const QRect &rect, int logical) const override
    {
        if (!rect.isValid())
            return;
        p->save();
        p->fillRect(rect, resolveColor(m_grid->titleColor(logical), m_grid->palette()));
        drawRaisedEdges(p, rect, palette());
        p->setFont(m_grid->titleFont());
        p->setPen(m_grid->palette().color(QPalette::WindowText));
        const QString title = model() ? model()->headerData(logical, Qt::Horizontal).toString() : QString();
        const QRect textRect = rect.adjusted(kTextLeft, kTextTop, -kTextRight, 0);
        p->setClipRect(rect.adjusted(1, 1, -1, -1));
        p->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
        p->restore();
    }

    QSize sectionSizeFromContents(int logical) const override
    {
        QSize s = QHeaderView::sectionSizeFromContents(logical);
        s.setHeight(QFontMetrics(m_grid->titleFont()).height() + 2 * kTextTop + 1);
        return s;
    }

    void mousePressEvent(QMouseEvent *e) override
    {
        m_pressed = -1;
        m_pressPos = e->position().toPoint();
        if (e->button() == Qt::LeftButton && !onHandle(m_pressPos.x()))
            m_pressed = logicalIndexAt(m_pressPos);
        QHeaderView::mousePressEvent(e);
    }

    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (m_pressed >= 0 && (e->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
            m_pressed = -1;  // a column move, not a click
        QHeaderView::mouseMoveEvent(e);
    }

    void mouseReleaseEvent(QMouseEvent *e) override
    {
        const int pressed = m_pressed;
        m_pressed = -1;
        QHeaderView::mouseReleaseEvent(e);
        if (pressed >= 0 && e->button() == Qt::LeftButton && logicalIndexAt(e->position().toPoint()) == pressed)
            emit m_grid->titleClick(pressed);
    }

private:
    // The same test QHeaderView uses to start a resize: within the grip margin
    // of a section's right edge, or of its left edge when a visible section
    // lies before it.
    bool onHandle(int x) const
    {
        const int visual = visualIndexAt(x);
        if (visual < 0)
            return false;
        const int logical = logicalIndex(visual);
        const int start = sectionViewportPosition(logical);
        const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
        if (x > start + sectionSize(logical) - grip)
            return true;
        if (x < start + grip) {
            for (int v = visual - 1; v >= 0; --v)
                if (!isSectionHidden(logicalIndex(v)))
                    return true;
        }
        return false;
    }

    DBGrid *m_grid;
    int m_pressed = -1;
    QPoint m_pressPos;
};

// The record indicator column: button face, with a triangle at the current row.
class IndicatorHeader : public QHeaderView {
public:
    explicit IndicatorHeader(DBGrid *grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid)
    {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
        setFixedWidth(kIndicatorWidth);
    }

protected:
    void paintSection(QPainter *p, const QRect &rect, int logical) const override
    {
        if (!rect.isValid())
            return;
        p->save();
        p->fillRect(rect, buttonFace(m_grid));
        drawRaisedEdges(p, rect, palette());
        if (m_grid->currentIndex().isValid() && logical == m_grid->currentIndex().row())
            drawTriangle(p, rect);
        p->restore();
    }

    void paintEvent(QPaintEvent *e) override
    {
        QHeaderView::paintEvent(e);
        if (!m_grid->showsBlankRow())
            return;
        QPainter p(viewport());
        const QRect rect(0, 0, viewport()->width(), m_grid->rowHeight());
        p.fillRect(rect, buttonFace(m_grid));
        drawRaisedEdges(&p, rect, palette());
        drawTriangle(&p, rect);
    }

private:
    void drawTriangle(QPainter *p, const QRect &rect) const
    {
        const QPoint c = rect.center();
        const QPolygon triangle({QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()), QPoint(c.x() - 2, c.y() + 4)});
        p->setPen(Qt::NoPen);
        p->setBrush(m_grid->palette().color(QPalette::WindowText));
        p->drawPolygon(triangle);
    }

    DBGrid *m_grid;
};

class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(DBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        m_grid->paintCell(painter, option.rect, index);
    }

private:
    DBGrid *m_grid;
};

} // namespace

DBGrid::DBGrid(QWidget *parent)
    : QTableView(parent), m_blank(new QStandardItemModel(0, 1, this)),
      m_titleFont(defaultFormFont())
{
    m_blank->setHorizontalHeaderLabels({QString()});
    setHorizontalHeader(new TitleHeader(this));
    setVerticalHeader(new IndicatorHeader(this));
    setItemDelegate(new CellDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setTabKeyNavigation(true);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    useModel(m_blank);
    rebuildColumns();
}

DBGrid::~DBGrid() = default;

db::DataSource *DBGrid::dataSource() const
{
    return m_source;
}

void DBGrid::setDataSource(db::DataSource *source)
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_source = source;
    if (source) {
        m_links << connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &DBGrid::onModelAboutToBeReset);
        m_links << connect(source, &QAbstractItemModel::modelReset, this, &DBGrid::onModelReset);
        m_links << connect(source, &QObject::destroyed, this, [this] { m_source = nullptr; useModel(m_blank); rebuildColumns(); });
        if (db::DataSet *ds = source->dataSet()) {
            // A freshly opened data set always gets new columns, even if the
            // model's reset came before the data set finished opening.
            m_links << connect(ds, &db::DataSet::afterOpen, this, [this] { onModelReset(); rebuildColumns(); followDataSet(m_source->dataSet()->currentRow()); });
            m_links << connect(ds, &db::DataSet::currentRowChanged, this, &DBGrid::followDataSet);
        }
    }
    m_savedColumns = -1;
    onModelReset();
    rebuildColumns();
    if (model() == m_source)
        followDataSet(m_source->dataSet()->currentRow());
}

void DBGrid::useModel(QAbstractItemModel *m)
{
    if (model() == m)
        return;
    setModel(m);
}

void DBGrid::onModelAboutToBeReset()
{
    if (model() == m_source && m_source) {
        m_headerState = horizontalHeader()->saveState();
        m_savedColumns = m_source->columnCount();
    } else {
        m_savedColumns = -1;
    }
}

void DBGrid::onModelReset()
{
    const bool open = m_source && m_source->dataSet() && m_source->dataSet()->active() && m_source->columnCount() > 0;
    QAbstractItemModel *wanted = open ? static_cast<QAbstractItemModel *>(m_source) : m_blank;
    if (model() != wanted) {
        useModel(wanted);
        rebuildColumns();
    } else if (open && m_savedColumns == m_source->columnCount()) {
        // A re-sort: the same columns; keep the user's widths and order.
        horizontalHeader()->restoreState(m_headerState);
        for (int c = 0; c < m_source->columnCount(); ++c)
            setColumnHidden(c, !(columnField(c) && columnField(c)->visible()));
    } else {
        rebuildColumns();
    }
    m_savedColumns = -1;
    if (open)
        followDataSet(m_source->dataSet()->currentRow());
}

void DBGrid::rebuildColumns()
{
    const int count = model() ? model()->columnCount() : 0;
    m_titleColors = QList<TColor>(count, clBtnFace);
    QHeaderView *header = horizontalHeader();
    // Restore the natural order in case the user moved columns.
    for (int logical = 0; logical < count; ++logical) {
        const int visual = header->visualIndex(logical);
        if (visual != logical)
            header->moveSection(visual, logical);
    }
    const QFontMetrics cellFm(font());
    const QFontMetrics titleFm(m_titleFont);
    const int zero = cellFm.horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < count; ++c) {
        db::Field *f = columnField(c);
        setColumnHidden(c, model() == m_source && !(f && f->visible()));
        if (f) {
            const int title = titleFm.horizontalAdvance(f->displayLabel());
            setColumnWidth(c, std::max(f->displayWidth() * zero, title) + 4);
        } else {
            setColumnWidth(c, 64);
        }
    }
    const int rowHeight = cellFm.height() + 2 * kTextTop;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    header->viewport()->update();
}

db::Field *DBGrid::columnField(int column) const
{
    if (!m_source || model() != m_source || !m_source->dataSet())
        return nullptr;
    const auto &fields = m_source->dataSet()->fields();
    return column >= 0 && column < fields.size() ? fields[column] : nullptr;
}

int DBGrid::columnCount() const
{
    return model() ? model()->columnCount() : 0;
}

QList<int> DBGrid::columnsInDisplayOrder() const
{
    QList<int> columns;
    const QHeaderView *header = horizontalHeader();
    for (int v = 0; v < header->count(); ++v) {
        const int logical = header->logicalIndex(v);
        if (!header->isSectionHidden(logical))
            columns << logical;
    }
    return columns;
}

TColor DBGrid::titleColor(int column) const
{
    return column >= 0 && column < m_titleColors.size() ? m_titleColors[column] : clBtnFace;
}

void DBGrid::setTitleColor(int column, TColor color)
{
    if (column < 0 || column >= m_titleColors.size())
        return;
    m_titleColors[column] = color;
    horizontalHeader()->viewport()->update();
    viewport()->update();  // cell painting may depend on the title colour
}

void DBGrid::setDrawColumnCell(DrawColumnCell handler)
{
    m_drawColumnCell = std::move(handler);
    viewport()->update();
}

void DBGrid::paintCell(QPainter *painter, const QRect &rect, const QModelIndex &index) const
{
    if (!m_source || index.model() != m_source)
        return;
    const QModelIndex current = currentIndex();
    int state = 0;
    if (current.isValid() && current.row() == index.row())
        state |= gdSelected;
    if (hasFocus() && current == index)
        state |= gdFocused;
    paintCellAt(painter, rect, index.row(), index.column(), state);
}

void DBGrid::paintCellAt(QPainter *painter, const QRect &rect, int row, int column, int state) const
{
    db::Field *field = columnField(column);
    db::DataSet::ActiveRow presented(m_source->dataSet(), row);
    painter->save();
    GridCanvas canvas{font(), clWindowText, clWindow};
    if (state & gdSelected) {
        canvas.brushColor = clHighlight;
        canvas.fontColor = clHighlightText;
    }
    defaultDrawColumnCell(painter, rect, column, field, state, canvas);
    if (m_drawColumnCell) {
        // The handler starts from the column's own font and colour.
        GridCanvas columnCanvas{font(), clWindowText, clWindow};
        m_drawColumnCell(const_cast<DBGrid *>(this), painter, rect, column, field, state, columnCanvas);
    }
    painter->restore();
}

bool DBGrid::showsBlankRow() const
{
    return m_source && model() == m_source && m_source->dataSet()->active() && m_source->rowCount() == 0;
}

int DBGrid::rowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void DBGrid::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (!showsBlankRow())
        return;
    QPainter p(viewport());
    const int line = showGrid() ? 1 : 0;
    const QColor gridColor = QColor::fromRgba(
        static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, nullptr, this)));
    const QList<int> columns = columnsInDisplayOrder();
    for (int c : columns) {
        const QRect cell(columnViewportPosition(c), 0, columnWidth(c) - line, rowHeight() - line);
        int state = gdSelected;
        if (hasFocus() && c == columns.first())
            state |= gdFocused;
        paintCellAt(&p, cell, -1, c, state);
        if (line) {
            p.setPen(gridColor);
            p.drawLine(cell.topRight() + QPoint(1, 0), cell.bottomRight() + QPoint(1, 1));
            p.drawLine(cell.bottomLeft() + QPoint(0, 1), cell.bottomRight() + QPoint(1, 1));
        }
    }
}

void DBGrid::defaultDrawColumnCell(QPainter *painter, const QRect &rect, int, db::Field *field,
                                   int, const GridCanvas &canvas) const
{
    painter->save();
    painter->fillRect(rect, resolveColor(canvas.brushColor, palette()));
    if (field) {
        painter->setClipRect(rect);
        painter->setFont(canvas.font);
        painter->setPen(resolveColor(canvas.fontColor, palette()));
        const QString text = field->displayText();
        const Qt::Alignment align = field->alignment();
        const QRect textRect = rect.adjusted(kTextLeft, kTextTop, -kTextRight, 0);
        int flags = Qt::AlignTop | Qt::TextSingleLine;
        if (align & Qt::AlignRight)
            flags |= Qt::AlignRight;
        else if (align & Qt::AlignHCenter)
            flags |= Qt::AlignHCenter;
        else
            flags |= Qt::AlignLeft;
        painter->drawText(textRect, flags, text);
    }
    painter->restore();
}

void DBGrid::followDataSet(int row)
{
    if (m_syncing || !m_source || model() != m_source)
        return;
    if (row < 0 || row >= m_source->rowCount())
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row)
        return;
    int column = current.isValid() ? current.column() : -1;
    if (column < 0 || isColumnHidden(column)) {
        const QList<int> cols = columnsInDisplayOrder();
        column = cols.isEmpty() ? 0 : cols.first();
    }
    const QScopedValueRollback guard(m_syncing, true);
    setCurrentIndex(m_source->index(row, column));
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    verticalHeader()->viewport()->update();
    viewport()->update();  // the whole current row is painted as selected
    if (m_syncing || !m_source || model() != m_source || !current.isValid())
        return;
    db::DataSet *ds = m_source->dataSet();
    if (ds->active() && ds->currentRow() != current.row()) {
        // The record-change handlers may throw (a picture that fails to
        // load); the move has happened by then and the grid stays in step.
        const QScopedValueRollback guard(m_syncing, true);
        ds->setCurrentRow(current.row());
    }
}

QModelIndex DBGrid::stepCell(bool forward) const
{
    const QModelIndex current = currentIndex();
    const QList<int> cols = columnsInDisplayOrder();
    if (!current.isValid() || cols.isEmpty() || !model())
        return current;
    const int at = int(cols.indexOf(current.column()));
    int row = current.row();
    int next = at + (forward ? 1 : -1);
    if (next >= cols.size()) {
        if (row + 1 >= model()->rowCount())
            return current;
        ++row;
        next = 0;
    } else if (next < 0) {
        if (row == 0)
            return current;
        --row;
        next = int(cols.size()) - 1;
    }
    return model()->index(row, cols[next]);
}

QModelIndex DBGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    if (cursorAction == MoveNext)
        return stepCell(true);
    if (cursorAction == MovePrevious)
        return stepCell(false);
    return QTableView::moveCursor(cursorAction, modifiers);
}

bool DBGrid::focusNextPrevChild(bool next)
{
    // Tab never leaves the grid: it walks the cells and on to the next record.
    const QModelIndex target = stepCell(next);
    if (target.isValid() && target != currentIndex())
        setCurrentIndex(target);
    return true;
}
