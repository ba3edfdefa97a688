// The configuration file: the input is its content. The database path is
// read, then written back under another value; the new value must read back,
// and the write may change nothing but that key's line (or add it, with its
// section header when the section is missing): every other byte stays.
#include "fuzz_support.h"
#include "private_profile.h"

#include <QFile>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fuzz::fail("the written file cannot be read");
    return f.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const fuzz::ScratchFile file(QStringLiteral("morvel.INI"));
    // Encodable in Windows-1251, so a file in that code page stays in it.
    static const QString value = QStringLiteral("D:\\Склад\\Инструмент.mdb");
    file.write(data, size);
    const QByteArray before(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        (void)platform::readProfileString(file.path(), QStringLiteral("BD"), QStringLiteral("PathToBD"));
        platform::writeProfileString(file.path(), QStringLiteral("BD"), QStringLiteral("PathToBD"), value);
    } catch (const platform::ProfileError &) {
        return 0;
    }
    if (platform::readProfileString(file.path(), QStringLiteral("BD"), QStringLiteral("PathToBD")) != value)
        fuzz::fail("the value written does not read back");

    // Apart from one stretch, the two files agree byte for byte: the old
    // stretch lies within one line, and the lines around the new one hold
    // the key's line. No stretch at all: the key held that value already.
    const QByteArray after = contents(file.path());
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    if (before.mid(head, before.size() - head - tail).contains('\n'))
        fuzz::fail("more than the key's line changed");
    if (before == after)
        return 0;
    const qsizetype from = head > 0 ? after.lastIndexOf('\n', head - 1) + 1 : 0;
    qsizetype to = after.indexOf('\n', after.size() - tail);
    if (to < 0)
        to = after.size();
    if (!after.mid(from, to - from).contains("PathToBD=D:\\"))
        fuzz::fail("the key's line is not where the change is");
    return 0;
}
