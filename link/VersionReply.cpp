#include "VersionReply.h"

#include "Commands.h"

#include <algorithm>

namespace {

// Windows-1252 where it differs from Latin-1; zero marks its five holes.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr char16_t Replacement = 0xFFFD;
constexpr char16_t ControlPictures = 0x2400; // U+2400..U+241F, U+2421 for DEL

char16_t shown(unsigned char byte)
{
    if (byte == '\t' || byte == '\n')
        return byte;
    if (byte < 0x20)
        return char16_t(ControlPictures + byte);
    if (byte == 0x7F)
        return char16_t(ControlPictures + 0x21);
    if (byte >= 0x80 && byte < 0xA0)
        return Cp1252High[byte - 0x80] ? Cp1252High[byte - 0x80] : Replacement;
    return byte;
}

} // namespace

quint32 versionExchange(SerialLink &link)
{
    sendCommand(link, Command::VersionQuery);
    // A token pause, kept from the console's first version: a count, no timed
    // delay. The read's own bounds do the real waiting.
    for (volatile int i = 0; i < 1000; i = i + 1) {
    }
    return link.readReply();
}

QString replyText(const char *bytes, quint32 count)
{
    const char *end = std::find(bytes, bytes + count, '\0');
    QString text;
    text.reserve(int(end - bytes));
    for (const char *p = bytes; p != end; ++p) {
        // A line ending the robot sends as CR LF, or CR alone, is one line break.
        if (*p == '\r') {
            if (p + 1 == end || p[1] != '\n')
                text += QChar(u'\n');
            continue;
        }
        text += QChar(shown(static_cast<unsigned char>(*p)));
    }
    return text;
}
