// Command-line parsing: "--name value" and "--name=value" forms, options
// anywhere after the command, "--" ending the options.
#include "CtlArguments.h"

#include "CtlTexts.h"
#include "Platform.h"

#include <QFile>
#include <QSet>

#include <cmath>

namespace {

enum class Option {
    Help,
    Port,
    Output,
    Timeout,
    Trace,
    Verify,
    NoVerify,
    NoBackup,
    Json,
    Confirm,
    Force
};

struct OptionSpec
{
    const char* name;
    Option option;
    bool takesValue;
};

constexpr OptionSpec AllOptions[] = {
    {"--help", Option::Help, false},      {"-h", Option::Help, false},
    {"--port", Option::Port, true},       {"--output", Option::Output, true},
    {"--timeout", Option::Timeout, true}, {"--trace", Option::Trace, false},
    {"--verify", Option::Verify, false},  {"--no-backup", Option::NoBackup, false},
    {"--json", Option::Json, false},      {"--confirm", Option::Confirm, false},
    {"--force", Option::Force, false},    {"--no-verify", Option::NoVerify, false},
};

struct CommandSpec
{
    CtlCommand command;
    const char* name;
    QSet<Option> options;
    bool needsPort;
    bool takesFile;
    bool twoFilesWithoutPort = false; // diff A B
    bool fileOrPort = false;          // sheet: FILE or --port, never both
    bool needsOutput = false;         // sheet --output
};

const QList<CommandSpec>& Commands()
{
    static const QList<CommandSpec> commands = {
        {CtlCommand::Ports, "ports", {Option::Help, Option::Json}, false, false},
        {CtlCommand::Read,
         "read",
         {Option::Help, Option::Port, Option::Output, Option::Timeout, Option::Trace,
          Option::Confirm},
         true,
         false},
        {CtlCommand::Write,
         "write",
         {Option::Help, Option::Port, Option::Timeout, Option::Trace, Option::Verify,
          Option::NoVerify, Option::NoBackup, Option::Force},
         true,
         true},
        {CtlCommand::Show, "show", {Option::Help, Option::Json}, false, true},
        {CtlCommand::Diff,
         "diff",
         {Option::Help, Option::Port, Option::Timeout, Option::Trace},
         true,
         true,
         true},
        {CtlCommand::Sheet,
         "sheet",
         {Option::Help, Option::Port, Option::Output, Option::Timeout, Option::Trace},
         false,
         false,
         false,
         true,
         true},
    };
    return commands;
}

const CommandSpec* FindCommand(const QString& name)
{
    for (const CommandSpec& spec : Commands()) {
        if (name == QLatin1String(spec.name))
            return &spec;
    }
    return nullptr;
}

const OptionSpec* FindOption(const QString& name)
{
    for (const OptionSpec& spec : AllOptions) {
        if (name == QLatin1String(spec.name))
            return &spec;
    }
    return nullptr;
}

// Seconds as a positive decimal number, at most a day.
bool ParseTimeout(const QString& text, std::chrono::milliseconds& out)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 86400)
        return false;
    out = std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
    return true;
}

CtlArguments Fail(CtlArguments args, const QString& error)
{
    args.error = error;
    return args;
}

} // namespace

CtlArguments ParseCtlArguments(const QStringList& arguments)
{
    QList<QByteArray> raw;
    for (const QString& word : arguments)
        raw.append(QFile::encodeName(word));
    return ParseCtlArguments(raw);
}

