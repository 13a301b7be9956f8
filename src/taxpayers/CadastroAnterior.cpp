#include "CadastroAnterior.h"

#include "storage/LeituraAccess.h"
#include "validation/Documentos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <functional>

namespace tervalia {

namespace {

const QString tabelaContador = QStringLiteral("tblContador");
const QString tabelaEmpresas = QStringLiteral("tblContribuinte");

const QStringList colunasContador = {
    QStringLiteral("cont_cpf_cnpj"),     QStringLiteral("cont_num_crc"),     QStringLiteral("cont_razao_nome"),
    QStringLiteral("cont_nom_endereco"), QStringLiteral("cont_num_predial"), QStringLiteral("cont_dsc_complemento"),
    QStringLiteral("cont_nom_bairro"),   QStringLiteral("cont_nom_cidade"),  QStringLiteral("cont_nom_estado"),
    QStringLiteral("cont_num_telefone"), QStringLiteral("cont_num_cep"),     QStringLiteral("cont_email")};
const QStringList colunasEmpresas = {
    QStringLiteral("IE"),    QStringLiteral("RazaoSocial"), QStringLiteral("Cnpj"),          QStringLiteral("Cnae"),
    QStringLiteral("Chave"), QStringLiteral("CCM"),         QStringLiteral("OptanteSimples")};

QString texto(const QVariant& valor)
{
    if (valor.isNull() || valor.typeId() == QMetaType::Bool)
        return {};
    return valor.toString().trimmed();
}

// A yes/no column reads as bool; files where it became a number or a text are read the same way.
bool simNao(const QVariant& valor)
{
    if (valor.isNull())
        return false;
    if (valor.typeId() == QMetaType::QString) {
        const QString t = valor.toString().trimmed().toLower();
        return t == QLatin1String("-1") || t == QLatin1String("1") || t == QLatin1String("true") ||
               t == QLatin1String("sim") || t == QLatin1String("s") || t == QLatin1String("verdadeiro");
    }
    return valor.toDouble() != 0;
}

// Position of each wanted column in the table, names compared in any letter case; the missing
// ones named in `faltam`.
QList<int> posicoes(const QStringList& colunas, const QStringList& nomes, QStringList& faltam)
{
    QList<int> lista;
    for (const QString& nome : nomes) {
        int achada = -1;
        for (int i = 0; i < colunas.size() && achada < 0; ++i) {
            if (colunas[i].compare(nome, Qt::CaseInsensitive) == 0)
                achada = i;
        }
        if (achada < 0)
            faltam.append(nome);
        lista.append(achada);
    }
    return lista;
}

// "Standard Jet DB" or "Standard ACE DB" at offset 4: an Access file, readable or not.
bool pareceAccess(const QString& caminho)
{
    QFile f(caminho);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray inicio = f.read(20);
    return inicio.mid(4, 15) == "Standard Jet DB" || inicio.mid(4, 15) == "Standard ACE DB";
}

// Access keeps "<name>.ldb" (or ".laccdb") beside a database for as long as it has it open.
QString arquivoDeBloqueio(const QString& caminho)
{
    const QFileInfo info(caminho);
    for (const char* extensao : {".ldb", ".laccdb", ".LDB", ".LACCDB"}) {
        const QString bloqueio = info.dir().filePath(info.completeBaseName() + QLatin1String(extensao));
        if (QFileInfo::exists(bloqueio))
            return bloqueio;
    }
    return {};
}

QString erroAbertura(const QString& caminho)
{
    const QFileInfo info(caminho);
    if (!info.isFile() || !QFile(caminho).open(QIODevice::ReadOnly))
        return QStringLiteral("O arquivo \"%1\" não existe ou não pode ser lido.")
            .arg(QDir::toNativeSeparators(caminho));
    if (pareceAccess(caminho))
        return QStringLiteral("O arquivo \"%1\" está danificado: o Access não consegue ler o seu conteúdo.")
            .arg(info.fileName());
    return QStringLiteral("O arquivo \"%1\" não é um banco de dados do Access (.mdb).").arg(info.fileName());
}

// Reads the rows of the `indice`th table asked for, the wanted columns by name. False with `erro`
// set when the table is missing, lacks columns or cannot be read to its end.
bool leTabela(const LeituraAccess& lida, qsizetype indice, const QString& nome, const QStringList& colunas,
              QString& erro, const std::function<void(const QStringList&, const QVariantList&)>& linha)
{
    if (indice >= lida.tabelas.size()) {
        erro = lida.situacao == LeituraAccess::Situacao::TabelaIlegivel
                   ? QStringLiteral("O arquivo está danificado: a tabela %1 não pôde ser lida até o fim.").arg(nome)
                   : QStringLiteral("O arquivo não tem a tabela %1: não é o dipam.mdb do programa anterior.").arg(nome);
        return false;
    }
    const access::TabelaLida& tabela = lida.tabelas[indice];
    QStringList faltam;
    const QList<int> pos = posicoes(tabela.colunas, colunas, faltam);
    if (!faltam.isEmpty()) {
        erro = QStringLiteral("A tabela %1 do arquivo não tem %2: %3.")
                   .arg(nome, faltam.size() == 1 ? QStringLiteral("a coluna") : QStringLiteral("as colunas"),
                        faltam.join(QStringLiteral(", ")));
        return false;
    }
    QStringList textos(colunas.size());
    QVariantList valores(colunas.size());
    for (const QVariantList& v : tabela.linhas) {
        for (int i = 0; i < pos.size(); ++i) {
            valores[i] = pos[i] < v.size() ? v[pos[i]] : QVariant();
            textos[i] = texto(valores[i]);
        }
        linha(textos, valores);
    }
    return true;
}

QStringList motivosInutilizavel(const ContribuinteRecord& e)
{
    QStringList motivos;
    if (e.ie.isEmpty())
        motivos << QStringLiteral("sem IE");
    const auto digitos = std::count_if(e.cnpj.begin(), e.cnpj.end(), [](QChar c) { return c.isDigit(); });
    if (digitos != 14 || !CNPJValida(e.cnpj))
        motivos << (e.cnpj.isEmpty() ? QStringLiteral("sem CNPJ") : QStringLiteral("CNPJ inválido"));
    if (e.chave.size() != 8)
        motivos << (e.chave.isEmpty() ? QStringLiteral("sem chave") : QStringLiteral("chave sem 8 caracteres"));
    return motivos;
}

ContribuinteRecord semBrancos(ContribuinteRecord c)
{
    for (QString* t : {&c.ie, &c.razaoSocial, &c.cnpj, &c.cnae, &c.chave, &c.ccm})
        *t = t->trimmed();
    return c;
}
} // namespace

LeituraCadastroAnterior leCadastroAnterior(const QString& caminho)
{
    LeituraCadastroAnterior leitura;
    if (const QString bloqueio = arquivoDeBloqueio(caminho); !bloqueio.isEmpty()) {
        leitura.erro = QStringLiteral("O arquivo está em uso pelo programa anterior (existe \"%1\" ao lado dele). "
                                      "Feche o programa anterior e tente novamente; se nenhum programa o estiver "
                                      "usando, apague \"%1\".")
                           .arg(QFileInfo(bloqueio).fileName());
        return leitura;
    }
    const LeituraAccess lida = leTabelasAccess(caminho, {tabelaContador, tabelaEmpresas});
    if (lida.situacao == LeituraAccess::Situacao::Ilegivel) {
        leitura.erro = erroAbertura(caminho);
        return leitura;
    }
    const bool ok = leTabela(lida, 0, tabelaContador, colunasContador, leitura.erro,
                             [&](const QStringList& t, const QVariantList&) {
                                 if (!leitura.contador)
                                     leitura.contador = ContadorRecord{t[0], t[1], t[2], t[3], t[4],  t[5],
                                                                       t[6], t[7], t[8], t[9], t[10], t[11]};
                             }) &&
                    leTabela(lida, 1, tabelaEmpresas, colunasEmpresas, leitura.erro,
                             [&](const QStringList& t, const QVariantList& v) {
                                 leitura.empresas.append({t[0], t[1], t[2], t[3], t[4], t[5], simNao(v[6])});
                             });
    if (!ok) {
        leitura.contador.reset();
        leitura.empresas.clear();
    }
    return leitura;
}

QList<EmpresaAnterior> comparaEmpresas(const QList<ContribuinteRecord>& doArquivo,
                                       const QList<ContribuinteRecord>& locais)
{
    QHash<QString, ContribuinteRecord> porIe;
    for (const ContribuinteRecord& c : locais)
        porIe.insert(c.ie.trimmed(), c);
    QSet<QString> vistas;
    QList<EmpresaAnterior> lista;
    lista.reserve(doArquivo.size());
    for (const ContribuinteRecord& c : doArquivo) {
        EmpresaAnterior e;
        e.arquivo = c;
        QStringList motivos = motivosInutilizavel(c);
        if (!c.ie.isEmpty() && vistas.contains(c.ie))
            motivos << QStringLiteral("IE repetida no arquivo");
        vistas.insert(c.ie);
        if (const auto local = porIe.constFind(c.ie); local != porIe.constEnd() && !c.ie.isEmpty())
            e.local = *local;
        if (!motivos.isEmpty()) {
            e.marca = MarcaEmpresa::Inutilizavel;
            e.motivo = motivos.join(QStringLiteral("; "));
        } else if (e.local) {
            e.marca = semBrancos(*e.local) == c ? MarcaEmpresa::MesmosDados : MarcaEmpresa::OutrosDados;
        }
        lista.append(e);
    }
    return lista;
}

ResumoImportacao importaCadastroAnterior(const QList<EmpresaAnterior>& empresas, const QSet<QString>& substituir,
                                         const std::optional<ContadorRecord>& contador)
{
    ResumoImportacao resumo;
    QList<ContribuinteRecord> novas, substituidas;
    for (const EmpresaAnterior& e : empresas) {
        switch (e.marca) {
        case MarcaEmpresa::Nova:
            novas.append(e.arquivo);
            break;
        case MarcaEmpresa::OutrosDados:
            if (substituir.contains(e.arquivo.ie))
                substituidas.append(e.arquivo);
            else
                ++resumo.mantidas;
            break;
        case MarcaEmpresa::MesmosDados:
            ++resumo.mantidas;
            break;
        case MarcaEmpresa::Inutilizavel:
            ++resumo.recusadas;
        }
    }
    cadastro::gravaCadastroImportado(contador, novas, substituidas);
    resumo.importadas = int(novas.size());
    resumo.substituidas = int(substituidas.size());
    resumo.contadorGravado = contador.has_value();
    return resumo;
}

} // namespace tervalia
