// Replays inputs through a fuzz target without libFuzzer: every file named,
// and every file under every directory named, is fed once to the target's
// LLVMFuzzerTestOneInput. A crash, a sanitizer report or a hang fails the
// run (the test's timeout catches the hang); an empty corpus fails too, so a
// lost corpus directory cannot pass unnoticed.
#include "fuzzsupport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    // No application object: the targets run as they do under libFuzzer.
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        } else {
            files << arg;
        }
    }
    files.removeIf([](const QString &f) { return QFileInfo(f).fileName().startsWith(QLatin1Char('.'))
                                                 || f.endsWith(QLatin1String(".md")); });
    std::sort(files.begin(), files.end());
    if (files.isEmpty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 2;
    }
    QElapsedTimer all;
    all.start();
    qint64 slowest = 0;
    QString slowestName;
    for (const QString &path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 2;
        }
        const QByteArray bytes = f.readAll();
        std::fprintf(stderr, "replay %s\n", qPrintable(path));
        QElapsedTimer one;
        one.start();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
        if (one.elapsed() > slowest) {
            slowest = one.elapsed();
            slowestName = path;
        }
    }
    std::printf("%lld inputs replayed in %lld ms (slowest %lld ms: %s)\n", static_cast<long long>(files.size()),
                static_cast<long long>(all.elapsed()), static_cast<long long>(slowest),
                qPrintable(QFileInfo(slowestName).fileName()));
    return 0;
}
