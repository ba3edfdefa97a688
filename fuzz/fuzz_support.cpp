#include "fuzz_support.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

ScratchFile::ScratchFile(const QString &name)
{
    if (!m_dir.isValid())
        fail("cannot create a temporary folder");
    m_path = m_dir.filePath(name);
}

void ScratchFile::write(const std::uint8_t *data, std::size_t size) const
{
    QFile f(m_path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        fail("cannot write the scratch file");
}

void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace fuzz
