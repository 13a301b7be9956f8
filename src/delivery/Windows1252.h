#pragma once

#include <QByteArrayView>
#include <QString>

namespace tervalia {

// Text of a file written in Windows-1252 (what Windows calls ANSI); every byte has a character.
QString decodificaWindows1252(QByteArrayView bytes);

} // namespace tervalia
