// Draws every picture of the console and synthesises its two alarm sounds, so that no artwork of
// unknown origin enters the repository. Output is deterministic for a given Qt and font set.

#include <cmath>
#include <numbers>
#include <vector>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <QTextStream>
#include <QtEndian>

namespace {

constexpr double kTau = 2.0 * std::numbers::pi;

// Colours of the console's state displays: ON green, OFF red.
const QColor kOnGreen(0x2e, 0xcc, 0x40);
const QColor kOffRed(0xe0, 0x2f, 0x2f);
const QColor kInk(0x1d, 0x2b, 0x36);

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (!image.save(path, "PNG")) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

// --- application icon: a unit box with three lamps under radio waves, drawn on a 256 grid ---------
// The one source of every size of the icon and of its scalable version.
void drawApplicationIcon(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 8, 0, 248);
    sky.setColorAt(0, QColor(0x2f, 0x86, 0xc4));
    sky.setColorAt(1, QColor(0x15, 0x41, 0x66));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);

    p.setPen(QPen(Qt::white, 12, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int radius : {26, 50, 74})
        p.drawArc(QRectF(128 - radius, 100 - radius, 2 * radius, 2 * radius), 50 * 16, 80 * 16);

    QLinearGradient metal(0, 112, 0, 216);
    metal.setColorAt(0, QColor(0xf4, 0xf7, 0xfa));
    metal.setColorAt(1, QColor(0xc9, 0xd3, 0xdc));
    p.setPen(QPen(kInk, 6));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(36, 112, 184, 104), 16, 16);

    const QColor lamps[] = {kOnGreen, kOffRed, kOnGreen};
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(kInk, 4));
        p.setBrush(lamps[i]);
        p.drawEllipse(QPointF(82 + 46 * i, 164), 17, 17);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 150));
        p.drawEllipse(QPointF(77 + 46 * i, 158), 5, 5);
    }
}

QImage applicationIcon(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.scale(size / 256.0, size / 256.0);
    drawApplicationIcon(p);
    return image;
}

bool saveScalableApplicationIcon(const QString& path)
{
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("Kestavo"));
    QPainter p;
    if (!p.begin(&svg)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    drawApplicationIcon(p);
    return p.end();
}

// --- relay-timer animation: a stopwatch whose hand moves a quarter turn per frame --------------------
QImage timerFrame(int frame)
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(24, 26);

    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(20, 1, 8, 5), 1.5, 1.5); // crown
    p.drawRect(QRectF(22.5, 5, 3, 3));                // stem
    p.save();
    p.translate(centre);
    p.rotate(45);
    p.drawRoundedRect(QRectF(-2.5, -24, 5, 5), 1, 1); // side button
    p.restore();

    p.setPen(QPen(kInk, 3));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 19, 19);

    // Elapsed part of the turn, growing by a quarter each frame.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x8e, 0xc9, 0xf0));
    p.drawPie(QRectF(centre.x() - 16, centre.y() - 16, 32, 32), 90 * 16, -frame * 90 * 16);

    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
    for (int tick = 0; tick < 12; ++tick) {
        const double angle = tick * kTau / 12;
        const double inner = tick % 3 == 0 ? 12.5 : 14.5;
        p.drawLine(QPointF(centre.x() + inner * std::sin(angle), centre.y() - inner * std::cos(angle)),
                   QPointF(centre.x() + 16.5 * std::sin(angle), centre.y() - 16.5 * std::cos(angle)));
    }

    const double hand = (frame % 4) * kTau / 4;
    p.setPen(QPen(QColor(0xd6, 0x28, 0x28), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, QPointF(centre.x() + 13 * std::sin(hand), centre.y() - 13 * std::cos(hand)));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(centre, 2.5, 2.5);
    return image;
}

