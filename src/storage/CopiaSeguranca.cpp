#include "CopiaSeguranca.h"

#include "ArquivoZip.h"
#include "BuildConfig.h"
#include "CopiaBanco.h"
#include "CopiaSegurancaInterna.h"
#include "Entregas.h"
#include "platform/ProgramDir.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

#include <cerrno>
#include <future>
#include <unistd.h>

namespace tervalia {

namespace copia {

QString causaGravacao(int codigo, const QString& detalhe)
{
    QString causa;
    switch (codigo) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        causa = QStringLiteral("O disco está cheio: não há espaço para gravar.");
        break;
    case EACCES:
    case EPERM:
        causa = QStringLiteral("Não há permissão para gravar nesta pasta.");
        break;
    case EROFS:
        causa = QStringLiteral("A pasta está num disco somente leitura.");
        break;
    default:
        causa = QStringLiteral("Houve um erro de gravação no disco.");
    }
    return detalhe.isEmpty() ? causa : causa + QStringLiteral(" (") + detalhe + QLatin1Char(')');
}

QString textoFalhaZip(const FalhaZip& falha)
{
    QString causa;
    switch (falha.tipo) {
    case FalhaZip::Gravacao:
        return causaGravacao(falha.codigo, falha.detalhe);
    case FalhaZip::Leitura:
        causa = QStringLiteral("Um dos arquivos não pôde ser lido.");
        break;
    case FalhaZip::NaoEZip:
        return QStringLiteral("O arquivo escolhido não é um arquivo .zip.");
    case FalhaZip::Danificado:
        causa = QStringLiteral("O arquivo .zip está danificado ou incompleto.");
        break;
    case FalhaZip::Nenhuma:
    case FalhaZip::Cancelada:
        return {};
    }
    return falha.detalhe.isEmpty() ? causa : causa + QStringLiteral(" (") + falha.detalhe + QLatin1Char(')');
}

QByteArray manifestoJson(const Manifesto& m)
{
    const QJsonObject o{
        {QStringLiteral("programa"), QStringLiteral("Tervalia")},
        {QStringLiteral("formato"), formatoAtual},
        {QStringLiteral("versao"), m.versao},
        {QStringLiteral("data"), m.data.toOffsetFromUtc(m.data.offsetFromUtc()).toString(Qt::ISODate)},
        {QStringLiteral("empresas"), m.empresas},
        {QStringLiteral("entregas"), m.entregas},
        {QStringLiteral("arquivos"), m.arquivos},
        {QStringLiteral("bytes"), m.bytes},
    };
    return QJsonDocument(o).toJson();
}

std::optional<Manifesto> manifestoDeJson(const QByteArray& json, QString& erro)
{
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    if (o.value(QStringLiteral("programa")).toString() != QLatin1String("Tervalia")) {
        erro = naoECopia();
        return std::nullopt;
    }
    if (o.value(QStringLiteral("formato")).toInt() > formatoAtual) {
        erro = QStringLiteral("Esta cópia de segurança foi feita por uma versão mais nova do programa (%1): "
                              "atualize o programa para restaurá-la.")
                   .arg(o.value(QStringLiteral("versao")).toString());
        return std::nullopt;
    }
    Manifesto m;
    m.versao = o.value(QStringLiteral("versao")).toString();
    m.data = QDateTime::fromString(o.value(QStringLiteral("data")).toString(), Qt::ISODate);
    m.empresas = o.value(QStringLiteral("empresas")).toInt(-1);
    m.entregas = o.value(QStringLiteral("entregas")).toInt(-1);
    m.arquivos = o.value(QStringLiteral("arquivos")).toInt(-1);
    m.bytes = o.value(QStringLiteral("bytes")).toInteger(-1);
    if (!m.data.isValid() || m.empresas < 0 || m.entregas < 0 || m.arquivos < 1 || m.bytes < 0) {
        erro = QStringLiteral("O manifesto da cópia de segurança está danificado.");
        return std::nullopt;
    }
    return m;
}

QString naoECopia()
{
    return QStringLiteral("O arquivo .zip escolhido não é uma cópia de segurança do Tervalia.");
}

} // namespace copia

