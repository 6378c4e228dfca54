#pragma once

// The program's command line, read with QCommandLineParser:
//   --help, --version, --base-directory DIR, --user-data, --connect NAME.

#include "profiles/Directories.h"

#include <QString>
#include <QStringList>

namespace ui {

class CommandLine {
public:
    enum class Outcome {
        Run,          // start the program
        ShowHelp,     // print text() and end with 0
        ShowVersion,  // print text() and end with 0
        Error,        // print text() on the error stream and end with 1
    };

    // Reads arguments (the program name first, as QCoreApplication::arguments).
    explicit CommandLine(const QStringList& arguments);

    Outcome outcome() const { return m_outcome; }
    // The help, the version line or the error message, ending with a line end.
    const QString& text() const { return m_text; }
    // Prints text() where its outcome says; the exit code for that outcome.
    int report() const;

    // How start-up picks the base directory, and the folder named by
    // --base-directory (as typed).
    ldapmodel::Directories::BaseRule baseRule() const { return m_baseRule; }
    const QString& baseDirectory() const { return m_baseDirectory; }
    // The profile --connect names; empty without one.
    const QString& connectName() const { return m_connectName; }

private:
    Outcome m_outcome = Outcome::Run;
    QString m_text;
    ldapmodel::Directories::BaseRule m_baseRule = ldapmodel::Directories::BaseRule::Automatic;
    QString m_baseDirectory;
    QString m_connectName;
};

} // namespace ui
