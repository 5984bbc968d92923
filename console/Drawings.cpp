#include "Drawings.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

// Draws the picture at whatever size is asked for, when it is asked for:
// nothing is rendered at start-up that the desktop never shows. Each size is
// drawn once; a button repaints from the kept pixmap.
class DrawingEngine : public QIconEngine
{
public:
    explicit DrawingEngine(const QString &file) : m_file(file) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        QSvgRenderer(m_file).render(painter, rect);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const quint64 key = quint64(quint32(size.width())) << 32 | quint32(size.height());
        auto kept = m_pixmaps.constFind(key);
        if (kept != m_pixmaps.constEnd())
            return *kept;
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, pixmap.rect(), mode, state);
        painter.end();
        m_pixmaps.insert(key, pixmap);
        return pixmap;
    }

    // Newer Qt asks with the logical size and the device pixel ratio.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap drawn = pixmap(size * scale, mode, state);
        drawn.setDevicePixelRatio(scale);
        return drawn;
    }

    // What window systems copy into their own icon property at show time.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {{16, 16}, {32, 32}, {48, 48}, {64, 64}};
    }

    QIconEngine *clone() const override { return new DrawingEngine(m_file); }

private:
    QString m_file;
    QHash<quint64, QPixmap> m_pixmaps;
};

} // namespace

QIcon drawing(const QString &name)
{
    return QIcon(new DrawingEngine(QStringLiteral(":/images/%1.svg").arg(name)));
}

QIcon mainIcon()
{
    return drawing(QStringLiteral("mainicon"));
}
