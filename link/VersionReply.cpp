#include "VersionReply.h"

#include "Commands.h"
#include "Windows1252.h"

#include <algorithm>

namespace {

constexpr char16_t ControlPictures = 0x2400; // U+2400..U+241F, U+2421 for DEL

QChar shown(unsigned char byte)
{
    if (byte == '\t' || byte == '\n')
        return QChar(byte);
    if (byte < 0x20)
        return QChar(ControlPictures + byte);
    if (byte == 0x7F)
        return QChar(ControlPictures + 0x21);
    return fromWindows1252(byte);
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
        text += shown(static_cast<unsigned char>(*p));
    }
    return text;
}
