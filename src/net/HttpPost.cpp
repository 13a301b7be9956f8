#include "HttpPost.h"

#include "net/Tls.h"
#include "platform/BlockingWait.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace tervalia::http {

namespace {
constexpr qsizetype maxChunkSizeLine = 1024;
constexpr qint64 socketBuffer = 256 * 1024;

const QString naoHttp = QStringLiteral("O servidor enviou uma resposta que não é HTTP.");

bool isDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QString megabytes(qint64 bytes)
{
    return QString::number(std::max<qint64>(1, bytes / (1024 * 1024)));
}

Failure socketFailure(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return {QNetworkReply::ConnectionRefusedError, QStringLiteral("O servidor recusou a conexão.")};
    case QAbstractSocket::HostNotFoundError:
        return {QNetworkReply::HostNotFoundError, QStringLiteral("O servidor não foi encontrado.")};
    case QAbstractSocket::SocketTimeoutError:
        return {QNetworkReply::TimeoutError, QStringLiteral("O servidor não respondeu dentro do tempo limite.")};
    default:
        return {QNetworkReply::UnknownNetworkError, QStringLiteral("Falha na comunicação com o servidor.")};
    }
}

QByteArray requestHead(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers, qsizetype bodySize)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    QByteArray head = "POST " + url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment) +
                      " HTTP/1.1\r\nHost: " + host + ':' + QByteArray::number(url.port()) + "\r\n";
    for (const auto& [name, value] : headers) {
        QByteArray clean = value;
        clean.removeIf([](char c) { return c == '\r' || c == '\n'; });
        head += name + ": " + clean + "\r\n";
    }
    return head + "Content-Length: " + QByteArray::number(bodySize) + "\r\nConnection: close\r\n\r\n";
}
} // namespace

ResponseReader::ResponseReader(qint64 maxBody) : m_maxBody(maxBody) {}

ResponseReader::State ResponseReader::state() const
{
    if (m_phase == Phase::Done)
        return State::Done;
    return m_phase == Phase::Failed ? State::Failed : State::Reading;
}

ResponseReader::State ResponseReader::feed(QByteArrayView data)
{
    m_anything = m_anything || !data.isEmpty();
    while (!data.isEmpty() && state() == State::Reading) {
        if (m_phase == Phase::Body || m_phase == Phase::BodyToClose || m_phase == Phase::ChunkData) {
            takeBody(data);
            continue;
        }
        QByteArray line;
        if (takeLine(data, line))
            onLine(line);
    }
    return state();
}

ResponseReader::State ResponseReader::connectionClosed()
{
    if (m_phase == Phase::BodyToClose)
        m_phase = Phase::Done;
    else if (state() == State::Reading)
        fail(QNetworkReply::RemoteHostClosedError,
             m_anything ? QStringLiteral("O servidor encerrou a conexão antes de completar a resposta.")
                        : QStringLiteral("O servidor encerrou a conexão antes de responder."));
    return state();
}

// Moves bytes up to the next line feed into m_line; true once a whole line (without its line
// break) is in `line`. The head and each chunk-size line are bounded.
bool ResponseReader::takeLine(QByteArrayView& data, QByteArray& line)
{
    const qsizetype end = data.indexOf('\n');
    const QByteArrayView piece = end < 0 ? data : data.first(end + 1);
    data = data.sliced(piece.size());
    const bool chunkLine = m_phase == Phase::ChunkSize || m_phase == Phase::ChunkEnd;
    const qsizetype bound = chunkLine ? maxChunkSizeLine : maxHead;
    if (!chunkLine)
        m_headBytes += piece.size();
    if ((chunkLine ? m_line.size() + piece.size() : m_headBytes) > bound) {
        fail(QNetworkReply::ProtocolFailure, naoHttp);
        return false;
    }
    m_line += piece;
    if (end < 0)
        return false;
    line = std::exchange(m_line, {});
    line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

void ResponseReader::onLine(const QByteArray& line)
{
    switch (m_phase) {
    case Phase::StatusLine:
        onStatusLine(line);
        break;
    case Phase::Headers:
        if (line.isEmpty())
            startBody();
        else
            onHeader(line);
        break;
    case Phase::ChunkSize:
        onChunkSize(line);
        break;
    case Phase::ChunkEnd:
        if (!line.isEmpty())
            fail(QNetworkReply::ProtocolFailure, naoHttp);
        else
            m_phase = Phase::ChunkSize;
        break;
    case Phase::Trailers:
        if (line.isEmpty())
            m_phase = Phase::Done;
        break;
    default:
        break;
    }
}

// "HTTP/1.x NNN reason"; blank lines before it are tolerated.
void ResponseReader::onStatusLine(const QByteArray& line)
{
    if (line.isEmpty())
        return;
    const QByteArrayView view(line);
    const bool shaped = view.size() >= 12 && view.startsWith("HTTP/1.") && isDigits(view.sliced(7, 1)) &&
                        view[8] == ' ' && isDigits(view.sliced(9, 3)) && (view.size() == 12 || view[12] == ' ');
    if (!shaped) {
        fail(QNetworkReply::ProtocolFailure, naoHttp);
        return;
    }
    m_answer.status = view.sliced(9, 3).toInt();
    m_phase = Phase::Headers;
}

void ResponseReader::onHeader(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0) {
        fail(QNetworkReply::ProtocolFailure, naoHttp);
        return;
    }
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "content-length")
        m_contentLengths.append(value);
    else if (name == "transfer-encoding")
        m_transferEncoding = (m_transferEncoding.isEmpty() ? value : m_transferEncoding + ',' + value).toLower();
    else if (name == "content-type")
        m_answer.contentType = value;
}

