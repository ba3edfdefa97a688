#include "form_font.h"

#include <QFontDatabase>
#include <QWidget>

namespace {
const QString kClassic = QStringLiteral("MS Sans Serif");
}

QString formFontFamily()
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        // Closest in shape and width first; DejaVu Sans is wide but always there.
        for (const QString &candidate : {kClassic, QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                         QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                                         QStringLiteral("DejaVu Sans")}) {
            for (const QString &name : installed) {
                // Names may carry a foundry: "Nimbus Sans [urw]".
                if (name.compare(candidate, Qt::CaseInsensitive) == 0
                    || name.startsWith(candidate + QStringLiteral(" ["), Qt::CaseInsensitive))
                    return candidate;
            }
        }
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return family;
}

QFont defaultFormFont()
{
    QFont f(formFontFamily(), 8);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

void applyFormFontFamily(QWidget *root)
{
    const QString family = formFontFamily();
    QList<QWidget *> all{root};
    all += root->findChildren<QWidget *>();
    for (QWidget *w : all) {
        QFont f = w->font();
        const bool ownFamily = f.resolveMask() & (QFont::FamilyResolved | QFont::FamiliesResolved);
        if (ownFamily && f.family() == kClassic && family != kClassic) {
            f.setFamilies({family});
            w->setFont(f);
        }
    }
}
