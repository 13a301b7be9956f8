#include "VafAccess.h"

#include "storage/access/EscritorAccess.h"
#include "storage/access/EsquemaAccess.h"

#include <QFile>
#include <QTemporaryDir>

namespace tervalia::test {

using access::Tabela;

namespace {

QVariantList linhaVazia(const Tabela& t)
{
    QVariantList l;
    for (qsizetype i = 0; i < t.colunas.size(); ++i)
        l.append(QVariant());
    return l;
}

void defineValor(const Tabela& t, QVariantList& linha, const QString& coluna, const QVariant& valor)
{
    for (qsizetype i = 0; i < t.colunas.size(); ++i) {
        if (t.colunas[i].nome == coluna)
            linha[i] = valor;
    }
}

} // namespace

QString escreveVafAccess(const QString& caminho, const QList<EmpresaVaf>& empresas)
{
    QFile ddl(QStringLiteral(TERVALIA_SOURCE_DIR "/resources/vaf_limpo_access.sql"));
    if (!ddl.open(QIODevice::ReadOnly))
        return ddl.errorString();
    QString erro;
    const auto tabelas = access::leEsquema(QString::fromUtf8(ddl.readAll()), &erro);
    if (!tabelas)
        return erro;
    access::EscritorAccess escritor(caminho, QStringLiteral("tum4821"));
    for (const Tabela& t : *tabelas) {
        escritor.iniciaTabela(t);
        for (qsizetype e = 0; e < empresas.size(); ++e) {
            if (t.nome == QLatin1String("CONTRIBUINTE")) {
                QVariantList l = linhaVazia(t);
                defineValor(t, l, QStringLiteral("CONTRIBUINTE_ID"), int(e + 1));
                defineValor(t, l, QStringLiteral("INSCESTADUAL"), empresas[e].inscricao);
                defineValor(t, l, QStringLiteral("RAZAOSOCIAL"), QStringLiteral("Empresa %1").arg(e + 1));
                escritor.escreveLinha(l);
            }
            for (const int numero : empresas[e].documentos) {
                if (t.nome != QLatin1String("DOCUMENTO"))
                    continue;
                QVariantList l = linhaVazia(t);
                defineValor(t, l, QStringLiteral("DOCUMENTO_ID"), numero);
                defineValor(t, l, QStringLiteral("CONTRIBUINTE_ID"), int(e + 1));
                defineValor(t, l, QStringLiteral("SUBSTITUICAO"), QStringLiteral("N"));
                defineValor(t, l, QStringLiteral("MESINICIAL"), 1);
                defineValor(t, l, QStringLiteral("MESFINAL"), 12);
                defineValor(t, l, QStringLiteral("PERIODO"), 2025);
                escritor.escreveLinha(l);
            }
        }
    }
    return escritor.conclui() ? QString() : escritor.erro();
}

QByteArray vafAccess(const QList<EmpresaVaf>& empresas)
{
    QTemporaryDir dir;
    const QString caminho = dir.filePath(QStringLiteral("vaf.mdb"));
    if (!escreveVafAccess(caminho, empresas).isEmpty())
        return {};
    QFile f(caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace tervalia::test
