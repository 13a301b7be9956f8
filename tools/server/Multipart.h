#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tervalia::standin {

// One part of a multipart/form-data body.
struct FormPart
{
    QByteArray name;     // the "name" of its Content-Disposition
    QByteArray fileName; // the "filename", as sent
    bool hasFileName = false;
    QByteArray contentType;
    QByteArray content;
};

struct MultipartResult
{
    QList<FormPart> parts;
    QString error; // empty when the body was read whole

    bool ok() const { return error.isEmpty(); }
};

// The boundary named by a Content-Type header. The upload client writes
// "multipart/form-data, boundary=B" (a comma where browsers put a semicolon); both are read, and a
// quoted boundary as well. Empty when the header is not multipart/form-data or names no boundary.
QByteArray boundaryFromContentType(QByteArrayView contentType);

// Splits a multipart/form-data body. The closing delimiter "--B--" may end the body with or without
// a line break after it. A body without its closing delimiter is refused: it was cut short.
MultipartResult parseMultipart(QByteArrayView body, QByteArrayView boundary);

// Parameters of a header value such as `form-data; name="a"; filename="b;c"`, with quotes removed.
QList<QPair<QByteArray, QByteArray>> headerParameters(QByteArrayView value);

} // namespace tervalia::standin
