// Draws the program's skin: the 1024 x 768 background of every dialog and
// popup, a mid-grey brushed-metal panel around the default background
// colour, light enough that the dark text of disabled controls stays
// readable on it and dark enough for the light text. Every window draws it from its own
// top-left corner, so nothing on it may sit where a dialog's controls go
// (a rail or a screw head would run through the first line of every dialog).
// Run at build time; the picture is the same on every run.
//
//     tabrine_make_skin <output.png>
#include <QCoreApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cstdint>
#include <cstdio>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// A small deterministic generator, so the picture never changes between builds.
class Lcg {
public:
    int Next(int range)
    {
        m_state = m_state * 1664525u + 1013904223u;
        return int((m_state >> 16) % std::uint32_t(range));
    }

private:
    std::uint32_t m_state = 0x7AB1E5u;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tabrine_make_skin <output.png>\n", stderr);
        return 2;
    }
    QImage skin(kWidth, kHeight, QImage::Format_RGB888);
    QPainter p(&skin);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient base(0, 0, 0, kHeight);
    base.setColorAt(0, QColor(118, 124, 131));
    base.setColorAt(0.5, QColor(106, 112, 119));
    base.setColorAt(1, QColor(94, 100, 107));
    p.fillRect(skin.rect(), base);

    // Brushed metal: each row a shade lighter or darker than its neighbours.
    Lcg random;
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int y = 0; y < kHeight; ++y) {
        const int shade = random.Next(9) - 4;
        p.setPen(shade >= 0 ? QColor(255, 255, 255, shade * 3) : QColor(0, 0, 0, -shade * 4));
        p.drawLine(0, y, kWidth - 1, y);
    }
    p.setRenderHint(QPainter::Antialiasing);

    // A soft light from the upper left.
    QRadialGradient light(QPointF(kWidth * 0.25, -kHeight * 0.2), kWidth * 0.9);
    light.setColorAt(0, QColor(255, 255, 255, 26));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(skin.rect(), light);

    // No bevel here: windows are smaller than the skin, so each window
    // draws its own at its edges.
    p.end();

    if (!skin.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tabrine_make_skin: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