void ResponseReader::startBody()
{
    const int status = m_answer.status;
    if (status >= 100 && status < 200 && status != 101) {
        // An interim answer ("100 Continue"): the real one follows.
        m_contentLengths.clear();
        m_transferEncoding.clear();
        m_answer = {};
        m_phase = Phase::StatusLine;
        return;
    }
    if (status == 101) {
        fail(QNetworkReply::ProtocolFailure, naoHttp);
        return;
    }
    if (status == 204 || status == 304) {
        m_phase = Phase::Done;
        return;
    }
    if (!m_transferEncoding.isEmpty()) {
        const QByteArray last = m_transferEncoding.split(',').last().trimmed();
        m_phase = last == "chunked" ? Phase::ChunkSize : Phase::BodyToClose;
        return;
    }
    if (m_contentLengths.isEmpty()) {
        m_phase = Phase::BodyToClose;
        return;
    }
    const QByteArray length = m_contentLengths.first();
    const bool allSame = std::all_of(m_contentLengths.cbegin(), m_contentLengths.cend(),
                                     [&length](const QByteArray& other) { return other == length; });
    bool ok = false;
    const qint64 size = length.toLongLong(&ok);
    if (!allSame || !isDigits(length) || !ok) {
        fail(QNetworkReply::ProtocolFailure, naoHttp);
        return;
    }
    if (size > m_maxBody) {
        tooLarge();
        return;
    }
    m_remaining = size;
    m_answer.body.reserve(size);
    m_phase = size == 0 ? Phase::Done : Phase::Body;
}

void ResponseReader::onChunkSize(const QByteArray& line)
{
    const qsizetype extension = line.indexOf(';');
    const QByteArray digits = (extension < 0 ? line : line.left(extension)).trimmed();
    bool ok = false;
    const qint64 size = digits.toLongLong(&ok, 16);
    if (!ok || size < 0 || digits.startsWith('+') || digits.startsWith('-') || digits.size() > 16) {
        fail(QNetworkReply::ProtocolFailure, naoHttp);
        return;
    }
    if (size > m_maxBody - m_answer.body.size()) {
        tooLarge();
        return;
    }
    m_remaining = size;
    m_headBytes = 0; // the trailers get a bound of their own
    m_phase = size == 0 ? Phase::Trailers : Phase::ChunkData;
}

void ResponseReader::takeBody(QByteArrayView& data)
{
    const qsizetype take =
        m_phase == Phase::BodyToClose ? data.size() : qsizetype(std::min<qint64>(m_remaining, data.size()));
    if (!appendBody(data.first(take)))
        return;
    data = data.sliced(take);
    if (m_phase == Phase::BodyToClose)
        return;
    m_remaining -= take;
    if (m_remaining == 0)
        m_phase = m_phase == Phase::Body ? Phase::Done : Phase::ChunkEnd;
}

bool ResponseReader::appendBody(QByteArrayView piece)
{
    if (piece.size() > m_maxBody - m_answer.body.size()) {
        tooLarge();
        return false;
    }
    m_answer.body.append(piece);
    return true;
}

