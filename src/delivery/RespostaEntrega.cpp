#include "RespostaEntrega.h"

#include "net/Servidor.h"
#include "net/Upload.h"
#include "storage/Entregas.h"

#include <QRegularExpression>

namespace tervalia {

LeituraResposta leResposta(const QString& primeiraLinha)
{
    LeituraResposta r;
    r.primeiraLinha = primeiraLinha;
    static const QRegularExpression numero(QStringLiteral("%1\\W{0,3}(\\d+)").arg(servidor::marcaProtocolo),
                                           QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = numero.match(primeiraLinha); m.hasMatch())
        r.protocolo = m.captured(1);
    r.recusada = r.protocolo.isEmpty() || primeiraLinha.contains(servidor::marcaArquivoInvalido) ||
                 primeiraLinha.contains(servidor::historico::chaveInvalida);
    return r;
}

QString resultadoEntrega(const LeituraResposta& resposta, const QString& razaoSocial, const QString& ie,
                         const QString& detalhe)
{
    const QString empresa = QStringLiteral("%1 (IE %2)").arg(razaoSocial, ie);
    QString texto =
        resposta.recusada
            ? QStringLiteral("Entrega de %1 não aceita pelo servidor.").arg(empresa)
            : QStringLiteral("Entrega de %1 recebida pelo servidor: protocolo %2.").arg(empresa, resposta.protocolo);
    if (!detalhe.isEmpty())
        texto += u' ' + detalhe;
    const QString linha = resposta.primeiraLinha.isEmpty() ? QStringLiteral("(vazia)") : resposta.primeiraLinha;
    return texto + QStringLiteral(" Resposta do servidor: ") + linha;
}

QString registraEntrega(const QString& ie, const QString& razaoSocial, const RespostaUpload& resposta)
{
    Entrega e;
    e.dataHora = QDateTime::currentDateTime();
    e.ie = ie;
    e.razaoSocial = razaoSocial;
    e.arquivo = resposta.nomeArquivo;
    e.origem = resposta.arquivo;
    e.endereco = resposta.endereco;
    e.cabecalhos = resposta.cabecalhos;
    e.resposta = resposta.resposta;
    return gravaEntregaDeArquivo(e, resposta.arquivo, resposta.tamanhoConteudo, resposta.modificadoEm);
}

} // namespace tervalia
