#include "Requisicao.h"

#include "text/Windows1252.h"

#include <QFile>

#include <chrono>
#include <cmath>
#include <new>
#include <random>

namespace tervalia {

namespace {
const QByteArray crlf = QByteArrayLiteral("\r\n");

// A header line may carry neither a line break nor another control character; inside a quoted
// value a double quote would end the value early.
QByteArray valorSeguro(const QString& text, bool entreAspas)
{
    QByteArray bytes = encodeWindows1252(text);
    for (char& b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c < 0x20 || c == 0x7F || (entreAspas && c == '"'))
            b = '_';
    }
    return bytes;
}

bool letraOuDigito(int code)
{
    return (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') || (code >= '0' && code <= '9');
}
} // namespace

QString Requisicao::textoPainel(qsizetype limiteCorpo) const
{
    QByteArray inicio = (inicioCorpo + conteudo.left(limiteCorpo)).left(limiteCorpo);
    if (inicio.size() < limiteCorpo && conteudoInteiro())
        inicio += fimCorpo.left(limiteCorpo - inicio.size());
    for (char& b : inicio) {
        const auto c = static_cast<unsigned char>(b);
        if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7F)
            b = '.';
    }
    QString texto = decodeWindows1252(cabecalhos) + decodeWindows1252(inicio);
    const qint64 corpo = tamanhoCorpo();
    if (inicio.size() < corpo)
        texto += QStringLiteral("\r\n[… corpo de %1 bytes; mostrados os primeiros %2]").arg(corpo).arg(inicio.size());
    return texto;
}

QString GeraDelimitador(int length)
{
    const auto agora = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::mt19937_64 gerador(static_cast<std::uint64_t>(agora));
    std::uniform_real_distribution<double> uniforme(0.0, 1.0);
    return GeraDelimitador(length, [&] { return uniforme(gerador); });
}

QString GeraDelimitador(int length, const std::function<double()>& sorteio)
{
    QString texto;
    texto.reserve(length);
    while (texto.size() < length) {
        const int code = static_cast<int>(std::floor(sorteio() * 127));
        if (letraOuDigito(code))
            texto.append(QChar(code));
    }
    return texto;
}

QString erroLeitura(const QString& path, const QString& motivo)
{
    return QStringLiteral("Não foi possível ler o arquivo \"%1\": %2").arg(path, motivo);
}

ConteudoArquivo CarregaArquivo(const QString& path)
{
    const auto falha = [&](const QString& motivo) { return ConteudoArquivo{{}, erroLeitura(path, motivo)}; };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return falha(file.errorString());
    const qint64 size = file.size();
    try {
        QByteArray bytes(size, Qt::Uninitialized);
        qint64 lidos = 0;
        while (lidos < size) {
            const qint64 n = file.read(bytes.data() + lidos, size - lidos);
            if (n < 0)
                return falha(file.errorString());
            if (n == 0)
                return falha(QStringLiteral("o arquivo ficou menor durante a leitura."));
            lidos += n;
        }
        return {bytes, {}};
    } catch (const std::bad_alloc&) {
        return falha(QStringLiteral("não há memória suficiente para um arquivo de %1 bytes.").arg(size));
    }
}

Requisicao MontaRequisicao(const QByteArray& conteudo, const UrlParts& url, const QString& fieldName,
                           const QString& fileName, const QString& mimeType, const QString& boundary)
{
    return MontaRequisicao(conteudo.size(), conteudo, url, fieldName, fileName, mimeType, boundary);
}

Requisicao MontaRequisicao(qint64 tamanhoConteudo, const QByteArray& inicioConteudo, const UrlParts& url,
                           const QString& fieldName, const QString& fileName, const QString& mimeType,
                           const QString& boundary)
{
    const QByteArray b = boundary.toLatin1();
    Requisicao r;
    r.tamanhoConteudo = tamanhoConteudo;
    r.inicioCorpo = "--" + b + crlf + "Content-Disposition: form-data; name=\"" + valorSeguro(fieldName, true) +
                    "\"; filename=\"" + valorSeguro(fileName, true) + "\"" + crlf +
                    "Content-Type: " + valorSeguro(mimeType, false) + crlf + crlf;
    r.conteudo = inicioConteudo;
    r.fimCorpo = crlf + "--" + b + "--";
    r.cabecalhos = "POST " + valorSeguro(url.Path, false) + "?" + valorSeguro(url.Query, false) + " HTTP/1.0" + crlf +
                   "Host: " + valorSeguro(url.Host, false) + crlf + "Content-Type: multipart/form-data, boundary=" + b +
                   crlf + "Content-Length: " + QByteArray::number(r.tamanhoCorpo()) + crlf + crlf;
    return r;
}

Requisicao MontaRequisicao(const QByteArray& conteudo, const UrlParts& url, const QString& fieldName,
                           const QString& fileName, const QString& mimeType)
{
    return MontaRequisicao(conteudo, url, fieldName, fileName, mimeType, GeraDelimitador(32));
}

std::optional<int> percentualEnvio(qint64 total, qint64 restante)
{
    if (total <= 0 || restante < 0 || restante > total)
        return std::nullopt;
    // Exact integer rounding: a floating-point quotient can land just beside a half.
    const qint64 vezes100 = (total - restante) * 100;
    qint64 q = vezes100 / total;
    const qint64 resto2 = (vezes100 % total) * 2;
    if (resto2 > total || (resto2 == total && q % 2 != 0))
        ++q;
    return static_cast<int>(q);
}

QString textoProgresso(int percentual)
{
    return QString::number(percentual) + QStringLiteral("% completo.");
}

} // namespace tervalia