CtlArguments ParseCtlArguments(const QList<QByteArray>& rawArguments)
{
    // Options are matched as text; values and files keep their bytes.
    QStringList arguments;
    for (const QByteArray& word : rawArguments)
        arguments.append(QFile::decodeName(word));
    CtlArguments args;
    if (arguments.isEmpty())
        return Fail(args, CtlTexts::NoCommand);

    const QString& first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("help")) {
        // "help read" asks for the help of a command.
        if (first == QLatin1String("help") && arguments.size() > 1) {
            const CommandSpec* spec = FindCommand(arguments.at(1));
            if (!spec)
                return Fail(args, CtlTexts::UnknownCommand.arg(arguments.at(1)));
            args.command = spec->command;
        }
        args.help = true;
        return args;
    }
    if (first == QLatin1String("--version")) {
        args.version = true;
        return args;
    }
    const CommandSpec* spec = FindCommand(first);
    if (!spec) {
        return Fail(args, first.startsWith(QLatin1Char('-')) ? CtlTexts::UnknownOption.arg(first)
                                                             : CtlTexts::UnknownCommand.arg(first));
    }
    args.command = spec->command;
    // A write reads the device back unless --no-verify says otherwise.
    args.verify = spec->command == CtlCommand::Write;

    // "--help" anywhere before "--" wins over everything else on the line.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (word == QLatin1String("--"))
            break;
        if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            args.help = true;
            return args;
        }
    }

    QStringList positional;
    QList<QByteArray> positionalRaw;
    QSet<Option> seen;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (optionsEnded || !word.startsWith(QLatin1Char('-')) || word == QLatin1String("-")) {
            positional.append(word);
            positionalRaw.append(rawArguments.at(i));
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? word : word.left(equals);
        const OptionSpec* option = FindOption(name);
        if (!option || !spec->options.contains(option->option))
            return Fail(args, CtlTexts::UnknownOption.arg(name));
        if (seen.contains(option->option))
            return Fail(args, CtlTexts::RepeatedOption.arg(name));
        seen.insert(option->option);

        QString value;
        QByteArray rawValue;
        if (option->takesValue) {
            if (equals >= 0) {
                value = word.mid(equals + 1);
                const QByteArray& rawWord = rawArguments.at(i);
                rawValue = rawWord.mid(rawWord.indexOf('=') + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
                rawValue = rawArguments.at(i);
            } else {
                return Fail(args, CtlTexts::MissingValue.arg(name));
            }
            if (value.isEmpty())
                return Fail(args, CtlTexts::EmptyValue.arg(name));
        } else if (equals >= 0) {
            return Fail(args, CtlTexts::UnexpectedValue.arg(name));
        }

        switch (option->option) {
        case Option::Port:
            args.port = value;
            break;
        case Option::Output:
            args.output = value;
            args.outputName = rawValue;
            break;
        case Option::Timeout:
            if (!ParseTimeout(value, args.timeout))
                return Fail(args, CtlTexts::BadTimeout.arg(value));
            break;
        case Option::Trace:
            args.trace = true;
            break;
        case Option::Verify:
            args.verify = true;
            break;
        case Option::NoVerify:
            args.verify = false;
            break;
        case Option::NoBackup:
            args.noBackup = true;
            break;
        case Option::Json:
            args.json = true;
            break;
        case Option::Confirm:
            args.confirm = true;
            break;
        case Option::Force:
            args.force = true;
            break;
        case Option::Help:
            break;
        }
    }

    if (spec->takesFile) {
        if (positional.isEmpty())
            return Fail(args, CtlTexts::MissingFile);
        args.file = positional.takeFirst();
        args.fileName = positionalRaw.takeFirst();
        if (args.file.isEmpty())
            return Fail(args, CtlTexts::EmptyFileName);
        // "diff A B" compares two files and talks to no device.
        if (spec->twoFilesWithoutPort && args.port.isEmpty() && !positional.isEmpty()) {
            args.secondFile = positional.takeFirst();
            args.secondFileName = positionalRaw.takeFirst();
            if (args.secondFile.isEmpty())
                return Fail(args, CtlTexts::EmptyFileName);
        }
    }
    if (spec->fileOrPort) {
        if (args.port.isEmpty() && positional.isEmpty())
            return Fail(args, CtlTexts::MissingFileOrPort);
        if (!args.port.isEmpty() && !positional.isEmpty())
            return Fail(args, CtlTexts::FileAndPort);
        if (!positional.isEmpty()) {
            args.file = positional.takeFirst();
            args.fileName = positionalRaw.takeFirst();
            if (args.file.isEmpty())
                return Fail(args, CtlTexts::EmptyFileName);
        }
    }
    if (!positional.isEmpty())
        return Fail(args, CtlTexts::ExtraArgument.arg(positional.first()));
    if (spec->needsOutput && args.output.isEmpty())
        return Fail(args, CtlTexts::MissingOutput);
    if (spec->needsPort && args.port.isEmpty() && args.secondFileName.isEmpty())
        return Fail(args, CtlTexts::MissingPort);
    return args;
}

QString CommandName(CtlCommand command)
{
    for (const CommandSpec& spec : Commands()) {
        if (spec.command == command)
            return QLatin1String(spec.name);
    }
    return QString();
}

QString CommandHelp(CtlCommand command)
{
    const PlatformHelp platform = HelpOfPlatform();
    switch (command) {
    case CtlCommand::Ports:
        return CtlTexts::PortsHelp.arg(platform.portsSurvey);
    case CtlCommand::Read:
        return CtlTexts::ReadHelp.arg(platform.portArgument);
    case CtlCommand::Write:
        return CtlTexts::WriteHelp.arg(platform.portArgument);
    case CtlCommand::Show:
        return CtlTexts::ShowHelp;
    case CtlCommand::Diff:
        return CtlTexts::DiffHelp.arg(platform.portArgument);
    case CtlCommand::Sheet:
        return CtlTexts::SheetHelp.arg(platform.portArgument);
    case CtlCommand::None:
        break;
    }
    return CtlTexts::MainHelp.arg(platform.interruptStatuses);
}
