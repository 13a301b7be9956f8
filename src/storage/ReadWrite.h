#pragma once

#include <QByteArray>
#include <QString>

namespace tervalia {

// Full path of dipam.ini, set once at start-up.
QString IniPath();
void setIniPath(const QString& path);

// Reads one value of the settings file afresh, following the rules of the Windows INI reader:
// section and key names match in any case; blanks around names and values are dropped, and so are
// quotes enclosing the whole value; the first matching section and key win; lines starting with
// ";" are comments. A value is cut to 254 characters, and a value shorter than two characters
// reads as empty, like a missing file, section or key.
QString ReadFromFile(const QString& section, const QString& key);
// The same rules applied to the bytes of a settings file.
QString valorConfiguracao(const QByteArray& conteudo, const QString& section, const QString& key);

} // namespace tervalia
