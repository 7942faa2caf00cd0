// The station of the link-faults run (bench/faults.py): the station simulator
// with fault injection, driven over standard input so the script can ask what
// the station holds at the end of a run, and bring it back calm after a hang-up.
//
//   lumk-faults-station HEX144 SEED RATE SILENT_AFTER HANG_UP_AFTER LINK
//
// HEX144 is the station's whole 72-byte image; RATE is the rate of each of the
// simulator's five frame faults; -1 disables silence or hang-up; LINK is a
// symbolic link kept pointing at the program's side. Prints the program side's
// path, then answers each line on standard input:
//   image   the station's 72 bytes as 144 hexadecimal digits
//   frames  how many block frames it has sent, faulty ones included
//   calm    restart on a new pseudo-terminal without silence and hang-up,
//           keeping the image; prints the new path
// Ends at the end of standard input. Fault lines go to standard error.
#include "StationSimulator.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

QByteArray Hex(const ParamImage& image)
{
    QByteArray out;
    for (std::uint8_t b : image.bytes())
        out += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    return out;
}

bool Start(StationSimulator& station)
{
    QString error;
    if (!station.Start(&error)) {
        std::fprintf(stderr, "cannot start the station: %s\n", qPrintable(error));
        return false;
    }
    std::printf("%s\n", qPrintable(station.ProgramSidePath()));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7 && args.size() != 8) {
        std::fprintf(stderr,
                     "usage: %s HEX144 SEED RATE SILENT_AFTER HANG_UP_AFTER LINK [LOST_W_RATE]\n",
                     argv[0]);
        return 2;
    }
    StationOptions options = StationSimulator::DefaultOptions();
    const QByteArray hex = QByteArray::fromHex(args[1].toLatin1());
    if (hex.size() != ParamImage::Size)
        return 2;
    for (int i = 0; i < ParamImage::Size; ++i)
        options.image.setByte(i, std::uint8_t(hex[i]));
    options.seed = args[2].toULongLong();
    const double rate = args[3].toDouble();
    options.faults.corrupt = options.faults.wrongBlock = options.faults.drop = rate;
    options.faults.invite = options.faults.truncate = rate;
    options.faults.silentAfter = args[4].toInt();
    options.faults.hangUpAfter = args[5].toInt();
    options.linkPath = args[6];
    if (args.size() == 8)
        options.faults.dropWrite = args[7].toDouble();
    options.log = [](const QString& line) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
        std::fflush(stderr);
    };
    options.pathChanged = [](const QString& path) {
        std::fprintf(stderr, "new program side %s\n", qPrintable(path));
    };

    auto station = std::make_unique<StationSimulator>(options);
    if (!Start(*station))
        return 1;
    std::string line;
    int framesBefore = 0; // sent by the stations before a restart
    while (std::getline(std::cin, line)) {
        if (line == "image") {
            std::printf("%s\n", Hex(station->Image()).constData());
            std::fflush(stdout);
        } else if (line == "frames") {
            std::printf("%d\n", framesBefore + station->Stats().framesSent);
            std::fflush(stdout);
        } else if (line == "calm") {
            framesBefore += station->Stats().framesSent;
            const ParamImage image = station->Image();
            station->Stop();
            options.image = image;
            options.faults.silentAfter = options.faults.hangUpAfter = -1;
            station = std::make_unique<StationSimulator>(options);
            if (!Start(*station))
                return 1;
        }
    }
    station->Stop();
    return 0;
}
