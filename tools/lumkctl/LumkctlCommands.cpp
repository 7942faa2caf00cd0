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
#include "LinkTexts.h"
#include "OpenDiagnosis.h"
#include "ParamImage.h"
#include "Platform.h"
#include "SerialDevices.h"
#include "SessionRunner.h"
#include "SheetTexts.h"
#include "StartUp.h"
#include "StrictFile.h"
#include "TracingBackend.h"
#include "Transports.h"

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

// Prints the engine's plain messages.
class ConsoleMessages : public MessageSink
{
public:
    explicit ConsoleMessages(Console& console) : console_(console) {}
    void ShowMessage(LinkOutcome outcome) override
    {
        console_.ErrLine(LinkTexts::Message(outcome));
    }

private:
    Console& console_;
};

// The window's model and a session on it, without a window: the port is
// selected as in the port selector, and each step runs to its end.
class ToolSession
{
public:
    ToolSession(CtlContext& context, const CtlArguments& args)
        : console_(context.console), messages_(context.console),
          session_(model_, messages_, Parts(context, args.trace)), timeout_(args.timeout)
    {
        // The start-up of the window, without its locked configuration file: a
        // "regul.lmk" in the working directory must not hide what the device holds.
        RunStartUp(model_, NoPorts(), nullptr, [this] { session_.engine().SetPortReady(false); });
        // A port that does not open is reported by Connect, with the reason.
        session_.link().SetOpenFailureReporter([](const QString&) {});
    }
    ~ToolSession()
    {
        console_.EndProgress();
        // The port closes (and its trace ends) while the console still exists.
        session_.link().Close();
    }

    DeviceSession& session() { return session_; }
    ConfigModel& model() { return model_; }

    // Selects `port`: opens it, tests the link and reads the device completely.
    SessionResult Connect(const QString& port)
    {
        switch (session_.Connect(port)) {
        case LinkOutcome::PortNotOpened: {
            console_.ErrLine(LinkTexts::NotOpen(port));
            // A network port's backend knows the address and the reason.
            const SerialBackend* backend = session_.link().Backend();
            const QString reason = backend ? backend->FailureReason() : QString();
            if (!reason.isEmpty())
                console_.ErrLine(DiagnosisTexts::OtherReason.arg(reason));
            else if (TransportOf(port) == TransportKind::LocalSerial)
                console_.ErrLine(ExplainOpenFailure(port));
            return SessionResult::OpenFailed;
        }
        case LinkOutcome::NoDevice:
            return SessionResult::NoDevice;
        case LinkOutcome::WakeNotSent:
            console_.ErrLine(CtlTexts::WakeFailed);
            return SessionResult::NoDevice;
        default:
            return Run();
        }
    }
    // A full read into the image, decoded into the table.
    SessionResult Read()
    {
        session_.StartRead();
        return Run();
    }
    // Whatever the session has started, to its end.
    SessionResult Run()
    {
        RunLimits limits;
        limits.stallTimeout = timeout_;
        limits.interrupted = [] { return PendingInterrupt() != 0; };
        limits.progress = [this](int position) {
            if (position < 0)
                console_.EndProgress();
            else
                console_.Progress(position);
        };
        const SessionResult result = RunSession(session_, limits);
        if (result == SessionResult::Lost)
            console_.ErrLine(CtlTexts::Lost.arg(session_.record().lostReason));
        if (result == SessionResult::Stalled) {
            const auto seconds = std::chrono::duration<double>(timeout_).count();
            console_.ErrLine(CtlTexts::Stalled.arg(seconds));
        }
        return result;
    }

private:
    SessionParts Parts(CtlContext& context, bool trace)
    {
        SessionParts parts{context.transports, context.clock, context.now};
        if (!parts.transports)
            parts.transports = OpenTransport;
        // `trace` prints every frame of whatever transport it is.
        if (trace) {
            parts.transports = [this, inner = parts.transports](
                                   const QString& name) -> std::shared_ptr<SerialBackend> {
                std::shared_ptr<SerialBackend> backend = inner(name);
                if (!backend)
                    return nullptr;
                return std::make_shared<TracingBackend>(
                    std::move(backend), [this](const QString& line) { console_.ErrLine(line); });
            };
        }
        return parts;
    }

    Console& console_;
    ConsoleMessages messages_;
    ConfigModel model_;
    DeviceSession session_;
    std::chrono::milliseconds timeout_;
};

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

