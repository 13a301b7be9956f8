#include "LerArquivoGia.h"

#include "platform/ProgramDir.h"
#include "RegistroGia.h"
#include "storage/Database.h"
#include "text/Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <array>
#include <optional>

namespace tervalia {

namespace {

using gia::Registro;

// The statements of the import, each run with its values bound in the places where they stand.
enum Comando {
    ProcuraContribuinte,
    InsereContribuinte,
    InsereGia,
    InsereDetalheCfop,
    InsereDetalheInterUf,
    InsereZfmAlc,
    InsereOcorrencia,
    UltimaOcorrencia,
    InsereIeRemetente,
    InsereIeSubstituto,
    InsereIrSubstituido,
    InsereReciboCredito,
    InsereDipam,
    InsereRegistroExportacao,
    TotalDeComandos
};

const std::array<const char*, TotalDeComandos> textos{
    "select * from tblContribuinte where IE = ?",
    "insert into tblContribuinte (IE,CNPJ,CNAE) VALUES (?,?,?)",
    "insert into tblGIA (NroGIA,IE,Tipo,RegTrib,Ref1,Movimento) VALUES (?,?,?,?,?,?)",
    " insert into tblDetalhesCFOPs (NroGIA,CFOP,ValorContábil,BaseCálculo,Imposto,IsentasNãoTrib,Outras,"
    "ImpostoRetidoST,ImpRetSubstitutoST,ImpRetSubstituido,OutrosImpostos) values (?,?,?,?,?,?,?,?,?,?,?)",
    "insert into tblDetalhesInterUFs (NroGIA,CFOP,UF,ValorContábil_1,BaseCálculo_1,ValorContábil_2,BaseCálculo_2,"
    "Imposto,Outras,ICMSCobradoST,PetróleoEnergia,OutrosProdutos) values (?,?,?,?,?,?,?,?,?,?,?,?)",
    "insert into tblZFM_ALC (NroGIA,CFOP,UF,NF,Data,Valor,CNPJDest,MunicípioDest) values  (?,?,?,?,?,?,?,?)",
    " insert into tblOcorrências (NroGIA,CódSubItem,Valor,FLegal,Ocorrência,OpPróprias) values (?,?,?,?,?,?)",
    "select max(Código) as maximo from tblOcorrências",
    "insert into tblIEsRemetente (Código,IERemetente,Valor) values (?,?,?)",
    "insert into tblIESubstituto (Código,IESubstituto,DataInicio,DataFim,Valor,NF) values (?,?,?,?,?,?)",
    "insert into tblIRSubstituido (Código,IESubstituido,Valor,NF) values (?,?,?,?)",
    "insert into tblRecibosCredito (Código,CodAutorização,Valor) values (?,?,?)",
    "insert into tblDIPAM (NroGIA,CódDIPAM,Município,Valor) values (?,?,?,?)",
    " insert into tblRegistroExportação (NroGIA,RE) values (?,?)",
};

QString comAviso(const QString& texto)
{
    return texto +
           QStringLiteral("\r\nA importação foi interrompida; os registros das linhas anteriores foram gravados.");
}

QString mensagemDoRegistro(const Registro& registro, int linha)
{
    const QString inicio = QStringLiteral("Linha %1 do arquivo GIA: ").arg(linha);
    if (registro.situacao == Registro::Situacao::Curto)
        return comAviso(inicio + QStringLiteral("o registro do tipo \"%1\" tem %2 caracteres, mas deve ter pelo "
                                                "menos %3.")
                                     .arg(registro.tipo)
                                     .arg(registro.tamanho)
                                     .arg(registro.tamanhoExigido));
    return comAviso(inicio + QStringLiteral("o campo das posições %1 a %2 do registro do tipo \"%3\" deve ser um "
                                            "número, mas contém \"%4\".")
                                 .arg(registro.posicao)
                                 .arg(registro.posicao + registro.largura - 1)
                                 .arg(registro.tipo, registro.campo));
}

QString mensagemDeRecusa(const Registro& registro, int linha, const QString& erro)
{
    return comAviso(QStringLiteral("Linha %1 do arquivo GIA: o banco de dados recusou o registro do tipo \"%2\".\r\n%3")
                        .arg(linha)
                        .arg(registro.tipo, erro));
}

QString textoDoErro(const QSqlError& erro)
{
    const QString banco = erro.databaseText().trimmed();
    return banco.isEmpty() ? erro.text().trimmed() : banco;
}

// What the records before the current line left behind: the GIA number (contadorGIA), the CFOP of
// the latest "10", the UF of the latest "14" and the code of the latest occurrence.
class LeitorGia
{
public:
    explicit LeitorGia(QSqlDatabase banco) : m_banco(std::move(banco)) {}

