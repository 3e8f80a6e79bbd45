// Build-time tool: saves the program's icon, drawn from its own pixel data,
// as PNG files in a hicolor icon-theme tree:
//   make-icons DIR NAME SIZE...  ->  DIR/<SIZE>x<SIZE>/apps/NAME.png

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

#include "Pictures.h"

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DIR NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
        const QImage icon = vm4417::ui::ProgramIconImage(size);
        if (size < 16 || icon.width() != size || !QDir().mkpath(dir) || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "%s: cannot write a %d px icon to %s\n", argv[0], size,
                         qPrintable(file));
            return 1;
        }
    }
    return 0;
}
