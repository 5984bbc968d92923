// libFuzzer target: whatever bytes a robot sends, turning them into the text
// of the "Version" box must neither crash nor lose the characters before the
// first zero byte.
#include "VersionReply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const quint32 count = quint32(size);
    const QString text = replyText(bytes, count);
    const size_t beforeZero = strnlen(bytes, size);
    size_t carriageReturnsDropped = 0;
    for (size_t i = 0; i + 1 < beforeZero; ++i)
        carriageReturnsDropped += bytes[i] == '\r' && bytes[i + 1] == '\n';
    if (size_t(text.size()) != beforeZero - carriageReturnsDropped)
        std::abort();
    for (QChar c : text)
        if (c.unicode() < 0x20 && c != u'\n' && c != u'\t')
            std::abort(); // a raw control character reached the box
    return 0;
}