    // Stores one record; returns the message that ends the reading when it cannot.
    std::optional<QString> grava(const Registro& registro, int linha);
    int gias() const { return m_contadorGia; }

private:
    // Runs a statement with the values the import adds first, then the record's own; returns the
    // statement for reading its rows, or nullptr with the database's reason in `erro`.
    QSqlQuery* roda(Comando comando, std::initializer_list<QVariant> antes, const QVariantList& valores, QString& erro);
    std::optional<QString> insere(Comando comando, std::initializer_list<QVariant> antes, const Registro& registro,
                                  int linha);
    std::optional<QString> gravaCabecalho(const Registro& registro, int linha);
    std::optional<QString> gravaOcorrencia(const Registro& registro, int linha);
    std::optional<QString> gravaAnexo(Comando comando, const Registro& registro, int linha);

    QSqlDatabase m_banco;
    std::array<std::optional<QSqlQuery>, TotalDeComandos> m_preparados;
    int m_contadorGia = 0;
    // Before their record's first line these are empty text, as the statements have always stored
    // them, never NULL.
    QString m_cfop = QStringLiteral("");
    QString m_uf = QStringLiteral("");
    QVariant m_ocorrencia;
};

QSqlQuery* LeitorGia::roda(Comando comando, std::initializer_list<QVariant> antes, const QVariantList& valores,
                           QString& erro)
{
    std::optional<QSqlQuery>& preparado = m_preparados[comando];
    if (!preparado) {
        QSqlQuery query(m_banco);
        query.setForwardOnly(true);
        if (!query.prepare(QString::fromUtf8(textos[comando]))) {
            erro = textoDoErro(query.lastError());
            return nullptr;
        }
        preparado.emplace(std::move(query));
    }
    QSqlQuery& query = *preparado;
    int posicao = 0;
    for (const QVariant& valor : antes)
        query.bindValue(posicao++, valor);
    for (const QVariant& valor : valores)
        query.bindValue(posicao++, valor);
    if (!query.exec()) {
        erro = textoDoErro(query.lastError());
        return nullptr;
    }
    return &query;
}

std::optional<QString> LeitorGia::insere(Comando comando, std::initializer_list<QVariant> antes,
                                         const Registro& registro, int linha)
{
    QString erro;
    if (!roda(comando, antes, registro.valores, erro))
        return mensagemDeRecusa(registro, linha, erro);
    return std::nullopt;
}

std::optional<QString> LeitorGia::gravaCabecalho(const Registro& registro, int linha)
{
    const QVariantList& v = registro.valores;
    QString erro;
    QSqlQuery* procura = roda(ProcuraContribuinte, {v[0]}, {}, erro);
    if (!procura)
        return mensagemDeRecusa(registro, linha, erro);
    const bool existe = procura->next();
    procura->finish();
    if (!existe && !roda(InsereContribuinte, {v[0], v[1], v[2]}, {}, erro))
        return mensagemDeRecusa(registro, linha, erro);
    ++m_contadorGia;
    if (!roda(InsereGia, {m_contadorGia, v[0], v[3], v[4], v[5], v[6]}, {}, erro))
        return mensagemDeRecusa(registro, linha, erro);
    return std::nullopt;
}

std::optional<QString> LeitorGia::gravaOcorrencia(const Registro& registro, int linha)
{
    if (auto falha = insere(InsereOcorrencia, {m_contadorGia}, registro, linha))
        return falha;
    QString erro;
    QSqlQuery* maximo = roda(UltimaOcorrencia, {}, {}, erro);
    if (!maximo)
        return mensagemDeRecusa(registro, linha, erro);
    m_ocorrencia = maximo->next() ? maximo->value(QStringLiteral("maximo")) : QVariant();
    maximo->finish();
    return std::nullopt;
}

std::optional<QString> LeitorGia::gravaAnexo(Comando comando, const Registro& registro, int linha)
{
    // An annex belongs to the occurrence before it; without one there is nothing to hang it on.
    if (m_ocorrencia.isNull())
        return comAviso(QStringLiteral("Linha %1 do arquivo GIA: o registro do tipo \"%2\" deve vir depois de uma "
                                       "ocorrência (registro do tipo \"20\").")
                            .arg(linha)
                            .arg(registro.tipo));
    return insere(comando, {m_ocorrencia}, registro, linha);
}

std::optional<QString> LeitorGia::grava(const Registro& registro, int linha)
{
    switch (registro.situacao) {
    case Registro::Situacao::Ignorado:
        return std::nullopt;
    case Registro::Situacao::Curto:
    case Registro::Situacao::ValorInvalido:
        return mensagemDoRegistro(registro, linha);
    case Registro::Situacao::Valido:
        break;
    }
    const QString& t = registro.tipo;
    const int n = m_contadorGia;
    if (t == u"05")
        return gravaCabecalho(registro, linha);
    if (t == u"10") {
        auto falha = insere(InsereDetalheCfop, {n}, registro, linha);
        m_cfop = registro.valores[0].toString();
        return falha;
    }
    if (t == u"14") {
        auto falha = insere(InsereDetalheInterUf, {n, m_cfop}, registro, linha);
        m_uf = registro.valores[0].toString();
        return falha;
    }
    if (t == u"18")
        return insere(InsereZfmAlc, {n, m_cfop, m_uf}, registro, linha);
    if (t == u"20")
        return gravaOcorrencia(registro, linha);
    if (t == u"25")
        return gravaAnexo(InsereIeRemetente, registro, linha);
    if (t == u"26")
        return gravaAnexo(InsereIeSubstituto, registro, linha);
    if (t == u"27")
        return gravaAnexo(InsereIrSubstituido, registro, linha);
    if (t == u"28")
        return gravaAnexo(InsereReciboCredito, registro, linha);
    if (t == u"30")
        return insere(InsereDipam, {n}, registro, linha);
    if (t == u"31")
        return insere(InsereRegistroExportacao, {n}, registro, linha);
    return std::nullopt; // "01" and "07": nothing stored
}

// Lines end with CR LF, LF or a lone CR, as Windows programs read them.
class LinhasDoArquivo
{
public:
    explicit LinhasDoArquivo(QFile& arquivo) : m_arquivo(arquivo) {}

