#include "Windows1252.h"

namespace {

// Where Windows-1252 differs from Latin-1; zero marks its five holes.
constexpr char16_t High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QChar fromWindows1252(unsigned char byte)
{
    if (byte < 0x80 || byte >= 0xA0)
        return QChar(byte);
    return High[byte - 0x80] ? QChar(High[byte - 0x80]) : QChar(QChar::ReplacementCharacter);
}

QByteArray toWindows1252(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        char byte = '?';
        if (c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() < 0x100)) {
            byte = char(c.unicode());
        } else {
            for (int i = 0; i < 32; ++i)
                if (High[i] && High[i] == c.unicode())
                    byte = char(0x80 + i);
        }
        bytes.append(byte);
    }
    return bytes;
}