namespace {
using namespace copia;

struct ArquivoDaCopia
{
    QString nome;
    QString origem;
    qint64 tamanho = 0;
};

// dipam.ini and the deliveries' files; folders being written (hidden names) are left out. Listing
// tens of thousands of files takes a while: progress is reported meanwhile. nullopt when stopped.
std::optional<QList<ArquivoDaCopia>> arquivosDaCopia(int& entregas, const AoProgredir& progresso)
{
    QList<ArquivoDaCopia> lista;
    const QFileInfo ini(programFile(QStringLiteral("dipam.ini")));
    if (ini.isFile())
        lista.append({QStringLiteral("dipam.ini"), ini.filePath(), ini.size()});
    const QDir pasta(pastaEntregas());
    entregas = int(pasta.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks).size());
    QDirIterator it(pasta.path(), QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    QList<ArquivoDaCopia> daPasta;
    const Progresso procurando{0, 0, QStringLiteral("procurando os arquivos das entregas…")};
    while (it.hasNext()) {
        const QFileInfo f = it.nextFileInfo();
        daPasta.append({pastaNoArquivo + pasta.relativeFilePath(f.filePath()), f.filePath(), f.size()});
        if (daPasta.size() % 64 == 0 && progresso && !progresso(procurando))
            return std::nullopt;
    }
    std::sort(daPasta.begin(), daPasta.end(),
              [](const ArquivoDaCopia& a, const ArquivoDaCopia& b) { return a.nome < b.nome; });
    return lista + daPasta;
}

ResultadoCopia falhaCopia(ResultadoCopia r, const QString& destino, const QString& causa)
{
    r.desfecho = Desfecho::Falhou;
    r.erro = QStringLiteral("A cópia de segurança não pôde ser gravada em \"%1\".\r\n%2")
                 .arg(QDir::toNativeSeparators(destino), causa);
    return r;
}

// Adds every file after the database, reporting progress within and after each one.
bool adicionaArquivos(EscritorZip& zip, const QList<ArquivoDaCopia>& arquivos, Progresso& p,
                      const AoProgredir& progresso)
{
    const auto segue = [&] { return !progresso || progresso(p); };
    for (const ArquivoDaCopia& a : arquivos) {
        p.item = a.nome;
        const qint64 antes = p.feito;
        if (!zip.adicionaArquivo(a.nome, a.origem, [&](qint64 lido) {
                p.feito = antes + lido;
                return segue();
            }))
            return false;
        p.feito = antes + a.tamanho;
        if (!segue())
            return false;
    }
    return true;
}
// Puts the archive on the disk before it takes its name. That can take seconds on a busy disk, so
// the call runs beside (it shares nothing but the descriptor) while progress keeps being reported.
int sincroniza(int descritor, const AoProgredir& progresso, Progresso p)
{
    auto feito = std::async(std::launch::async, [descritor] { return ::fsync(descritor) == 0 ? 0 : errno; });
    p.item = QStringLiteral("gravando no disco…");
    p.cancelavel = false;
    while (feito.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        if (progresso)
            progresso(p);
    }
    return feito.get();
}
} // namespace

QString nomePadraoCopia(const QDate& dia)
{
    return QStringLiteral("tervalia-%1.zip").arg(dia.toString(QStringLiteral("yyyy-MM-dd")));
}

