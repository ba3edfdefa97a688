// A file in a folder that others may write to, read and replaced without
// following anything they could plant there.
//
// The path's last part may be a symbolic link (the package's
// /opt/morvel/morvel.INI -> /var/lib/morvel/morvel.INI): that one link is
// followed, relative to its own folder when relative. From then on the work
// is done inside the target's folder, opened once, by the target's name: the
// file is opened without following a link and checked to be a regular file,
// and a new one is renamed over the name, which replaces whatever entry is
// there (a link, never its target). Replacement is atomic: readers see the
// old file or the new one, never a part of either.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

struct stat;

namespace platform {

class FolderFile {
public:
    explicit FolderFile(const QString &path);
    ~FolderFile();
    FolderFile(const FolderFile &) = delete;
    FolderFile &operator=(const FolderFile &) = delete;

    // Whether the file's folder could be opened.
    bool folderOpen() const { return m_folder >= 0; }

    // The file for reading, opened without blocking (a pipe) and without
    // following a link, with its status in `status`; -1 with errno set when
    // it cannot be opened (ENOENT: nothing there, ELOOP: a link). The caller
    // closes it and checks the kind of file.
    int open(struct stat *status) const;

    // Replaces (or creates) the file with `bytes`, with permission bits
    // `mode` when it is not negative (else those a new file gets). On failure
    // returns false with the reason in `error`; the old file is untouched and
    // no temporary file is left behind.
    bool replace(const QByteArray &bytes, int mode, QString *error) const;

private:
    QString m_path;         // as given, for messages
    QByteArray m_name;      // the file's name in its folder
    int m_folder = -1;      // the folder, open
    int m_folderError = 0;  // errno of opening the folder or reading the link
};

} // namespace platform
