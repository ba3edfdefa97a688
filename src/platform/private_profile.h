// Private-profile (INI) files with the rules of the Windows services
// GetPrivateProfileStringA / WritePrivateProfileStringA, for the one key the
// program keeps. Files are 8-bit text: UTF-8, or Windows-1251 when the file
// is not valid UTF-8 (a file brought from Windows).
#pragma once

#include <QString>
#include <stdexcept>

namespace platform {

class ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value of `key` in `section` (names compared without regard to case):
// blanks around it and one pair of enclosing quotes dropped, cut to 2047
// characters (a 2048-character buffer). A missing file, section or key gives
// `defaultValue`. Throws ProfileError when the file exists but cannot be read.
QString readProfileString(const QString &file, const QString &section, const QString &key,
                          const QString &defaultValue = QString());

// Sets `key` in `section`: creates the file and the section when absent and
// replaces only that key's line, keeping every other byte of the file and its
// permission bits. The file is replaced atomically (temporary file in the
// same folder, then rename), so it is never left truncated. Throws
// ProfileError on failure, leaving the old file as it was.
//
// For both: `file` may be a symbolic link, which is followed; nothing past it
// is. A link at the name it leads to reads as no file, and a write replaces
// that link with a regular file (see FolderFile).
void writeProfileString(const QString &file, const QString &section, const QString &key,
                        const QString &value);

// The configuration file of an executable: its full path with the extension
// (from the last dot of the file name on) changed to ".INI"; a name without
// a dot gets ".INI" appended.
QString configFileFor(const QString &executablePath);

} // namespace platform
