#include "LeituraAccess.h"

#include "platform/BlockingWait.h"
#include "platform/ProgramDir.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

namespace tervalia {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool comEnderecosSanitizados = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool comEnderecosSanitizados = true;
#else
constexpr bool comEnderecosSanitizados = false;
#endif
#else
constexpr bool comEnderecosSanitizados = false;
#endif

leitoraccess::Limites& limitesAtuais()
{
    static leitoraccess::Limites limites;
    return limites;
}

QString& programaDosTestes()
{
    static QString caminho;
    return caminho;
}

// What the helper printed and how it ended.
struct Execucao
{
    QByteArray saida;
    bool completa = false; // ended by itself, within the limits, with an exit status
    int status = -1;
};

Execucao executa(const QStringList& argumentos)
{
    const leitoraccess::Limites limites = limitesAtuais();
    QProcess processo;
    processo.setProgram(leitoraccess::programa());
    processo.setArguments(argumentos);
    processo.setStandardErrorFile(QProcess::nullDevice());
    processo.setStandardInputFile(QProcess::nullDevice());
    const rlim_t memoria = rlim_t(limites.memoria);
    processo.setChildProcessModifier([memoria] {
        // Only async-signal-safe calls here: this runs in the child between fork and exec.
        const rlimit semCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &semCore);
        if (!comEnderecosSanitizados) {
            const rlimit enderecos{memoria, memoria};
            ::setrlimit(RLIMIT_AS, &enderecos);
        }
    });

    Execucao execucao;
    bool dentroDosLimites = true;
    const auto le = [&] {
        execucao.saida += processo.read(limites.saida + 1 - execucao.saida.size());
        if (execucao.saida.size() > limites.saida && dentroDosLimites) {
            dentroDosLimites = false;
            processo.kill();
        }
    };
    QEventLoop laco;
    QTimer relogio;
    relogio.setSingleShot(true);
    QObject::connect(&processo, &QProcess::readyReadStandardOutput, &laco, le);
    QObject::connect(&processo, &QProcess::finished, &laco, &QEventLoop::quit);
    // A helper that cannot be started reports only this.
    QObject::connect(&processo, &QProcess::errorOccurred, &laco, [&] {
        if (processo.state() == QProcess::NotRunning)
            laco.quit();
    });
    QObject::connect(&relogio, &QTimer::timeout, &laco, [&] {
        dentroDosLimites = false;
        processo.kill();
        processo.waitForFinished(1000);
        laco.quit();
    });
    processo.start();
    if (processo.state() != QProcess::NotRunning) {
        relogio.start(limites.tempoMs);
        const BlockingWait espera;
        laco.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (processo.state() != QProcess::NotRunning) // started but never reported: a lost child
        return {};
    le();
    execucao.completa =
        dentroDosLimites && processo.error() == QProcess::UnknownError && processo.exitStatus() == QProcess::NormalExit;
    execucao.status = processo.exitCode();
    return execucao;
}

// The exit status and the output must tell the same story, about the tables asked for.
LeituraAccess interpreta(const Execucao& execucao, const QStringList& tabelas)
{
    using Situacao = LeituraAccess::Situacao;
    if (!execucao.completa)
        return {};
    std::optional<access::Transporte> transporte = access::leTransporte(execucao.saida);
    if (!transporte)
        return {};
    const qsizetype lidas = transporte->tabelas.size();
    const bool falhaDaProxima = lidas < tabelas.size() && transporte->falha == tabelas[lidas];
    LeituraAccess leitura{Situacao::Ilegivel, std::move(transporte->tabelas), transporte->falha.value_or(QString())};
    if (execucao.status == access::LeitorOk && !transporte->falha && lidas == tabelas.size())
        leitura.situacao = Situacao::Lida;
    else if (falhaDaProxima && execucao.status == access::LeitorSemTabela)
        leitura.situacao = Situacao::SemTabela;
    else if (falhaDaProxima && execucao.status == access::LeitorTabelaIlegivel)
        leitura.situacao = Situacao::TabelaIlegivel;
    else
        return {};
    return leitura;
}

} // namespace

LeituraAccess leTabelasAccess(const QString& arquivo, const QStringList& tabelas)
{
    if (tabelas.isEmpty() || !QFileInfo(arquivo).isFile())
        return {};
    // An absolute path: no file name is ever taken for an option.
    return interpreta(executa(QStringList{QFileInfo(arquivo).absoluteFilePath()} + tabelas), tabelas);
}

namespace leitoraccess {

Limites limites()
{
    return limitesAtuais();
}

void setLimites(const Limites& limites)
{
    limitesAtuais() = limites;
}

bool limiteDeMemoriaAplicado()
{
    return !comEnderecosSanitizados;
}

QString programa()
{
    if (!programaDosTestes().isEmpty())
        return programaDosTestes();
    const QString doAmbiente = qEnvironmentVariable("TERVALIA_LEITOR_ACCESS");
    return doAmbiente.isEmpty() ? toolFile(QStringLiteral("leitor-access")) : doAmbiente;
}

void setPrograma(const QString& caminho)
{
    programaDosTestes() = caminho;
}

} // namespace leitoraccess

} // namespace tervalia
