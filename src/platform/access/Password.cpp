#include "platform/access/Password.h"

#include <cstdint>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::access {

namespace {

// Page 0 from 0x18 on is XORed with one fixed RC4 stream (key 0x6b39dac7);
// the password lies in that part at 0x42: 20 single bytes in Jet 3, 20 UTF-16
// characters in Jet 4, where each 4 bytes are also XORed with the whole days
// of the creation date kept at 0x72.
constexpr size_t Start = 0x18, Length = 126, PasswordAt = 0x42, DateAt = 0x72;

void rc4(const unsigned char* key, size_t keyLength, unsigned char* data, size_t n) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 255;
        std::swap(s[i], s[j]);
    }
    for (size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 255];
    }
}

// Jet 3 keeps the password in the Windows code page of Western Europe.
void appendCp1252(std::string& out, unsigned char b) {
    static const uint16_t high[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                      0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};
    appendUtf8(out, b >= 0x80 && b < 0xA0 ? high[b - 0x80] : b);
}

}  // namespace

std::optional<std::string> headerPassword(const std::string& path) {
    unsigned char h[Start + Length] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (in.gcount() < static_cast<std::streamsize>(sizeof h)) return std::nullopt;
    if (std::memcmp(h + 4, "Standard Jet DB", 15) != 0) return std::nullopt;
    // What is no whole Jet file is the reader's to refuse, before any password is asked.
    struct stat st {};
    const long pageSize = h[0x14] == 0 ? 2048 : 4096;
    if (::stat(path.c_str(), &st) != 0 || st.st_size < pageSize * 3 || st.st_size % pageSize != 0)
        return std::nullopt;
    const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, sizeof key, h + Start, Length);
    std::string out;
    if (h[0x14] == 0) {
        size_t n = 0;
        while (n < 20 && h[PasswordAt + n]) ++n;
        for (size_t k = 0; k < n; ++k) appendCp1252(out, h[PasswordAt + k]);
        return out;
    }
    double created = 0;
    std::memcpy(&created, h + DateAt, sizeof created);
    const uint32_t days = created > 0 && created < 4294967296.0 ? static_cast<uint32_t>(created) : 0;
    unsigned char mask[4] = {static_cast<unsigned char>(days), static_cast<unsigned char>(days >> 8),
                             static_cast<unsigned char>(days >> 16), static_cast<unsigned char>(days >> 24)};
    unsigned char pw[40];
    for (size_t k = 0; k < 40; ++k) pw[k] = h[PasswordAt + k] ^ mask[k % 4];
    size_t n = 0;
    while (n < 40 && (pw[n] || pw[n + 1])) n += 2;
    for (size_t k = 0; k < n; k += 2) {
        uint32_t c = pw[k] | (pw[k + 1] << 8);
        if (c >= 0xD800 && c < 0xDC00 && k + 3 < n) {
            uint32_t low = pw[k + 2] | (pw[k + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                k += 2;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

void checkPassword(const std::string& path, const std::string& typed) {
    auto stored = headerPassword(path);
    if (stored && *stored != typed) raise(3031, "Not a valid password.", "DAO.Database");
}

}  // namespace dalvera::access
