#include "startup/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cstdio>

namespace ui {

using ldapmodel::Directories;

CommandLine::CommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Dirlook browses and edits LDAP v3 directories.\n\n"
        "Its base directory holds the \"connections\" folder with the connection\n"
        "profiles, the \"config\" and \"log\" folders and, optionally, a \"Help\" folder.\n"
        "It is the working directory when that has a \"connections\" folder, else\n"
        "the user's data directory ($XDG_DATA_HOME/dirlook)."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption base(QStringLiteral("base-directory"),
                                  QStringLiteral("Use <directory> as the base directory."),
                                  QStringLiteral("directory"));
    const QCommandLineOption userData(
        QStringLiteral("user-data"),
        QStringLiteral("Use the user's data directory as the base directory, whatever the "
                       "working directory holds (the desktop menu starts Dirlook so)."));
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connect with the connection profile <name> once the window is open."),
        QStringLiteral("name"));
    parser.addOptions({base, userData, connect});

    const QString program = QStringLiteral("dirlook");
    if (!parser.parse(arguments)) {
        m_outcome = Outcome::Error;
        m_text = program + QStringLiteral(": ") + parser.errorText()
                 + QStringLiteral("\nTry 'dirlook --help' for more information.\n");
        return;
    }
    // Qt's own options are only listed by the parser's own printing, which
    // then ends the process.
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(arguments);
    if (parser.isSet(help)) {
        m_outcome = Outcome::ShowHelp;
        m_text = parser.helpText();
        return;
    }
    if (parser.isSet(version)) {
        m_outcome = Outcome::ShowVersion;
        m_text = QStringLiteral("Dirlook " DIRLOOK_VERSION "\n");
        return;
    }
    QString problem;
    if (!parser.positionalArguments().isEmpty())
        problem = QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first());
    else if (parser.isSet(base) && parser.isSet(userData))
        problem = QStringLiteral("--base-directory and --user-data exclude each other.");
    else if (parser.isSet(base) && parser.value(base).isEmpty())
        problem = QStringLiteral("--base-directory needs a directory.");
    else if (parser.isSet(connect) && parser.value(connect).isEmpty())
        problem = QStringLiteral("--connect needs a profile name.");
    if (!problem.isEmpty()) {
        m_outcome = Outcome::Error;
        m_text = program + QStringLiteral(": ") + problem
                 + QStringLiteral("\nTry 'dirlook --help' for more information.\n");
        return;
    }
    if (parser.isSet(base)) {
        m_baseRule = Directories::BaseRule::Requested;
        m_baseDirectory = parser.value(base);
    } else if (parser.isSet(userData)) {
        m_baseRule = Directories::BaseRule::UserData;
    }
    m_connectName = parser.value(connect);
}

int CommandLine::report() const
{
    const QByteArray bytes = m_text.toLocal8Bit();
    switch (m_outcome) {
    case Outcome::ShowHelp:
    case Outcome::ShowVersion:
        std::fputs(bytes.constData(), stdout);
        std::fflush(stdout);
        return 0;
    case Outcome::Error:
        std::fputs(bytes.constData(), stderr);
        return 1;
    case Outcome::Run:
        break;
    }
    return 0;
}

} // namespace ui
