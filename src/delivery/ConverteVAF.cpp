#include "ConverteVAF.h"

#include "FbExportStatus.h"
#include "GravaVafAccess.h"
#include "net/Servidor.h"
#include "platform/ProgramDir.h"
#include "storage/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <memory>
#include <stdexcept>

namespace tervalia {

namespace {
constexpr int maxRecusadosGuardados = 100;

// A failure that ends the conversion with a message for the user.
struct FalhaConversao : std::runtime_error
{
    FalhaConversao(QString text, int status = 0)
        : std::runtime_error(text.toStdString()), mensagem(std::move(text)), codigo(status)
    {
    }
    QString mensagem;
    int codigo;
};

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

void copiaArquivo(const QString& origem, const QString& destino, const QString& falha)
{
    QFile::remove(destino);
    QFile source(origem);
    if (!source.copy(destino))
        throw FalhaConversao(falha + QStringLiteral("\n") + source.errorString());
    // The copy must be writable: the engine writes to every file it opens, and the next run replaces it.
    QFile::setPermissions(destino, QFile::ReadOwner | QFile::WriteOwner);
}

// One run of the export tool for one table.
class Exportacao
{
public:
    Exportacao(const QString& tabela, const QString& banco, const QString& saida) : m_tabela(tabela), m_saida(saida)
    {
        QFile::remove(saida);
        m_process.setProgram(toolFile(QStringLiteral("fbexport")));
        m_process.setArguments({QStringLiteral("-D"), banco, QStringLiteral("-U"), QStringLiteral("SYSDBA"),
                                QStringLiteral("-P"), QStringLiteral("pelicanos"), QStringLiteral("-Si"),
                                QStringLiteral("-V"), tabela, QStringLiteral("-F"), saida});
        m_process.setWorkingDirectory(programDir());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start();
    }
    ~Exportacao()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // True once the tool has ended; never blocks longer than espera milliseconds.
    bool terminou(int espera = 0)
    {
        if (m_process.state() != QProcess::NotRunning)
            m_process.waitForFinished(espera);
        return m_process.state() == QProcess::NotRunning;
    }

    // After the end: throws when the export failed.
    void verifica()
    {
        if (m_process.error() == QProcess::FailedToStart)
            throw FalhaConversao(QStringLiteral("Não foi possível iniciar o programa de exportação %1.\n%2")
                                     .arg(nativePath(m_process.program()), m_process.errorString()));
        const QString mensagem = QString::fromUtf8(m_process.readAllStandardError()).trimmed();
        if (m_process.exitStatus() == QProcess::CrashExit)
            throw FalhaConversao(
                QStringLiteral("O programa de exportação terminou de forma anormal ao exportar a tabela %1.")
                    .arg(m_tabela));
        const int codigo = m_process.exitCode();
        if (codigo == fbexport::FormatoAntigo)
            throw FalhaConversao(mensagem.isEmpty() ? QStringLiteral("O arquivo foi gravado por uma versão antiga do "
                                                                     "Firebird. Abra-o uma vez no programa VAF-MG "
                                                                     "atualizado e selecione-o novamente.")
                                                    : mensagem,
                                 codigo);
        if (codigo != fbexport::Ok)
            throw FalhaConversao(QStringLiteral("Não foi possível exportar a tabela %1 (o programa de exportação "
                                                "terminou com o código %2).\n%3")
                                     .arg(m_tabela)
                                     .arg(codigo)
                                     .arg(mensagem),
                                 codigo);
        if (!QFileInfo(m_saida).isFile())
            throw FalhaConversao(
                QStringLiteral("O programa de exportação não gerou o arquivo %1.").arg(nativePath(m_saida)));
    }

private:
    QString m_tabela;
    QString m_saida;
    QProcess m_process;
};

// The exports run one after the other, each started as soon as the one before ends (the engine
// holds the file exclusively), while the conversion loads the files already written.
class Cadeia
{
public:
    using Arquivo = std::function<QString(const QString&)>;
    Cadeia(const QStringList& tabelas, const QString& banco, Arquivo arquivo)
        : m_tabelas(tabelas), m_banco(banco), m_arquivo(std::move(arquivo))
    {
        inicia();
    }

    // Notices an export that ended and starts the next one; never waits.
    void avanca()
    {
        if (!m_atual || !m_atual->terminou())
            return;
        try {
            m_atual->verifica();
            ++m_concluidas;
            inicia();
        } catch (const FalhaConversao& f) {
            m_falha = std::make_unique<FalhaConversao>(f);
            m_atual.reset();
        }
    }

    // Waits until the export of table i has ended, calling pulso meanwhile; throws when it failed.
    void aguarda(qsizetype i, const std::function<void()>& pulso)
    {
        while (m_concluidas <= i && !m_falha) {
            if (m_atual)
                m_atual->terminou(50);
            avanca();
            pulso();
        }
        if (m_concluidas <= i)
            throw *m_falha;
    }

private:
    void inicia()
    {
        m_atual = m_concluidas < m_tabelas.size() ? std::make_unique<Exportacao>(m_tabelas[m_concluidas], m_banco,
                                                                                 m_arquivo(m_tabelas[m_concluidas]))
                                                  : nullptr;
    }

