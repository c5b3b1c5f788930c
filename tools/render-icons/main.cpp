// velk-render-icons SIZE SVG PNG [SVG PNG ...]: renders each drawing to a SIZE x SIZE PNG.
// The toolbar images are drawn as SVG and compiled into the monitor as PNG, so that the
// program needs no SVG engine at start (scripts/render-icons.sh).

#include <cstdio>

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int size = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    if (size <= 0 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: velk-render-icons SIZE SVG PNG [SVG PNG ...]\n");
        return 2;
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        const QPixmap picture = QIcon(QString::fromLocal8Bit(argv[i])).pixmap(QSize(size, size));
        if (picture.isNull() || picture.size() != QSize(size, size) ||
            !picture.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "velk-render-icons: cannot render %s (is libqt6svg6 installed?)\n",
                         argv[i]);
            return 1;
        }
    }
    return 0;
}
