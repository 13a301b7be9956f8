#include "server/Multipart.h"

namespace tervalia::standin {

namespace {

// The bytes from `pos` on; empty past the end.
QByteArrayView tail(QByteArrayView v, qsizetype pos)
{
    return pos >= v.size() ? QByteArrayView() : v.sliced(pos);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Splits at `separator` outside double quotes.
QList<QByteArray> splitOutsideQuotes(QByteArrayView text, char separator)
{
    QList<QByteArray> pieces;
    QByteArray current;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted) {
            pieces.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    pieces.append(current);
    return pieces;
}

QByteArray unquote(QByteArray value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        return value.mid(1, value.size() - 2);
    return value;
}

// Position just after a delimiter line's own line break (blanks before it are allowed), or -1
// when the delimiter at `pos` is not followed by one.
qsizetype afterLineBreak(QByteArrayView body, qsizetype pos)
{
    while (pos < body.size() && isBlank(body[pos]))
        ++pos;
    if (tail(body, pos).startsWith("\r\n"))
        return pos + 2;
    if (tail(body, pos).startsWith("\n"))
        return pos + 1;
    return -1;
}

struct Delimiter
{
    qsizetype start = -1; // where the line break before "--B" begins
    qsizetype next = -1;  // first byte after the delimiter line
    bool closing = false;
};

// The next real delimiter from `from` on: CRLF "--B" followed by "--" or by a line break.
// "--B" followed by anything else is part of the content.
Delimiter findDelimiter(QByteArrayView body, QByteArrayView dash, qsizetype from)
{
    for (qsizetype at = body.indexOf(dash, from); at >= 0; at = body.indexOf(dash, at + 1)) {
        const qsizetype after = at + dash.size();
        const bool crlf = at >= 2 && body.sliced(at - 2, 2) == "\r\n";
        const bool lf = !crlf && at >= 1 && body[at - 1] == '\n';
        if ((!crlf && !lf) || at - (crlf ? 2 : 1) < from)
            continue;
        const qsizetype start = at - (crlf ? 2 : 1);
        if (tail(body, after).startsWith("--"))
            return {start, after + 2, true};
        const qsizetype next = afterLineBreak(body, after);
        if (next >= 0)
            return {start, next, false};
    }
    return {};
}

void readPartHeader(const QByteArray& line, FormPart& part)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return;
    const QByteArray name = line.left(colon).trimmed();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name.compare("Content-Type", Qt::CaseInsensitive) == 0) {
        part.contentType = value;
    } else if (name.compare("Content-Disposition", Qt::CaseInsensitive) == 0) {
        for (const auto& [key, v] : headerParameters(value)) {
            if (key.compare("name", Qt::CaseInsensitive) == 0) {
                part.name = v;
            } else if (key.compare("filename", Qt::CaseInsensitive) == 0) {
                part.fileName = v;
                part.hasFileName = true;
            }
        }
    }
}

// Reads the part's header lines from `pos`; returns the first content byte, or -1 when the blank
// line that ends them is missing.
qsizetype readPartHeaders(QByteArrayView body, qsizetype pos, FormPart& part)
{
    for (;;) {
        const qsizetype end = body.indexOf('\n', pos);
        if (end < 0)
            return -1;
        QByteArray line = body.sliced(pos, end - pos).toByteArray();
        if (line.endsWith('\r'))
            line.chop(1);
        pos = end + 1;
        if (line.isEmpty())
            return pos;
        readPartHeader(line, part);
    }
}

} // namespace

QList<QPair<QByteArray, QByteArray>> headerParameters(QByteArrayView value)
{
    QList<QPair<QByteArray, QByteArray>> params;
    const QList<QByteArray> pieces = splitOutsideQuotes(value, ';');
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const qsizetype eq = pieces[i].indexOf('=');
        if (eq > 0)
            params.append({pieces[i].left(eq).trimmed(), unquote(pieces[i].mid(eq + 1))});
    }
    return params;
}

QByteArray boundaryFromContentType(QByteArrayView contentType)
{
    const QByteArray type = contentType.toByteArray().trimmed();
    qsizetype sep = 0;
    while (sep < type.size() && type[sep] != ';' && type[sep] != ',')
        ++sep;
    if (sep == type.size())
        sep = -1;
    if (sep < 0 || type.left(sep).trimmed().compare("multipart/form-data", Qt::CaseInsensitive) != 0)
        return {};
    // Commas and semicolons both separate parameters here.
    const QByteArray params = type.mid(sep).replace(',', ';');
    for (const auto& [key, v] : headerParameters(params)) {
        if (key.compare("boundary", Qt::CaseInsensitive) == 0 && !v.isEmpty() && v.size() <= 200)
            return v;
    }
    return {};
}

MultipartResult parseMultipart(QByteArrayView body, QByteArrayView boundary)
{
    MultipartResult result;
    if (boundary.isEmpty()) {
        result.error = QStringLiteral("multipart sem boundary");
        return result;
    }
    const QByteArray dash = "--" + boundary.toByteArray();
    // The first delimiter opens the body, or follows a preamble that ends in a line break.
    Delimiter d;
    if (body.startsWith(dash)) {
        const qsizetype after = dash.size();
        d = tail(body, after).startsWith("--") ? Delimiter{0, after + 2, true}
                                               : Delimiter{0, afterLineBreak(body, after), false};
    } else {
        d = findDelimiter(body, dash, 0);
    }
    if (d.start < 0 || (!d.closing && d.next < 0)) {
        result.error = QStringLiteral("multipart sem o delimitador inicial");
        return result;
    }
    while (!d.closing) {
        FormPart part;
        const qsizetype content = readPartHeaders(body, d.next, part);
        if (content < 0) {
            result.error = QStringLiteral("multipart cortado nos cabeçalhos de uma parte");
            return result;
        }
        d = findDelimiter(body, dash, content);
        if (d.start < 0) {
            result.error = QStringLiteral("multipart cortado: falta o delimitador final");
            return result;
        }
        part.content = body.sliced(content, d.start - content).toByteArray();
        result.parts.append(part);
    }
    return result;
}

} // namespace tervalia::standin