void ResponseReader::fail(QNetworkReply::NetworkError code, const QString& description)
{
    m_failure = {code, description};
    m_phase = Phase::Failed;
    m_answer.body.clear();
    m_answer.body.squeeze();
}

void ResponseReader::tooLarge()
{
    fail(QNetworkReply::UnknownContentError,
         QStringLiteral("A resposta do servidor passa de %1 MB e não foi lida.").arg(megabytes(m_maxBody)));
}

AsyncPost::AsyncPost(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
                     const Limits& limits, QObject* parent)
    : QObject(parent), m_request(requestHead(url, headers, body.size()) + body), m_host(url.host()),
      m_port(quint16(url.port())), m_tls(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0),
      m_limits(limits), m_reader(limits.maxBody)
{
    m_silence.setSingleShot(true);
    m_deadline.setSingleShot(true);
    m_socket.setReadBufferSize(socketBuffer);
    connectSignals();
}

AsyncPost::~AsyncPost()
{
    abort();
}

void AsyncPost::connectSignals()
{
    connect(&m_silence, &QTimer::timeout, this, [this] {
        finish(
            Failure{QNetworkReply::TimeoutError, QStringLiteral("O servidor não respondeu dentro do tempo limite.")});
    });
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finish(Failure{QNetworkReply::TimeoutError,
                       QStringLiteral("O servidor não completou a resposta dentro do tempo limite.")});
    });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_tcpConnected = true;
        m_silence.start();
        if (!m_tls)
            sendRequest();
    });
    connect(&m_socket, &QSslSocket::encrypted, this, &AsyncPost::sendRequest);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, [this] { m_silence.start(); });
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        m_silence.start();
        judge(m_reader.feed(m_socket.readAll()));
    });
    // A close by the server comes as an error and as a disconnection; either ends the answer.
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { closed(); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (handshakeFailed())
            finish(Failure{QNetworkReply::SslHandshakeFailedError, tls::descricaoFalha(m_socket, m_host)});
        else if (error == QAbstractSocket::RemoteHostClosedError)
            closed();
        else
            finish(socketFailure(error));
    });
}

void AsyncPost::start()
{
    if (m_started)
        return;
    m_started = true;
    m_silence.start(m_limits.silenceMs);
    m_deadline.start(m_limits.deadlineMs);
    if (m_tls)
        tls::conectaSeguro(m_socket, m_host, m_port, m_tlsConfiguration);
    else
        m_socket.connectToHost(m_host, m_port);
}

void AsyncPost::sendRequest()
{
    m_silence.start();
    m_socket.write(m_request);
}

void AsyncPost::abort()
{
    m_silence.stop();
    m_deadline.stop();
    m_socket.disconnect(this);
    m_socket.abort();
}

// The signal always comes from the event loop, never from inside start() or a caller's own call.
void AsyncPost::finish(std::optional<Failure> failure)
{
    if (m_finished)
        return;
    m_finished = true;
    abort();
    m_result.failure = std::move(failure);
    if (!m_result.failure)
        m_result.answer = m_reader.takeAnswer();
    QMetaObject::invokeMethod(this, &AsyncPost::finished, Qt::QueuedConnection);
}

void AsyncPost::judge(ResponseReader::State state)
{
    if (state == ResponseReader::State::Done)
        finish(std::nullopt);
    else if (state == ResponseReader::State::Failed)
        finish(m_reader.failure());
}

void AsyncPost::closed()
{
    if (handshakeFailed()) {
        finish(Failure{QNetworkReply::SslHandshakeFailedError, tls::descricaoFalha(m_socket, m_host)});
        return;
    }
    m_reader.feed(m_socket.readAll());
    judge(m_reader.state() == ResponseReader::State::Reading ? m_reader.connectionClosed() : m_reader.state());
}

Result post(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
            const Limits& limits, const QSslConfiguration& tls)
{
    AsyncPost exchange(url, headers, body, limits);
    exchange.setTls(tls);
    QEventLoop loop;
    QObject::connect(&exchange, &AsyncPost::finished, &loop, &QEventLoop::quit);
    exchange.start();
    if (!exchange.isFinished()) {
        const BlockingWait wait;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // The loop also ends when the program quits under it.
    if (!exchange.isFinished())
        return {Failure{QNetworkReply::OperationCanceledError,
                        QStringLiteral("A chamada ao servidor foi interrompida pelo fim do programa.")},
                {}};
    return exchange.takeResult();
}

} // namespace tervalia::http