    // The next line without its end, or nothing at the end of the file or on a read error.
    std::optional<QByteArray> proxima()
    {
        if (m_pendentes.isEmpty() && !leMais())
            return std::nullopt;
        return m_pendentes.takeFirst();
    }
    bool falhou() const { return m_arquivo.error() != QFileDevice::NoError; }

private:
    bool leMais()
    {
        if (m_arquivo.atEnd())
            return false;
        QByteArray bytes = m_arquivo.readLine();
        if (bytes.isEmpty())
            return false;
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        if (!bytes.contains('\r')) {
            m_pendentes.append(std::move(bytes));
            return true;
        }
        m_pendentes = bytes.split('\r');
        return true;
    }

    QFile& m_arquivo;
    QList<QByteArray> m_pendentes;
};

LeituraGia leDoArquivo(QFile& arquivo, LeitorGia& leitor)
{
    LeituraGia leitura;
    LinhasDoArquivo linhas(arquivo);
    while (const auto bytes = linhas.proxima()) {
        ++leitura.linhasLidas;
        const Registro registro = gia::lerRegistro(decodeWindows1252(*bytes));
        if (auto falha = leitor.grava(registro, leitura.linhasLidas)) {
            leitura.linha = leitura.linhasLidas;
            leitura.mensagem = *falha;
            return leitura;
        }
    }
    if (linhas.falhou()) {
        leitura.linha = leitura.linhasLidas + 1;
        leitura.mensagem = comAviso(QStringLiteral("Erro ao ler a linha %1 do arquivo GIA \"%2\": %3")
                                        .arg(leitura.linha)
                                        .arg(arquivo.fileName(), arquivo.errorString()));
        return leitura;
    }
    leitura.concluida = true;
    return leitura;
}

} // namespace

LeituraGia LerArquivo(const QString& arquivo, const QString& NovaGia)
{
    LeituraGia leitura;
    try {
        Connection conexao(NovaGia);
        QFile texto(arquivo);
        if (!QFileInfo(arquivo).isFile() || !texto.open(QIODevice::ReadOnly)) {
            leitura.mensagem = QStringLiteral("Não foi possível abrir o arquivo GIA \"%1\". Nenhum registro foi "
                                              "importado.")
                                   .arg(arquivo);
            return leitura;
        }
        conexao.begin();
        {
            LeitorGia leitor(conexao.database());
            leitura = leDoArquivo(texto, leitor);
            leitura.gias = leitor.gias();
        }
        conexao.commit();
    } catch (const DatabaseError& erro) {
        leitura.concluida = false;
        leitura.mensagem = QStringLiteral("Erro no banco de dados \"%1\":\r\n%2").arg(NovaGia, erro.description());
    }
    return leitura;
}

ImportacaoGia importarArquivoGia(const QString& arquivo)
{
    ImportacaoGia importacao;
    importacao.atual = programFile(QStringLiteral("atual.db"));
    const QString limpa = programFile(QStringLiteral("gia_limpa.db"));
    if (!QFileInfo(limpa).isFile()) {
        importacao.leitura.mensagem =
            QStringLiteral("O banco de dados vazio \"%1\" não foi encontrado. Reinstale o programa.").arg(limpa);
        return importacao;
    }
    // A journal left by an earlier import would be replayed into the fresh copy.
    for (const char* resto : {"", "-journal", "-wal", "-shm"})
        QFile::remove(importacao.atual + QLatin1String(resto));
    if (QFileInfo::exists(importacao.atual) || !QFile::copy(limpa, importacao.atual)) {
        importacao.leitura.mensagem =
            QStringLiteral("Não foi possível criar o banco de dados \"%1\" a partir de \"%2\".")
                .arg(importacao.atual, limpa);
        return importacao;
    }
    QFile::setPermissions(importacao.atual, QFile::ReadOwner | QFile::WriteOwner);
    importacao.atualCriado = true;
    importacao.leitura = LerArquivo(arquivo, importacao.atual);
    return importacao;
}

} // namespace tervalia