// --- daughter-board state pictures: a green or red plate with the item's symbol ------------------
void statePlate(QPainter& p, bool on)
{
    const QColor base = on ? kOnGreen : kOffRed;
    QLinearGradient shade(0, 2, 0, 46);
    shade.setColorAt(0, base.lighter(135));
    shade.setColorAt(1, base.darker(110));
    p.setPen(QPen(base.darker(170), 2));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
}

QImage relayPicture(bool on)
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    statePlate(p, on);

    // Coil with its diagonal, as in a circuit diagram.
    p.setPen(QPen(kInk, 2.5));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRect(QRectF(7, 15, 12, 18));
    p.drawLine(QPointF(7, 33), QPointF(19, 15));

    // Contact: pivot at the bottom, fixed contact at the top; the arm closes onto it when on.
    const QPointF pivot(33, 38);
    const QPointF contact(33, 10);
    const QPointF armEnd = on ? QPointF(33, 13) : QPointF(42, 15);
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(pivot, armEnd);
    p.setPen(QPen(kInk, 1.5, Qt::DashLine));
    const QPointF armMiddle = (pivot + armEnd) / 2;
    p.drawLine(QPointF(19, 24), armMiddle);
    p.setPen(QPen(kInk, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(pivot, 3, 3);
    p.drawEllipse(contact, 3, 3);
    return image;
}

QImage outputPicture(bool on)
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    statePlate(p, on);

    QPainterPath bolt;
    bolt.moveTo(27, 6);
    bolt.lineTo(13, 27);
    bolt.lineTo(22, 27);
    bolt.lineTo(18, 42);
    bolt.lineTo(35, 19);
    bolt.lineTo(25, 19);
    bolt.closeSubpath();
    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(on ? QColor(0xff, 0xd7, 0x1f) : QColor(0xb4, 0xb4, 0xb4));
    p.drawPath(bolt);
    return image;
}

QImage lightPicture(bool on)
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    statePlate(p, on);
    const QPointF glass(24, 19);

    if (on) {
        QRadialGradient glow(glass, 18);
        glow.setColorAt(0, QColor(255, 250, 200, 230));
        glow.setColorAt(1, QColor(255, 250, 200, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(glass, 18, 18);
        p.setPen(QPen(QColor(0xff, 0xf4, 0x9c), 2, Qt::SolidLine, Qt::RoundCap));
        for (int ray = 0; ray < 8; ++ray) {
            const double angle = ray * kTau / 8;
            p.drawLine(QPointF(glass.x() + 13 * std::cos(angle), glass.y() + 13 * std::sin(angle)),
                       QPointF(glass.x() + 17 * std::cos(angle), glass.y() + 17 * std::sin(angle)));
        }
    }

    p.setPen(QPen(kInk, 2));
    p.setBrush(on ? QColor(0xff, 0xe1, 0x4d) : QColor(0xd2, 0xd2, 0xd2));
    p.drawEllipse(glass, 10, 10);
    p.setBrush(QColor(0x9a, 0xa4, 0xad));
    p.drawRoundedRect(QRectF(18.5, 29, 11, 9), 2, 2);
    p.drawLine(QPointF(18.5, 32), QPointF(29.5, 32));
    p.drawLine(QPointF(18.5, 35), QPointF(29.5, 35));
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(21.5, 38, 5, 3), 1, 1);
    return image;
}

// --- the main window's picture button: a daughter board with six relays -------------------------------
QImage daughterBoardPicture()
{
    QImage image = canvas(64, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(QPen(QColor(0x0b, 0x4d, 0x24), 1.5));
    p.setBrush(QColor(0x1f, 0x8a, 0x45));
    p.drawRoundedRect(QRectF(2, 4, 60, 40), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0xe8, 0xe0));
    for (const QPointF hole : {QPointF(6, 8), QPointF(58, 8), QPointF(6, 40), QPointF(58, 40)})
        p.drawEllipse(hole, 2, 2);

    // Six relay blocks in two rows.
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF block(11 + 15 * column, 8 + 15 * row, 12, 12);
            p.setPen(QPen(QColor(0x0e, 0x2a, 0x55), 1));
            p.setBrush(QColor(0x2d, 0x6f, 0xd2));
            p.drawRect(block);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 90));
            p.drawRect(QRectF(block.left() + 1, block.top() + 1, 10, 3));
        }
    }
    // Bus chip and header pins.
    p.setBrush(kInk);
    p.drawRect(QRectF(52, 16, 6, 10));
    p.setBrush(QColor(0xd4, 0xaf, 0x37));
    for (int pin = 0; pin < 8; ++pin)
        p.drawRect(QRectF(12 + 5 * pin, 38, 2.5, 4));
    return image;
}

