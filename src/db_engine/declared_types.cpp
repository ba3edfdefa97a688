#include "declared_types.h"

#include <QByteArray>

namespace db {
namespace {

struct DeclaredKind {
    ColumnKind kind;
    const char *declared;
};
constexpr DeclaredKind kDeclared[] = {
    {ColumnKind::Boolean, "BOOLINT"},      {ColumnKind::Byte, "BYTEINT"},
    {ColumnKind::Integer16, "SHORTINT"},   {ColumnKind::Integer32, "LONGINT"},
    {ColumnKind::AutoIncrement, "COUNTERINT"}, {ColumnKind::Currency, "CURRENCYREAL"},
    {ColumnKind::Single, "SINGLEREAL"},    {ColumnKind::Double, "DOUBLEREAL"},
    {ColumnKind::Numeric, "NUMERICREAL"},  {ColumnKind::DateTime, "DATETIMEREAL"},
    {ColumnKind::Text, "TEXT"},            {ColumnKind::Memo, "MEMOTEXT"},
    {ColumnKind::Binary, "BINARYBLOB"},    {ColumnKind::OLE, "OLEBLOB"},
    {ColumnKind::Guid, "GUIDTEXT"},        {ColumnKind::Unknown, "UNKNOWNBLOB"},
};
constexpr char kMemoReference[] = "MEMOREFINT";
constexpr char kOleReference[] = "OLEREFINT";

} // namespace

const char *declaredTypeOf(ColumnKind kind, bool reference)
{
    if (reference)
        return kind == ColumnKind::OLE ? kOleReference : kMemoReference;
    for (const DeclaredKind &d : kDeclared)
        if (d.kind == kind)
            return d.declared;
    return "UNKNOWNBLOB";
}

bool isLongValueReference(const char *declared)
{
    return declared && (qstricmp(declared, kMemoReference) == 0 || qstricmp(declared, kOleReference) == 0);
}

ColumnKind kindOfDeclared(const char *declared)
{
    if (!declared)
        return ColumnKind::Unknown;
    if (qstricmp(declared, kMemoReference) == 0)
        return ColumnKind::Memo;
    if (qstricmp(declared, kOleReference) == 0)
        return ColumnKind::OLE;
    for (const DeclaredKind &d : kDeclared)
        if (qstricmp(d.declared, declared) == 0)
            return d.kind;
    return ColumnKind::Unknown;
}

QString quotedIdentifier(const QString &name)
{
    QString n = name;
    return QLatin1Char('"') + n.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace db
