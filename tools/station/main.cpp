// lumk-station: the station simulator as a program (see --help).
#include "ImageFile.h"
#include "StationSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>

#include <csignal>
#include <cstdio>

namespace {

const char* const Description = R"(Simulated station ("БС") for the ЛУМ-К configurator.

Opens a new pseudo-terminal and prints the path of the program's side on
standard output (select it in the configurator's port list, or use --link).
Runs until interrupted (Ctrl+C, SIGTERM).

Behaviour:
  - Until woken it sends the invitation FF 00 00 FF every 250 ms while the
    program's side is open.
  - On the wake frame FF 80 0F 0F 7F it wakes and sends one block-0 frame on
    its own, so that a transfer has a first frame to answer.
  - Woken, it answers every well-formed 19-byte request ('S' read, 'W' write,
    'R' rest: header FF 81 00, block 0..5, right check byte, and for 'W' the
    right checksum) with a 19-byte frame for the requested block; a 'W' block
    is stored first. A bad request is ignored (no answer).
  - It answers 20 ms after a request arrives (with --baud-pacing, after the
    request's line time instead).
  - When no request comes for about a second it sends its last frame again.
  - When the program closes its side it goes back to the unwoken state and
    discards the bytes the program did not read; it survives any number of
    reopens, however quick, and sleeps while the side is closed (no busy loop).
  - Its image starts from --image or from a built-in demo configuration (every
    page used, speech mode, non-zero delays); with --save the image is written
    back to that file after each completed write (block 5 written, whatever
    came between: a wake, a lost request, a read).

Faults (each one logged to standard error; rates are per block frame, 0..1,
drawn from a generator seeded with --seed; at most one fault a frame):
  --drop R          the frame is not sent
  --invite R        the invitation is sent in place of the frame
  --truncate R      only its first 1..18 bytes are sent
  --wrong-block R   the frame of another block than the one asked for
  --corrupt R       one byte of the frame changed
  --drop-write R    a 'W' request is lost (rate per request): not stored, not
                    answered; a second later the last frame goes out again
  --silent-after N  after N block frames since the wake it sends nothing until
                    the program closes its side
  --hang-up-after N after N block frames since the wake it closes the
                    pseudo-terminal, and opens a new one a second later (the
                    new path is printed; --link follows it)
Faults the program's acceptance rule detects: one corrupted byte, a wrong block
number, a dropped frame, an invitation in place of a frame.)";

volatile std::sig_atomic_t stopSignal = 0;
void OnSignal(int) { stopSignal = 1; }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumk-station"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make a symbolic link PATH to the program's side."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption imageFile(QStringLiteral("image"),
                                       QStringLiteral("Start from the image in FILE.lmk."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QStringLiteral("Write the image back to --image after each completed write."));
    const QCommandLineOption pacing(QStringLiteral("baud-pacing"),
                                    QStringLiteral("Send and receive at the pace of the 2400-baud line."));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the fault generator."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log protocol events too, not only faults."));
    const QCommandLineOption drop(QStringLiteral("drop"), QStringLiteral("Rate of dropped frames."), QStringLiteral("R"));
    const QCommandLineOption invite(QStringLiteral("invite"), QStringLiteral("Rate of invitations in place of frames."),
                                    QStringLiteral("R"));
    const QCommandLineOption truncate(QStringLiteral("truncate"), QStringLiteral("Rate of truncated frames."),
                                      QStringLiteral("R"));
    const QCommandLineOption wrongBlock(QStringLiteral("wrong-block"),
                                        QStringLiteral("Rate of frames with a wrong block number."), QStringLiteral("R"));
    const QCommandLineOption corrupt(QStringLiteral("corrupt"), QStringLiteral("Rate of frames with a corrupted byte."),
                                     QStringLiteral("R"));
    const QCommandLineOption dropWrite(QStringLiteral("drop-write"),
                                       QStringLiteral("Rate of 'W' requests lost on the way in."),
                                       QStringLiteral("R"));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"),
                                         QStringLiteral("Go silent after N block frames since the wake."),
                                         QStringLiteral("N"));
    const QCommandLineOption hangUpAfter(QStringLiteral("hang-up-after"),
                                         QStringLiteral("Hang up after N block frames since the wake."),
                                         QStringLiteral("N"));
    parser.addOptions({link, imageFile, save, pacing, seed, verbose, drop, invite, truncate, wrongBlock,
                       corrupt, dropWrite, silentAfter, hangUpAfter});
    parser.process(app);

    const auto fail = [](const QString& text) {
        std::fprintf(stderr, "lumk-station: %s\n", text.toLocal8Bit().constData());
        return 2;
    };
    const auto rate = [&](const QCommandLineOption& o, double& out) {
        if (!parser.isSet(o))
            return true;
        bool ok = false;
        out = parser.value(o).toDouble(&ok);
        return ok && out >= 0 && out <= 1;
    };
    const auto count = [&](const QCommandLineOption& o, int& out) {
        if (!parser.isSet(o))
            return true;
        bool ok = false;
        out = parser.value(o).toInt(&ok);
        return ok && out >= 0;
    };

    StationOptions options = StationSimulator::DefaultOptions();
    options.baudPacing = parser.isSet(pacing);
    options.verbose = parser.isSet(verbose);
    bool ok = false;
    options.seed = parser.value(seed).toULongLong(&ok);
    if (!ok)
        return fail(QStringLiteral("--seed needs a number"));
    StationFaults& f = options.faults;
    if (!rate(drop, f.drop) || !rate(invite, f.invite) || !rate(truncate, f.truncate) ||
        !rate(wrongBlock, f.wrongBlock) || !rate(corrupt, f.corrupt) || !rate(dropWrite, f.dropWrite))
        return fail(QStringLiteral("a fault rate must be a number from 0 to 1"));
    if (!count(silentAfter, f.silentAfter) || !count(hangUpAfter, f.hangUpAfter))
        return fail(QStringLiteral("a frame count must be a whole number of 0 or more"));
    options.linkPath = parser.value(link);

    const QString file = parser.value(imageFile);
    if (!file.isEmpty()) {
        options.image = ParamImage();
        if (!LoadImageFile(file, options.image))
            return fail(QStringLiteral("cannot read ") + file);
    } else if (parser.isSet(save)) {
        return fail(QStringLiteral("--save needs --image FILE"));
    }
    if (parser.isSet(save)) {
        options.writeCompleted = [file](const ParamImage& image) {
            QSaveFile out(file);
            if (!out.open(QIODevice::WriteOnly) || out.write(image.toText() + "\r\n") < 0 || !out.commit())
                std::fprintf(stderr, "lumk-station: cannot save %s\n", file.toLocal8Bit().constData());
            else
                std::fprintf(stderr, "lumk-station: saved %s\n", file.toLocal8Bit().constData());
        };
    }
    options.pathChanged = [](const QString& path) {
        std::printf("%s\n", path.toLocal8Bit().constData());
        std::fflush(stdout);
    };

    StationSimulator station(options);
    QString error;
    if (!station.Start(&error))
        return fail(error);
    std::printf("%s\n", station.ProgramSidePath().toLocal8Bit().constData());
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);
    while (!stopSignal)
        ::pause();
    station.Stop();
    return 0;
}