// --- the About box's product picture: the unit box in three-quarter view -------------------------
QImage productPicture()
{
    QImage image = canvas(240, 160);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF front(20, 52, 180, 92);
    const QPointF depth(22, -30);

    QPolygonF top{front.topLeft(), front.topLeft() + depth, front.topRight() + depth, front.topRight()};
    QPolygonF side{front.topRight(), front.topRight() + depth, front.bottomRight() + depth,
                   front.bottomRight()};
    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xe4, 0xe9, 0xee));
    p.drawPolygon(top);
    p.setBrush(QColor(0x9c, 0xa8, 0xb3));
    p.drawPolygon(side);
    QLinearGradient face(0, front.top(), 0, front.bottom());
    face.setColorAt(0, QColor(0xd3, 0xdb, 0xe2));
    face.setColorAt(1, QColor(0xb3, 0xbf, 0xc9));
    p.setBrush(face);
    p.drawRect(front);

    // Name plate.
    p.setBrush(QColor(0x1f, 0x5f, 0x8b));
    p.drawRoundedRect(QRectF(32, 62, 62, 26), 4, 4);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(18);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(32, 62, 62, 26), Qt::AlignCenter, QStringLiteral("KSV"));

    // Lamps: power, link, three relays.
    const QColor lampColours[] = {kOnGreen, QColor(0xff, 0xb0, 0x20), kOnGreen, kOffRed, kOnGreen};
    for (int i = 0; i < 5; ++i) {
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(lampColours[i]);
        p.drawEllipse(QPointF(110 + 16 * i, 70), 5, 5);
    }

    // Network jack.
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(0x3a, 0x44, 0x4d));
    p.drawRect(QRectF(34, 102, 30, 26));
    p.setBrush(QColor(0x15, 0x19, 0x1d));
    p.drawRect(QRectF(38, 108, 22, 14));
    p.drawRect(QRectF(44, 122, 10, 4));

    // Terminal block with its screws.
    p.setBrush(QColor(0x2b, 0x9a, 0x4e));
    p.drawRect(QRectF(78, 100, 110, 30));
    for (int screw = 0; screw < 6; ++screw) {
        const QPointF centre(87 + 18.5 * screw, 115);
        p.setBrush(QColor(0xc8, 0xcc, 0xd0));
        p.drawEllipse(centre, 6, 6);
        p.drawLine(centre - QPointF(4, 0), centre + QPointF(4, 0));
    }

    return image;
}

// --- alarm sounds: 16 kHz, mono, 16-bit PCM ----------------------------------------------------------
constexpr int kRate = 16000;

bool writeWave(const QString& path, const std::vector<double>& samples)
{
    QByteArray pcm;
    pcm.reserve(int(samples.size() * 2));
    for (double sample : samples) {
        const auto value = qint16(std::lround(std::clamp(sample, -1.0, 1.0) * 32767.0));
        char bytes[2];
        qToLittleEndian(value, bytes);
        pcm.append(bytes, 2);
    }

    QByteArray header;
    auto u32 = [&header](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        header.append(bytes, 4);
    };
    auto u16 = [&header](quint16 value) {
        char bytes[2];
        qToLittleEndian(value, bytes);
        header.append(bytes, 2);
    };
    header.append("RIFF");
    u32(quint32(36 + pcm.size()));
    header.append("WAVEfmt ");
    u32(16);        // fmt chunk size
    u16(1);         // PCM
    u16(1);         // mono
    u32(kRate);     // sample rate
    u32(kRate * 2); // byte rate
    u16(2);         // block align
    u16(16);        // bits per sample
    header.append("data");
    u32(quint32(pcm.size()));

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(header + pcm) != header.size() + pcm.size()) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

