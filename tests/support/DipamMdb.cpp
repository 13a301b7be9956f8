#include "DipamMdb.h"

#include "storage/access/EscritorAccess.h"
#include "validation/Digitos.h"

#include <span>

namespace tervalia::test {

namespace {
using namespace access;

const int pesosCnpj[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};

QString comDigitosCnpj(const QString& doze)
{
    QString numero = doze;
    for (int i = 0; i < 2; ++i)
        numero += QString::number(moduloOnze(Digitos(numero).soma(std::span(pesosCnpj).last(12 + i))));
    return QStringLiteral("%1.%2.%3/%4-%5")
        .arg(numero.mid(0, 2), numero.mid(2, 3), numero.mid(5, 3), numero.mid(8, 4), numero.mid(12, 2));
}

Tabela tabelaContador()
{
    Tabela t{QStringLiteral("tblContador"), {}};
    for (const char* nome : {"cont_cpf_cnpj", "cont_num_crc", "cont_razao_nome", "cont_nom_endereco",
                             "cont_num_predial", "cont_dsc_complemento", "cont_nom_bairro", "cont_nom_cidade",
                             "cont_nom_estado", "cont_num_telefone", "cont_num_cep", "cont_email"})
        t.colunas.append({QString::fromLatin1(nome), TipoColuna::Texto, 100});
    return t;
}

Tabela tabelaEmpresas(bool misturados)
{
    const auto nome = [misturados](const char* normal, const char* outro) {
        return QString::fromLatin1(misturados ? outro : normal);
    };
    return {QStringLiteral("tblContribuinte"),
            {{nome("IE", "ie"), TipoColuna::Texto, 20},
             {nome("RazaoSocial", "RAZAOSOCIAL"), TipoColuna::Texto, 150},
             {nome("Cnpj", "CNPJ"), TipoColuna::Texto, 20},
             {nome("Cnae", "CNAE"), TipoColuna::Texto, 12},
             {nome("Chave", "chave"), TipoColuna::Texto, 12},
             {nome("CCM", "Ccm"), TipoColuna::Texto, 50},
             {nome("OptanteSimples", "optantesimples"), TipoColuna::SimNao}}};
}
} // namespace

QVariantList linhaEmpresa(const ContribuinteRecord& c)
{
    return {
        c.ie, c.razaoSocial, c.cnpj, c.cnae, c.chave, c.ccm.isNull() ? QVariant() : QVariant(c.ccm), c.optanteSimples};
}

QString escreveDipamMdb(const QString& caminho, const std::optional<ContadorRecord>& contador,
                        const QList<QVariantList>& empresas, const LayoutDipamMdb& layout)
{
    EscritorAccess escritor(caminho, layout.senha);
    if (!escritor.iniciaTabela(tabelaContador()))
        return escritor.erro();
    if (contador) {
        const ContadorRecord& c = *contador;
        if (!escritor.escreveLinha({c.cpfCnpj, c.numCrc, c.razaoNome, c.nomEndereco, c.numPredial, c.dscComplemento,
                                    c.nomBairro, c.nomCidade, c.nomEstado, c.numTelefone, c.numCep, c.email}))
            return escritor.erro();
    }
    if (!layout.semTabelaEmpresas) {
        Tabela t = tabelaEmpresas(layout.nomesMisturados);
        QList<int> mantidas;
        for (int i = 0; i < t.colunas.size(); ++i) {
            if (!layout.semColunas.contains(t.colunas[i].nome, Qt::CaseInsensitive))
                mantidas.append(i);
        }
        Tabela escrita{t.nome, {}};
        for (int i : mantidas)
            escrita.colunas.append(t.colunas[i]);
        if (!escritor.iniciaTabela(escrita))
            return escritor.erro();
        for (const QVariantList& linha : empresas) {
            QVariantList valores;
            for (int i : mantidas)
                valores.append(linha[i]);
            if (!escritor.escreveLinha(valores))
                return escritor.erro();
        }
    }
    return escritor.conclui() ? QString() : escritor.erro();
}

ContribuinteRecord empresaValida(int n)
{
    ContribuinteRecord c;
    c.ie = QStringLiteral("70%1").arg(n, 11, 10, QLatin1Char('0'));
    c.razaoSocial = QStringLiteral("Comércio Número %1 Ltda").arg(n);
    c.cnpj = comDigitosCnpj(QStringLiteral("%1").arg(10000000 + n, 8, 10, QLatin1Char('0')) + QStringLiteral("0001"));
    c.cnae = QStringLiteral("4711-3/02");
    c.chave = QStringLiteral("K%1").arg(n, 7, 36, QLatin1Char('0')).toUpper();
    c.ccm = n % 3 ? QStringLiteral("CCM-%1").arg(n) : QString();
    c.optanteSimples = n % 2;
    return c;
}

} // namespace tervalia::test
