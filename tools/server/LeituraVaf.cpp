#include "LeituraVaf.h"

#include "net/Servidor.h"
#include "storage/access/LeitorAccess.h"

#include <QDir>
#include <QSet>
#include <QTemporaryFile>

namespace tervalia::standin {

namespace {

using access::LeitorAccess;

QString digitos(const QString& texto)
{
    QString d;
    for (const QChar c : texto) {
        if (c.isDigit())
            d += c;
    }
    return d;
}

// The values of two columns of every row of a table, as text.
QList<QPair<QString, QString>> pares(const LeitorAccess& leitor, const QString& tabela, const QString& a,
                                     const QString& b, bool* ok)
{
    QList<QPair<QString, QString>> lista;
    const auto layout = leitor.tabela(tabela);
    qsizetype ia = -1, ib = -1;
    for (qsizetype i = 0; layout && i < layout->colunas.size(); ++i) {
        if (layout->colunas[i].nome.compare(a, Qt::CaseInsensitive) == 0)
            ia = i;
        if (layout->colunas[i].nome.compare(b, Qt::CaseInsensitive) == 0)
            ib = i;
    }
    *ok = ia >= 0 && ib >= 0 && leitor.leLinhas(tabela, [&](const QVariantList& linha) {
        lista.append({linha.value(ia).toString().trimmed(), linha.value(ib).toString().trimmed()});
        return true;
    });
    return lista;
}

} // namespace

QList<MensagemEntrega> verificaBancoVaf(const QByteArray& arquivo, const QString& ie, const QString& gias)
{
    QTemporaryFile copia(QDir::temp().filePath(QStringLiteral("tervalia-server-vaf-XXXXXX.mdb")));
    LeitorAccess leitor;
    if (!copia.open() || copia.write(arquivo) != arquivo.size() || !copia.flush() || !leitor.abre(copia.fileName()))
        return {{QString(), QStringLiteral("O arquivo enviado não é um banco de dados do VAF-MG.")}};

    QList<MensagemEntrega> mensagens;
    QStringList faltam;
    for (QLatin1StringView t : servidor::tabelasVaf) {
        if (!leitor.tabela(t))
            faltam.append(t);
    }
    if (!faltam.isEmpty())
        return {{QString(), QStringLiteral("O banco de dados enviado não tem as tabelas do VAF-MG: %1.")
                                .arg(faltam.join(QStringLiteral(", ")))}};

    bool ok = false;
    QSet<QString> contribuintes;
    for (const auto& [id, inscricao] : pares(leitor, QStringLiteral("CONTRIBUINTE"), QStringLiteral("CONTRIBUINTE_ID"),
                                             QStringLiteral("INSCESTADUAL"), &ok)) {
        if (digitos(inscricao) == digitos(ie) && !id.isEmpty())
            contribuintes.insert(id);
    }
    QSet<QString> documentos;
    if (ok) {
        for (const auto& [documento, contribuinte] :
             pares(leitor, QStringLiteral("DOCUMENTO"), QStringLiteral("DOCUMENTO_ID"),
                   QStringLiteral("CONTRIBUINTE_ID"), &ok)) {
            if (contribuintes.contains(contribuinte))
                documentos.insert(documento);
        }
    }
    if (!ok)
        return {{QString(), QStringLiteral("As tabelas CONTRIBUINTE e DOCUMENTO do banco de dados enviado não "
                                           "puderam ser lidas.")}};
    if (contribuintes.isEmpty())
        return {{QString(), QStringLiteral("O banco de dados enviado não contém a inscrição estadual %1.").arg(ie)}};
    for (const QString& gia : gias.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!documentos.contains(gia.trimmed()))
            mensagens.append({QString(), QStringLiteral("A GIA %1 não consta do banco de dados enviado para a "
                                                        "inscrição estadual %2.")
                                             .arg(gia.trimmed(), ie)});
    }
    return mensagens;
}

} // namespace tervalia::standin
