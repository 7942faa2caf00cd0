// ports, read, write, show and diff. Each command checks its files before it
// touches the device, so a typing error never costs a transfer.
#include "LumkctlCommands.h"

#include "ConfigModel.h"
#include "ConfigReport.h"
#include "Console.h"
#include "CtlArguments.h"
#include "CtlFiles.h"
#include "CtlTexts.h"
#include "DeviceSession.h"
#include "OpenDiagnosis.h"
#include "ParamImage.h"
#include "SerialDevices.h"
#include "StartUp.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class NoPorts : public PortProber
{
public:
    QStringList ListPortNames() const override { return {}; }
};

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
        return ExitStalled;
    }
    return ExitNoDevice;
}

// A model as the window shows it after start-up (without a locked file) and
// Open of `file`. False when the file cannot be read.
bool LoadLikeWindow(ConfigModel& model, const QString& file)
{
    RunStartUp(model, NoPorts(), {}, QString());
    if (!LoadImageFile(file, model.image()))
        return false;
    model.ImageToTable();
    return true;
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
    if (!LoadLikeWindow(model, args.file)) {
        context.console.ErrLine(CtlTexts::ReadError.arg(args.file));
        return ExitFileError;
    }
    if (args.json)
        context.console.Out(ConfigJson(model));
    else
        context.console.Out(ConfigText(model).toUtf8());
    return ExitOk;
}

int Read(const CtlArguments& args, CtlContext& context)
{
    DeviceSession session(context.console, args.timeout, args.trace);
    const SessionResult result = session.Connect(ResolvePortArgument(args.port));
    if (result != SessionResult::Done)
        return ExitFor(result);
    const QByteArray text = ImageFileText(session.model().image());
    if (args.output.isEmpty()) {
        context.console.Out(text);
        return ExitOk;
    }
    if (!WriteFileAtomically(args.output, text)) {
        context.console.ErrLine(CtlTexts::WriteError.arg(args.output));
        return ExitFileError;
    }
    return ExitOk;
}

int Write(const CtlArguments& args, CtlContext& context)
{
    ParamImage fromFile;
    if (!LoadImageFile(args.file, fromFile)) {
        context.console.ErrLine(CtlTexts::ReadError.arg(args.file));
        return ExitFileError;
    }
    DeviceSession session(context.console, args.timeout, args.trace);
    SessionResult result = session.Connect(ResolvePortArgument(args.port));
    if (result != SessionResult::Done)
        return ExitFor(result);

    // Keep what the device held before anything is sent to it.
    if (!args.noBackup) {
        const QString backup = WriteBackupFile(args.file, session.model().image(), context.now());
        if (backup.isEmpty()) {
            context.console.ErrLine(
                CtlTexts::WriteError.arg(BackupFileName(args.file, context.now())));
            context.console.ErrLine(CtlTexts::BackupFailed);
            return ExitFileError;
        }
        context.console.ErrLine(CtlTexts::BackupWritten.arg(backup));
    }

    // Open of the file: bytes 0..69 from its first line, decoded into the table.
    ConfigModel& model = session.model();
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        model.image().setByte(i, fromFile.byte(i));
    model.ImageToTable();

    result = session.Write();
    if (result != SessionResult::Done)
        return ExitFor(result);
    if (!args.verify)
        return ExitOk;

    const ParamImage written = session.writtenImage();
    result = session.Read();
    if (result != SessionResult::Done)
        return ExitFor(result);
    const QStringList differences = ImageDifferences(written, model.image());
    if (differences.isEmpty()) {
        context.console.ErrLine(CtlTexts::Verified);
        return ExitOk;
    }
    for (const QString& line : differences)
        context.console.OutLine(line);
    context.console.ErrLine(CtlTexts::VerifyFailed.arg(differences.size()));
    return ExitDifferent;
}

int Diff(const CtlArguments& args, CtlContext& context)
{
    ConfigModel fileModel;
    if (!LoadLikeWindow(fileModel, args.file)) {
        context.console.ErrLine(CtlTexts::ReadError.arg(args.file));
        return ExitFileError;
    }
    DeviceSession session(context.console, args.timeout, args.trace);
    const SessionResult result = session.Connect(ResolvePortArgument(args.port));
    if (result != SessionResult::Done)
        return ExitFor(result);

    const ConfigModel& device = session.model();
    const QStringList differences = ConfigDifferences(device, fileModel);
    for (const QString& line : differences)
        context.console.OutLine(line);
    // Bytes the table does not show still change when the file is written.
    for (int i = AddressTable::Addresses; i < ParamImage::StoredSize; ++i) {
        if (device.image().byte(i) != fileModel.image().byte(i)) {
            context.console.ErrLine(CtlTexts::HiddenBytesDiffer);
            break;
        }
    }
    if (differences.isEmpty()) {
        context.console.ErrLine(CtlTexts::NoDifferences);
        return ExitOk;
    }
    context.console.ErrLine(CtlTexts::DifferenceCount.arg(differences.size()));
    return ExitDifferent;
}

} // namespace

int RunLumkctl(const QStringList& arguments, CtlContext& context)
{
    const CtlArguments args = ParseCtlArguments(arguments);
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
    case CtlCommand::None:
        break;
    }
    return ExitUsage;
}