// Reads the device until two reads agree, at most three reads in all with
// `first`. `agreed` is set when two agreed; otherwise the reads disagree. A
// failed transfer ends the search with its result.
SessionResult ReadUntilTwoAgree(ToolSession& tool, const ParamImage& first,
                                std::optional<ParamImage>& agreed)
{
    TwoReadsAgree reads;
    reads.Add(first);
    agreed.reset();
    while (!reads.Exhausted()) {
        const SessionResult result = tool.Read();
        if (result != SessionResult::Done)
            return result;
        agreed = reads.Add(tool.model().image());
        if (agreed)
            return SessionResult::Done;
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
    ToolSession tool(context, args);
    const SessionResult result = tool.Connect(ResolvePortArgument(args.port));
    if (result != SessionResult::Done)
        return Unfinished(result, context);
    ParamImage image = tool.model().image();
    if (args.confirm) {
        std::optional<ParamImage> agreed;
        const SessionResult again = ReadUntilTwoAgree(tool, image, agreed);
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

// How to go back to what the device held: the backup written to it again, or
// without a backup the file once more.
void AdviseRestore(const QByteArray& backup, const CtlArguments& args, CtlContext& context)
{
    Console& console = context.console;
    if (backup.isEmpty()) {
        console.ErrLine(CtlTexts::NoBackupToRestore);
        console.ErrBytes(WriteCommand(context, args, args.fileName));
    } else {
        console.ErrLine(CtlTexts::RestoreFrom);
        console.ErrBytes(WriteCommand(context, args, backup));
    }
}

// After a write that did not complete: how far it got, and how to go back.
void AdviseAfterCutWrite(const CutWrite& cut, const CtlArguments& args, CtlContext& context)
{
    context.console.ErrLine(CtlTexts::WriteCut.arg(cut.confirmedBlocks)
                                .arg(cut.oneMoreSent ? CtlTexts::WriteCutOneMore : QString()));
    AdviseRestore(cut.backup, args, context);
}

// The read-back's verdict, after the write completed.
int ReportVerification(const WriteReport& report, const CtlArguments& args, CtlContext& context)
{
    Console& console = context.console;
    switch (report.outcome) {
    case WriteReport::Outcome::Verified:
        if (report.disturbed)
            console.ErrLine(CtlTexts::ReadBackDisturbed);
        console.ErrLine(CtlTexts::Verified);
        return ExitOk;
    case WriteReport::Outcome::Differs: {
        const QStringList differences = ImageDifferences(report.written, report.readBack);
        for (const QString& line : differences)
            console.OutLine(line);
        console.ErrLine(CtlTexts::VerifyFailed.arg(differences.size()));
        AdviseRestore(report.backup, args, context);
        return ExitDifferent;
    }
    case WriteReport::Outcome::ReadsDisagree:
        console.ErrLine(CtlTexts::VerifyUnreliable);
        return ExitUnreliable;
    default:
        return ExitOk; // written, not read back
    }
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
    ToolSession tool(context, args);
    DeviceSession& session = tool.session();
    SessionResult result = tool.Connect(ResolvePortArgument(args.port));
    if (result == SessionResult::Interrupted) {
        context.console.ErrLine(CtlTexts::InterruptedUntouched.arg(SignalName(PendingInterrupt())));
        return ExitFor(result);
    }
    if (result != SessionResult::Done)
        return ExitFor(result);

    // Bytes 0..69 of the file exactly as they are, kept what the device held
    // first; the read-back is compared with the file byte for byte.
    WriteRequest request;
    request.source = WriteSource::ImageExactly;
    request.image = fromFile;
    request.verify = args.verify;
    if (!args.noBackup)
        request.backup = BackupPlace::BesideFile(args.fileName);
    QObject::connect(&session, &DeviceSession::backupWritten, [&context](const QByteArray& name) {
        context.console.ErrBytes(CtlTexts::BackupWritten.arg(QString()).toUtf8() + name);
    });
    session.StartWrite(request);
    const WriteReport& report = session.lastWrite();
    if (report.outcome == WriteReport::Outcome::Refused) {
        context.console.ErrLine(
            CtlTexts::WriteErrorWhy.arg(QFile::decodeName(report.backupTried), report.refusal));
        context.console.ErrLine(CtlTexts::BackupFailed);
        return ExitFileError;
    }

    result = tool.Run();
    if (result != SessionResult::Done) {
        const bool writing = session.engine().WriteRequested();
        const int status = Unfinished(result, context);
        if (report.outcome == WriteReport::Outcome::Cut)
            AdviseAfterCutWrite(report.cut, args, context);
        else if (result == SessionResult::Interrupted && writing)
            context.console.ErrLine(
                CtlTexts::InterruptedUntouched.arg(SignalName(PendingInterrupt())));
        else if (report.outcome == WriteReport::Outcome::Unconfirmed)
            context.console.ErrLine(LinkTexts::NotConnected); // the read-back got no reply
        return status;
    }
    return ReportVerification(report, args, context);
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
    ToolSession tool(context, args);
    const SessionResult result = tool.Connect(ResolvePortArgument(args.port));
    if (result != SessionResult::Done)
        return Unfinished(result, context);
    return ReportDifferences(tool.model(), fileModel, ReportTexts::DiffLine,
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
    std::unique_ptr<ToolSession> tool;
    const ConfigModel* model = &fileModel;
    SheetFacts facts;
    if (args.port.isEmpty()) {
        if (!LoadLikeWindow(fileModel, args.fileName, args.file, context.console))
            return ExitFileError;
        facts.file = args.file;
        facts.state = SheetTexts::StateUnknown;
        facts.time = context.now();
    } else {
        tool = std::make_unique<ToolSession>(context, args);
        const SessionResult result = tool->Connect(ResolvePortArgument(args.port));
        if (result != SessionResult::Done)
            return Unfinished(result, context);
        model = &tool->model();
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
