// Build tool: renders the icon's drawing to a PNG of the given size, for
// desktops that want a bitmap beside the scalable icon.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: render_icon DRAWING.svg SIZE OUT.png\n");
        return 2;
    }
    QSvgRenderer drawing(QString::fromLocal8Bit(argv[1]));
    const int size = std::atoi(argv[2]);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawing.render(&painter);
    painter.end();
    return drawing.isValid() && image.save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
