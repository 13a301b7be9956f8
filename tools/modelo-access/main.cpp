// tervalia-modelo-access: writes an empty Access database from table layouts in Access SQL.
//
//     tervalia-modelo-access LAYOUT.sql OUT.mdb [PASSWORD]
//
// The build writes vaf_limpo.mdb with it: the VAF tables that every conversion fills. The creation
// date is fixed, so the same layout always gives the same bytes.

#include "storage/access/EscritorAccess.h"
#include "storage/access/EsquemaAccess.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

using namespace tervalia::access;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 3 || args.size() > 4) {
        err << "uso: tervalia-modelo-access LAYOUT.sql OUT.mdb [SENHA]" << Qt::endl;
        return 2;
    }
    QFile ddl(args[1]);
    if (!ddl.open(QIODevice::ReadOnly)) {
        err << args[1] << ": " << ddl.errorString() << Qt::endl;
        return 1;
    }
    QString erro;
    const auto tabelas = leEsquema(QString::fromUtf8(ddl.readAll()), &erro);
    if (!tabelas) {
        err << args[1] << ": " << erro << Qt::endl;
        return 1;
    }
    const QDateTime criacao(QDate(2024, 1, 2), QTime(8, 0), Qt::UTC);
    EscritorAccess escritor(args[2], args.value(3), criacao);
    for (const Tabela& t : *tabelas) {
        if (!escritor.iniciaTabela(t))
            break;
    }
    if (!escritor.conclui()) {
        err << args[2] << ": " << escritor.erro() << Qt::endl;
        return 1;
    }
    return 0;
}
