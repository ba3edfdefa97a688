// What the fuzz targets share: a scratch file that the readers open by path.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace fuzz {

// A file in a private temporary folder (under TMPDIR: scripts/fuzz.sh points
// it at memory), rewritten with each input.
class ScratchFile {
public:
    explicit ScratchFile(const QString &name);
    const QString &path() const { return m_path; }
    void write(const std::uint8_t *data, std::size_t size) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Stops the run with a message libFuzzer records as a crash: for checks of
// the target's own, beside the sanitizers'.
[[noreturn]] void fail(const char *what);

} // namespace fuzz
