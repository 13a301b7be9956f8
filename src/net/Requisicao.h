#pragma once

#include "net/UrlHelper.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The delivery request: an HTTP/1.0 POST with a multipart/form-data body carrying one file,
// written by hand. Every character is one byte: the literals are ASCII, names and query values go
// out in Windows-1252, the file content byte for byte.
namespace tervalia {

// One request, kept in the pieces it is sent in: the headers, the body's opening (boundary line,
// part headers, empty line), the content, the closing boundary line. The content is either held
// whole, or streamed from its file by the sender, and then only its first bytes are held here.
struct Requisicao
{
    QByteArray cabecalhos;
    QByteArray inicioCorpo;
    QByteArray conteudo; // the whole content, or its first bytes when it is streamed
    qint64 tamanhoConteudo = 0;
    QByteArray fimCorpo;

    bool conteudoInteiro() const { return conteudo.size() == tamanhoConteudo; }
    qint64 tamanhoCorpo() const { return inicioCorpo.size() + tamanhoConteudo + fimCorpo.size(); }
    qint64 tamanho() const { return cabecalhos.size() + tamanhoCorpo(); }
    // The whole request in one byte string, when the content is held whole (a copy: for tests).
    QByteArray bytes() const { return cabecalhos + inicioCorpo + conteudo + fimCorpo; }
    // What the technical panel shows: the headers and at most limiteCorpo bytes of the body read as
    // Windows-1252 (control characters shown as "."), then a line with the body's total size.
    QString textoPainel(qsizetype limiteCorpo = 2048) const;
};

// length letters and digits: codes floor(u × 127) with u uniform in [0, 1), keeping only A-Z,
// a-z and 0-9 (a discarded code does not count). The generator is reseeded from the clock.
QString GeraDelimitador(int length);
// The same drawing from the given source of numbers in [0, 1).
QString GeraDelimitador(int length, const std::function<double()>& sorteio);

// The whole file, or the reason it could not be read (in Portuguese, with the system's own
// description), never both.
struct ConteudoArquivo
{
    QByteArray bytes;
    QString erro;
    bool ok() const { return erro.isEmpty(); }
};
ConteudoArquivo CarregaArquivo(const QString& path);
// "Não foi possível ler o arquivo "path": " + the reason.
QString erroLeitura(const QString& path, const QString& motivo);

// The request for the file content, posted to url's path and query with the form field, file name
// and MIME type given. A double quote or a control character in a name, and a control character
// in a header value, would break the request's structure: each goes out as "_".
Requisicao MontaRequisicao(const QByteArray& conteudo, const UrlParts& url, const QString& fieldName,
                           const QString& fileName, const QString& mimeType, const QString& boundary);
// The request for a content of tamanhoConteudo bytes that the sender streams from its file, of which
// inicioConteudo holds the first bytes (for the technical panel).
Requisicao MontaRequisicao(qint64 tamanhoConteudo, const QByteArray& inicioConteudo, const UrlParts& url,
                           const QString& fieldName, const QString& fileName, const QString& mimeType,
                           const QString& boundary);
// The same with a fresh boundary of 32 characters.
Requisicao MontaRequisicao(const QByteArray& conteudo, const UrlParts& url, const QString& fieldName,
                           const QString& fileName, const QString& mimeType);

// Percent sent, (total − restante) ÷ total × 100 rounded to the nearest whole number, halves to the
// even one; nothing when total is not positive or the result falls outside 0 to 100.
std::optional<int> percentualEnvio(qint64 total, qint64 restante);
// "45% completo."
QString textoProgresso(int percentual);

} // namespace tervalia
