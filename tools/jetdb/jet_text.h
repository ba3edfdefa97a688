// Text conversions the .mdb writer needs: UTF-8 input to UTF-16, Jet 4's
// compressed Unicode, Jet 3's 8-bit code pages, and name comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jetdb::text {

// Decodes UTF-8; throws jetdb::Error on malformed input.
std::u16string toUtf16(const std::string &utf8);

// Jet 4 storage of a text value: the compressed form ("FF FE", 1-byte runs,
// 00 toggling to UTF-16 runs) when it is allowed and shorter, else UTF-16LE.
std::vector<std::uint8_t> jet4Bytes(const std::u16string &text, bool mayCompress);

// Jet 3 storage: the text in an 8-bit Windows code page. Returns false when a
// character has no place in that code page.
bool narrowBytes(const std::u16string &text, int codePage, std::string &out);

// Letter case folded for comparing names the way Jet does (Latin and
// Cyrillic letters).
std::u16string folded(const std::u16string &text);
std::u16string foldedUtf8(const std::string &utf8);

} // namespace jetdb::text
