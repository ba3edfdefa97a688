#include "jet_header.h"

#include "db_error.h"
#include "jet_format.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace db {
namespace {

// Access cannot make a database file larger than 2 GiB.
constexpr qint64 kMaxDatabaseBytes = qint64(1) << 31;

// Bytes 0x18 to 0x97 are XORed with an RC4 keystream of a fixed key.
constexpr int kMaskedStart = 0x18;
constexpr int kMaskedBytes = int(kJetHeaderBytes) - kMaskedStart;

void unmask(unsigned char *block)
{
    static const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < kMaskedBytes; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        block[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

// Jet 4 XORs the password's 40 bytes with the creation date's whole days,
// a little-endian 32-bit number repeated (the day count cut toward zero, as
// Jackcess reads it; past the 32-bit range, its nearest end). Jet 3 keeps its
// 20 bytes as they are.
bool hasPassword(const unsigned char *header, bool jet3)
{
    constexpr int kPassword = 0x42, kCreated = 0x72;
    quint32 mask = 0;
    if (!jet3) {
        const double days = qFromLittleEndian<double>(header + kCreated);
        const double low = std::numeric_limits<qint32>::min(), high = std::numeric_limits<qint32>::max();
        mask = std::isnan(days) ? 0 : quint32(qint32(days <= low ? low : days >= high ? high : days));
    }
    const int length = jet3 ? 20 : 40;
    for (int i = 0; i < length; ++i)
        if ((header[kPassword + i] ^ (mask >> (8 * (i % 4)))) & 0xFF)
            return true;
    return false;
}

} // namespace

bool checkJetHeader(const unsigned char *head, qsizetype size, qint64 fileSize, const QString &path)
{
    // The signature and the version byte (jet_format.h). ACE files (Access
    // 2007 and later) are not Jet databases either.
    const jet::Format *format = size < 0x20 || std::memcmp(head, jet::kSignature, jet::kSignatureSize) != 0
        ? nullptr
        : jet::formatOfVersion(head[jet::kVersionOffset]);
    if (!format)
        throw Error(QStringLiteral("Unrecognized database format '%1'.").arg(path));
    const bool jet3 = format->jet3;
    if (fileSize > kMaxDatabaseBytes)
        throw Error(QStringLiteral("The file '%1' is larger than an Access database can be (2 GiB) and cannot be read.")
                        .arg(path));
    // A header cut short is found damaged once the file is read.
    if (size >= kJetHeaderBytes) {
        unsigned char header[kJetHeaderBytes];
        std::memcpy(header, head, sizeof header);
        unmask(header + kMaskedStart);
        if (hasPassword(header, jet3))
            throw Error(QStringLiteral("Not a valid password."));
    }
    return jet3;
}

} // namespace db