    const QStringList& m_tabelas;
    QString m_banco;
    Arquivo m_arquivo;
    std::unique_ptr<Exportacao> m_atual;
    qsizetype m_concluidas = 0;
    std::unique_ptr<FalhaConversao> m_falha;
};

class Conversao
{
public:
    Conversao(const QString& gdbPath, const ProgressoCallback& progresso) : m_gdb(gdbPath), m_callback(progresso) {}
    ResultadoConversao executa();

private:
    void prepara();
    void passo1();
    void passo2();
    void passo3();
    void mostra(const QString& ocorrencia)
    {
        m_estado.ocorrencia = ocorrencia;
        pulso();
    }
    void avanca()
    {
        m_estado.progresso = qMin(m_estado.progresso + m_passo, 100);
        pulso();
    }
    void pulso() const
    {
        if (m_callback)
            m_callback(m_estado);
    }
    QString arquivoExportacao(const QString& tabela) const
    {
        return QDir(m_temp).filePath(QStringLiteral("export") + tabela + QStringLiteral(".txt"));
    }

    QString m_gdb;
    const ProgressoCallback& m_callback;
    const QStringList& m_tabelas = tabelasVAF();
    // 100 divided by the highest index of the table list, rounded: 4 for 26 tables.
    const int m_passo = qRound(100.0 / double(tabelasVAF().size() - 1));
    ProgressoConversao m_estado;
    QString m_temp;
    QString m_copia;
    std::unique_ptr<Connection> m_vaf;
    std::unique_ptr<Cadeia> m_exportacoes;
    ResultadoConversao m_resultado;
};

void Conversao::prepara()
{
    m_temp = programFile(QStringLiteral("temp"));
    if (!QDir().mkpath(m_temp))
        throw FalhaConversao(QStringLiteral("Não foi possível criar a pasta temporária %1.").arg(nativePath(m_temp)));
    if (!QFileInfo(m_gdb).isFile())
        throw FalhaConversao(QStringLiteral("O arquivo %1 não foi encontrado.").arg(nativePath(m_gdb)));
    m_copia = QDir(m_temp).filePath(QStringLiteral("vaf_copia.gdb"));
    // A file picked from temp/ itself must not be replaced by its own copy.
    if (QFileInfo(m_gdb).canonicalFilePath() == QFileInfo(m_copia).canonicalFilePath())
        m_copia = QDir(m_temp).filePath(QStringLiteral("vaf_copia_2.gdb"));
    copiaArquivo(
        m_gdb, m_copia,
        QStringLiteral("Não foi possível copiar o arquivo %1 para a pasta temporária.").arg(nativePath(m_gdb)));

    const QString modelo = programFile(QStringLiteral("vaf_limpo.db"));
    const QString vaf = programFile(QStringLiteral("vaf.db"));
    // The file posted to the server goes first: a conversion that fails from here on must never
    // leave the previous file behind to be sent as this one.
    const QString mdb = programFile(QStringLiteral("vaf.mdb"));
    if (QFileInfo::exists(mdb) && !QFile::remove(mdb))
        throw FalhaConversao(QStringLiteral("Não foi possível apagar o arquivo %1. Verifique se ele não está aberto "
                                            "em outro programa.")
                                 .arg(nativePath(mdb)));
    if (QFileInfo::exists(vaf) && !QFile::remove(vaf))
        throw FalhaConversao(QStringLiteral("Não foi possível apagar o arquivo %1. Verifique se ele não está aberto "
                                            "em outro programa.")
                                 .arg(nativePath(vaf)));
    if (!QFileInfo(modelo).isFile())
        throw FalhaConversao(QStringLiteral("O banco de dados vazio vaf_limpo.db não foi encontrado na pasta do "
                                            "programa (%1). Reinstale o programa.")
                                 .arg(nativePath(programDir())));
    if (!QFileInfo(programFile(QStringLiteral("vaf_limpo.mdb"))).isFile())
        throw FalhaConversao(QStringLiteral("O banco de dados vazio vaf_limpo.mdb não foi encontrado na pasta do "
                                            "programa (%1). Reinstale o programa.")
                                 .arg(nativePath(programDir())));
    copiaArquivo(modelo, vaf, QStringLiteral("Não foi possível copiar vaf_limpo.db para vaf.db."));
    try {
        m_vaf = std::make_unique<Connection>(QStringLiteral("vaf.db"));
    } catch (const DatabaseError& e) {
        throw FalhaConversao(QStringLiteral("Não foi possível abrir o banco de dados vaf.db.\n") + e.description());
    }
    try {
        // vaf.db is rebuilt from the GDB at every selection: waiting for the disk at each commit
        // would only hold up the exports waiting to be started.
        m_vaf->exec(QStringLiteral("PRAGMA synchronous = OFF"));
    } catch (const DatabaseError& e) {
        throw FalhaConversao(QStringLiteral("Não foi possível abrir o banco de dados vaf.db.\n") + e.description());
    }
    const QFileInfo ferramenta(toolFile(QStringLiteral("fbexport")));
    if (!ferramenta.isFile() || !ferramenta.isExecutable())
        throw FalhaConversao(QStringLiteral("O programa de exportação fbexport não foi encontrado na pasta do "
                                            "programa (%1). Reinstale o programa.")
                                 .arg(nativePath(programDir())));
}

void Conversao::passo1()
{
    // One transaction for all the deletes: one write to the disk instead of 26.
    try {
        m_vaf->begin();
    } catch (const DatabaseError& e) {
        throw FalhaConversao(QStringLiteral("Não foi possível gravar no banco de dados vaf.db.\n") + e.description());
    }
    for (const QString& tabela : m_tabelas) {
        mostra(QStringLiteral("Passo 1: Preparando ") + tabela);
        m_exportacoes->avanca();
        try {
            m_vaf->exec(QStringLiteral("delete from ") + tabela);
        } catch (const DatabaseError& e) {
            throw FalhaConversao(QStringLiteral("Não foi possível limpar a tabela %1 do banco de dados vaf.db.\n%2")
                                     .arg(tabela, e.description()));
        }
        avanca();
    }
    try {
        m_vaf->commit();
    } catch (const DatabaseError& e) {
        throw FalhaConversao(QStringLiteral("Não foi possível gravar no banco de dados vaf.db.\n") + e.description());
    }
}

void Conversao::passo2()
{
    m_estado.progresso = 1;
    const auto pulsa = [this] {
        m_exportacoes->avanca();
        pulso();
    };
    for (qsizetype i = 0; i < m_tabelas.size(); ++i) {
        const QString& tabela = m_tabelas[i];
        mostra(QStringLiteral("Passo 2: Carregando ") + tabela);
        m_exportacoes->aguarda(i, pulsa);
        const QString arquivo = arquivoExportacao(tabela);
        const ResultadoCarga carga = CarregaExportacao(*m_vaf, tabela, arquivo, pulsa);
        QFile::remove(arquivo);
        if (!carga.erro.isEmpty())
            throw FalhaConversao(carga.erro);
        m_resultado.comandosExecutados += carga.executados;
        m_resultado.comandosRecusados += carga.recusados;
        for (const ComandoRecusado& c : carga.primeirosRecusados) {
            if (m_resultado.primeirosRecusados.size() < maxRecusadosGuardados)
                m_resultado.primeirosRecusados.append(c);
        }
        avanca();
    }
}

void Conversao::passo3()
{
    m_estado.progresso = 1;
    const ResultadoGravacaoAccess gravacao = GravaVafAccess(
        *m_vaf, programFile(QStringLiteral("vaf_limpo.mdb")), programFile(QStringLiteral("vaf.mdb")), m_tabelas,
        [this](const QString& tabela) {
            if (m_estado.ocorrencia.startsWith(QLatin1String("Passo 3")))
                avanca();
            mostra(QStringLiteral("Passo 3: Gravando ") + tabela);
        },
        [this] { pulso(); });
    if (!gravacao.ok)
        throw FalhaConversao(gravacao.erro);
    avanca();
}

ResultadoConversao Conversao::executa()
{
    try {
        prepara();
        m_exportacoes =
            std::make_unique<Cadeia>(m_tabelas, m_copia, [this](const QString& t) { return arquivoExportacao(t); });
        passo1();
        passo2();
        passo3();
        m_resultado.ok = true;
    } catch (const FalhaConversao& f) {
        m_resultado.ok = false;
        m_resultado.erro = f.mensagem;
        m_resultado.codigoExportacao = f.codigo;
        m_resultado.formatoAntigo = f.codigo == fbexport::FormatoAntigo;
    }
    m_exportacoes.reset();
    m_vaf.reset();
    if (!m_copia.isEmpty())
        QFile::remove(m_copia);
    if (!m_resultado.ok) {
        // A half-built vaf.db must never be delivered.
        QFile::remove(programFile(QStringLiteral("vaf.db")));
        QFile::remove(programFile(QStringLiteral("vaf.mdb")));
        for (const QString& tabela : m_tabelas) {
            if (!m_temp.isEmpty())
                QFile::remove(arquivoExportacao(tabela));
        }
    }
    return m_resultado;
}
} // namespace

const QStringList& tabelasVAF()
{
    static const QStringList tabelas = [] {
        QStringList lista;
        for (QLatin1StringView t : servidor::tabelasVaf)
            lista.append(t);
        return lista;
    }();
    return tabelas;
}

QString arquivoVafEnviado()
{
    return programFile(QStringLiteral("vaf.mdb"));
}

ResultadoConversao ConverteVAF(const QString& gdbPath, const ProgressoCallback& progresso)
{
    return Conversao(gdbPath, progresso).executa();
}

} // namespace tervalia
