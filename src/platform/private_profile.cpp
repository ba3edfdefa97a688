// The configuration file is read and edited as bytes, line by line, so that
// a write changes nothing but the one key's line (or adds it): comments,
// other sections, blank lines, line endings and the file's encoding all stay
// as they were. Both operations make one linear pass and keep no per-line
// tables, so a huge or binary file costs time in proportion to its size and
// nothing more.
#include "private_profile.h"

#include "atomic_file.h"
#include "eight_bit_text.h"
#include "file_lookup.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// GetPrivateProfileStringA fills a 2048-byte buffer, terminator included.
constexpr qsizetype kMaxValueLength = 2047;

// A configuration file holds a few lines; anything bigger than this is not
// one, and reading it whole could exhaust memory.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

enum class Encoding { Utf8, Windows1251 };

struct ProfileFile {
    bool exists = false;
    int mode = -1;          // its permission bits, which a rewrite keeps
    QByteArray bytes;
    Encoding encoding = Encoding::Utf8;
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

QStringView trimmed(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

const core::CodePage &windows1251()
{
    static const core::CodePage codePage(1251);
    return codePage;
}

QString decode(QByteArrayView bytes, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : windows1251().decode(bytes);
}

// Reads the whole file. A missing file or folder, a folder, or a link (none
// is followed past the one at the path itself) reads as absent, as the
// Windows service treats a name it cannot open as a file; a file that exists
// but cannot be read is an error.
ProfileFile load(const FolderFile &location, const QString &file)
{
    ProfileFile pf;
    struct stat status {};
    const int fd = location.open(&status);
    if (fd < 0) {
        if (!location.folderOpen() || errno == ENOENT || errno == ELOOP)
            return pf;
        throw ProfileError(file.toStdString() + ": " + std::strerror(errno));
    }
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer {fd};
    if (S_ISDIR(status.st_mode))
        return pf;
    if (!S_ISREG(status.st_mode)) // a device or a pipe could block or never end
        throw ProfileError("Not a regular file: " + file.toStdString());

    // Read in chunks: files under /proc report size 0 yet have content.
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), size_t(chunk.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ProfileError(file.toStdString() + ": " + std::strerror(errno));
        if (n == 0)
            break;
        pf.bytes.append(chunk.constData(), n);
        if (pf.bytes.size() > kMaxFileSize)
            throw ProfileError("File too large: " + file.toStdString());
    }
    pf.exists = true;
    pf.mode = int(status.st_mode & 0777);
    pf.encoding = QByteArrayView(pf.bytes).isValidUtf8() ? Encoding::Utf8 : Encoding::Windows1251;
    return pf;
}

// One line of the file: [begin, end) is its text, [end, next) its line ending.
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

class LineReader {
public:
    explicit LineReader(const QByteArray &bytes) : m_bytes(bytes)
    {
        if (m_bytes.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }

    bool next(Line &line)
    {
        if (m_pos >= m_bytes.size())
            return false;
        line.begin = m_pos;
        const qsizetype nl = m_bytes.indexOf('\n', m_pos);
        if (nl < 0) {
            line.end = line.next = m_bytes.size();
        } else {
            line.end = (nl > m_pos && m_bytes[nl - 1] == '\r') ? nl - 1 : nl;
            line.next = nl + 1;
        }
        m_pos = line.next;
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

struct ParsedLine {
    enum Kind { Blank, Comment, Section, Key } kind = Blank;
    QString name;
    QString value;
    bool hasValue = false;
};

ParsedLine parse(QByteArrayView raw, Encoding encoding)
{
    ParsedLine p;
    const QString text = decode(raw, encoding);
    const QStringView line = trimmed(text);
    if (line.isEmpty())
        return p;
    if (line.front() == u';') {
        p.kind = ParsedLine::Comment;
        return p;
    }
    if (line.front() == u'[') {
        const qsizetype close = line.lastIndexOf(u']');
        if (close > 0) {
            p.kind = ParsedLine::Section;
            p.name = trimmed(line.sliced(1, close - 1)).toString();
            return p;
        }
    }
    p.kind = ParsedLine::Key;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
        p.name = line.toString();
        return p;
    }
    p.name = trimmed(line.first(eq)).toString();
    p.value = trimmed(line.sliced(eq + 1)).toString();
    p.hasValue = true;
    return p;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where `key` of `section` is, or where it would go. Only the first section
// of that name is looked at, as the Windows service does.
struct KeyPlace {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;            // when keyFound
    Line lastSectionLine;    // the section's last non-blank line (its header at least)
    ParsedLine key;
};

KeyPlace locate(const ProfileFile &pf, const QString &section, const QString &key)
{
    KeyPlace place;
    LineReader reader(pf.bytes);
    Line line;
    bool inSection = false;
    while (reader.next(line)) {
        const QByteArrayView raw(pf.bytes.constData() + line.begin, line.end - line.begin);
        ParsedLine p = parse(raw, pf.encoding);
        if (p.kind == ParsedLine::Section) {
            if (inSection)
                break;
            if (sameName(p.name, section)) {
                inSection = place.sectionFound = true;
                place.lastSectionLine = line;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (p.kind == ParsedLine::Key && sameName(p.name, key)) {
            place.keyFound = true;
            place.keyLine = line;
            place.key = std::move(p);
            break;
        }
        if (p.kind != ParsedLine::Blank)
            place.lastSectionLine = line;
    }
    return place;
}

// Enclosed in one pair of matching double or single quotes.
bool isQuoted(const QString &value)
{
    return value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front();
}

QString unquoted(const QString &value)
{
    return isQuoted(value) ? value.sliced(1, value.size() - 2) : value;
}

// Cuts to kMaxValueLength characters without splitting a surrogate pair.
QString cut(const QString &value)
{
    qsizetype i = 0;
    for (qsizetype count = 0; i < value.size() && count < kMaxValueLength; ++count)
        i += (value[i].isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate()) ? 2 : 1;
    return value.first(i);
}

// The value as written to the file. Reading drops surrounding blanks and one
// pair of quotes, so a value that would lose either is written in quotes.
QString storedValue(const QString &value)
{
    const bool blankEnds = !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()));
    return (blankEnds || isQuoted(value)) ? u'"' + value + u'"' : value;
}

QByteArray lineEnding(const QByteArray &bytes)
{
    const qsizetype nl = bytes.indexOf('\n');
    if (nl > 0 && bytes[nl - 1] == '\r')
        return "\r\n";
    return "\n";
}

} // namespace

QString readProfileString(const QString &file, const QString &section, const QString &key,
                          const QString &defaultValue)
{
    const ProfileFile pf = load(FolderFile(file), file);
    if (!pf.exists)
        return defaultValue;
    const KeyPlace place = locate(pf, section, key);
    if (!place.keyFound || !place.key.hasValue)
        return defaultValue;
    return cut(unquoted(place.key.value));
}

void writeProfileString(const QString &file, const QString &section, const QString &key,
                        const QString &value)
{
    // A line break would end the line early and smuggle in lines of its own.
    if (value.contains(u'\n') || value.contains(u'\r'))
        throw ProfileError("The value contains a line break");

    // Read and replaced through the same open folder: a link planted in it
    // between the two is replaced, never followed.
    const FolderFile location(file);
    ProfileFile pf = load(location, file);
    const QString keyLineText = key + u'=' + storedValue(value);
    const QString headerText = u'[' + section + u']';

    QByteArray keyLine, header;
    if (pf.encoding == Encoding::Windows1251
        && !(windows1251().encode(keyLineText, keyLine) && windows1251().encode(headerText, header))) {
        // The value has characters Windows-1251 lacks: the file moves to
        // UTF-8 as a whole, its other text unchanged.
        pf.bytes = windows1251().decode(pf.bytes).toUtf8();
        pf.encoding = Encoding::Utf8;
    }
    if (pf.encoding == Encoding::Utf8) {
        keyLine = keyLineText.toUtf8();
        header = headerText.toUtf8();
    }

    const QByteArray eol = lineEnding(pf.bytes);
    const KeyPlace place = locate(pf, section, key);
    QByteArray out = pf.bytes;
    if (place.keyFound) {
        out.replace(place.keyLine.begin, place.keyLine.end - place.keyLine.begin, keyLine);
    } else if (place.sectionFound) {
        const Line &after = place.lastSectionLine;
        if (after.next > after.end)
            out.insert(after.next, keyLine + eol);
        else // the section's last line ends the file without a line break
            out.insert(after.next, eol + keyLine);
    } else {
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += eol;
        out += header + eol + keyLine + eol;
    }

    QString error;
    if (!location.replace(out, pf.mode, &error))
        throw ProfileError(error.toStdString());
}

QString configFileFor(const QString &executablePath)
{
    const qsizetype nameStart = fileNameStart(executablePath);
    const qsizetype dot = executablePath.lastIndexOf(u'.');
    const QString base = dot >= nameStart ? executablePath.first(dot) : executablePath;
    return base + QStringLiteral(".INI");
}

} // namespace platform
