#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The program's own copy of every delivery, so that an accountant can prove what was sent.
// Each delivery is one folder under the program directory's "entregas/":
//   entregas/<aaaaMMdd-hhmmss>-<IE digits>[-<n>]/
//     entrega.json    the fields of Entrega below (dates in ISO 8601 with the UTC offset)
//     requisicao.txt  the request headers exactly as sent
//     resposta.txt    the server's answer exactly as received
//     <file name>     a copy of the file content as sent
// A folder appears whole or not at all: it is written under a name starting with "." and renamed.
namespace tervalia {

struct Entrega
{
    QDateTime dataHora;
    QString ie;
    QString razaoSocial;
    QString arquivo; // the file name as sent
    QString origem;  // the path the content was read from
    qint64 tamanho = 0;
    QString sha256; // lower-case hex of the content
    QString endereco;
    QString primeiraLinhaResposta;
    QByteArray cabecalhos; // read from requisicao.txt
    QByteArray resposta;   // read from resposta.txt
    QString pasta;         // the entry's folder, set when written or listed
};

// The first non-empty line of the answer's body (after the HTTP header block when the answer
// has one; the status line when nothing follows it), read as UTF-8 or Windows-1252.
QString primeiraLinhaResposta(const QByteArray& resposta);

// Writes one entry for content sent with the request headers and answer given. dataHora,
// ie, razaoSocial, arquivo, origem and endereco come from e; size, hash and first answer line are
// computed here. Returns the empty text when written (and sets e.pasta), otherwise what failed,
// in Portuguese; a failure leaves no partial entry behind.
QString gravaEntrega(Entrega& e, const QByteArray& conteudo);
// The same with the content copied from the file at origem, without holding it in memory; size and
// hash are those of the copy. A file whose size or modification time no longer match those it had
// when it was sent has changed since: the entry is kept without copy or hash and that is reported.
QString gravaEntregaDeArquivo(Entrega& e, const QString& origem, qint64 tamanhoEnviado,
                              const QDateTime& modificadoAoEnviar);

// Every readable entry, oldest first; folders that are not whole entries are skipped.
QList<Entrega> listaEntregas();

// Folder of the entries.
QString pastaEntregas();

} // namespace tervalia
