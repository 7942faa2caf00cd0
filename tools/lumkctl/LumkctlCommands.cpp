// ports, read, write, show, diff and sheet. Each command checks its files before it
// touches the device, so a typing error never costs a transfer.
#include "LumkctlCommands.h"

#include "BackupFiles.h"
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "ConfigReport.h"
#include "ConfigSheet.h"
#include "Console.h"
#include "CtlArguments.h"
#include "CtlTexts.h"
#include "DeviceSession.h"
#include "Interrupt.h"
#include "OpenDiagnosis.h"
#include "ParamImage.h"
#include "Platform.h"
#include "SerialDevices.h"
#include "SheetTexts.h"
#include "StartUp.h"
#include "StrictFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <optional>

namespace {

int ExitFor(SessionResult result)
{
    switch (result) {
    case SessionResult::Done:
        return ExitOk;
    case SessionResult::OpenFailed:
        return ExitPortNotOpen;
    case SessionResult::NoDevice:
        return ExitNoDevice;
    case SessionResult::NotConnected:
        return ExitNotConnected;
    case SessionResult::Stalled:
    case SessionResult::Lost: // as a local port that hung up: the transfer stops
        return ExitStalled;
    case SessionResult::Interrupted:
        return ExitSignalBase + PendingInterrupt();
    }
    return ExitNoDevice;
}

QString SignalName(int signal)
{
    const char* name = InterruptName(signal);
    return name ? QString::fromLatin1(name) : QString::number(signal);
}

// A transfer that did not end well: the result's own message was printed by
// the session; an interrupt is named here.
int Unfinished(SessionResult result, CtlContext& context)
{
    if (result == SessionResult::Interrupted)
        context.console.ErrLine(CtlTexts::Interrupted.arg(SignalName(PendingInterrupt())));
    return ExitFor(result);
}

// A model as the window shows it after start-up (without a locked file) and
// Open of the file; a file that is not well-formed is shown all the same, with
// a note. False (reported) when the file cannot be read.
bool LoadLikeWindow(ConfigModel& model, const QByteArray& name, const QString& shown,
                    Console& console)
{
    RunStartUp(model, NoPorts(), nullptr);
    QString malformation, reason;
    if (!LoadFileStrictly(name, model.image(), malformation, &reason)) {
        console.ErrLine(CtlTexts::ReadErrorWhy.arg(shown, reason));
        return false;
    }
    if (!malformation.isEmpty())
        console.ErrLine(CtlTexts::MalformedNote.arg(shown, malformation));
    model.ImageToTable();
    return true;
}

QByteArray WriteCommand(const CtlContext& context, const CtlArguments& args, const QByteArray& file)
{
    return "  " + ShellQuoted(context.program) + " write --port " +
           ShellQuoted(QFile::encodeName(args.port)) + ' ' + ShellQuoted(file);
}

// Stored bytes 0..69 as one key, for comparing reads.
QByteArray Stored(const ParamImage& image)
{
    return image.toText();
}

// Reads the device until two reads agree, at most three reads in all with the
// ones in `seen`. `agreed` is set when two agreed; otherwise the reads
// disagree. A failed transfer ends the search with its result.
SessionResult ReadUntilTwoAgree(DeviceSession& session, QList<ParamImage> seen,
                                std::optional<ParamImage>& agreed)
{
    agreed.reset();
    while (seen.size() < 3) {
        const SessionResult result = session.Read();
        if (result != SessionResult::Done)
            return result;
        const ParamImage image = session.model().image();
        for (const ParamImage& earlier : seen) {
            if (Stored(earlier) == Stored(image)) {
                agreed = image;
                return SessionResult::Done;
            }
        }
        seen.append(image);
    }
    return SessionResult::Done;
}

QString StateText(PortState state)
{
    switch (state) {
    case PortState::Usable:
        return CtlTexts::PortUsable;
    case PortState::NoPermission:
        return CtlTexts::PortNoPermission;
    case PortState::Busy:
        return CtlTexts::PortBusy;
    case PortState::Error:
        break;
    }
    return CtlTexts::PortError;
}

QByteArray PortsJson(const QList<SerialDevice>& devices)
{
    const auto textOrNull = [](const QString& text) {
        return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
    };
    QJsonArray array;
    for (const SerialDevice& device : devices) {
        QJsonObject object;
        object.insert(QStringLiteral("name"), device.name);
        object.insert(QStringLiteral("path"), device.path);
        object.insert(QStringLiteral("state"), PortStateName(device.state));
        object.insert(QStringLiteral("reason"), textOrNull(device.reason));
        object.insert(QStringLiteral("description"), textOrNull(device.description));
        object.insert(QStringLiteral("by_id"), textOrNull(device.byId));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

// Every serial device with its state; the usable ones are what the window's
// port selector offers.
int Ports(const CtlArguments& args, CtlContext& context)
{
    const QList<SerialDevice> devices = context.prober.Survey();
    if (args.json) {
        context.console.Out(PortsJson(devices));
        return ExitOk;
    }
    bool anyUsable = false;
    for (const SerialDevice& device : devices) {
        anyUsable = anyUsable || device.state == PortState::Usable;
        QString line = device.name + QStringLiteral(" — ") + StateText(device.state);
        if (!device.reason.isEmpty())
            line += QStringLiteral(": ") + device.reason;
        context.console.OutLine(line);
        for (const QString& detail : {device.description, device.byId}) {
            if (!detail.isEmpty())
                context.console.OutLine(QStringLiteral("    ") + detail);
        }
    }
    if (!anyUsable)
        context.console.ErrLine(CtlTexts::NoPorts);
    return ExitOk;
}

int Show(const CtlArguments& args, CtlContext& context)
{
    ConfigModel model;
    if (!LoadLikeWindow(model, args.fileName, args.file, context.console))
        return ExitFileError;
    if (args.json)
        context.console.Out(ConfigJson(model));
    else
        context.console.Out(ConfigText(model).toUtf8());
    return ExitOk;
}

int Read(const CtlArguments& args, CtlContext& context)
{
    // An output that can never be written is refused before the device is asked.
    if (!args.outputName.isEmpty()) {
        const QString refusal = OutputRefusal(args.outputName);
        if (!refusal.isEmpty()) {
            context.console.ErrLine(CtlTexts::WriteErrorWhy.arg(args.output, refusal));
            return ExitFileError;
        }
    }
    DeviceSession session(context.console, args.timeout, args.trace);
    const SessionResult result = session.Connect(ResolvePortArgument(args.port));
    if (result != SessionResult::Done)
        return Unfinished(result, context);
    ParamImage image = session.model().image();
    if (args.confirm) {
        std::optional<ParamImage> agreed;
        const SessionResult again = ReadUntilTwoAgree(session, {image}, agreed);
        if (again != SessionResult::Done)
            return Unfinished(again, context);
        if (!agreed) {
            context.console.ErrLine(CtlTexts::ReadsDisagree);
            return ExitUnreliable;
        }
        image = *agreed;
    }
    const QByteArray text = ImageFileText(image);
    if (args.outputName.isEmpty()) {
        context.console.Out(text);
        return ExitOk;
    }
    QString reason;
    if (!ReplaceFileContent(args.outputName, text, &reason)) {
        context.console.ErrLine(CtlTexts::WriteErrorWhy.arg(args.output, reason));
        return ExitFileError;
    }
    return ExitOk;
}

// After a write that did not complete: how far it got, and how to go back.
void AdviseAfterCutWrite(const DeviceSession& session, const CtlArguments& args,
                         const QByteArray& backup, CtlContext& context)
{
    Console& console = context.console;
    console.ErrLine(CtlTexts::WriteCut.arg(session.blocksConfirmed())
                        .arg(session.blockUnconfirmed() ? CtlTexts::WriteCutOneMore : QString()));
    if (backup.isEmpty()) {
        console.ErrLine(CtlTexts::NoBackupToRestore);
        console.ErrBytes(WriteCommand(context, args, args.fileName));
    } else {
        console.ErrLine(CtlTexts::RestoreFrom);
        console.ErrBytes(WriteCommand(context, args, backup));
    }
}

int Verify(DeviceSession& session, CtlContext& context)
{
    const ParamImage written = session.writtenImage();
    SessionResult result = session.Read();
    if (result != SessionResult::Done)
        return Unfinished(result, context);
    ParamImage readBack = session.model().image();
    if (Stored(readBack) != Stored(written)) {
        // One read-back may have been disturbed on the line: a difference
        // counts only when two read-backs agree on it.
        std::optional<ParamImage> agreed;
        result = ReadUntilTwoAgree(session, {readBack}, agreed);
        if (result != SessionResult::Done)
            return Unfinished(result, context);
        if (!agreed) {
            context.console.ErrLine(CtlTexts::VerifyUnreliable);
            return ExitUnreliable;
        }
        if (Stored(*agreed) == Stored(written))
            context.console.ErrLine(CtlTexts::ReadBackDisturbed);
        readBack = *agreed;
    }
    const QStringList differences = ImageDifferences(written, readBack);
    if (differences.isEmpty()) {
        context.console.ErrLine(CtlTexts::Verified);
        return ExitOk;
    }
    for (const QString& line : differences)
        context.console.OutLine(line);
    context.console.ErrLine(CtlTexts::VerifyFailed.arg(differences.size()));
    return ExitDifferent;
}

int Write(const CtlArguments& args, CtlContext& context)
{
    ParamImage fromFile;
    QString malformation, reason;
    if (!LoadFileStrictly(args.fileName, fromFile, malformation, &reason)) {
        context.console.ErrLine(CtlTexts::ReadErrorWhy.arg(args.file, reason));
        return ExitFileError;
    }
    // A wrong argument must not reach the device.
    if (!malformation.isEmpty()) {
        if (!args.force) {
            context.console.ErrLine(CtlTexts::Malformed.arg(args.file, malformation));
            return ExitFileError;
        }
        context.console.ErrLine(CtlTexts::MalformedNote.arg(args.file, malformation));
    }
    DeviceSession session(context.console, args.timeout, args.trace);
    SessionResult result = session.Connect(ResolvePortArgument(args.port));
    if (result == SessionResult::Interrupted) {
        context.console.ErrLine(CtlTexts::InterruptedUntouched.arg(SignalName(PendingInterrupt())));
        return ExitFor(result);
    }
    if (result != SessionResult::Done)
        return ExitFor(result);

    // Keep what the device held before anything is sent to it.
    QByteArray backup;
    if (!args.noBackup) {
        QString reason;
        backup =
            WriteBackupFileNamed(args.fileName, session.model().image(), context.now(), &reason);
        if (backup.isEmpty()) {
            context.console.ErrLine(CtlTexts::WriteErrorWhy.arg(
                QFile::decodeName(BackupFileNameNamed(args.fileName, context.now())), reason));
            context.console.ErrLine(CtlTexts::BackupFailed);
            return ExitFileError;
        }
        context.console.ErrBytes(CtlTexts::BackupWritten.arg(QString()).toUtf8() + backup);
    }

    // Open of the file: bytes 0..69 from its first line, decoded into the table.
    ConfigModel& model = session.model();
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        model.image().setByte(i, fromFile.byte(i));
    model.ImageToTable();

    result = session.Write();
    if (result != SessionResult::Done) {
        const int status = Unfinished(result, context);
        if (session.blocksConfirmed() > 0 || session.blockUnconfirmed())
            AdviseAfterCutWrite(session, args, backup, context);
        else if (result == SessionResult::Interrupted)
            context.console.ErrLine(
                CtlTexts::InterruptedUntouched.arg(SignalName(PendingInterrupt())));
        return status;
    }
    if (!args.verify)
        return ExitOk;
    return Verify(session, context);
}

int ReportDifferences(const ConfigModel& a, const ConfigModel& b, const QString& lineFormat,
                      const QString& hiddenNote, Console& console)
{
    // The table's terms first, then the raw bytes for what the table hides:
    // equal only when all 70 stored bytes are.
    const QStringList differences =
        ConfigDifferences(a, b, lineFormat) + UnshownDifferences(a.image(), b.image(), lineFormat);
    for (const QString& line : differences)
        console.OutLine(line);
    // Bytes the table does not show still change when the file is written.
    for (int i = AddressTable::Addresses; i < ParamImage::StoredSize; ++i) {
        if (a.image().byte(i) != b.image().byte(i)) {
            console.ErrLine(hiddenNote);
            break;
        }
    }
    if (differences.isEmpty()) {
        console.ErrLine(CtlTexts::NoDifferences);
        return ExitOk;
    }
    console.ErrLine(CtlTexts::DifferenceCount.arg(differences.size()));
    return ExitDifferent;
}

int Diff(const CtlArguments& args, CtlContext& context)
{
    ConfigModel fileModel;
    if (!LoadLikeWindow(fileModel, args.fileName, args.file, context.console))
        return ExitFileError;
    if (!args.secondFileName.isEmpty()) {
        ConfigModel second;
        if (!LoadLikeWindow(second, args.secondFileName, args.secondFile, context.console))
            return ExitFileError;
        return ReportDifferences(fileModel, second, CtlTexts::FilesDiffLine,
                                 CtlTexts::FilesHiddenBytesDiffer, context.console);
    }
    DeviceSession session(context.console, args.timeout, args.trace);
    const SessionResult result = session.Connect(ResolvePortArgument(args.port));
    if (result != SessionResult::Done)
        return Unfinished(result, context);
    return ReportDifferences(session.model(), fileModel, ReportTexts::DiffLine,
                             CtlTexts::HiddenBytesDiffer, context.console);
}

// The printable sheet of a file as the window would show it after Open, or of
// what the device holds.
int Sheet(const CtlArguments& args, CtlContext& context)
{
    const QString refusal = OutputRefusal(args.outputName);
    if (!refusal.isEmpty()) {
        context.console.ErrLine(CtlTexts::WriteErrorWhy.arg(args.output, refusal));
        return ExitFileError;
    }
    ConfigModel fileModel;
    std::unique_ptr<DeviceSession> session;
    const ConfigModel* model = &fileModel;
    SheetFacts facts;
    if (args.port.isEmpty()) {
        if (!LoadLikeWindow(fileModel, args.fileName, args.file, context.console))
            return ExitFileError;
        facts.file = args.file;
        facts.state = SheetTexts::StateUnknown;
        facts.time = context.now();
    } else {
        session = std::make_unique<DeviceSession>(context.console, args.timeout, args.trace);
        const SessionResult result = session->Connect(ResolvePortArgument(args.port));
        if (result != SessionResult::Done)
            return Unfinished(result, context);
        model = &session->model();
        facts.port = args.port;
        facts.time = context.now();
        facts.state =
            SheetTexts::StateRead.arg(args.port, SheetTexts::StateTime(facts.time, facts.time));
    }
    QString reason;
    if (!ReplaceFileContent(args.outputName, ConfigSheetPdf(*model, facts), &reason)) {
        context.console.ErrLine(CtlTexts::WriteErrorWhy.arg(args.output, reason));
        return ExitFileError;
    }
    return ExitOk;
}

int RunCommand(const CtlArguments& args, CtlContext& context)
{
    Console& console = context.console;
    if (!args.error.isEmpty()) {
        console.ErrLine(CtlTexts::ProgramName + QStringLiteral(": ") + args.error);
        console.ErrLine(args.command == CtlCommand::None
                            ? CtlTexts::MainUsageHint
                            : CtlTexts::UsageHint.arg(CommandName(args.command)));
        return ExitUsage;
    }
    if (args.help) {
        console.Out(CommandHelp(args.command).toUtf8());
        return ExitOk;
    }
    if (args.version) {
        console.OutLine(CtlTexts::ProgramName + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion());
        return ExitOk;
    }
    switch (args.command) {
    case CtlCommand::Ports:
        return Ports(args, context);
    case CtlCommand::Read:
        return Read(args, context);
    case CtlCommand::Write:
        return Write(args, context);
    case CtlCommand::Show:
        return Show(args, context);
    case CtlCommand::Diff:
        return Diff(args, context);
    case CtlCommand::Sheet:
        return Sheet(args, context);
    case CtlCommand::None:
        break;
    }
    return ExitUsage;
}

} // namespace

int RunLumkctl(const QList<QByteArray>& arguments, CtlContext& context)
{
    const int status = RunCommand(ParseCtlArguments(arguments), context);
    // A result that did not reach the output is no result.
    if (!context.console.outFailure().isEmpty() && status != ExitFileError) {
        context.console.ErrLine(
            CtlTexts::WriteErrorWhy.arg(CtlTexts::StandardOutput, context.console.outFailure()));
        return status == ExitOk || status == ExitDifferent ? ExitFileError : status;
    }
    // Nor is one whose messages were lost (the error stream closed).
    if (!context.console.errFailure().isEmpty() && (status == ExitOk || status == ExitDifferent))
        return ExitFileError;
    return status;
}

int RunLumkctl(const QStringList& arguments, CtlContext& context)
{
    QList<QByteArray> raw;
    for (const QString& word : arguments)
        raw.append(QFile::encodeName(word));
    return RunLumkctl(raw, context);
}