// Short ramps at both ends of every tone so that no click is heard when a tone starts or stops.
double ramp(double t, double length, double rampTime)
{
    return std::min({1.0, t / rampTime, (length - t) / rampTime});
}

// A tone sweeping up from 650 Hz to 1300 Hz and back down.
std::vector<double> siren()
{
    constexpr double length = 1.6;
    std::vector<double> samples(std::size_t(length * kRate));
    double phase = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i) / kRate;
        const double frequency = 650.0 + 650.0 * (0.5 - 0.5 * std::cos(kTau * t / length));
        phase += kTau * frequency / kRate;
        const double tone = (std::sin(phase) + 0.25 * std::sin(2 * phase)) / 1.25;
        samples[i] = 0.6 * tone * ramp(t, length, 0.02);
    }
    return samples;
}

// Six short beeps, alternating between two pitches.
std::vector<double> burglarBeeps()
{
    constexpr double length = 1.2;
    constexpr double period = 0.2;
    constexpr double beep = 0.11;
    std::vector<double> samples(std::size_t(length * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i) / kRate;
        const int pulse = int(t / period);
        const double inPulse = t - pulse * period;
        if (inPulse >= beep)
            continue;
        const double frequency = pulse % 2 == 0 ? 1500.0 : 1150.0;
        const double phase = kTau * frequency * inPulse;
        const double tone = (std::sin(phase) + 0.3 * std::sin(3 * phase)) / 1.3;
        samples[i] = 0.6 * tone * ramp(inPulse, beep, 0.005);
    }
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: kestavo-resourcegen <resources folder>\n";
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!root.mkpath(QStringLiteral("images")) || !root.mkpath(QStringLiteral("sounds"))) {
        QTextStream(stderr) << "cannot create the folders below " << root.path() << '\n';
        return 1;
    }
    const QString images = root.filePath(QStringLiteral("images")) + QLatin1Char('/');
    const QString sounds = root.filePath(QStringLiteral("sounds")) + QLatin1Char('/');

    // The freedesktop icon theme layout: installed as it is, and compiled into the console.
    const QString icons = root.filePath(QStringLiteral("icons/hicolor")) + QLatin1Char('/');
    bool ok = root.mkpath(QStringLiteral("icons/hicolor/scalable/apps")) &&
              saveScalableApplicationIcon(icons + QStringLiteral("scalable/apps/kestavo.svg"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        ok = root.mkpath(QStringLiteral("icons/hicolor/") + folder) &&
             save(applicationIcon(size), icons + folder + QStringLiteral("/kestavo.png")) && ok;
    }
    for (int frame = 1; frame <= 4; ++frame)
        ok = save(timerFrame(frame), images + QStringLiteral("timer%1.png").arg(frame)) && ok;
    for (bool on : {true, false}) {
        const QString state = on ? QStringLiteral("on") : QStringLiteral("off");
        ok = save(relayPicture(on), images + QStringLiteral("relay_%1.png").arg(state)) && ok;
        ok = save(outputPicture(on), images + QStringLiteral("output_%1.png").arg(state)) && ok;
        ok = save(lightPicture(on), images + QStringLiteral("light_%1.png").arg(state)) && ok;
    }
    ok = save(daughterBoardPicture(), images + QStringLiteral("daughterboard.png")) && ok;
    ok = save(productPicture(), images + QStringLiteral("product.png")) && ok;
    ok = writeWave(sounds + QStringLiteral("siren.wav"), siren()) && ok;
    ok = writeWave(sounds + QStringLiteral("burgular2.wav"), burglarBeeps()) && ok;
    return ok ? 0 : 1;
}
