#pragma once

#include <QByteArrayView>
#include <QString>

namespace tervalia {

// Text of files written by Windows programs in the "ANSI" code page, Windows-1252: one byte per
// character, so character positions are byte positions. Bytes 0x80-0x9F are the code page's own
// letters and signs (€, Š, “ …); the five bytes the code page leaves undefined read as the control
// character of the same number, as Windows reads them.
QString textoDeWindows1252(QByteArrayView bytes);

} // namespace tervalia
