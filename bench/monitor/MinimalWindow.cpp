// The reference for the monitor's start-up figures: the least a Qt widgets program does to
// show a window of the main window's size with the same font.

#include <QApplication>
#include <QFont>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    window.setFixedSize(496, 283);
    window.show();
    return app.exec();
}
