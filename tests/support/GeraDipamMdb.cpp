// Writes a dipam.mdb as the older program keeps it, for the demo and for trying the import by hand:
// the demo accountant, the companies of a stand-in server seed with their keys, two companies the
// import refuses, and as many generated companies as asked.
//
//   gera_dipam_mdb [--seed SEED.json] [--extras N] SAIDA.mdb

#include "support/DipamMdb.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using namespace tervalia;

namespace {
QList<ContribuinteRecord> daSemente(const QString& caminho)
{
    QFile f(caminho);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(caminho));
        std::exit(1);
    }
    QList<ContribuinteRecord> empresas;
    for (const QJsonValue& v :
         QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("empresas")).toArray()) {
        const QJsonObject o = v.toObject();
        ContribuinteRecord c;
        c.ie = o.value(QStringLiteral("ie")).toString();
        c.razaoSocial = o.value(QStringLiteral("razaoSocial")).toString();
        c.cnpj = o.value(QStringLiteral("cnpj")).toString();
        c.cnae = o.value(QStringLiteral("cnae")).toString();
        c.chave = o.value(QStringLiteral("chave")).toString();
        c.optanteSimples = o.value(QStringLiteral("simples")).toBool();
        empresas.append(c);
    }
    return empresas;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString semente, saida;
    int extras = 0;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--seed") && !args.isEmpty())
            semente = args.takeFirst();
        else if (a == QLatin1String("--extras") && !args.isEmpty())
            extras = args.takeFirst().toInt();
        else
            saida = a;
    }
    if (saida.isEmpty()) {
        std::fprintf(stderr, "usage: gera_dipam_mdb [--seed SEED.json] [--extras N] SAIDA.mdb\n");
        return 1;
    }
    ContadorRecord contador;
    contador.cpfCnpj = QStringLiteral("390.533.447-05");
    contador.razaoNome = QStringLiteral("ANA BEATRIZ CONCEIÇÃO");
    contador.nomCidade = QStringLiteral("Ostare");
    contador.nomEstado = QStringLiteral("MG");
    QList<QVariantList> linhas;
    for (const ContribuinteRecord& c : semente.isEmpty() ? QList<ContribuinteRecord>() : daSemente(semente))
        linhas << test::linhaEmpresa(c);
    ContribuinteRecord semChave = test::empresaValida(900001), cnpjErrado = test::empresaValida(900002);
    semChave.razaoSocial = QStringLiteral("Empresa D'Exemplo Sem Chave");
    semChave.chave.clear();
    cnpjErrado.razaoSocial = QStringLiteral("Empresa de Exemplo com CNPJ Errado");
    cnpjErrado.cnpj = QStringLiteral("11.222.333/0001-00");
    linhas << test::linhaEmpresa(semChave) << test::linhaEmpresa(cnpjErrado);
    for (int i = 0; i < extras; ++i)
        linhas << test::linhaEmpresa(test::empresaValida(i));
    if (const QString erro = test::escreveDipamMdb(saida, contador, linhas); !erro.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(erro));
        return 1;
    }
    return 0;
}