ResultadoCopia criaCopiaSeguranca(const QString& destino, const AoProgredir& progresso)
{
    ResultadoCopia r;
    const CopiaBanco banco = copiaBanco(programFile(QStringLiteral("dipam.db")));
    if (!banco.erro.isEmpty())
        return falhaCopia(r, destino, QStringLiteral("O banco de dados não pôde ser copiado: ") + banco.erro);
    Manifesto& m = r.manifesto;
    const std::optional<QList<ArquivoDaCopia>> lista = arquivosDaCopia(m.entregas, progresso);
    if (!lista) {
        r.desfecho = Desfecho::Cancelada;
        return r;
    }
    const QList<ArquivoDaCopia>& arquivos = *lista;
    m.versao = QString::fromUtf8(build::version);
    m.data = QDateTime::currentDateTime();
    m.empresas = banco.empresas;
    m.arquivos = int(arquivos.size()) + 1;
    m.bytes = banco.conteudo.size();
    for (const ArquivoDaCopia& a : arquivos)
        m.bytes += a.tamanho;

    // Created 0600; renamed over destino only once whole.
    QTemporaryFile temp(QFileInfo(destino).absoluteDir().filePath(QStringLiteral(".tervalia-copia-XXXXXX")));
    errno = 0;
    if (!temp.open())
        return falhaCopia(r, destino, causaGravacao(errno, temp.errorString()));
    Progresso p{banco.conteudo.size(), m.bytes, QStringLiteral("dipam.db")};
    EscritorZip zip;
    bool ok = zip.abre(int(temp.handle())) && zip.adicionaDados(nomeManifesto, manifestoJson(m), m.data) &&
              zip.adicionaDados(QStringLiteral("dipam.db"), banco.conteudo, m.data) && (!progresso || progresso(p));
    ok = ok && adicionaArquivos(zip, arquivos, p, progresso) && zip.conclui();
    // Stopped by the caller: either the archive saw it or the stop came between two files.
    if (!ok && (zip.falha().tipo == FalhaZip::Cancelada || zip.falha().tipo == FalhaZip::Nenhuma)) {
        r.desfecho = Desfecho::Cancelada;
        return r;
    }
    if (!ok)
        return falhaCopia(r, destino, textoFalhaZip(zip.falha()));
    if (const int codigo = sincroniza(int(temp.handle()), progresso, p); codigo != 0)
        return falhaCopia(r, destino, causaGravacao(codigo, QString::fromLocal8Bit(strerror(codigo))));
    if (::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(destino).constData()) != 0)
        return falhaCopia(r, destino, causaGravacao(errno, QString::fromLocal8Bit(strerror(errno))));
    temp.setAutoRemove(false);
    r.desfecho = Desfecho::Concluida;
    return r;
}

LeituraManifesto leManifesto(const QString& arquivo)
{
    LeituraManifesto leitura;
    LeitorZip zip;
    const std::optional<QByteArray> json = leEntradaManifesto(zip, arquivo, leitura.erro);
    if (!json)
        return leitura;
    if (const auto m = manifestoDeJson(*json, leitura.erro)) {
        leitura.ok = true;
        leitura.manifesto = *m;
    }
    return leitura;
}

namespace copia {

std::optional<QByteArray> leEntradaManifesto(LeitorZip& zip, const QString& arquivo, QString& erro)
{
    LeitorZip::Entrada entrada;
    if (!zip.abre(arquivo)) {
        erro = zip.falha().tipo == FalhaZip::Leitura
                   ? QStringLiteral("O arquivo não pôde ser lido (%1).").arg(zip.falha().detalhe)
                   : textoFalhaZip(zip.falha());
        return std::nullopt;
    }
    const LeitorZip::Passo passo = zip.proxima(entrada);
    if (passo == LeitorZip::Passo::Falha) {
        erro = textoFalhaZip(zip.falha());
        return std::nullopt;
    }
    if (passo == LeitorZip::Passo::Fim || entrada.nome != nomeManifesto || !entrada.arquivoComum ||
        entrada.tamanho > tamanhoMaximoManifesto) {
        erro = naoECopia();
        return std::nullopt;
    }
    QByteArray json(tamanhoMaximoManifesto + 1, Qt::Uninitialized);
    qint64 lidos = 0;
    for (qint64 n; (n = zip.le(json.data() + lidos, json.size() - lidos)) > 0;)
        lidos += n;
    if (zip.falha().tipo != FalhaZip::Nenhuma) {
        erro = textoFalhaZip(zip.falha());
        return std::nullopt;
    }
    if (lidos > tamanhoMaximoManifesto) {
        erro = naoECopia();
        return std::nullopt;
    }
    json.truncate(lidos);
    return json;
}

} // namespace copia

} // namespace tervalia
