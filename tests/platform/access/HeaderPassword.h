#pragma once
// No test file has a database password, so copies get one written into their
// header, byte by byte from the file layout:
//   page 0 from 0x18 on, 126 bytes, is XORed with the RC4 stream of the key
//   C7 DA 39 6B; in that part the password starts at 0x42. Jet 3 keeps 20
//   bytes of Windows-1252 text, zero-padded. Jet 4 keeps 40 bytes of UTF-16LE,
//   zero-padded, each 4 bytes XORed with the creation date's whole days
//   (the double at 0x72) as a little-endian 32-bit number.
// PasswordTest checks this against the real files: writing "" gives their own bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/access/AccessFixture.h"

namespace dalvera::access::test {

inline std::string keyStream(size_t n) {
    const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 255;
        std::swap(s[i], s[j]);
    }
    std::string out;
    for (size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        out += static_cast<char>(s[(s[i] + s[j]) & 255]);
    }
    return out;
}

// The header bytes of the password field: Jet 3 takes Latin-1 bytes, Jet 4 UTF-16 units.
inline void writePassword(const std::string& path, const std::u16string& password) {
    std::string bytes = fileBytes(path);
    ASSERT_GT(bytes.size(), 0x100u);
    const std::string ks = keyStream(126);
    std::string plain = bytes.substr(0x18, 126);
    for (size_t k = 0; k < 126; ++k) plain[k] ^= ks[k];
    const bool jet3 = bytes[0x14] == 0;
    std::string field(jet3 ? 20 : 40, '\0');
    for (size_t k = 0; k < password.size(); ++k) {
        if (jet3) {
            field[k] = static_cast<char>(password[k]);
        } else {
            field[2 * k] = static_cast<char>(password[k] & 0xFF);
            field[2 * k + 1] = static_cast<char>(password[k] >> 8);
        }
    }
    if (!jet3) {
        double created;
        std::memcpy(&created, plain.data() + (0x72 - 0x18), 8);
        uint32_t days = static_cast<uint32_t>(created);
        for (size_t k = 0; k < field.size(); ++k) field[k] ^= static_cast<char>(days >> (8 * (k % 4)));
    }
    plain.replace(0x42 - 0x18, field.size(), field);
    for (size_t k = 0; k < 126; ++k) plain[k] ^= ks[k];
    bytes.replace(0x18, 126, plain);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace dalvera::access::test
