#include "PortName.h"

#include <QFileInfo>
#include <QRegularExpression>

QString devicePathFor(const QString &portName, const QString &devices)
{
    static const QRegularExpression com(QStringLiteral("^com([1-9][0-9]*)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(portName);
    if (!match.hasMatch())
        return portName;
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + match.captured(1);
#else
    const QString named = devices + QStringLiteral("/com") + match.captured(1);
    if (QFileInfo(named).exists())
        return named;
    return devices + QStringLiteral("/ttyS") + QString::number(match.captured(1).toInt() - 1);
#endif
}
