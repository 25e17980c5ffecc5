// Scala scales: reading .scl files and mapping each onto the 128 keys of a
// tuning table, as the tuning editor's import does before it sends anything
// (no settings are written and nothing is sent). A folder of generated files
// of every size from 1 to 12 notes, in cents and in ratios, with comments and
// CR LF line ends in some, is read and mapped file by file; the rate in files
// a second is printed (goal: above 5,000). Every file must read; the program
// exits with 1 when one does not.
//
// Usage: scala_bench [files]      (default 20,000)
#include "editors/ScalaScale.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArray MakeScale(int i)
{
    const int notes = 1 + i % 12;
    const char* end = (i % 3 == 0) ? "\r\n" : "\n";
    QByteArray text;
    text += QByteArray("! generated-") + QByteArray::number(i) + ".scl" + end + "!" + end;
    text += QByteArray("Generated scale number ") + QByteArray::number(i) + end;
    text += QByteArray(" ") + QByteArray::number(notes) + end + "!" + end;
    for (int d = 1; d < notes; ++d) {
        if ((i + d) % 2 == 0)
            text += QByteArray::number(1200.0 * d / notes + (i % 7) * 0.123, 'f', 5) + " ! cents" + end;
        else
            text += QByteArray::number(notes + d) + "/" + QByteArray::number(notes) + end;
    }
    text += QByteArray("2/1") + end;
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const QString path = dir.filePath(QStringLiteral("scale%1.scl").arg(i));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(MakeScale(i)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        paths << path;
    }

    int failed = 0;
    long long checksum = 0;
    QElapsedTimer timer;
    timer.start();
    for (const QString& path : paths) {
        ScalaScale scale;
        if (ReadScalaScaleFile(path, &scale) != 0 || scale.pitches.size() > std::size_t(kScalaMaxNotes)) {
            ++failed;
            continue;
        }
        const auto keys = MapScalaScale(scale.pitches);
        checksum += keys[69].semitone + keys[69].upper + keys[127].lower;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double rate = files / seconds;
    std::printf("scala_bench: %d files read and mapped in %.3f s: %.0f files/s (goal > 5000) [%lld]\n", files,
                seconds, rate, checksum);
    if (failed) {
        std::printf("scala_bench: %d files could not be read\n", failed);
        return 1;
    }
    return 0;
}
