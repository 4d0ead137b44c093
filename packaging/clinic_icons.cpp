// Writes the program's tooth as the desktop's icons: OUT/<n>x<n>/apps/clinic.png for the sizes a
// hicolor theme holds. Run at build time, on Qt's offscreen platform.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "app/common/window_style.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: clinic_icons OUT\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir =
            QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) || !ToothPixmap(size).save(dir + QStringLiteral("/clinic.png"))) {
            std::fprintf(stderr, "clinic_icons: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
