#include "form_setup.h"

#include "data_link.h"
#include "db_grid.h"
#include "form_font.h"

#include <QEvent>
#include <QFont>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

namespace {

// Keeps anchored children at their margins when their parent is resized.
class AnchorKeeper : public QObject {
public:
    struct Anchor {
        QPointer<QWidget> widget;
        QRect design;        // geometry as laid out
        QSize parentDesign;  // the parent's size it was laid out against
        bool right = false;
        bool bottom = false;
    };

    explicit AnchorKeeper(QWidget *parent) : QObject(parent)
    {
        setObjectName(QStringLiteral("anchorKeeper"));
        parent->installEventFilter(this);
    }
    static AnchorKeeper *of(QWidget *parent)
    {
        for (QObject *o : parent->children())
            if (auto *k = dynamic_cast<AnchorKeeper *>(o))
                return k;
        return nullptr;
    }

    void add(Anchor a) { m_anchors << a; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            apply(static_cast<QWidget *>(watched)->size());
        return QObject::eventFilter(watched, event);
    }

private:
    void apply(const QSize &size)
    {
        for (const Anchor &a : std::as_const(m_anchors)) {
            if (!a.widget)
                continue;
            QRect r = a.design;
            if (a.right)
                r.setWidth(std::max(0, size.width() - a.parentDesign.width() + a.design.width()));
            if (a.bottom)
                r.setHeight(std::max(0, size.height() - a.parentDesign.height() + a.design.height()));
            a.widget->setGeometry(r);
        }
    }

    QList<Anchor> m_anchors;
};

// Hints stay as data (toolTip) but are never shown.
class HintSuppressor : public QObject {
public:
    using QObject::QObject;
    static HintSuppressor *of(QWidget *root)
    {
        for (QObject *o : root->children())
            if (auto *h = dynamic_cast<HintSuppressor *>(o))
                return h;
        return nullptr;
    }
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::ToolTip; }
};

void anchor(QWidget *w)
{
    QWidget *parent = w->parentWidget();
    if (!parent)
        return;
    const QStringList edges = w->property("anchors").toString().split(u',', Qt::SkipEmptyParts);
    AnchorKeeper::Anchor a;
    a.widget = w;
    a.design = w->geometry();
    const QVariant dw = parent->property("designWidth");
    const QVariant dh = parent->property("designHeight");
    a.parentDesign = QSize(dw.isValid() ? dw.toInt() : parent->width(), dh.isValid() ? dh.toInt() : parent->height());
    for (const QString &e : edges) {
        a.right |= e.trimmed() == u"right";
        a.bottom |= e.trimmed() == u"bottom";
    }
    if (!a.right && !a.bottom)
        return;
    auto *keeper = AnchorKeeper::of(parent);
    if (!keeper)
        keeper = new AnchorKeeper(parent);
    keeper->add(a);
}

QList<QWidget *> selfAndDescendants(QWidget *root)
{
    QList<QWidget *> all{root};
    all += root->findChildren<QWidget *>();
    return all;
}

} // namespace

void prepareForm(QWidget *root)
{
    applyFormFontFamily(root);
    auto *hints = HintSuppressor::of(root);
    for (QWidget *w : selfAndDescendants(root)) {
        if (w->property("anchors").isValid())
            anchor(w);
        if (!w->toolTip().isEmpty()) {
            if (!hints)
                hints = new HintSuppressor(root);
            w->installEventFilter(hints);
        }
    }
}

void bindDataControls(QWidget *root, const std::function<db::DataSource *(const QString &name)> &sourceByName)
{
    for (QWidget *w : selfAndDescendants(root)) {
        const QString sourceName = w->property("dataSource").toString();
        if (sourceName.isEmpty())
            continue;
        db::DataSource *source = sourceByName(sourceName);
        if (!source)
            continue;
        if (auto *grid = qobject_cast<DBGrid *>(w)) {
            grid->setDataSource(source);
            continue;
        }
        const QString field = w->property("dataField").toString();
        if (field.isEmpty())
            continue;
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            edit->setReadOnly(true);
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(w))
            memo->setReadOnly(true);
        else
            continue;
        DataLink::attach(w, source, field);
    }
}
