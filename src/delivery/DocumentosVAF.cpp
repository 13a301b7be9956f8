#include "DocumentosVAF.h"

#include "storage/Database.h"

#include <QVariant>

namespace tervalia {

QString tipoDocumento(const QString& substituicao, const QString& anterior)
{
    if (substituicao == QLatin1String("0") || substituicao == QLatin1String("N"))
        return QStringLiteral("Normal");
    if (substituicao == QLatin1String("1") || substituicao == QLatin1String("S"))
        return QStringLiteral("Substitutiva");
    return anterior;
}

QList<DocumentoVAF> ListaDocumentosVAF(const QString& ie)
{
    Connection vaf(QStringLiteral("vaf.db"));
    QSqlQuery query = vaf.exec(
        QStringLiteral("select SUBSTITUICAO, DOCUMENTO_ID as NroGIA, MESINICIAL, MESFINAL, PERIODO from CONTRIBUINTE "
                       "inner join DOCUMENTO on DOCUMENTO.CONTRIBUINTE_ID = CONTRIBUINTE.CONTRIBUINTE_ID WHERE "
                       "INSCESTADUAL = ? order by PERIODO, MESINICIAL, MESFINAL"),
        {ie});
    QList<DocumentoVAF> documentos;
    QString tipo;
    while (query.next()) {
        tipo = tipoDocumento(query.value(0).toString(), tipo);
        documentos.append({query.value(1).toString(),
                           query.value(2).toString() + QStringLiteral(" a ") + query.value(3).toString() +
                               QStringLiteral(" / ") + query.value(4).toString(),
                           tipo});
    }
    return documentos;
}

QList<ContribuinteVAF> ContribuintesVAF()
{
    Connection vaf(QStringLiteral("vaf.db"));
    QSqlQuery query =
        vaf.exec(QStringLiteral("select INSCESTADUAL, RAZAOSOCIAL from CONTRIBUINTE order by CONTRIBUINTE_ID"));
    QList<ContribuinteVAF> contribuintes;
    while (query.next())
        contribuintes.append({query.value(0).toString(), query.value(1).toString()});
    return contribuintes;
}

} // namespace tervalia
