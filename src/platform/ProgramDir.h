#pragma once

#include <QString>
#include <QStringList>

namespace tervalia {

// The program directory holds dipam.ini, the databases, info.dip and temp/. Tests point it at a
// directory of their own; otherwise it is the one the start of the program prepared.
QString programDir();
void setProgramDir(const QString& dir);

// Absolute path of a file that lives in the program directory.
QString programFile(const QString& name);

// Absolute path of a helper program (fbexport): the one in the program directory when there is
// one there, otherwise the one installed beside the executable.
QString toolFile(const QString& name);

// How the program directory was found at start-up.
struct PastaPrograma
{
    QString pasta;         // the program directory, when it could be prepared
    bool portatil = false; // the executable's own directory
    QStringList copiados;  // files copied from the installed template this time
    QString erro;          // in Portuguese; empty when the directory is usable
};

// Portable mode: the executable's directory, when it is writable and holds dipam.db. Installed
// mode: <dadosUsuario>/tervalia, prepared from the installed template: what is missing there is
// copied, the user's own files (dipam.db, dipam.ini, the working databases, entregas/) are never
// overwritten, and the program's own files (info.dip and the empty templates) follow the installed
// version. That folder is made private (0700) and the process's file creation mask owner-only, so
// every file the program creates afterwards is readable by the user alone; a portable directory
// keeps the modes it has.
PastaPrograma preparaPastaPrograma(const QString& pastaExecutavel, const QString& pastaModelo,
                                   const QString& dadosUsuario);
// The same with the real places: the executable's directory, the installed template
// (<executable>/../../share/tervalia) and the user's data folder (XDG_DATA_HOME respected).
PastaPrograma preparaPastaPrograma();

} // namespace tervalia
