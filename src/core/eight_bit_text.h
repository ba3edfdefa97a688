// 8-bit text in a Windows code page: the text of Access 97 databases (in the
// code page their header names) and the configuration files brought from
// Windows (Windows-1251). Everything goes through the C library's iconv, so
// the program keeps no code page tables of its own.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <stdexcept>

namespace core {

// What a byte the code page leaves undefined (0x98 in Windows-1251) decodes
// to, wherever 8-bit text is read.
inline constexpr char16_t kUndefinedByte = u'\uFFFD';

class UnknownCodePage : public std::runtime_error {
public:
    explicit UnknownCodePage(int codePage);
    int codePage() const { return m_codePage; }

private:
    int m_codePage;
};

class CodePage {
public:
    // Throws UnknownCodePage when the C library has no converter for it.
    explicit CodePage(int number);
    ~CodePage();
    CodePage(const CodePage &) = delete;
    CodePage &operator=(const CodePage &) = delete;

    // Every byte is decoded; an undefined one (or a lead byte with no valid
    // follower) gives kUndefinedByte and the text goes on after it.
    QString decode(QByteArrayView bytes) const;

    // False (and `out` unspecified) when a character has no byte in the code page.
    bool encode(QStringView text, QByteArray &out) const;

private:
    void *m_decoder;   // iconv_t
    void *m_encoder;
};

} // namespace core
