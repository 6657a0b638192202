// Where the program keeps its files, and where it finds the files it ships.
//
// The data folder holds the table files (`datat`, `datsum`, `citycodes`,
// `lang`) and `sumlocal.bin`. A folder the program is started in that
// already holds them (or the link library a user copied there) stays the
// data folder, as it always was; otherwise, e.g. when started from the
// desktop menu, the files live in `$XDG_DATA_HOME/nimbrel`
// (`~/.local/share/nimbrel` when the variable is unset), created on first
// start. An explicit folder (`--data-dir`) wins over both.
//
// Installed, the shipped tables live in `<prefix>/share/nimbrel` and the
// HID link library in `<prefix>/lib/nimbrel`; in the build tree both
// sit beside (or below) the executable.
#pragma once

#include <QString>
#include <QStringList>

namespace nimbrel {

// Whether the folder already holds the program's files: `datat`, `datsum` or
// the link library.
bool holdsProgramFiles(const QString &folder);

// `$XDG_DATA_HOME/nimbrel`, or `$HOME/.local/share/nimbrel` when the variable
// is unset, empty or not an absolute path.
QString userDataFolder();

// The data folder for this start: `chosen` when not empty, else
// `startFolder` when it holds the program's files, else userDataFolder().
// Absolute; not created here.
QString chooseDataFolder(const QString &chosen, const QString &startFolder);

// Creates the folder (with its parents) when missing. False, with the reason
// in `why`, when it cannot be created or is not a folder.
bool prepareDataFolder(const QString &folder, QString *why);

// The history the command-line tools read by default: `datat` in the current
// folder when it exists, else the one in userDataFolder().
QString defaultHistoryFile();

// A file the program ships: beside the executable in a build tree, else in
// the installed data folder `<prefix>/share/nimbrel`. Empty when neither exists.
QString shippedFile(const QString &executableFolder, const QString &name);

// The installed private library folder `<prefix>/lib/nimbrel`, which
// holds the HID link library.
QString privateLibraryFolder(const QString &executableFolder);

// Where the link library is looked for, in order: the data folder, the folder
// started in, the executable's folder, the private library folder (the
// system's library path comes last, in LinkLibrary). No folder twice.
QStringList linkLibraryFolders(const QString &dataFolder, const QString &startFolder,
                               const QString &executableFolder);

}  // namespace nimbrel
