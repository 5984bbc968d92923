#include "PortName.h"

#include <QRegularExpression>

QString devicePathFor(const QString &portName)
{
    static const QRegularExpression com(QStringLiteral("^com([1-9][0-9]*)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(portName);
    if (!match.hasMatch())
        return portName;
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + match.captured(1);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(match.captured(1).toInt() - 1);
#endif
}
