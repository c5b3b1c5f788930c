// The reference for the monitor's start-up figures: the least a Qt widgets program does to
// show a window of the main window's size with one line of text in the same font (text is
// what makes a program load its fonts).

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    window.setFixedSize(496, 283);
    QLabel label(QStringLiteral("Velk monitor  V1.00  10/01/01"), &window);
    label.move(8, 240);
    window.show();
    return app.exec();
}
